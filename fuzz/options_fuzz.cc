// The command line: NUL-separated arguments through both option passes and the source
// directory. -h ends the program by design, so inputs that could ask for it are skipped.
#include "fuzz/support.h"
#include "base/settings.h"
#include "driver/run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = fuzz::split({reinterpret_cast<const char*>(data), size}, std::string_view("\0", 1));
  std::vector<char*> argv;
  for (std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-' && arg.find('h') != std::string::npos) return 0;
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  (void)fuzz::dir();
  settings = Settings();
  readOptionsPass1(static_cast<int>(args.size()), argv.data());
  readOptionsPass2(static_cast<int>(args.size()), argv.data());
  if (!args[0].empty()) setSourceDir(args[0]);
  if (settings.installDir.size() > kTextMax || settings.sourceDir.size() > kTextMax) fuzz::finding("a directory longer than a field was taken");
  return 0;
}
