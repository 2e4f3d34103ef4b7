// Small helpers that every subsystem uses: the product's existence test and the
// date-and-time text of its log and script headers.
#pragma once

#include <string>

// True when `path` exists (access() existence test: a link counts by its target, a
// directory counts too).
bool pathExists(const std::string& path);

// ctime() of the current time: "Mon Dec  7 14:15:39 2026\n", newline included.
std::string nowText();
