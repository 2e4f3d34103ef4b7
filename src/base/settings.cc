#include "base/settings.h"

Settings settings;

std::string fitText(const std::string& text, size_t max) {
  if (text.size() <= max) return text;
  return text.substr(0, max);
}
