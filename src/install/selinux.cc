#include "install/selinux.h"

#include <unistd.h>

#include <cstdio>
#include <optional>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/paths.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"

namespace {

// semodule as located for this run.
std::optional<std::string> semodulePath;

}  // namespace

int installSelinuxModule() {
  semodulePath = locateCommand("semodule");
  if (!semodulePath) return 0;
  if (access(kPolicyModule, F_OK) == 0) {
    return runShell(formatText("%s -i %s", shellWord(*semodulePath).c_str(), kPolicyModule));
  }
  fputs(catalogueText(Msg::NoModuleFile), stderr);
  fflush(stderr);
  return 0;
}

int setSelinuxContext(const std::string& path, const std::string& options, int log) {
  if (!commands.chcon || !startsWith(*commands.chcon, "/")) return -1;
  const std::string command = formatText("%s %s %s 2>/dev/null", shellWord(*commands.chcon).c_str(),
                                         options.c_str(), shellWord(path).c_str());
  const int status = runShell(command);
  if (log) logMessage(Msg::ChconResult, command.c_str(), status);
  return status;
}
