#include "uninstall/removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "install/manifest.h"
#include "upgrade/printer_list.h"

namespace {

// The product's fixed files, in the order they are deleted: paths relative to
// installDir, except /usr/bin/zangsfilter, the filter link made at installation.
struct FixedFile {
  bool belowInstallDir;
  const char* name;
};
constexpr FixedFile kProductFiles[] = {
    {true, "plix"},           {true, "plixInfo4.0"},         {true, "bin/zangsfilter"},
    {false, kFilterLink}, {true, "etc/UNINSTALLPLIX"}, {true, "bin/setup"},
    {true, "etc/plix4.0.png"}, {true, "PLIXINST.CONF"},      {true, "etc/PLIXINST.CONF"},
    {true, "bin/nc"},
};
// The product's fixed directories below installDir, in the order they are removed.
constexpr const char* kProductDirs[] = {"/Default", "/ppd", "/etc", "/bin"};

// Files of the product that setup itself writes below installDir.
constexpr const char* kWrittenBySetup[] = {"plixInfo4.0", "etc/UNINSTALLPLIX"};

// A scheduler that does not answer made one lpadmin call take about 61 s; no call of
// the removal waits longer than this.
constexpr int kSchedulerTimeout = 15;

// Files whose presence marks a directory as an installation of the product.
constexpr const char* kProductMarks[] = {"plixInfo4.0", "plixInfo2.0", "etc/PLIXINST.CONF"};


// Where an open directory lives: its identity and the mount it belongs to.
struct Place {
  dev_t dev = 0;
  ino_t ino = 0;
  uint64_t mountId = 0;
  bool hasMountId = false;
  bool mountRoot = false;
};

bool placeOf(int fd, Place* place) {
  struct statx sx;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO | STATX_MNT_ID, &sx) != 0) return false;
  place->dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  place->ino = sx.stx_ino;
  place->hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
  place->mountId = sx.stx_mnt_id;
  place->mountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                     (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  return true;
}

// True when `place` is inside the same mount as `top` and is not itself a mount point.
// A bind mount of the same filesystem has the same device number, so the mount id and
// the mount-root attribute decide; the device number covers kernels without them.
bool sameMount(const Place& place, const Place& top) {
  if (place.mountRoot || place.dev != top.dev) return false;
  return !(place.hasMountId && top.hasMountId) || place.mountId == top.mountId;
}

// The names in the open directory `fd`, "." and ".." left out. The list is taken
// before anything is removed so that removals cannot disturb the reading.
std::vector<std::string> listNames(int fd) {
  std::vector<std::string> names;
  int own = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) return names;
  DIR* dir = fdopendir(own);
  if (!dir) {
    close(own);
    return names;
  }
  while (struct dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

// Empties the directory open as `fd` (whose place is `top`), taking ownership of `fd`.
// Only one directory of the walk is open at a time: going down opens the child by name
// without following links, going up opens ".." and checks that it is the directory we
// came from, so a tree of any depth is walked and a moved directory is never mistaken
// for its old parent. Returns false when the walk lost its way and stopped.
bool emptyTree(int fd, const Place& top) {
  struct Frame {
    std::vector<std::string> names;
    size_t next = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string name;  // name in the parent directory
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{listNames(fd), 0, top.dev, top.ino, ""});

  for (;;) {
    Frame& frame = stack.back();
    if (frame.next < frame.names.size()) {
      const std::string name = frame.names[frame.next++];
      struct statx sx;
      if (statx(fd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &sx) != 0)
        continue;
      mode_t type = sx.stx_mode & S_IFMT;
      if (type == S_IFLNK || type == S_IFREG) {
        (void)unlinkat(fd, name.c_str(), 0);
        continue;
      }
      if (type != S_IFDIR) continue;  // devices, pipes and sockets stay
      if ((sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
          (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        continue;
      int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child < 0) continue;
      Place place;
      if (!placeOf(child, &place) || !sameMount(place, top)) {
        close(child);
        continue;
      }
      std::vector<std::string> names = listNames(child);
      close(fd);
      fd = child;
      stack.push_back(Frame{std::move(names), 0, place.dev, place.ino, name});
      continue;
    }

    if (stack.size() == 1) break;
    const std::string name = frame.name;
    stack.pop_back();
    int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = parent;
    Place place;
    if (fd < 0 || !placeOf(fd, &place) || place.dev != stack.back().dev ||
        place.ino != stack.back().ino) {
      if (fd >= 0) close(fd);
      return false;
    }
    (void)unlinkat(fd, name.c_str(), AT_REMOVEDIR);
  }
  close(fd);
  return true;
}

// Deletes `relative` (names joined by "/") below the directory `dir` without following a
// link on the way: a directory of the product replaced by a link to a system directory
// does not lead the deletion there. Returns true when the entry was there and is gone.
bool deleteBelow(const std::string& dir, const std::string& relative) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  size_t start = 0;
  for (size_t slash; fd >= 0 && (slash = relative.find('/', start)) != std::string::npos;
       start = slash + 1) {
    if (slash == start) continue;
    int next = openat(fd, relative.substr(start, slash - start).c_str(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  bool done = unlinkat(fd, relative.c_str() + start, 0) == 0;
  close(fd);
  return done;
}

// The relative paths below installDir of the product's files: `current` those that this
// product puts there (what setup writes, and the items of the installed manifest), `all`
// also the fixed names of earlier releases.
struct ProductNames {
  std::set<std::string> current;
  std::set<std::string> all;
};

ProductNames productNames(const std::string& dir) {
  ProductNames names;
  for (const char* name : kWrittenBySetup) names.current.insert(name);
  for (const InstallItem& item : readManifestItems(dir + "/etc/PLIXINST.CONF")) {
    if (!itemStaysInside(item, "/")) continue;
    size_t slash = item.source.rfind('/');
    std::string base = slash == std::string::npos ? item.source : item.source.substr(slash + 1);
    const std::string& dest = item.destination;
    if (dest == "." || dest == "/") names.current.insert(item.source);
    else if (dest == "?") names.current.insert("ppd/" + base);
    else if (dest.size() > 2 && startsWith(dest, "./")) names.current.insert(dest.substr(2) + "/" + base);
  }
  names.all = names.current;
  for (const FixedFile& file : kProductFiles)
    if (file.belowInstallDir) names.all.insert(file.name);
  return names;
}

// True unless the directory `sub` below `dir` holds something that is not one of the
// product's files (`own`): another name, a directory, a device. A link in place of the
// directory, or no directory at all, holds nothing.
bool onlyProductFiles(const std::string& dir, const std::string& sub, const std::set<std::string>& own) {
  int top = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (top < 0) return true;
  int fd = openat(top, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  close(top);
  if (fd < 0) return true;
  bool only = true;
  for (const std::string& name : listNames(fd)) {
    struct stat st;
    if (own.count(sub + "/" + name) == 0 || fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
      only = false;
  }
  close(fd);
  return only;
}

// True when /usr/bin/zangsfilter is the link the installation made: a symbolic link
// whose target lies in the bin directory of the installation `dir`.
bool filterLinkIsProducts(const std::string& dir) {
  char target[4096];
  ssize_t n = readlink(kFilterLink, target, sizeof target - 1);
  if (n <= 0) return false;
  std::string text(target, static_cast<size_t>(n));
  if (text[0] != '/') text = "/usr/bin/" + text;
  std::string parent = text.substr(0, text.rfind('/'));
  char* real = realpath(parent.empty() ? "/" : parent.c_str(), nullptr);
  char* bin = realpath((dir + "/bin").c_str(), nullptr);
  bool ours = real != nullptr && bin != nullptr && strcmp(real, bin) == 0;
  free(real);
  free(bin);
  return ours;
}

// `command` bounded by kSchedulerTimeout when the timeout command is there.
std::string bounded(const std::string& command) {
  static const std::optional<std::string> timeout = locateCommand("timeout");
  if (!timeout) return command;
  return formatText("%s -k 5 %d %s", shellWord(*timeout).c_str(), kSchedulerTimeout, command.c_str());
}

enum class Call { Done, Failed, TimedOut };

// Runs a scheduler command within kSchedulerTimeout. A timeout is logged and fails.
Call callScheduler(const std::string& command) {
  int status = runShell(bounded(command));
  if (status == 0) return Call::Done;
  if (WIFEXITED(status) && (WEXITSTATUS(status) == 124 || WEXITSTATUS(status) == 137) &&
      bounded(command) != command) {
    logMessage(Msg::SchedulerTimeout, kSchedulerTimeout, command.c_str());
    return Call::TimedOut;
  }
  return Call::Failed;
}

// True when lpstat reports the scheduler running.
bool schedulerRuns() {
  std::string query = shellWord(commands.lpstat) + " -r 2>/dev/null";
  const char* running = " | grep -q 'scheduler is running'";
  logMessage(Msg::RunCommand, ("LC_ALL=C " + query + running).c_str());
  return runShell("LC_ALL=C " + bounded(query) + running) == 0;
}

}  // namespace

bool productDirIsSafe(const std::string& dir) {
  if (dir.empty() || dir[0] != '/') return false;
  char* resolved = realpath(dir.c_str(), nullptr);
  if (!resolved) return false;
  std::string real(resolved);
  free(resolved);
  if (real == "/") return false;
  for (const char* mark : kProductMarks) {
    struct stat st;
    if (lstat((real + "/" + mark).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return true;
  }
  return false;
}

int removeTree(const std::string& path) {
  std::string trimmed = path;
  while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
  if (trimmed.empty()) return -1;  // "" or "/"
  size_t slash = trimmed.rfind('/');
  std::string parentPath =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : trimmed.substr(0, slash));
  std::string base = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  if (base == "." || base == "..") return -1;

  int parent = open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent < 0) return -1;
  int result = -1;
  struct statx sx;
  if (statx(parent, base.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &sx) == 0) {
    if (S_ISLNK(sx.stx_mode)) {
      // A link in place of the directory: the link goes, what it points to stays.
      if (unlinkat(parent, base.c_str(), 0) == 0) result = 0;
    } else if (S_ISDIR(sx.stx_mode)) {
      int fd = openat(parent, base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      Place top, above;
      if (fd >= 0 && placeOf(fd, &top) && placeOf(parent, &above) && sameMount(top, above)) {
        if (emptyTree(fd, top) && unlinkat(parent, base.c_str(), AT_REMOVEDIR) == 0) result = 0;
      } else if (fd >= 0) {
        close(fd);  // a mount point is left as it is
      }
    }
  }
  close(parent);
  return result;
}

int removeQueueFiles(const std::string& name) {
  if (!queueNameIsFileName(name) || !productDirIsSafe(settings.installDir)) return -1;
  std::string dir = settings.installDir + "/" + name;
  if (!pathExists(dir, false)) return -1;
  int result = removeTree(dir);
  std::string script = dir + ".sh";
  if (pathExists(script, false)) (void)unlink(script.c_str());
  return result;
}

int removeQueue(const std::string& name) {
  int system = settings.printSystem;
  if (system != PRINT_CUPS && system != PRINT_LP && system != PRINT_NONE) return 0;

  std::string remove =
      formatText("%s -x%s 2>/dev/null", shellWord(commands.lpadmin).c_str(), shellWord(name).c_str());
  logMessage(Msg::RunCommand, remove.c_str());
  Call removal = callScheduler(remove);
  if (removal != Call::Done) {
    std::string query = formatText("%s -p%s -l > /dev/null", shellWord(commands.lpstat).c_str(),
                                   shellWord(name).c_str());
    logMessage(Msg::RunCommand, query.c_str());
    Call known = callScheduler(query);
    sleep(1);
    logMessage(Msg::RunCommand, remove.c_str());
    removal = callScheduler(remove);
    // A running scheduler that does not know the queue confirms that it is gone.
    if (removal == Call::Failed && known == Call::Failed && schedulerRuns()) removal = Call::Done;
  }
  if (removal != Call::Done) return -1;

  if (!queueNameIsFileName(name)) return 1;

  // Only a plain file left at the queue's name goes; device nodes and the links the
  // system keeps in /dev stay whatever the queue is called.
  std::string device = "/dev/" + name;
  struct stat st;
  if (device != "/dev/null" && lstat(device.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    (void)unlink(device.c_str());

  std::string model;
  if (system == PRINT_LP) {
    model = "/usr/spool/lp/model/" + name;
  } else if (system == PRINT_CUPS && settings.cupsDataDir) {
    model = *settings.cupsDataDir + "/model/" + name;
  }
  if (!model.empty() && pathExists(model, false)) {
    (void)rename(model.c_str(), (model + ".old").c_str());
    if (pathExists(model, false)) (void)unlink(model.c_str());
  }
  return 1;
}

int removeProductQueues() {
  PListEntry* head = &printerList;
  if (!head->next) initPList(head);  // never linked: the head is the only entry
  int count = 1;
  for (PListEntry* entry = head->next; entry != head; entry = entry->next) ++count;

  bool installation = productDirIsSafe(settings.installDir);
  int left = 0;
  PListEntry* entry = head->next;  // the entry after the head first, the head last
  for (int i = 0; i < count; ++i, entry = entry->next) {
    const std::string name = entry->queueName;
    if (name.empty() || name == "Default") continue;
    if (removeQueue(name) < 0) {
      logMessage(Msg::QueueKept, name.c_str());
      ++left;
      continue;
    }
    if (queueNameIsFileName(name)) {
      (void)removeQueueFiles(name);
      // A tree that stays (a mount inside it) is reported like a fixed directory.
      std::string dir = settings.installDir + "/" + name;
      if (installation && pathExists(dir, false)) {
        writeLogLine(formatMessage(Msg::RemoveDir, dir.c_str()) + catalogueText(Msg::NotPossible));
        ++left;
      }
    } else {
      logMessage(Msg::QueueFilesSkipped, name.c_str());
    }
    logMessage(Msg::RemoveQueue, name.c_str());
  }
  return left;
}

int removeProductFiles(int queuesLeft) {
  const std::string& dir = settings.installDir;
  if (chdir(dir.c_str()) != 0 || !productDirIsSafe(dir)) {
    logMessage(Msg::BadInstallDir, dir.c_str());
    return 0;
  }
  ProductNames names = productNames(dir);
  std::set<std::string> shared;
  for (const char* name : kProductDirs)  // Default is a queue's directory, the rest the product's
    if (strcmp(name, "/Default") != 0 && !onlyProductFiles(dir, name + 1, names.all)) shared.insert(name + 1);

  int left = 0;
  for (const FixedFile& file : kProductFiles) {
    bool done = false, foreign = false;
    std::string path;
    if (!file.belowInstallDir) {
      path = file.name;
      foreign = pathExists(path, false) && !filterLinkIsProducts(dir);
      done = !foreign && pathExists(path, false) && unlink(path.c_str()) == 0;
    } else {
      path = dir + "/" + file.name;
      std::string name = file.name;
      size_t slash = name.find('/');
      bool inShared = slash != std::string::npos && shared.count(name.substr(0, slash)) > 0;
      bool record = name == "plixInfo4.0" || name == "plixInfo2.0";
      // A queue that stays keeps its record; a directory shared with others loses only
      // the files this product puts there.
      if (!(record && queuesLeft > 0) && (!inShared || names.current.count(name) > 0))
        done = deleteBelow(dir, file.name);
    }
    writeLogLine(formatMessage(Msg::RemoveFile, path.c_str()) +
                 catalogueText(done ? Msg::Ok : Msg::NotPossible));
    if (foreign) logMessage(Msg::FilterLinkKept, path.c_str());
  }
  for (const char* name : kProductDirs) {
    std::string path = dir + name;
    bool exists = pathExists(path, false);
    bool done = false;
    if (shared.count(name + 1) > 0) {
      for (const std::string& own : names.current)
        if (startsWith(own, std::string(name + 1) + "/")) (void)deleteBelow(dir, own);
    } else {
      done = exists && removeTree(path) == 0;
    }
    writeLogLine(formatMessage(Msg::RemoveDir, path.c_str()) +
                 catalogueText(done ? Msg::Ok : Msg::NotPossible));
    if (shared.count(name + 1) > 0) logMessage(Msg::DirKept, path.c_str());
    else if (exists && !done) ++left;
  }
  return left;
}
