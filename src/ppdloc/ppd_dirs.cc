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

std::string systemPpdDirText = kDefaultModelDir;

// Copies the first candidate that is a directory into `target`; 1 on a hit.
int firstDirectory(std::initializer_list<const char*> candidates, std::string* target) {
  for (const char* candidate : candidates) {
    if (isDirectory(candidate)) {
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

int findCupsModelDir() {
  settings.cupsModelDir = kDefaultModelDir;
  return firstDirectory({"/usr/share/cups/model", "/usr/share/ppd", "/etc/cups/model",
                         "/opt/cups/model", "/opt/cups/share/model"},
                        &settings.cupsModelDir);
}

int findSystemPpdDir() {
  systemPpdDirText = kDefaultModelDir;
  return firstDirectory({"/usr/share/ppd", "/usr/ppd", "/opt/share/ppd", "/usr/local/share/ppd",
                         "/usr/share/foomatic/db/source/PPD"},
                        &systemPpdDirText);
}

const std::string& systemPpdDir() { return systemPpdDirText; }

int discoverPpdLocations(std::string& existingPpdDir) {
  settings.ppdInstallDir.clear();
  const int modelFound = findCupsModelDir();
  const int systemFound = findSystemPpdDir();
  const int foomatic = isDirectory(kFoomaticDir);
  const int openprinting = isDirectory(kOpenprintingDir);
  bool found = false;

  // A later find overwrites an earlier one; the text outlives a found state that a
  // later test turns false again (see the maker directory below).
  auto record = [&](const std::string& path) {
    existingPpdDir = path;
    found = true;
  };

  if (openprinting && isDirectory(kOpenprintingZed)) record(kOpenprintingZed);

  int makerDir = 0;
  int productDir = 0;
  if (foomatic) {
    makerDir = isDirectory(kFoomaticMakerDir);
    if (makerDir) {
      found = isDirectory(kFoomaticMakerZed) != 0;
      if (found) existingPpdDir = kFoomaticMakerZed;
    }
    productDir = isDirectory(kFoomaticZed);
    if (productDir) record(kFoomaticZed);
  }

  const int optShare = isDirectory(kOptSharePpd);
  if (!found) {
    if (isDirectory(kOptShareZed)) {
      record(kOptShareZed);
    } else if (isDirectory(kSharePpdZed)) {
      record(kSharePpdZed);
    }
  }

  const int usrShare = isDirectory(kUsrSharePpd);
  const bool vendorTree =
      (isDirectory(kCupsIncludedDir) && isDirectory(kOpenprintingDir)) ||
      (isDirectory("/usr/share/ppd/HP") && isDirectory("/usr/share/ppd/Epson"));
  if (vendorTree && !found && isDirectory(kCupsIncludedZed)) record(kCupsIncludedZed);

  // cupsModelDir is always one of the short candidates above, so these joined paths
  // stay well inside a 256-byte field.
  const std::string customDir = formatText("%s/custom", settings.cupsModelDir.c_str());
  int custom = 0;
  if (modelFound) {
    custom = isDirectory(customDir);
    const std::string customZed = customDir + "/zed";
    if (custom && !found && isDirectory(customZed)) record(customZed);
  }

  int flags = 0;
  if (modelFound) flags |= MODEL_DIR_FOUND;
  if (foomatic) flags |= FOOMATIC_DIR;
  if (makerDir) flags |= FOOMATIC_MAKER_DIR;
  if (custom) flags |= MODEL_CUSTOM_DIR;
  if (usrShare) flags |= USR_SHARE_PPD;
  if (optShare) flags |= OPT_SHARE_PPD;
  if (systemFound) flags |= SYSTEM_PPD_DIR;
  if (productDir) flags |= FOOMATIC_PRODUCT_DIR;
  if (vendorTree) flags |= VENDOR_PPD_TREE;
  if (openprinting) flags |= OPENPRINTING_DIR;

  if (openprinting) {
    const bool vendorSubdirs = vendorTree && isDirectory("/usr/share/ppd/openprinting/HP") &&
                               isDirectory("/usr/share/ppd/openprinting/Epson");
    settings.ppdInstallDir = vendorSubdirs ? kOpenprintingZed : kSharePpdZed;
  } else if (custom) {
    settings.ppdInstallDir = formatText("%s/custom/zed", settings.cupsModelDir.c_str());
  } else if (foomatic) {
    settings.ppdInstallDir = (productDir || !makerDir) ? kFoomaticZed : kFoomaticMakerZed;
  }

  writeLogLine("=======================================");
  logMessage(Msg::PpdLocations);
  logMessage(Msg::ModelDir, modelFound ? settings.cupsModelDir.c_str() : kUnknown);
  logMessage(Msg::FoomaticDir, foomatic ? kFoomaticDir : kUnknown);
  logMessage(Msg::MakerDir, productDir ? kFoomaticZed : makerDir ? kFoomaticMakerDir : kUnknown);
  logMessage(Msg::CustomDir, custom ? customDir.c_str() : kUnknown);
  if (usrShare) logMessage(Msg::UsrSharePpd);
  if (optShare) logMessage(Msg::OptSharePpd);
  logMessage(Msg::SystemPpdDir, systemFound ? systemPpdDirText.c_str() : kUnknown);
  if (found) logMessage(Msg::PpdDirFound, existingPpdDir.c_str());
  return flags;
}
