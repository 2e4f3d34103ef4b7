// The product tree: installDir, its bin and etc, made once per run.
#pragma once

#include <string>

#include "base/dirs.h"

// Makes dir (kProductDirMode), dir/bin and dir/etc (0755) and relabels dir/bin, once
// per run; 1 ready (also on every later call), 0 not possible (logged, except for an
// empty dir).
int makeProductDirs(const std::string& dir);
