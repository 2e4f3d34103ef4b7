#include "base/settings.h"

#include "base/update_log.h"

Settings settings;

std::string fitText(const std::string& text, size_t max) {
  if (text.size() <= max) return text;
  return text.substr(0, max);
}

bool pathFits(const std::string& path) {
  if (path.size() <= kTextMax) return true;
  logMessage(Msg::PathTooLong, kTextMax, path.c_str());
  return false;
}
