#include "install/info_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/files.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/text.h"
#include "base/update_log.h"

namespace {

constexpr int kInfoFileMode = 0755;

// The information file as a new installation leaves it; %s is installDir.
constexpr const char* kInfoFileText =
    "#\n"
    "# Plix 4.0 Information File\n"
    "#\n"
    "%%%%ZANBLOCK_GENERAL_BEGIN\n"
    "USRDIR          %s\n"
    "HOMEDIR         $HOME\n"
    "TMPDIR          /tmp\n"
    "%%%%ZANBLOCK_GENERAL_END\n"
    "#\n"
    "#\n"
    "%%%%ZANBLOCK_PRINTERS_BEGIN\n"
    "Default\n"
    "%%%%ZANBLOCK_PRINTERS_END\n"
    "#\n"
    "#\n"
    "%%%%ZANBLOCK_USERS_BEGIN\n"
    "root\n"
    "%%%%ZANBLOCK_USERS_END\n"
    "#\n"
    "#\n"
    "%%%%ZANBLOCK_PRNT_BEGIN Default\n"
    "root\n"
    "%%%%ZANBLOCK_PRNT_END Default\n"
    "#\n"
    "#\n"
    "%%%%ZANEND\n";

// installDir/name, or /opt/zed/name when installDir is empty.
std::string infoPath(const char* name) {
  const std::string& base = settings.installDir.empty() ? std::string(kDefaultInstallDir) : settings.installDir;
  return formatText("%s/%s", base.c_str(), name);
}

// Writes `text` over `path` through a new file beside it: message 209 when that file
// cannot be made, an own line when writing it fails (the old file then stays whole).
// True when `path` now holds `text`, with `mode`.
bool writeWhole(const std::string& path, const std::string& text, int mode) {
  FileReplacer out;
  if (!out.open(path, mode)) {
    logMessage(Msg::CannotOpenFile, path.c_str());
    return false;
  }
  if (!out.write(text) || !out.commit()) {
    logMessage(Msg::WriteFailed, path.c_str(), strerror(out.error()));
    return false;
  }
  return true;
}

}  // namespace

void writeInfoFile() {
  std::string path = infoPath("plixInfo4.0");
  if (!pathFits(path)) return;
  if (!writeWhole(path, formatText(kInfoFileText, settings.installDir.c_str()), kInfoFileMode)) return;
  (void)chown(path.c_str(), static_cast<uid_t>(settings.userId), static_cast<gid_t>(settings.groupId));
}

void copyInfoFile() {
  std::string sourcePath = infoPath("plixInfo2.0");
  std::string targetPath = infoPath("plixInfo4.0");
  if (!pathFits(sourcePath) || !pathFits(targetPath)) return;
  FILE* source = access(sourcePath.c_str(), F_OK) == 0 ? fopen(sourcePath.c_str(), "r") : nullptr;
  if (source == nullptr) {
    logMessage(Msg::CannotOpenFile, sourcePath.c_str());
    writeInfoFile();
    return;
  }
  bool headerReplaced = false;
  std::string text, line;
  while (readLine(source, &line)) {
    if (!headerReplaced && contains(line, "Information File")) {
      text += "# Plix 3.0 Information File\n";
      headerReplaced = true;
    } else {
      text += line;
    }
  }
  bool readFailed = ferror(source) != 0;
  fclose(source);
  if (readFailed) {
    logMessage(Msg::CannotOpenFile, sourcePath.c_str());
    writeInfoFile();
    return;
  }
  // The carried-over file keeps the mode and owner of the one it replaces.
  FileReplacer out;
  if (!out.open(targetPath, kKeepMode)) {
    logMessage(Msg::CannotOpenFile, targetPath.c_str());
    writeInfoFile();
    return;
  }
  if (!out.write(text) || !out.commit()) {
    logMessage(Msg::WriteFailed, targetPath.c_str(), strerror(out.error()));
    return;
  }
  logMessage(Msg::InfoCopied);
}
