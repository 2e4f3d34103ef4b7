// The uninstallation: the product's queues with their per-queue files, then the
// product's fixed files and directories below the installation directory.
// Nothing below installDir is removed unless installDir is really an installation of
// the product (productDirIsSafe), and a queue name is used as a file name only when it
// is one plain path component (queueNameIsFileName), so that neither a wrong -u value
// nor a strange queue name can reach the rest of the system. Trees are removed without
// ever following a symbolic link or entering another mount.
#pragma once

#include <string>

#include "base/text.h"  // queueNameIsFileName

// Removes every queue of printerList (the entry after the head first, the head
// last), each with removeQueue and removeQueueFiles; names that are empty or "Default"
// are passed over. Logs message 123 per queue, and one line for a queue whose name is
// no plain file name (its spooler queue is still removed, its files are left alone).
// A queue whose removal the scheduler did not confirm keeps its files, with one line;
// a queue directory that stays (a mount in it) gets the line of a fixed directory.
// Returns the number of queues and queue directories left behind.
int removeProductQueues();

// Removes the spooler queue `name` (lpadmin, retried once after lpstat and a pause;
// every scheduler call bounded by a timeout, which is logged), the device file
// "/dev/<name>" when it is a regular file, and moves the model file aside to ".old"
// (deletes it when that fails). Device and model files are left alone for a name that
// is no plain file name. Logs each command (message 148).
// Returns 1 when the queue is gone (lpadmin succeeded, or a running scheduler does not
// know it), -1 when the scheduler did not confirm it (nothing else is done), 0 when the
// print system is not CUPS, LP or none found (nothing done).
[[nodiscard]] int removeQueue(const std::string& name);

// Removes the queue directory "<installDir>/<name>" with removeTree and then the script
// "<installDir>/<name>.sh". Does nothing when the directory does not exist, when the
// name is no plain file name, or when installDir fails productDirIsSafe. Does not log.
// Returns the result of removeTree (0 removed, -1 not), -1 when nothing was done.
[[nodiscard]] int removeQueueFiles(const std::string& name);

// Removes the directory `path` with everything below it: regular files and symbolic
// links are deleted (a link is never followed, also when `path` itself is one: then
// only the link goes), devices, pipes and sockets stay, and nothing on another mount
// (bind mounts of the same filesystem included) is entered. Works through directory
// descriptors, so a directory swapped for a link during the walk is not followed and
// trees deeper than a path can name are removed. Refuses "", "/", and "." or ".." as
// the last component. Does not log.
// Returns 0 when the directory itself (or the link at `path`) was removed, -1 otherwise.
[[nodiscard]] int removeTree(const std::string& path);

// Deletes the product's fixed files, then its fixed directories below installDir, one
// log line each ending "OK" or "Nicht möglich". When installDir cannot be entered or
// fails productDirIsSafe, logs message 146 and removes nothing. Removes only what the
// product put there: bin, etc and ppd go whole only when they hold nothing but the
// product's files (the fixed names and the items of the installed manifest); otherwise
// only this product's files in them go and the directory stays, with one line. The
// information file stays while `queuesLeft` queues are left; /usr/bin/zangsfilter goes
// only when it is the link into this installation's bin directory.
// Returns the number of the product's directories that exist and were not removed.
int removeProductFiles(int queuesLeft = 0);

// True when `dir` is an absolute path that does not resolve to "/" and holds the
// product's information file (plixInfo4.0 or plixInfo2.0) or etc/PLIXINST.CONF.
bool productDirIsSafe(const std::string& dir);
