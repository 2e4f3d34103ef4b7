#include "driver/run.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/questions.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "base/util.h"
#include "driver/preview.h"
#include "install/copy_loop.h"
#include "install/dir_prep.h"
#include "install/find_installation.h"
#include "install/manifest.h"
#include "install/selinux.h"
#include "ppdloc/model_links.h"
#include "ppdloc/ppd_dirs.h"
#include "probe/cups_restart.h"
#include "probe/cups_version.h"
#include "probe/host_info.h"
#include "probe/print_system.h"
#include "uninstall/removal.h"
#include "upgrade/printer_list.h"
#include "upgrade/printer_scan.h"
#include "upgrade/queue_upgrade.h"

namespace {

// Used for hostAddress when the host probe yields none.
constexpr const char* kFallbackAddress = "127.0.0.1";

int numberValue(const char* text) { return static_cast<int>(strtol(text, nullptr, 10)); }

// A text option value is kept only when it fits the product's 256-byte fields; an
// over-long value is refused, never cut into another path.
bool takeText(int letter, const char* value, std::string* target) {
  std::string text(value);
  if (text.size() > kTextMax) {
    fputs(formatMessage(Msg::OptionTooLong, letter, kTextMax).c_str(), stderr);
    return false;
  }
  *target = text;
  return true;
}

void resetGetopt() {
  optind = 0;  // glibc: a full re-initialisation for the next pass
  opterr = 0;  // each pass ignores what the other pass takes
}

// Every end of the run: close the log when it was opened; status 0.
int endRun() {
  if (settings.logOpen) closeUpdateLog();
  return 0;
}

// A user message: to standard error as "%s\n" and into the log.
void tellAndLog(Msg number) {
  std::string text = catalogueText(number);
  fprintf(stderr, "%s\n", text.c_str());
  writeLogLine(text);
}

const char* printSystemName(int value) {
  switch (value) {
    case PRINT_LP: return "LP\n";
    case PRINT_LPR: return "LPR\n";
    case PRINT_LPRNG: return "LPRNG\n";
    case PRINT_CUPS: return "CUPS\n";
    default: return nullptr;
  }
}

// Steps U1-U5: the installation to remove, the confirmation, then its queues and files.
int runUninstallBranch() {
  std::string found;
  unsigned kind = 0;
  if (findInstallation(&found, &kind) != 1) {
    fputs(catalogueText(Msg::NoInstallation), stderr);
    logMessage(Msg::NoInstallation);
    fputs(catalogueText(Msg::Sorry), stderr);
    logMessage(Msg::Sorry);
    return endRun();
  }
  settings.foundInstallDir = found;
  if (askYesNo(catalogueText(Msg::ConfirmRemoval)) == ANSWER_YES) {
    readInfoPrinters(kind, &printerList);
    logMessage(Msg::PrintersFound, printerCount);
    int queuesLeft = removeProductQueues();
    int left = queuesLeft + removeProductFiles(queuesLeft);
    tellAndLog(left == 0 ? Msg::Removed : Msg::RemovalIncomplete);
  } else {
    tellAndLog(Msg::StoppedByUser);
  }
  return endRun();
}

// Steps I1-I11: new installation or upgrade, the manifest, the copy loop, the queues
// carried over to the new PPDs, and the CUPS restart.
int runInstallBranch() {
  std::string found;
  unsigned kind = 0;
  if (findInstallation(&found, &kind) == 1) {
    settings.foundInstallDir = found;
    logMessage(Msg::InstallationFound, found.c_str());
    if (makeDirectory(found, 0, 0755) < 0) {
      logMessage(Msg::BadInstallDir, found.c_str());
    } else {
      settings.installDir = found;
      settings.upgradeMode = (kind == 1 || kind == 2) ? static_cast<int>(kind) : 0;
      logMessage(Msg::UpgradeMode, settings.upgradeMode);
      logMessage(Msg::InstallDirExists, found.c_str());
      readInfoPrinters(kind, &printerList);
      logMessage(Msg::PrintersFound, printerCount);
      resetPList(&printerList);
    }
  } else {
    logMessage(Msg::NewInstallation);
  }

  if (!settings.installDir.empty() && settings.installDir.back() == '/')
    settings.installDir.pop_back();

  // The root directory, however it is spelt ("//", "/opt/.."), is no installation
  // directory: the product tree would land in / and its uninstall script would remove
  // /etc and /bin.
  if (isRootDirectory(settings.installDir)) {
    logMessage(Msg::BadInstallDir, settings.installDir.c_str());
    return endRun();
  }

  int items = getInfoData();
  if (items <= 0) {
    logMessage(Msg::ManifestDataMissing, settings.sourceDir.c_str(), settings.manifestName.c_str());
    settings.abortInstall = 1;
    items = 0;
  }
  if (settings.abortInstall == 1) {
    logMessage(Msg::InformationMissing);
    return endRun();
  }

  if (settings.stepwise != 0) {
    Msg question = settings.upgradeMode == 1   ? Msg::AskUpgradeFromOld
                   : settings.upgradeMode == 2 ? Msg::AskUpgrade
                                               : Msg::AskInstall;
    if (askYesNo(catalogueText(question)) != ANSWER_YES) {
      tellAndLog(Msg::StoppedByUser);
      return endRun();
    }
  }

  goInstall(items);
  int count = 0;
  scanInstalledPrinters(&printerList, &count);
  if (count > 0) upgradeQueues(settings.ppdInstallDir, &printerList, count, settings.stepwise);
  writeCarryOverReport();
  restartCups();
  return endRun();
}

}  // namespace

void printUsage() {
  fputs(formatMessage(Msg::SetupVersion, kProductVersion).c_str(), stderr);
  fputs(catalogueText(Msg::UsageTitle), stderr);
  fputs(catalogueText(Msg::UsageSynopsis), stderr);
  fputs(catalogueText(Msg::UsageOptions), stderr);
  fputs(formatMessage(Msg::UsageRemove, kProductVersion).c_str(), stderr);
  for (Msg line : {Msg::UsageAnywhere, Msg::UsageHelp, Msg::UsageStepwise, Msg::UsageSelinux, Msg::UsageDebug}) {
    fputs(catalogueText(line), stderr);
  }
  fflush(stderr);
  exit(0);
}

void readOptionsPass1(int argc, char** argv) {
  resetGetopt();
  int c;
  while ((c = getopt(argc, argv, kOptionString)) != -1) {
    switch (c) {
      case 'd': settings.uninstallMode = 1; break;
      case 'f': settings.installAnywhere = numberValue(optarg); break;
      case 'h': printUsage();
      case 'n': setPreviewing(); break;
      case 'S': settings.selinuxMode = numberValue(optarg); break;
      default: break;
    }
  }
}

void readOptionsPass2(int argc, char** argv) {
  resetGetopt();
  int c;
  while ((c = getopt(argc, argv, kOptionString)) != -1) {
    switch (c) {
      case 'D':
      case 'Z': settings.debugLevel = numberValue(optarg); break;
      case 'i': takeText(c, optarg, &settings.manifestName); break;
      case 'm': {
        int mode = numberValue(optarg);
        if (mode >= 1 && mode <= 3) settings.modeOption = mode;
        break;
      }
      case 'q': {
        int value = numberValue(optarg);
        settings.stepwise = value < 0 ? 0 : value;
        break;
      }
      case 'u': takeText(c, optarg, &settings.installDir); break;
      case 'w': takeText(c, optarg, &settings.shareDir); break;
      default: break;
    }
  }
}

void setSourceDir(const std::string& path) {
  std::string dir = path;
  if (startsWith(dir, "/")) {
    size_t last = dir.rfind('/');
    if (last != 0) dir.resize(last);
  } else {
    char cwd[256];
    if (getcwd(cwd, sizeof cwd) != nullptr) dir = cwd;
  }
  if (dir == kInstalledBinDir) dir = kDefaultInstallDir;
  // The source directory lives in a 256-byte field: a longer one is refused (left
  // empty) rather than cut into some other directory.
  settings.sourceDir = dir.size() <= kTextMax ? dir : std::string();
  logMessage(Msg::InstallingFrom, settings.sourceDir.c_str());
}

void reportStartupProblems() {
  logMessage(Msg::StopsBecause);
  if (settings.noCupsDaemon == 1) logMessage(Msg::NoCupsDaemon);
  if (settings.noFoomaticRip == 1) logMessage(Msg::NoFoomaticRip);
  logMessage(Msg::Sorry);
}

namespace {

// Steps 1-8: the SELinux state and tools, option pass 1, the policy module, the Update
// log, the commands every step runs, the start line and the source directory. False
// when a preview has no private directory.
bool startRun(int argc, char** argv) {
  std::optional<std::string> selinuxEnabled = locateCommand("selinuxenabled");
  commands.chcon = locateCommand("chcon");
  settings.selinuxMode = (selinuxEnabled && runShell(*selinuxEnabled) == 0) ? 1 : 0;
  settings.userId = static_cast<int>(getuid());
  settings.groupId = static_cast<int>(getgid());

  readOptionsPass1(argc, argv);

  // A preview loads no module and keeps its log, unlabelled, in its private directory.
  if (previewing()) {
    if (!beginPreview()) return false;
    commands.chcon.reset();
  } else if (settings.uninstallMode == 0 && settings.selinuxMode != 0) {
    fputs(".......\n", stderr);
    (void)installSelinuxModule();
  }

  settings.logPath = previewing() ? previewLogPath() : kUpdateLogPath;
  settings.logOpen = openUpdateLog(settings.userId);

  for (auto [name, entry] : {std::pair{"cp", &commands.cp}, std::pair{"rm", &commands.rm},
                             std::pair{"gzip", &commands.gzip}, std::pair{"lpadmin", &commands.lpadmin},
                             std::pair{"lpstat", &commands.lpstat}}) {
    *entry = locateCommand(name).value_or(name);
  }

  writeLogLine(formatMessage(Msg::InstallationStarts, nowText().c_str()));

  if (argc > 0 && argv[0] != nullptr && argv[0][0] != '\0') setSourceDir(argv[0]);
  return true;
}

// Steps 9-14: the location rule, the default directories, option pass 2 and the root
// rule. False when the run must end here.
bool passRules(int argc, char** argv) {
  if (settings.installAnywhere == 0 && !startsWith(settings.sourceDir, kDefaultInstallDir) &&
      settings.uninstallMode == 0) {
    std::string text = catalogueText(Msg::NotInInstalledBin);
    writeLogLine(text);
    fprintf(stderr, "%s\n", text.c_str());
    return false;
  }

  settings.installDir = kDefaultInstallDir;
  settings.shareDir = "/opt";
  settings.manifestName = "PLIXINST.CONF";

  writeLogLine(formatMessage(Msg::SelinuxActive, catalogueText(settings.selinuxMode != 0 ? Msg::Yes : Msg::No)));
  if (settings.selinuxMode != 0) logMessage(Msg::SelinuxModuleLoaded);

  initPList(&printerList);
  settings.noFoomaticRip = hasFoomaticRip() == 0 ? 1 : 0;

  readOptionsPass2(argc, argv);

  if (settings.userId != 0) {
    trace("Must be root.\nExiting.\n");
    writeLogLine(formatText("%s\n", catalogueText(Msg::MustBeRoot)));
    return false;
  }
  return true;
}

// Steps 15-20: which print system runs, what stops an installation, and on CUPS its
// prefixes, version, data directory and own lpadmin and lpstat; the host itself.
void probeHost() {
  trace("Root mode: getting printer manager.\n");
  settings.printSystem = printSystemFromEnvironment();
  if (settings.printSystem == 0) settings.printSystem = probePrintSystem();

  const char* name = printSystemName(settings.printSystem);
  std::string line = catalogueText(Msg::PrintSystem);
  line += name ? name : formatText("%s\n", catalogueText(Msg::Unknown));
  writeLogLine(line);

  settings.noCupsDaemon = settings.printSystem != PRINT_CUPS ? 1 : 0;
  if (settings.noCupsDaemon == 1 || settings.noFoomaticRip == 1) {
    settings.abortInstall = 1;
    reportStartupProblems();
  } else {
    settings.abortInstall = 0;
  }

  if (settings.printSystem == PRINT_CUPS) {
    logMessage(Msg::CupsBaseDir, settings.cupsBaseDir.c_str());
    logMessage(Msg::CupsBinDir, settings.cupsBinDir.c_str());
    settings.cupsVersion = getCupsVersion();
  }

  trace("Getting full system info.\n");
  settings.osKind = probeHostInfo();
  if (settings.hostName.empty()) settings.hostName = "nodeName";
  if (settings.hostAddress.empty()) settings.hostAddress = kFallbackAddress;

  if (settings.printSystem == PRINT_CUPS) {
    settings.cupsDataDir = findCupsDataDir();
    commands.lpadmin = locateCupsCommand("lpadmin").value_or("lpadmin");
    commands.lpstat = locateCupsCommand("lpstat").value_or("lpstat");
    writeLogLine(formatText("lpadmin = %s\n", commands.lpadmin.c_str()));
    writeLogLine(formatText("lpstat  = %s\n", commands.lpstat.c_str()));
  }
}

// Step 21: the PPD trees of the host, and where the product's PPD directory goes.
void settlePpdLocations() {
  settings.ppdDirFlags = discoverPpdLocations(settings.existingPpdDir);
  if (!settings.cupsModelDir.empty()) {
    int linkCount = 0;
    scanModelLinks(&linkCount);
    if (settings.cupsModelDir.empty()) return;
    // A preview only names the directory; the run makes it (and, for old CUPS, its link).
    if (previewing()) {
      if (!pathExists(settings.cupsModelDir)) return;
      settings.ppdInstallDir = decidePpdInstallDir({settings.existingPpdDir, settings.ppdDirFlags,
                                                    settings.cupsVersion, settings.ppdInstallDir,
                                                    settings.cupsModelDir, {}})
                                   .dir;
    } else {
      choosePpdInstallDir(settings.existingPpdDir, linkCount);
    }
  }
}

}  // namespace

int runSetup(int argc, char** argv) {
  if (!startRun(argc, argv)) return kPreviewError;
  if (!passRules(argc, argv)) {
    if (!previewing()) return endRun();
    return previewFailed(settings.userId != 0 ? "setup must run as root" : "setup does not run from here (-f 0)");
  }
  probeHost();
  settlePpdLocations();
  if (previewing()) return runPreview();
  return settings.uninstallMode != 0 ? runUninstallBranch() : runInstallBranch();
}
