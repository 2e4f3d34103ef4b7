#include "install/selinux.h"

#include <unistd.h>

#include <cstdio>
#include <optional>

#include "driver/catalogue.h"
#include "driver/shell.h"
#include "driver/text.h"
#include "driver/update_log.h"
#include "probe/command_locator.h"

namespace {

enum Msg : int {
  MSG_CHCON_RESULT = 19,     // "chcon SELinux für: \"%s\": Resultat: %d"
  MSG_NO_MODULE_FILE = 27,   // "SELinux aktive, aber keine plix.pp Datei gefunden."
};

// The product's policy module; a fixed path, whatever the installation directory is.
constexpr const char* kPolicyModule = "/opt/zed/etc/plix.pp";

// semodule as located for this run.
std::optional<std::string> semodulePath;

}  // namespace

int installSelinuxModule() {
  semodulePath = locateCommand("semodule");
  if (!semodulePath) return 0;
  if (access(kPolicyModule, F_OK) == 0) {
    return runShell(formatText("%s -i %s", shellWord(*semodulePath).c_str(), kPolicyModule));
  }
  fputs(catalogueText(MSG_NO_MODULE_FILE), stderr);
  fflush(stderr);
  return 0;
}

int setSelinuxContext(const std::string& path, const std::string& options, int log) {
  if (!commands.chcon || !startsWith(*commands.chcon, "/")) return -1;
  const std::string command = formatText("%s %s %s 2>/dev/null", shellWord(*commands.chcon).c_str(),
                                         options.c_str(), shellWord(path).c_str());
  const int status = runShell(command);
  if (log) logMessage(MSG_CHCON_RESULT, command.c_str(), status);
  return status;
}
