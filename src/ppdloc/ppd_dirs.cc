#include "ppdloc/ppd_dirs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <initializer_list>

#include "base/paths.h"
#include "base/settings.h"
#include "base/text.h"
#include "base/update_log.h"

namespace {

// Where nothing better is found, both the model and the system directory are this.
constexpr const char* kDefaultModelDir = "/usr/share/cups/model";

constexpr const char* kFoomaticDir = "/usr/share/foomatic/db/source/PPD";
constexpr const char* kFoomaticMakerDir = "/usr/share/foomatic/db/source/PPD/Orvex";
constexpr const char* kFoomaticMakerZed = "/usr/share/foomatic/db/source/PPD/Orvex/zed";
constexpr const char* kFoomaticZed = "/usr/share/foomatic/db/source/PPD/zed";
constexpr const char* kOpenprintingDir = "/usr/share/ppd/openprinting";
constexpr const char* kOpenprintingZed = "/usr/share/ppd/openprinting/zed";
constexpr const char* kUsrSharePpd = "/usr/share/ppd";
constexpr const char* kOptSharePpd = "/opt/share/ppd";
constexpr const char* kOptShareZed = "/opt/share/ppd/zed";
constexpr const char* kCupsIncludedDir = "/usr/share/ppd/cups-included";
constexpr const char* kCupsIncludedZed = "/usr/share/ppd/cups-included/zed";

// Shown in the summary for a directory that was not found.
constexpr const char* kUnknown = "???";

// The first candidate that `isDir` calls a directory, copied into `target`; 1 on a hit.
int firstDirectory(const DirectoryTest& isDir, std::initializer_list<const char*> candidates,
                   std::string* target) {
  for (const char* candidate : candidates) {
    if (isDir(candidate)) {
      *target = candidate;
      return 1;
    }
  }
  return 0;
}

}  // namespace

int isDirectory(const std::string& path) {
  struct stat st;
  if (access(path.c_str(), F_OK) != 0) return 0;
  if (stat(path.c_str(), &st) != 0) return 0;
  return S_ISDIR(st.st_mode) ? 1 : 0;
}

PpdLocations decidePpdLocations(const DirectoryTest& isDir) {
  PpdLocations out;
  out.modelDir = kDefaultModelDir;
  out.systemDir = kDefaultModelDir;
  const int modelFound = firstDirectory(isDir, {"/usr/share/cups/model", "/usr/share/ppd", "/etc/cups/model",
                                                "/opt/cups/model", "/opt/cups/share/model"},
                                        &out.modelDir);
  const int systemFound = firstDirectory(isDir, {"/usr/share/ppd", "/usr/ppd", "/opt/share/ppd",
                                                 "/usr/local/share/ppd", "/usr/share/foomatic/db/source/PPD"},
                                         &out.systemDir);
  const bool foomatic = isDir(kFoomaticDir);
  const bool openprinting = isDir(kOpenprintingDir);

  // A later find overwrites an earlier one; the text outlives a found state that a
  // later test turns false again (see the maker directory below).
  auto record = [&](const std::string& path) {
    out.existing = path;
    out.found = true;
  };

  if (openprinting && isDir(kOpenprintingZed)) record(kOpenprintingZed);

  bool makerDir = false;
  bool productDir = false;
  if (foomatic) {
    makerDir = isDir(kFoomaticMakerDir);
    if (makerDir) {
      out.found = isDir(kFoomaticMakerZed);
      if (out.found) out.existing = kFoomaticMakerZed;
    }
    productDir = isDir(kFoomaticZed);
    if (productDir) record(kFoomaticZed);
  }

  const bool optShare = isDir(kOptSharePpd);
  if (!out.found) {
    if (isDir(kOptShareZed)) {
      record(kOptShareZed);
    } else if (isDir(kSharePpdZed)) {
      record(kSharePpdZed);
    }
  }

  const bool usrShare = isDir(kUsrSharePpd);
  const bool vendorTree = (isDir(kCupsIncludedDir) && isDir(kOpenprintingDir)) ||
                          (isDir("/usr/share/ppd/HP") && isDir("/usr/share/ppd/Epson"));
  if (vendorTree && !out.found && isDir(kCupsIncludedZed)) record(kCupsIncludedZed);

  // modelDir is always one of the short candidates above, so these joined paths stay
  // well inside a 256-byte field.
  bool custom = false;
  if (modelFound) {
    out.customDir = out.modelDir + "/custom";
    custom = isDir(out.customDir);
    if (custom && !out.found && isDir(out.customDir + "/zed")) record(out.customDir + "/zed");
  }

  if (modelFound) out.flags |= MODEL_DIR_FOUND;
  if (foomatic) out.flags |= FOOMATIC_DIR;
  if (makerDir) out.flags |= FOOMATIC_MAKER_DIR;
  if (custom) out.flags |= MODEL_CUSTOM_DIR;
  if (usrShare) out.flags |= USR_SHARE_PPD;
  if (optShare) out.flags |= OPT_SHARE_PPD;
  if (systemFound) out.flags |= SYSTEM_PPD_DIR;
  if (productDir) out.flags |= FOOMATIC_PRODUCT_DIR;
  if (vendorTree) out.flags |= VENDOR_PPD_TREE;
  if (openprinting) out.flags |= OPENPRINTING_DIR;

  if (openprinting) {
    const bool vendorSubdirs =
        vendorTree && isDir("/usr/share/ppd/openprinting/HP") && isDir("/usr/share/ppd/openprinting/Epson");
    out.proposal = vendorSubdirs ? kOpenprintingZed : kSharePpdZed;
  } else if (custom) {
    out.proposal = out.customDir + "/zed";
  } else if (foomatic) {
    out.proposal = (productDir || !makerDir) ? kFoomaticZed : kFoomaticMakerZed;
  }
  return out;
}

int discoverPpdLocations(std::string& existingPpdDir) {
  const PpdLocations found = decidePpdLocations([](const std::string& path) { return isDirectory(path) != 0; });
  const int flags = found.flags;
  settings.cupsModelDir = found.modelDir;
  settings.ppdInstallDir = found.proposal;
  if (!found.existing.empty()) existingPpdDir = found.existing;

  writeLogLine("=======================================");
  logMessage(Msg::PpdLocations);
  logMessage(Msg::ModelDir, (flags & MODEL_DIR_FOUND) ? found.modelDir.c_str() : kUnknown);
  logMessage(Msg::FoomaticDir, (flags & FOOMATIC_DIR) ? kFoomaticDir : kUnknown);
  logMessage(Msg::MakerDir, (flags & FOOMATIC_PRODUCT_DIR) ? kFoomaticZed
                            : (flags & FOOMATIC_MAKER_DIR) ? kFoomaticMakerDir
                                                           : kUnknown);
  logMessage(Msg::CustomDir, (flags & MODEL_CUSTOM_DIR) ? found.customDir.c_str() : kUnknown);
  if (flags & USR_SHARE_PPD) logMessage(Msg::UsrSharePpd);
  if (flags & OPT_SHARE_PPD) logMessage(Msg::OptSharePpd);
  logMessage(Msg::SystemPpdDir, (flags & SYSTEM_PPD_DIR) ? found.systemDir.c_str() : kUnknown);
  if (found.found) logMessage(Msg::PpdDirFound, existingPpdDir.c_str());
  return flags;
}
