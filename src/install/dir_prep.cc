#include "install/dir_prep.h"

#include <sys/stat.h>

// Not yet implemented beyond the existence test: nothing is created.
int makeDirectory(const std::string& path, int, int) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return -1;
  return S_ISDIR(st.st_mode) ? 0 : -1;
}
void makeDirectoryPath(const std::string&) {}
int makeProductDirs(const std::string&) { return 0; }
