
#include <unistd.h>

#include <ctime>
#include "driver/util.h"

bool pathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string nowText() {
  time_t now = time(nullptr);
  const char* text = ctime(&now);
  return text ? text : "\n";
}
