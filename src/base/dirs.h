// Directories with exact permission bits, logged: one directory, and a path with its
// ancestors.
#pragma once

#include <string>

// The mode setup gives to directories it creates for the product tree, its ancestors
// and the copy destinations: never writable by other users.
inline constexpr int kProductDirMode = 0755;

// 1 created now, 0 already a directory, -1 otherwise (empty path, not a directory,
// absent with create 0, creation failed). A created directory gets exactly `mode`
// (chmod after mkdir, so the umask cannot narrow it). Logs the creation and the chmod.
int makeDirectory(const std::string& path, int create, int mode);

// makeDirectory (create, kProductDirMode) for every ancestor of `path` (cut at each
// "/" from the third character on), then for path itself.
void makeDirectoryPath(const std::string& path);
