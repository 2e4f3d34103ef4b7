#include "probe/cups_restart.h"

#include <unistd.h>

#include <optional>
#include <string>

#include "base/command_locator.h"
#include "base/files.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "base/util.h"

namespace {

// A located command that really exists there.
std::optional<std::string> existingCommand(const char* name) {
  std::optional<std::string> path = locateCommand(name);
  if (path && pathExists(*path)) return path;
  return std::nullopt;
}

}  // namespace

int restartCups() {
  std::string command;
  if (std::optional<std::string> systemctl = existingCommand("systemctl")) {
    command = formatText("%s restart cups.service", shellWord(*systemctl).c_str());
    writeLogLine(formatText("CUPS restart command:\"%s\"\n", command.c_str()));
  }
  int status = command.empty() ? -1 : runShell(command);
  logMessage(Msg::RestartStatus, status);
  if (status == 0) return 0;

  if (std::optional<std::string> service = existingCommand("service")) {
    status = runShell(formatText("%s cups restart", shellWord(*service).c_str()));
  } else if (pathExists("/etc/init.d/cups")) {
    status = runShell("/etc/init.d/cups restart");
  } else if (pathExists("/etc/init.d/cupsys")) {
    status = runShell("/etc/init.d/cupsys restart");
  } else {
    logMessage(Msg::NoRestartWay);
  }
  logMessage(Msg::RestartStatus, status);
  return status;
}
