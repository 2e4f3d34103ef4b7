// The installation manifest (PLIXINST.CONF of the unpacked product): which files to
// copy, where to put them and which permission bits to give them. Owns the table
// installItems, which goInstall then copies in table order.
#pragma once

#include <string>
#include <vector>

struct InstallItem {
  std::string source;       // at most 47 characters, relative to sourceDir
  std::string destination;  // at most 255 characters; "" when the line has none
  int mode = 0;             // 0: leave the permission bits alone
};

inline constexpr int kInstallItemsMax = 256;
inline constexpr size_t kItemSourceMax = 47;

extern InstallItem installItems[kInstallItemsMax];

// Reads sourceDir/etc/<manifestName>, else sourceDir/<manifestName>, into installItems.
// Returns the number of items; 0 when neither file opens (logged, message 191) or it
// holds no item. A 257th item or a source longer than 47 characters ends the reading
// there, with a log line naming the refused item; the items before it stay.
int getInfoData();

// The items of the manifest file `path`, read like getInfoData reads them but without
// its limits and without logging (the uninstallation reads the installed copy to know
// the product's files). Empty when the file does not open.
std::vector<InstallItem> readManifestItems(const std::string& path);

// True when `item` stays inside the product: its source is a relative path without a
// ".." component that does not resolve (through links) outside `productDir`, and a "./"
// destination has no ".." component, so that it stays inside the installation directory.
bool itemStaysInside(const InstallItem& item, const std::string& productDir);

// Removes trailing newline, carriage-return and space characters in place.
void trimLineEnd(std::string& text);
