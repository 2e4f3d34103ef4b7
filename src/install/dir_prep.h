// Directories with exact permission bits, logged: one directory, a path with its
// ancestors, and the product tree (installDir, its bin and etc).
#pragma once

#include <string>

// 1 created now, 0 already a directory, -1 otherwise (empty path, not a directory,
// absent with create 0, creation failed). A created directory gets exactly `mode`.
int makeDirectory(const std::string& path, int create, int mode);

// makeDirectory for every ancestor of `path` (from the third character on), then path.
void makeDirectoryPath(const std::string& path);

// Makes dir, dir/bin and dir/etc once per run; 1 ready, 0 not possible.
int makeProductDirs(const std::string& dir);

// The mode setup gives to directories it creates for the product tree, its ancestors
// and the copy destinations: never writable by other users.
inline constexpr int kProductDirMode = 0755;
