#include "driver/preview.h"

#include <cups/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

#include "base/files.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/text.h"
#include "base/update_log.h"
#include "install/find_installation.h"
#include "install/manifest.h"
#include "ppdloc/ppd_dirs.h"
#include "uninstall/removal.h"
#include "upgrade/carry_over.h"
#include "upgrade/printer_list.h"
#include "upgrade/printer_scan.h"

namespace {

bool previewMode = false;
std::string privateDir;

std::string baseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string dirName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

void removePrivateDir() {
  if (privateDir.empty()) return;
  if (settings.logOpen) {
    closeUpdateLog();
    settings.logOpen = 0;
  }
  std::error_code ignored;
  std::filesystem::remove_all(privateDir, ignored);
  privateDir.clear();
}

// Where the copy loop puts manifest item `item` (read-only: nothing is made); "" for a
// destination form the loop does not know. `directorySwitch` is the loop's switch: on
// once a directory destination was seen, when "." items land in a directory of their own.
std::string itemTarget(const InstallItem& item, bool* directorySwitch) {
  const std::string& dest = item.destination;
  const std::string base = baseName(item.source);
  if (dest == "." || dest == "/") {
    std::string path = settings.installDir + "/" + item.source;
    return *directorySwitch ? path + "/" + base : path;
  }
  if (dest == "?") {
    std::string dir = !settings.ppdInstallDir.empty() ? settings.ppdInstallDir
                      : isDirectory(settings.cupsModelDir) ? settings.cupsModelDir
                                                           : std::string("/tmp");
    return dir + "/" + base;
  }
  std::string dir;
  if (dest.size() > 2 && startsWith(dest, "./")) dir = settings.installDir + "/" + dest.substr(2);
  else if (dest.size() > 2 && dest[0] == '/') dir = dest;
  else return "";
  *directorySwitch = true;
  return dir + "/" + base;
}

// True when the file at `target` already has the bytes of `source` and the item's mode.
bool inPlace(const std::string& source, const std::string& target, int mode) {
  struct stat st;
  if (lstat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (mode > 0 && static_cast<int>(st.st_mode & 07777) != mode) return false;
  std::string a, b;
  return readWholeFile(source, &a) && readWholeFile(target, &b) && a == b;
}

// The new PPD a queue would take: the product's own PPDs (the directories of the
// manifest's "?" items in the source tree, which the copy loop puts first into the PPD
// directory), then what the PPD directory and the fixed one hold already.
bool newPpdFor(const PListEntry* entry, const std::vector<std::string>& sourcePpdDirs, std::string* path) {
  for (const std::string& dir : sourcePpdDirs)
    if (findNewPpd(dir, entry, entry->pdlKind, entry->modelId, path) == 1) return true;
  return findNewPpd(settings.ppdInstallDir, entry, entry->pdlKind, entry->modelId, path) == 1 ||
         findNewPpd(kFixedPpdDir, entry, entry->pdlKind, entry->modelId, path) == 1;
}

// The rows of one queue, as the queue upgrade plans them and then checks the installed
// PPD: here the planned PPD is checked in the private directory.
std::vector<CarryRow> queueRows(const PListEntry* entry, const std::string& newPpd, bool* unchanged) {
  return previewCarryOver(entry->queueName, entry->ppdPath, newPpd, privateDir, unchanged);
}

int previewInstall() {
  std::string found;
  unsigned kind = 0;
  settings.upgradeMode = 0;
  if (findInstallation(&found, &kind) == 1 && isDirectory(found)) {
    settings.foundInstallDir = found;
    settings.installDir = found;
    settings.upgradeMode = (kind == 1 || kind == 2) ? static_cast<int>(kind) : 0;
  }
  if (!settings.installDir.empty() && settings.installDir.back() == '/') settings.installDir.pop_back();
  if (isRootDirectory(settings.installDir)) return previewFailed("the installation directory would be the root directory");
  if (settings.abortInstall == 1) return previewFailed("no CUPS scheduler or no foomatic-rip on this host");
  int items = getInfoData();
  if (items <= 0)
    return previewFailed(formatText("no installation manifest %s/etc/%s", settings.sourceDir.c_str(),
                                    settings.manifestName.c_str()));

  printf("setup -n: a preview; nothing on this host has been changed.\n");
  if (settings.upgradeMode != 0)
    printf("Installation: upgrade of kind %d (%s) in %s\n", settings.upgradeMode,
           settings.upgradeMode == 1 ? "plixInfo2.0" : "plixInfo4.0", settings.installDir.c_str());
  else
    printf("Installation: new, into %s\n", settings.installDir.c_str());
  printf("Product source: %s (manifest etc/%s, %d items)\n", settings.sourceDir.c_str(),
         settings.manifestName.c_str(), items);
  printf("PPD directory: %s\n", settings.ppdInstallDir.c_str());

  // The product's files: which the copy loop would copy anew.
  int toCopy = 0, same = 0;
  bool directorySwitch = false;
  std::vector<std::string> sourcePpdDirs;
  bool copying = settings.sourceDir != settings.installDir;
  for (int i = 0; i < items; ++i) {
    const InstallItem& item = installItems[i];
    std::string target = itemTarget(item, &directorySwitch);
    std::string source = settings.sourceDir + "/" + item.source;
    if (item.destination == "?") {
      std::string dir = dirName(source);
      if (std::find(sourcePpdDirs.begin(), sourcePpdDirs.end(), dir) == sourcePpdDirs.end()) sourcePpdDirs.push_back(dir);
    }
    if (!copying || target.empty()) continue;
    if (inPlace(source, target, item.mode)) {
      ++same;
    } else {
      ++toCopy;
      printf("File: %s -> %s\n", item.source.c_str(), target.c_str());
    }
  }
  printf("Product files: %d to copy, %d already in place\n", toCopy, same);

  // The queues the scan finds, each with the new PPD it would take and its rows.
  int count = 0;
  scanInstalledPrinters(&printerList, &count);
  std::vector<CarryRow> rows;
  int queuesChanged = 0;
  PListEntry* entry = &printerList;
  for (int i = 0; i < count; ++i, entry = entry->next) {
    std::string newPpd;
    if (!newPpdFor(entry, sourcePpdDirs, &newPpd)) {
      printf("Queue %s (%s): no new PPD found\n", entry->queueName.c_str(), entry->ppdPath.c_str());
      rows.push_back(notUpgradedRow(entry->queueName, "no-new-ppd"));
      continue;
    }
    bool unchanged = false;
    for (CarryRow& row : queueRows(entry, newPpd, &unchanged)) rows.push_back(row);
    if (!unchanged) ++queuesChanged;
    printf("Queue %s (%s): new PPD %s%s\n", entry->queueName.c_str(), entry->ppdPath.c_str(), newPpd.c_str(),
           unchanged ? ", already as the upgrade would make it" : "");
  }
  if (count == 0) printf("No product queue to upgrade.\n");

  printf("\nCarry-over report rows (as %s would have them):\n%s\n", kCarryOverReportPath,
         formatCarryReport(rows).c_str());

  int notCarried = 0;
  for (const CarryRow& row : rows) notCarried += row.outcome != CarryOutcome::Carried;
  if (settings.upgradeMode == 2 && toCopy == 0 && queuesChanged == 0) {
    printf("Changes: none\n");
  } else {
    printf("Changes: %s, %d files, %d queues\n", settings.upgradeMode == 0 ? "new installation"
                                                 : settings.upgradeMode == 1 ? "upgrade from plixInfo2.0"
                                                                             : "upgrade",
           toCopy, queuesChanged);
  }
  fflush(stdout);
  removePrivateDir();
  return notCarried == 0 ? kPreviewCarried : kPreviewNotCarried;
}

// The uninstallation's listing: the recorded queues with their files, then the
// product's files and directories below installDir that exist.
int previewRemoval() {
  std::string found;
  unsigned kind = 0;
  printf("setup -d -n: what an uninstallation would remove; nothing has been removed.\n");
  if (findInstallation(&found, &kind) != 1) {
    printf("No installation of Plix found: nothing to remove.\n");
    removePrivateDir();
    return kPreviewCarried;
  }
  const std::string& dir = settings.installDir;
  printf("Installation: %s (found in %s)\n", dir.c_str(), found.c_str());
  readInfoPrinters(kind, &printerList);
  bool safe = productDirIsSafe(dir);
  // As the removal walks the ring: the entry after the head first, the head last.
  PListEntry* head = &printerList;
  if (head->next == nullptr) initPList(head);
  int count = 1;
  for (PListEntry* e = head->next; e != head; e = e->next) ++count;
  PListEntry* entry = head->next;
  for (int i = 0; i < count; ++i, entry = entry->next) {
    const std::string& name = entry->queueName;
    if (name.empty() || name == "Default") continue;
    std::string files;
    if (queueNameIsFileName(name) && safe) {
      for (const std::string& path : {dir + "/" + name + "/", dir + "/" + name + ".sh"})
        if (pathExists(path.substr(0, path.size() - (path.back() == '/')), false)) files += " " + path;
    }
    printf("Queue: %s%s%s\n", name.c_str(), files.empty() ? "" : ", with", files.c_str());
  }
  if (!safe) {
    printf("No files: %s holds no installation of the product.\n", dir.c_str());
  } else {
    std::set<std::string> names = {"plixInfo4.0", "plixInfo2.0", "etc/UNINSTALLPLIX"};
    for (const InstallItem& item : readManifestItems(dir + "/etc/PLIXINST.CONF")) {
      const std::string& dest = item.destination;
      if (dest == "." || dest == "/") names.insert(item.source);
      else if (dest.size() > 2 && startsWith(dest, "./")) names.insert(dest.substr(2) + "/" + baseName(item.source));
    }
    for (const std::string& name : names)
      if (pathExists(dir + "/" + name, false)) printf("File: %s/%s\n", dir.c_str(), name.c_str());
    char target[4096];
    ssize_t n = readlink(kFilterLink, target, sizeof target - 1);
    if (n > 0 && startsWith(std::string(target, static_cast<size_t>(n)), dir + "/bin/"))
      printf("File: %s\n", kFilterLink);
    for (const char* sub : {"ppd", "etc", "bin"})
      if (isDirectory(dir + "/" + sub)) printf("Directory: %s/%s/\n", dir.c_str(), sub);
  }
  fflush(stdout);
  removePrivateDir();
  return kPreviewCarried;
}

}  // namespace

bool previewing() { return previewMode; }
void setPreviewing() { previewMode = true; }

bool beginPreview() {
  const char* base = getenv("TMPDIR");
  std::string dir = std::string(base != nullptr && *base == '/' ? base : "/tmp") + "/plix-preview.XXXXXX";
  if (mkdtemp(dir.data()) == nullptr) {
    fprintf(stderr, "setup -n: no private directory %s could be made\n", dir.c_str());
    return false;
  }
  privateDir = dir;
  setScratchDirectory(privateDir);
  setenv("TMPDIR", privateDir.c_str(), 1);
  return true;
}

std::string previewLogPath() { return privateDir + "/UpdateLog"; }

int runPreview() { return settings.uninstallMode != 0 ? previewRemoval() : previewInstall(); }

int previewFailed(const std::string& why) {
  fprintf(stderr, "setup -n: no preview: %s.\n", why.c_str());
  if (settings.logOpen) {
    closeUpdateLog();
    settings.logOpen = 0;
  }
  std::string log;
  if (!settings.logPath.empty() && readWholeFile(settings.logPath, &log) && !log.empty())
    fprintf(stderr, "The run logged (ISO-8859-1):\n%s", log.c_str());
  removePrivateDir();
  return kPreviewError;
}
