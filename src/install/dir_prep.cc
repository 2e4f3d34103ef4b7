#include "install/dir_prep.h"

#include <sys/stat.h>

#include "driver/update_log.h"
#include "install/selinux.h"

namespace {

enum Msg : int {
  MSG_NO_ETC_DIR = 16,       // "Kein ZED etc Verzeichnis: '%s' möglich"
  MSG_NO_BIN_DIR = 17,       // "Kein ZED binary Verzeichnis: '%s' möglich"
  MSG_NO_PRODUCT_DIR = 18,   // "Kein ZED Verzeichnis: '%s' möglich"
  MSG_CHMOD_FAILED = 21,     // "Könnte nicht chmod %s nach %o.\n"
  MSG_MODE_SET = 180,        // "Ändere Ausführungsrechte von '%s' zu  00%o.\n"
  MSG_DIR_CREATED = 190,     // "Erstelltes Verzeichnis: '%s'.\n"
};

// The mode of the product's bin and etc directories.
constexpr int kProductSubdirMode = 0755;

// Set once the product tree has been made in this run; it is not looked at again.
bool productTreeReady = false;

}  // namespace

int makeDirectory(const std::string& path, int create, int mode) {
  if (path.empty()) return -1;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (create == 0) return -1;
    if (mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0) return -1;
    logMessage(MSG_DIR_CREATED, path.c_str());
    // mkdir's mode is narrowed by the umask; chmod gives exactly the mode asked for.
    if (chmod(path.c_str(), static_cast<mode_t>(mode)) == 0) {
      logMessage(MSG_MODE_SET, path.c_str(), static_cast<unsigned>(mode));
    } else {
      logMessage(MSG_CHMOD_FAILED, path.c_str(), static_cast<unsigned>(mode));
    }
    return 1;
  }
  return S_ISDIR(st.st_mode) ? 0 : -1;
}

void makeDirectoryPath(const std::string& path) {
  // The root ("/" in the first two characters) is never cut off as an ancestor.
  for (size_t slash = path.find('/', 2); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    (void)makeDirectory(path.substr(0, slash), 1, kProductDirMode);
  }
  (void)makeDirectory(path, 1, kProductDirMode);
}

int makeProductDirs(const std::string& dir) {
  if (productTreeReady) return 1;
  if (dir.empty()) return 0;
  if (makeDirectory(dir, 1, kProductDirMode) == -1) {
    logMessage(MSG_NO_PRODUCT_DIR, dir.c_str());
    return 0;
  }
  const std::string binDir = dir + "/bin";
  if (makeDirectory(binDir, 1, kProductSubdirMode) == -1) {
    logMessage(MSG_NO_BIN_DIR, binDir.c_str());
    return 0;
  }
  const std::string etcDir = dir + "/etc";
  if (makeDirectory(etcDir, 1, kProductSubdirMode) == -1) {
    logMessage(MSG_NO_ETC_DIR, etcDir.c_str());
    return 0;
  }
  (void)setSelinuxContext(binDir, "-R -u system_u", 1);
  productTreeReady = true;
  return 1;
}
