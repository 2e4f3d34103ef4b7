#include "install/dir_prep.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

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

bool installDirIsSafe(const std::string& dir) {
  std::vector<std::string> chain;  // dir first, then every directory above it
  auto climb = [&chain](std::string path) {
    for (bool first = true; !path.empty(); first = false) {
      chain.push_back(first ? "=" + path : path);
      size_t slash = path.rfind('/');
      if (path == "/" || slash == std::string::npos) break;
      path = slash == 0 ? "/" : path.substr(0, slash);
    }
  };
  climb(dir);
  if (char* real = realpath(dir.c_str(), nullptr)) {
    climb(real);
    free(real);
  }
  uid_t me = geteuid();
  for (const std::string& entry : chain) {
    bool self = entry[0] == '=';
    std::string path = self ? entry.substr(1) : entry;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) continue;
    bool othersWrite = (st.st_mode & S_IWOTH) != 0 || ((st.st_mode & S_IWGRP) != 0 && st.st_gid != 0);
    Msg why;
    if (st.st_uid != 0 && st.st_uid != me) why = Msg::DirOwnedByOther;
    else if (othersWrite && (self || (st.st_mode & S_ISVTX) == 0)) why = Msg::DirWritableByOthers;
    else continue;
    logMessage(Msg::BadInstallDir, dir.c_str());
    logMessage(why, path.c_str(), static_cast<unsigned>(st.st_uid));
    return false;
  }
  return true;
}
