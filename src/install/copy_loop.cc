#include "install/copy_loop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "install/dir_prep.h"
#include "install/info_file.h"
#include "install/manifest.h"
#include "install/selinux.h"
#include "install/uninstall_script.h"
#include "ppdloc/model_links.h"
#include "ppdloc/ppd_dirs.h"

namespace {

constexpr int kPpdDirMode = 0755;
constexpr int kFallbackPpdDirMode = 0766;
// The PPD archive's mode, as tar made it under the usual umask.
constexpr mode_t kArchiveMode = 0644;
// Paths and sources of two characters or less are never copied (only "nc" is).
constexpr size_t kShortName = 2;

// True when /usr/bin/zangsfilter is the link to `target`, or is `target` itself.
bool isProductFilter(const std::string& target) {
  struct stat link, installed;
  if (lstat(kFilterLink, &link) != 0) return false;
  if (S_ISLNK(link.st_mode)) {
    char text[4096];
    ssize_t n = readlink(kFilterLink, text, sizeof text - 1);
    if (n > 0 && std::string(text, static_cast<size_t>(n)) == target) return true;
  }
  return stat(target.c_str(), &installed) == 0 && stat(kFilterLink, &link) == 0 &&
         link.st_dev == installed.st_dev && link.st_ino == installed.st_ino;
}

// Makes `path`, a fixed name in a world-writable directory, as a new empty file of
// `mode` (O_EXCL, never through a link). Our own earlier file (a plain file of ours
// with one link) is removed first; anything else at the name stays and is refused with
// a line. True when the name is now our new file.
bool claimFixedName(const std::string& path, mode_t mode) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
      st.st_nlink == 1)
    (void)unlink(path.c_str());
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) {
    logMessage(Msg::FixedNameExists, path.c_str());
    return false;
  }
  (void)fchmod(fd, mode);
  close(fd);
  return true;
}

// Logs `message` as one line: its newlines and tabs become blanks.
void logBlanked(const std::string& message) {
  std::string line = message;
  blankControlChars(line);
  writeLogLine(line);
}

// Step 1: sourceDir settled and made the working directory.
void enterSourceDir() {
  if (settings.sourceDir == kInstalledBinDir) settings.sourceDir = kDefaultInstallDir;
  if (chdir(settings.sourceDir.c_str()) == 0)
    writeLogLine(formatText("cd %s.\n", settings.sourceDir.c_str()));
  else
    logMessage(Msg::CannotCd, settings.sourceDir.c_str());
}

[[noreturn]] void stopRun() {
  if (updateLogIsOpen()) closeUpdateLog();
  exit(0);
}

// Step 4: the product's PPD directory exists, or the fallback below the CUPS model
// directory is taken; on an upgrade from the earlier release its PPDs are archived.
void preparePpdDir() {
  std::string& ppdDir = settings.ppdInstallDir;
  if (!ppdDir.empty() && !isDirectory(ppdDir)) {
    if (mkdir(ppdDir.c_str(), kPpdDirMode) == 0) {
      if (chmod(ppdDir.c_str(), kPpdDirMode) == 0)
        logMessage(Msg::ModeSet, ppdDir.c_str(), static_cast<unsigned>(kPpdDirMode));
      else
        logMessage(Msg::PpdDirChmod, ppdDir.c_str());
    } else {
      logMessage(Msg::PpdDirNotMade, ppdDir.c_str());
      logMessage(Msg::PpdDirFallback, settings.cupsModelDir.c_str());
      ppdDir = formatText("%s/zed", settings.cupsModelDir.c_str());
      if (makeDirectory(ppdDir, 0, kPpdDirMode) != 0 &&
          makeDirectory(ppdDir, 1, kFallbackPpdDirMode) < 0)
        logMessage(Msg::BadInstallDir, ppdDir.c_str());
    }
  } else {
    logMessage(Msg::PpdInstallDir, ppdDir.c_str());
  }
  if (settings.upgradeMode == 1) (void)savePpdFiles(ppdDir);
}

// Step 5: the installation directory must be a directory (made on a new installation).
void checkInstallDir() {
  const std::string& dir = settings.installDir;
  int result;
  if (settings.upgradeMode != 0) {
    result = makeDirectory(dir, 0, kProductDirMode);
  } else {
    if (dir == kDefaultInstallDir) makeDirectoryPath(dir);
    result = makeDirectory(dir, 1, kProductDirMode);
  }
  if (result < 0) {
    logMessage(Msg::BadInstallDir, dir.c_str());
    stopRun();
  }
  logBlanked(formatMessage(Msg::InstallDirOk, dir.c_str()));
}

// Step 6: the information file, by upgradeMode.
void settleInfoFile() {
  const char* dir = settings.installDir.c_str();
  switch (settings.upgradeMode) {
    case 0:
      writeInfoFile();
      logBlanked(formatMessage(Msg::InfoWritten, dir));
      break;
    case 1:
      copyInfoFile();
      logBlanked(formatMessage(Msg::InfoCarried, dir));
      break;
    default:
      logBlanked(formatMessage(Msg::InfoSkipped, dir));
      break;
  }
}

// Where the copy loop puts the items; the switches live for the whole loop.
struct CopyState {
  bool copySwitch = false;       // on: items are copied
  bool directorySwitch = false;  // on: "." items land in a directory of their own name
};

// The destination path of `item`; false for a destination form the loop does not know.
bool destinationPath(const InstallItem& item, CopyState* state, std::string* path) {
  const std::string& dest = item.destination;
  if (dest == "." || dest == "/") {
    *path = formatText("%s/%s", settings.installDir.c_str(), item.source.c_str());
    if (state->directorySwitch && path->size() <= kTextMax) (void)makeDirectory(*path, 1, kProductDirMode);
    return true;
  }
  if (dest == "?") {
    if (!settings.ppdInstallDir.empty() && isDirectory(settings.ppdInstallDir))
      *path = settings.ppdInstallDir;
    else if (!settings.cupsModelDir.empty() && isDirectory(settings.cupsModelDir))
      *path = settings.cupsModelDir;
    else
      *path = "/tmp";
    state->copySwitch = true;
    if (state->directorySwitch) (void)makeDirectory(*path, 1, kProductDirMode);
    return true;
  }
  if (dest.size() > 2 && startsWith(dest, "./")) {
    *path = formatText("%s/%s", settings.installDir.c_str(), dest.c_str() + 2);
  } else if (dest.size() > 2 && dest[0] == '/') {
    *path = dest;
  } else {
    return false;
  }
  if (path->size() <= kTextMax) (void)makeDirectory(*path, 1, kProductDirMode);
  state->directorySwitch = true;
  return true;
}

// The source as cp is to read it: never taken for an option.
std::string sourceWord(const std::string& source) {
  return shellWord(source[0] == '-' ? "./" + source : source);
}

void copyItem(int number, const InstallItem& item, CopyState* state) {
  trace("goInstall[%d]: %s ===> %s, o%o.\n", number, item.source.c_str(), item.destination.c_str(),
        static_cast<unsigned>(item.mode));
  if (!itemStaysInside(item, settings.sourceDir.empty() ? "." : settings.sourceDir)) {
    logMessage(Msg::ItemOutsideProduct, item.source.c_str(), item.destination.c_str());
    return;
  }
  std::string path;
  if (!destinationPath(item, state, &path)) {
    logMessage(Msg::UnknownDestination, item.source.c_str(), item.destination.c_str());
    return;
  }
  std::string message = formatMessage(Msg::Copy, item.source.c_str(), path.c_str());
  blankControlChars(message);
  bool copyable = state->copySwitch && path.size() > kShortName &&
                  (item.source.size() > kShortName || item.source == "nc");
  if (!copyable) return;
  size_t slash = item.source.rfind('/');
  std::string base = slash == std::string::npos ? item.source : item.source.substr(slash + 1);
  // A destination that does not fit the product's 256-byte fields is refused before
  // anything is copied (its directory was not made either), never cut.
  const std::string target = formatText("%s/%s", path.c_str(), base.c_str());
  if (!pathFits(target)) return;
  // In the world-writable /tmp the copy's name is made new and exclusively first, so that
  // neither cp nor chmod can be led through a planted link or into a planted file.
  if (path == "/tmp" && !claimFixedName("/tmp/" + base, 0600)) return;
  std::string command = formatText("%s  %s %s", shellWord(commands.cp).c_str(),
                                   sourceWord(item.source).c_str(), shellWord(path).c_str());
  if (runShell(command) != 0) {
    writeLogLine(message + catalogueText(Msg::False));
    return;
  }
  writeLogLine(message);
  if (item.mode > 0) {
    (void)chmod(target.c_str(), static_cast<mode_t>(item.mode));
    logMessage(Msg::ModeSet, target.c_str(), static_cast<unsigned>(item.mode));
  }
}

// Step 11: /usr/bin/zangsfilter leads to the installed filter program.
void linkFilter() {
  std::string target = formatText("%s/bin/zangsfilter", settings.installDir.c_str());
  if (!pathFits(target)) return;
  if (pathExists(kFilterLink, false)) {
    // Another package's file or link stays; the product's own link, or the installed
    // filter itself (an installation directory below /usr), needs nothing.
    if (!isProductFilter(target))
      logMessage(Msg::FilterLinkNotMade, kFilterLink, target.c_str(), kFilterLink);
    return;
  }
  std::string message = formatMessage(Msg::Linked, 1, kFilterLink, target.c_str());
  if (makeLink(target, kFilterLink) != 0) message += catalogueText(Msg::False);
  writeLogLine(message);
}

}  // namespace

void goInstall(int itemCount) {
  enterSourceDir();
  CopyState state;
  state.copySwitch = settings.sourceDir != settings.installDir;
  if (state.copySwitch) logMessage(Msg::InstallFrom, settings.sourceDir.c_str());

  if (!installDirIsSafe(settings.installDir)) stopRun();
  if (makeProductDirs(settings.installDir) == 0) {
    logMessage(Msg::NoProductTree, settings.installDir.c_str());
    logMessage(Msg::Stopped);
    stopRun();
  }
  preparePpdDir();
  checkInstallDir();
  settleInfoFile();
  logBlanked(formatMessage(Msg::UninstallScript, settings.installDir.c_str()));
  writeUninstallScript();
  logBlanked(catalogueText(Msg::StartScripts));

  trace("goInstall: Starting copy loop for %d items.\n", itemCount);
  logMessage(Msg::CopyLoop, itemCount);
  for (int i = 0; i < itemCount && i < kInstallItemsMax; ++i) copyItem(i, installItems[i], &state);

  linkFilter();
  (void)setSelinuxContext(kFilterLink, "-u system_u", 1);
  (void)setSelinuxContext(kInstalledFilter, "-t bin_t", 1);
}

void blankControlChars(std::string& text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
}

int savePpdFiles(const std::string& dir) {
  if (dir.empty() || !pathExists(dir, false)) {
    logMessage(Msg::NoPpdDir, dir.c_str());
    return -1;
  }
  std::string archive = kPpdArchivePath;
  if (!claimFixedName(archive, kArchiveMode)) return -1;
  // tar runs only inside dir: when dir cannot be entered the script ends before it.
  std::string script = formatText("#!/bin/sh\nc=`pwd`\ncd %s || exit 1\ntar cf %s *\ncd \"${c}\"\n",
                                  shellWord(dir).c_str(), shellWord(archive).c_str());
  int status = runShell(script);
  logMessage(Msg::ArchiveFrom, dir.c_str());
  logMessage(Msg::ArchiveTo, archive.c_str());
  return status;
}
