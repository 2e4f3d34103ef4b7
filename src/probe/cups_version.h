// The CUPS version (server header, else local sources, else 1.4) and the CUPS data
// directory; and myTmpName, the maker of scratch files in a directory.
#pragma once

#include <optional>
#include <string>

// Creates a new empty file "<dir>/ZANxxxxxx" and returns its path. When it cannot,
// writes "myTmpName(<dir>,<label>) Failed!" to standard error and exits with 255.
std::string myTmpName(const std::string& dir, const char* label);

int getCupsVersion();
int queryCupsServerVersion();
int findCupsVersionLocally();
std::optional<std::string> findCupsDataDir();
int normalizeVersion(int v);
int versionDigits(const char* text);
