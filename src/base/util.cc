
#include <unistd.h>

#include <ctime>
#include "base/util.h"

std::string nowText() {
  time_t now = time(nullptr);
  const char* text = ctime(&now);
  return text ? text : "\n";
}
