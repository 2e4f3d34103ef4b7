#include "install/find_installation.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/paths.h"
#include "base/text.h"

namespace {

// Where an earlier installation leaves its information file; option -u does not move it.
constexpr const char* kSearchDir = kDefaultInstallDir;

// The value of a USRDIR line: from 7 characters after the start of the word (the word
// and the one character after it), past every control, blank and non-ASCII byte, up to
// the first blank or newline. A carriage return before the newline stays in the value.
std::string usrdirValue(const std::string& line) {
  size_t pos = line.find("USRDIR") + 7;
  std::string value;
  while (pos < line.size()) {
    unsigned char c = static_cast<unsigned char>(line[pos]);
    if (c > 0x20 && c < 0x80) break;
    ++pos;
  }
  while (pos < line.size() && line[pos] != ' ' && line[pos] != '\n') value += line[pos++];
  return value;
}

// The first USRDIR line of `path`; false when the file is missing, unreadable or has none.
bool findUsrdirLine(const std::string& path, std::string* line) {
  if (access(path.c_str(), F_OK) != 0) return false;
  FILE* file = fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  bool found = false;
  while (readLine(file, line)) {
    if (contains(*line, "USRDIR")) {
      found = true;
      break;
    }
  }
  fclose(file);
  return found;
}

}  // namespace

int findInstallation(std::string* dir, unsigned* kind) {
  *kind = ~0u;
  if (dir == nullptr) return 0;
  const std::string candidates[2] = {formatText("%s/plixInfo2.0", kSearchDir),
                                     formatText("%s/plixInfo4.0", kSearchDir)};
  for (unsigned pass = 1; pass <= 2; ++pass) {
    const char* override = getenv("PLIXINFO");
    std::string path = override ? std::string(override) : candidates[pass - 1];
    std::string line;
    if (!findUsrdirLine(path, &line)) continue;
    *dir += usrdirValue(line);
    *kind = pass;
    return 1;
  }
  return 0;
}
