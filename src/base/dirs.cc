#include "base/dirs.h"

#include <sys/stat.h>

#include "base/update_log.h"

namespace {


}  // namespace

int makeDirectory(const std::string& path, int create, int mode) {
  if (path.empty()) return -1;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (create == 0) return -1;
    if (mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0) return -1;
    logMessage(Msg::DirCreated, path.c_str());
    // mkdir's mode is narrowed by the umask; chmod gives exactly the mode asked for.
    if (chmod(path.c_str(), static_cast<mode_t>(mode)) == 0) {
      logMessage(Msg::ModeSet, path.c_str(), static_cast<unsigned>(mode));
    } else {
      logMessage(Msg::ChmodFailed, path.c_str(), static_cast<unsigned>(mode));
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

