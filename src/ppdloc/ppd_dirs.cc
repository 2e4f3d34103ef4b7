#include "ppdloc/ppd_dirs.h"

#include <sys/stat.h>
#include <unistd.h>

int isDirectory(const std::string& path) {
  struct stat st;
  if (access(path.c_str(), F_OK) != 0) return 0;
  if (stat(path.c_str(), &st) != 0) return 0;
  return S_ISDIR(st.st_mode) ? 1 : 0;
}

// Not yet implemented: no PPD tree found.
int findCupsModelDir() { return 0; }
int findSystemPpdDir() { return 0; }
const std::string& systemPpdDir() {
  static const std::string none;
  return none;
}
int discoverPpdLocations(std::string&) { return 0; }
