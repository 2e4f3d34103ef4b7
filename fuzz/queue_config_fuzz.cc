// A queue's configuration file marked with the new version. The code writes below
// /opt/zed, a private, empty tmpfs mount here, and its working copy in the target's own
// scratch directory. A file without the old marker comes back byte for byte.
#include "fuzz/support.h"
#include "upgrade/queue_upgrade.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::privateMounts({"/opt"});
  std::filesystem::create_directories("/opt/zed/q/root");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  (void)fuzz::dir();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  fuzz::writeFile("/opt/zed/q/root/plixConfig", text);
  (void)processPrinterConfig("q");
  std::string after;
  (void)readWholeFile("/opt/zed/q/root/plixConfig", &after);
  if (text.find("%%PLIX_VERSION_1.0") == std::string_view::npos && after != text)
    fuzz::finding("a file without the marker changed: " + std::to_string(size) + " bytes became " + std::to_string(after.size()));
  return 0;
}
