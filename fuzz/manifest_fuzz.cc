// The installation manifest: read into the item table, each item checked against the
// product directory.
#include "fuzz/support.h"
#include "base/settings.h"
#include "install/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string product = [] {
    std::string p = fuzz::dir() + "/product";
    std::filesystem::create_directories(p + "/etc");
    return p;
  }();
  fuzz::writeFile(product + "/etc/PLIXINST.CONF", {reinterpret_cast<const char*>(data), size});
  settings.sourceDir = product;
  settings.manifestName = "PLIXINST.CONF";
  int count = getInfoData();
  for (int i = 0; i < count; ++i) (void)itemStaysInside(installItems[i], product);
  // An item that stays inside names no absolute source and climbs nowhere.
  for (const InstallItem& item : readManifestItems(product + "/etc/PLIXINST.CONF"))
    if (itemStaysInside(item, product) &&
        (item.source[0] == '/' || ("/" + item.source + "/").find("/../") != std::string::npos))
      fuzz::finding("item stays inside: " + item.source + " " + item.destination);
  return 0;
}
