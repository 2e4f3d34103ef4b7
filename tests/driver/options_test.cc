// The option passes, tested without touching any fixed system path. The source
// directory rule shows in the whole runs' logs (setup_run_test).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "driver/run.h"

namespace {

TEST(Options, EachPassTakesItsLettersAndRefusesOverlongValues) {
  const std::string fits = "/" + std::string(254, 'c');
  // The words; then -x -d -f -S -D -q, and -i -u -w, as set; then standard error.
  const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> rows = {
      {{"setup", "-x", "-d", "-f", "0", "-S", "3", "-D", "2", "-i", "OTHER.CONF", "-m", "7", "-q", "-5", "-u", "/a", "-u",
        "/srv/plix", "-w", "/srv"}, "1 0 3 2 1 0 OTHER.CONF /srv/plix /srv", ""},
      // No number reads as 0; a missing value is ignored; 255 characters still fit.
      {{"setup", "-D", "2", "-Z", "abc", "-u", fits, "-q", "7", "-u"}, "0 1 0 0 1 7 PLIXINST.CONF " + fits + " ", ""},
      {{"setup", "-u", "/" + std::string(300, 'a'), "-i", std::string(256, 'b')}, "0 1 0 0 1 0 PLIXINST.CONF /opt/zed ",
       "Option -u: Wert ist l\344nger als 255 Zeichen und wird nicht benutzt.\n"
       "Option -i: Wert ist l\344nger als 255 Zeichen und wird nicht benutzt.\n"},
  };
  for (auto [words, want, wantErr] : rows) {
    settings = Settings{};
    std::vector<char*> argv(words.size() + 1);  // ending in a null pointer
    for (size_t i = 0; i < words.size(); ++i) argv[i] = words[i].data();
    testing::internal::CaptureStderr();
    readOptionsPass1(int(words.size()), argv.data());
    settings.installDir = "/opt/zed";
    settings.manifestName = "PLIXINST.CONF";
    readOptionsPass2(int(words.size()), argv.data());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), wantErr) << want;
    std::string got;
    for (int v : {settings.uninstallMode, settings.installAnywhere, settings.selinuxMode, settings.debugLevel,
                  settings.modeOption, settings.stepwise}) got += std::to_string(v) + " ";
    EXPECT_EQ(got + settings.manifestName + " " + settings.installDir + " " + settings.shareDir, want);
  }
}

}  // namespace
