// The product tree: installDir, its bin and etc, made once per run.
#pragma once

#include <string>

#include "base/dirs.h"

// Makes dir (kProductDirMode), dir/bin and dir/etc (0755) and relabels dir/bin, once
// per run; 1 ready (also on every later call), 0 not possible (logged, except for an
// empty dir).
int makeProductDirs(const std::string& dir);

// True when `dir` may hold the product, whose filter runs as root: neither `dir` nor a
// directory above it (as written and as resolved through links) belongs to another user
// than root or the caller, `dir` is writable by no other user, and a directory above it
// is writable by others only when it is sticky. Otherwise logs message 146 and a line
// saying why, and returns false. Parts not made yet are not looked at.
bool installDirIsSafe(const std::string& dir);
