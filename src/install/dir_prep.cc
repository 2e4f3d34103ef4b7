#include "install/dir_prep.h"

#include <sys/stat.h>

#include "base/dirs.h"
#include "base/update_log.h"
#include "install/selinux.h"

namespace {

// The mode of the product's bin and etc directories.
constexpr int kProductSubdirMode = 0755;

// Set once the product tree has been made in this run; it is not looked at again.
bool productTreeReady = false;

}  // namespace

int makeProductDirs(const std::string& dir) {
  if (productTreeReady) return 1;
  if (dir.empty()) return 0;
  if (makeDirectory(dir, 1, kProductDirMode) == -1) {
    logMessage(Msg::NoProductDir, dir.c_str());
    return 0;
  }
  const std::string binDir = dir + "/bin";
  if (makeDirectory(binDir, 1, kProductSubdirMode) == -1) {
    logMessage(Msg::NoBinDir, binDir.c_str());
    return 0;
  }
  const std::string etcDir = dir + "/etc";
  if (makeDirectory(etcDir, 1, kProductSubdirMode) == -1) {
    logMessage(Msg::NoEtcDir, etcDir.c_str());
    return 0;
  }
  (void)setSelinuxContext(binDir, "-R -u system_u", 1);
  productTreeReady = true;
  return 1;
}
