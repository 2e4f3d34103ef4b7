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

// Reads one piece of a line from `file` the way a 256-byte fgets() does: at most
// 255 characters, up to and including a newline; a longer line comes back in
// several pieces. Returns false (and leaves `line` empty) when nothing was read.
bool readPiece(FILE* file, std::string* line);

// Splits `text` into the pieces readPiece() would return for a file holding it.
std::vector<std::string_view> splitPieces(std::string_view text);

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
