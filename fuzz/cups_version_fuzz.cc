// The texts the CUPS version is read from: one line of each source, the version digits,
// and the server's answer as the relay would write it.
#include "fuzz/support.h"
#include "probe/cups_version.h"

namespace {

std::string_view answer;

// Writes the answer to the file that the relay's output is redirected to.
int relay(const std::string& command) {
  size_t at = command.find(" 631 >");
  if (at == std::string::npos) return 256;
  size_t end = command.find(' ', at + 6);
  fuzz::writeFile(command.substr(at + 6, end - at - 6), answer);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  (void)fuzz::dir();
  fuzz::onCommand = relay;
  answer = std::string_view(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : fuzz::split(answer, "\n")) {
    for (VersionSource source : {VersionSource::ServerHeader, VersionSource::CupsConfig, VersionSource::PrintersConf,
                                 VersionSource::DocIndex, VersionSource::TestPage, VersionSource::Banner})
      (void)versionInLine(source, line);
    int v = normalizeVersion(versionDigits(line.c_str()));
    if (v > 9999) fuzz::finding("version " + std::to_string(v));
  }
  (void)queryCupsServerVersion();
  return 0;
}
