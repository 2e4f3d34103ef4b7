#include "base/command_locator.h"

#include <unistd.h>

#include "base/files.h"
#include "base/settings.h"
#include "base/text.h"
#include "base/util.h"

CommandTable commands;

namespace {

// The product builds candidates in fixed buffers: 128 bytes for the system
// directories, 264 bytes below the CUPS prefixes. A candidate that would not fit is
// not tested at all, so no cut path is ever taken for another one.
constexpr size_t kSystemCandidateMax = 127;
constexpr size_t kCupsCandidateMax = 263;

}  // namespace

std::optional<std::string> locateCommand(const std::string& name) {
  static const char* const kPatterns[] = {
      "/usr/bin/%s", "/usr/sbin/%s", "/usr/ucb/%s",     "/bin/%s",
      "/sbin/%s",    "/usr/bsd/%s",  "/etc/%s",         "/usr/etc/%s",
      "/usr/lib/%s", "/lib/%s",      "/usr/local/bin/%s", "/usr/freeware/bin/%s",
  };
  for (const char* pattern : kPatterns) {
    std::string path = formatText(pattern, name.c_str());
    if (path.size() > kSystemCandidateMax) continue;
    if (pathExists(path)) return path;
  }
  return std::nullopt;
}

std::optional<std::string> locateCupsCommand(const std::string& name) {
  if (settings.cupsBinDir.empty()) return locateCommand(name);
  static const char* const kPatterns[] = {"%s/bin/%s", "%s/sbin/%s", "%s/etc/%s", "%s/lib/%s"};
  for (const std::string* prefix : {&settings.cupsBinDir, &settings.cupsBaseDir}) {
    if (prefix->empty()) continue;
    for (const char* pattern : kPatterns) {
      std::string path = formatText(pattern, prefix->c_str(), name.c_str());
      if (path.size() > kCupsCandidateMax) continue;
      if (pathExists(path)) return path;
    }
  }
  return name;
}
