// The queue upgrade: for each product queue, save the old PPD, build the new PPD with
// the queue's defaults, install it, mark the queue's configuration; restart CUPS.
// Working files in /tmp are created exclusively (a name planted by another user is
// never written through) and removed by the step that made them.
#pragma once

#include <string>

#include "upgrade/ppd_defaults.h"
#include "upgrade/printer_list.h"

// Upgrades `count` queues of the list from the head on, asking first when `ask` is set,
// checks each installed PPD against the carry-over's decisions, adds the rows to
// carryOverRows(), then restarts CUPS. Returns 1 when the run ended or the user broke it off (no restart
// then), 0 when the option list could not be allocated (nothing touched). Logs.
int upgradeQueues(const std::string& ppdDir, PListEntry* head, int count, int ask);

// Finds the new PPD for `entry` and writes it, rewritten with the collected defaults, to
// a new working file whose name goes to *outName; the decisions go to *plan. Returns 1
// built, 0 when no new PPD was found, -1 when no complete file was made (decompression,
// open or write failure); *outName stays empty unless 1. Logs.
int buildNewPpd(const std::string& ppdDir, OptListEntry* options, int optionCount,
                PListEntry* entry, std::string* outName, CarryPlan* plan);

// The saved copy of a queue PPD: "Q.ppd.rpmsave" in the directory above the PPD's own
// for the queue's own PPD "Q.ppd", "<file name>.rpmsave" there for any other entry.
std::string savedPpdPath(const std::string& ppdPath, const std::string& queueName);

// Writes the queue PPD's bytes to its saved copy, replacing whatever stands at that name
// (a link there is replaced, never written through), with the PPD's mode. 1 when the
// copy is complete, else 0 (the old copy then stays). Logs message 10 (status 0 or 256).
int savePpdCopy(const std::string& ppdPath, const std::string& queueName);

// Installs `newFile` as the queue PPD: written beside it under an exclusive name,
// flushed, given the old PPD's owner, group and mode, and renamed over it, so the queue
// never has a partial PPD. 1 installed, else 0 (the old PPD stays byte for byte). Logs
// message 9 (status 0 or 256) and, when a built file could not be installed, why.
int installNewPpd(const std::string& ppdPath, const std::string& newFile);

// Marks the queue's plixConfig with the new version. 1 rewritten, 0 otherwise (no file,
// no working copy, or copying back failed, when the working copy is kept). Logs.
int processPrinterConfig(const std::string& queueName);

// Replaces `destination` whole with the bytes of `source` (FileReplacer, keeping the
// destination's owner, group and mode). Returns 1 copied, 0 when the source cannot be
// opened, -1 when reading or writing failed; the destination is then as it was and
// errno tells why. Never logs.
int copyFile(const std::string& source, const std::string& destination);
