// Small text helpers shared by every subsystem: printf-style formatting into a
// std::string, the 255-character line reader, and catalogue formatting.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/catalogue.h"

// printf into a new string. For literal formats only (checked by the compiler).
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Catalogue entry `number` used as a printf format with the values that follow.
std::string formatMessage(Msg message, ...);

// Reads one whole line from `file`, up to and including its newline, whatever its
// length and whatever bytes it holds (NUL included). Returns false (and leaves `line`
// empty) at the end of the file.
bool readLine(FILE* file, std::string* line);

// True when `text` contains `part`.
inline bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// True when `text` begins with `prefix`.
inline bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// True when a queue name can stand as one path component of the files named after the
// queue: not empty, not "." or "..", and without "/" or a NUL byte.
bool queueNameIsFileName(std::string_view name);
