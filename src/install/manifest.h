// The installation manifest (PLIXINST.CONF): which files to copy, where, with which mode.
#pragma once

#include <string>

struct InstallItem {
  std::string source;       // at most 47 characters
  std::string destination;  // at most 255 characters
  int mode = 0;             // 0: leave the permission bits alone
};

inline constexpr int kInstallItemsMax = 256;
inline constexpr size_t kItemSourceMax = 47;

extern InstallItem installItems[kInstallItemsMax];

// Reads the manifest into installItems; the number of items, 0 on failure.
int getInfoData();

// Removes trailing newline, carriage-return and space characters in place.
void trimLineEnd(std::string& text);
