#include "base/text.h"

#include <cstdarg>

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

bool readPiece(FILE* file, std::string* line) {
  line->clear();
  if (file == nullptr) return false;
  char buffer[256];
  if (fgets(buffer, sizeof buffer, file) == nullptr) return false;
  // fgets stops at a newline or after 255 bytes; a NUL byte inside the line ends the
  // text as it would for the C string the product works with.
  line->assign(buffer);
  return true;
}

std::vector<std::string_view> splitPieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t len = 0;
    while (pos + len < text.size() && len < 255) {
      ++len;
      if (text[pos + len - 1] == '\n') break;
    }
    pieces.push_back(text.substr(pos, len));
    pos += len;
  }
  return pieces;
}

bool queueNameIsFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}
