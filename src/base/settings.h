// The process-wide settings of one run of setup: one struct, one instance, `settings`.
// The options, the probes and the run sequence fill it; every subsystem reads it.
// Texts are std::string, but every text that the product keeps in a 256-byte field
// holds at most kTextMax characters: code that stores into one goes through fitText().
#pragma once

#include <optional>
#include <string>

// Longest text a 256-byte field of the product holds (a line read at once, a path).
inline constexpr size_t kTextMax = 255;

// Print-system values.
enum PrintSystem : int {
  PRINT_NONE = 0,
  PRINT_LP = 1,
  PRINT_LPR = 2,
  PRINT_LPRNG = 4,
  PRINT_CUPS = 8,
};

struct Settings {
  std::string installDir;        // installation base directory (kDefaultInstallDir unless -u)
  std::string shareDir;          // share base directory, stored only
  std::string manifestName;      // file name of the installation manifest
  std::string sourceDir;         // directory setup runs from
  std::string foundInstallDir;   // directory of an earlier installation
  int userId = 0;
  int groupId = 0;
  int debugLevel = 0;
  int selinuxMode = 0;
  int uninstallMode = 0;
  int stepwise = 0;
  int modeOption = 1;            // stored only
  int installAnywhere = 1;
  int printSystem = PRINT_NONE;
  int noCupsDaemon = 0;
  int noFoomaticRip = 0;
  int abortInstall = 0;
  int upgradeMode = 0;
  std::string logPath;
  int logOpen = 0;
  std::string hostName;          // at most 63 characters
  std::string hostAddress;       // dotted IPv4 text
  int osKind = 0;
  std::string cupsBaseDir;
  std::string cupsBinDir;
  std::optional<std::string> cupsDataDir = std::string("/etc/cups/");
  int cupsVersion = 1000;
  int ppdDirFlags = 0;
  std::string existingPpdDir;
  std::string ppdInstallDir;
  std::string cupsModelDir;
};

extern Settings settings;

// `text` cut to at most `max` characters (a 256-byte field holds 255). Only for texts
// that are shown; a value used to act is never cut: see pathFits().
std::string fitText(const std::string& text, size_t max = kTextMax);

// True when `path` fits a 256-byte field; otherwise logs that it is not used and
// returns false, so that the caller refuses the step rather than cut the path.
bool pathFits(const std::string& path);
