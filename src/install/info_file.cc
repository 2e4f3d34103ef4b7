#include "install/info_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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
  return fitText(formatText("%s/%s", base.c_str(), name));
}

}  // namespace

void writeInfoFile() {
  std::string path = infoPath("plixInfo4.0");
  FILE* file = fopen(path.c_str(), "w");
  if (file == nullptr) {
    logMessage(Msg::CannotOpenFile, path.c_str());
    return;
  }
  fputs(formatText(kInfoFileText, settings.installDir.c_str()).c_str(), file);
  fclose(file);
  (void)chmod(path.c_str(), kInfoFileMode);
  (void)chown(path.c_str(), static_cast<uid_t>(settings.userId), static_cast<gid_t>(settings.groupId));
}

void copyInfoFile() {
  std::string sourcePath = infoPath("plixInfo2.0");
  std::string targetPath = infoPath("plixInfo4.0");
  FILE* source = access(sourcePath.c_str(), F_OK) == 0 ? fopen(sourcePath.c_str(), "r") : nullptr;
  if (source == nullptr) {
    logMessage(Msg::CannotOpenFile, sourcePath.c_str());
    writeInfoFile();
    return;
  }
  FILE* target = fopen(targetPath.c_str(), "w");
  if (target == nullptr) {
    logMessage(Msg::CannotOpenFile, targetPath.c_str());
    fclose(source);
    writeInfoFile();
    return;
  }
  bool headerReplaced = false;
  std::string line;
  while (readPiece(source, &line)) {
    if (!headerReplaced && contains(line, "Information File")) {
      fputs("# Plix 3.0 Information File\n", target);
      headerReplaced = true;
    } else {
      fputs(line.c_str(), target);
    }
  }
  fclose(source);
  fclose(target);
  logMessage(Msg::InfoCopied);
}
