#include "ppdloc/model_links.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/catalogue.h"
#include "base/dirs.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/text.h"
#include "base/update_log.h"
#include "base/util.h"
#include "ppdloc/ppd_dirs.h"

namespace {

// The model link table holds at most this many entries; a scan stops when it is full.
constexpr int kModelLinkMax = 8;

// The mode of the product's PPD directory made here.
constexpr int kPpdDirMode = 0755;

// Which entries of the model directory a scan records, chosen from the flag word.
enum class ScanMode { kNone, kCustom, kFoomatic, kUsr, kOpt };

std::string modelLinkPaths[kModelLinkMax];
std::string modelLinkTargets[kModelLinkMax];

ScanMode scanModeFor(int flags) {
  if (flags & MODEL_CUSTOM_DIR) return ScanMode::kCustom;
  if (flags & FOOMATIC_DIR) return ScanMode::kFoomatic;
  if (flags & USR_SHARE_PPD) return ScanMode::kUsr;
  if (flags & OPT_SHARE_PPD) return ScanMode::kOpt;
  return ScanMode::kNone;
}

// The link's target as readlink gives it; "" for an entry that is no link. False when
// the target does not fit a 256-byte field: such an entry is not recorded, since a
// cut target would name some other place.
bool readTarget(const std::string& path, std::string* target) {
  target->clear();
  char buffer[PATH_MAX];
  ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
  if (n < 0) return true;
  if (static_cast<size_t>(n) > kTextMax) return false;
  target->assign(buffer, static_cast<size_t>(n));
  return true;
}

// The link pattern searched among the recorded paths, or nullptr for no search.
const char* searchPatternFor(int flags) {
  if (flags & MODEL_CUSTOM_DIR) return "custom";
  if (flags & FOOMATIC_DIR) return "foomatic";
  if (flags & (USR_SHARE_PPD | OPT_SHARE_PPD)) return "/share/ppd";
  return nullptr;
}

// `text` when its last path component is "zed", else `text` + "/zed".
std::string withZed(const std::string& text) {
  size_t slash = text.rfind('/');
  std::string last = slash == std::string::npos ? text : text.substr(slash + 1);
  return last == "zed" ? text : text + "/zed";
}

// The directory that a CUPS 1.3 or later host gets, from the flags and the proposal
// of the discovery.
std::string chooseForNewCups(int flags, const std::string& proposal, const std::string& modelZed) {
  if (flags & USR_SHARE_PPD) {
    if (flags & OPENPRINTING_DIR) return "/usr/share/ppd/openprinting/zed";
    if (flags & VENDOR_PPD_TREE) return kSharePpdZed;
    if (!(flags & OPT_SHARE_PPD)) return contains(proposal, "/usr/share") ? proposal : kSharePpdZed;
    return contains(proposal, "/usr/opt") ? kOptPpdZed : kSharePpdZed;
  }
  if (flags & OPT_SHARE_PPD) {
    if (!contains(proposal, "/usr/opt")) return "/usr/opt/ppd/zed";
    if (contains(proposal, "/opt/share")) return modelZed;
    return "/opt/share/ppd/zed";
  }
  return modelZed;
}

// Logs the settled directory and creates it when it is not a directory yet.
void finishPpdInstallDir() {
  logMessage(Msg::PpdInstallDir, settings.ppdInstallDir.c_str());
  if (isDirectory(settings.ppdInstallDir)) return;
  (void)makeDirectory(settings.ppdInstallDir, 1, kPpdDirMode);
  logMessage(Msg::DirCreated, settings.ppdInstallDir.c_str());
}

// Old CUPS without recorded links: the product directory below a shared PPD tree,
// reachable from the model directory as the entry "zed".
void linkIntoModelDir(const std::string& dir, const std::string& modelZed) {
  settings.ppdInstallDir = dir;
  logMessage(Msg::PpdInstallDir, dir.c_str());
  if (pathExists(modelZed)) return;
  if (!pathExists(dir)) (void)makeDirectory(dir, 1, kPpdDirMode);
  std::string line = formatMessage(Msg::Linked, 1, modelZed.c_str(), dir.c_str());
  if (makeLink(dir, modelZed) != 0) line += catalogueText(Msg::False);
  writeLogLine(line);
}

}  // namespace

int makeLink(const std::string& target, const std::string& linkPath) {
  if (!pathExists(target)) {
    writeLogLine(formatText("No file: %s", target.c_str()));
    return -1;
  }
  if (!pathExists(linkPath)) return symlink(target.c_str(), linkPath.c_str()) == 0 ? 0 : -1;
  logMessage(Msg::LinkExists, linkPath.c_str());
  return -1;
}

void scanModelLinks(int* count) {
  const std::string& modelDir = settings.cupsModelDir;
  if (!pathExists(modelDir)) return;
  for (int i = 0; i < kModelLinkMax; ++i) {
    modelLinkPaths[i].clear();
    modelLinkTargets[i].clear();
  }
  const ScanMode mode = scanModeFor(settings.ppdDirFlags);

  int n = 0;
  bool seen = false;  // something recorded, or an entry path naming foomatic
  DIR* dir = opendir(modelDir.c_str());
  bool done = dir == nullptr;
  while (!done && n < kModelLinkMax) {
    const dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = formatText("%s/%s", modelDir.c_str(), name.c_str());
    if (contains(path, "foomatic")) seen = true;
    // A path the 256-byte table cannot hold is not recorded rather than cut.
    if (path.size() > kTextMax) continue;

    // Only links, and real directories with subdirectories, can lead to a PPD tree.
    struct stat own;
    if (lstat(path.c_str(), &own) != 0) continue;
    const bool isLink = S_ISLNK(own.st_mode);
    const bool branchingDir = S_ISDIR(own.st_mode) && own.st_nlink > 2;
    if (!isLink && !branchingDir) continue;

    std::string target;
    if (!readTarget(path, &target)) continue;

    bool record = false;
    switch (mode) {
      case ScanMode::kCustom: record = contains(path, "custom"); break;
      case ScanMode::kFoomatic: record = done = contains(target, "foomatic"); break;
      case ScanMode::kUsr: record = done = contains(target, "/usr/share/ppd"); break;
      case ScanMode::kOpt: record = done = contains(target, "/opt/share/ppd"); break;
      case ScanMode::kNone: break;
    }
    if (!record) continue;
    modelLinkPaths[n] = path;
    modelLinkTargets[n] = target;
    ++n;
    seen = true;
    logMessage(Msg::Linked, n, path.c_str(), target.c_str());
  }
  if (!seen) logMessage(Msg::NoKnownLinks, modelDir.c_str());
  if (dir != nullptr) closedir(dir);
  *count = n;
}

PpdDirChoice decidePpdInstallDir(const PpdDirFacts& facts) {
  const std::string modelZed = facts.modelDir + "/zed";
  if (!facts.existing.empty()) return {facts.existing, PpdDirAction::Reuse};
  if (facts.cupsVersion > 1299) {
    return {chooseForNewCups(facts.flags, facts.proposal, modelZed), PpdDirAction::Settle};
  }
  if (facts.links.empty()) {
    if (facts.flags & USR_SHARE_PPD) return {kSharePpdZed, PpdDirAction::LinkIntoModelDir};
    if (facts.flags & OPT_SHARE_PPD) return {"/opt/share/ppd/zed", PpdDirAction::LinkIntoModelDir};
    return {modelZed, PpdDirAction::Name};
  }
  const char* pattern = searchPatternFor(facts.flags);
  for (size_t i = 0; pattern != nullptr && i < facts.links.size(); ++i) {
    const auto& [path, target] = facts.links[i];
    if (!contains(path, pattern)) continue;
    const std::string dir = withZed(startsWith(target, "/") ? target : path);
    // A directory text that does not fit a 256-byte field is not used; the product
    // directory then goes below the model directory.
    return {dir.size() <= kTextMax ? dir : modelZed, PpdDirAction::Settle};
  }
  return {modelZed, PpdDirAction::Settle};
}

void choosePpdInstallDir(const std::string& existing, int count) {
  if (!pathExists(settings.cupsModelDir)) return;
  PpdDirFacts facts{existing, settings.ppdDirFlags, settings.cupsVersion, settings.ppdInstallDir,
                    settings.cupsModelDir, {}};
  for (int i = 0; i < count && i < kModelLinkMax; ++i) facts.links.emplace_back(modelLinkPaths[i], modelLinkTargets[i]);
  const PpdDirChoice choice = decidePpdInstallDir(facts);
  switch (choice.action) {
    case PpdDirAction::Reuse:
      settings.ppdInstallDir = choice.dir;
      logMessage(Msg::PpdInstallDir, choice.dir.c_str());
      logMessage(Msg::OldPpdDirUsed, choice.dir.c_str());
      break;
    case PpdDirAction::Settle:
      settings.ppdInstallDir = choice.dir;
      finishPpdInstallDir();
      break;
    case PpdDirAction::LinkIntoModelDir:
      linkIntoModelDir(choice.dir, facts.modelDir + "/zed");
      break;
    case PpdDirAction::Name:
      settings.ppdInstallDir = choice.dir;
      logMessage(Msg::PpdInstallDir, choice.dir.c_str());
      break;
  }
}
