#include "install/manifest.h"

InstallItem installItems[kInstallItemsMax];

// Not yet implemented: the manifest yields no items.
int getInfoData() { return 0; }
void trimLineEnd(std::string& text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
}
