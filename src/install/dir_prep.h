// Directories with exact permission bits, logged: one directory, a path with its
// ancestors, and the product tree (installDir, its bin and etc).
#pragma once

#include <string>

// 1 created now, 0 already a directory, -1 otherwise (empty path, not a directory,
// absent with create 0, creation failed). A created directory gets exactly `mode`
// (chmod after mkdir, so the umask cannot narrow it). Logs the creation and the chmod.
int makeDirectory(const std::string& path, int create, int mode);

// makeDirectory (create, kProductDirMode) for every ancestor of `path` (cut at each
// "/" from the third character on), then for path itself.
void makeDirectoryPath(const std::string& path);

// Makes dir (kProductDirMode), dir/bin and dir/etc (0755) and relabels dir/bin, once
// per run; 1 ready (also on every later call), 0 not possible (logged, except for an
// empty dir).
int makeProductDirs(const std::string& dir);

// The mode setup gives to directories it creates for the product tree, its ancestors
// and the copy destinations: never writable by other users.
inline constexpr int kProductDirMode = 0755;
