#include "base/text.h"

#include <cstdarg>
#include <cstdlib>

#include "base/catalogue.h"

namespace {

std::string vformat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[512];
  int n = vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace

std::string formatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = vformat(format, args);
  va_end(args);
  return out;
}

std::string formatMessage(Msg number, ...) {
  va_list args;
  va_start(args, number);
  std::string out = vformat(catalogueText(number), args);
  va_end(args);
  return out;
}

bool readLine(FILE* file, std::string* line) {
  line->clear();
  if (file == nullptr) return false;
  // One line whatever its length: a long line is never split into a second one, and
  // a NUL byte stays in it for the caller to see.
  char* buffer = nullptr;
  size_t size = 0;
  ssize_t n = getline(&buffer, &size, file);
  if (n > 0) line->assign(buffer, static_cast<size_t>(n));
  free(buffer);
  return n > 0;
}

bool queueNameIsFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}
