// The option passes, tested without touching any fixed system path. The source
// directory rule shows in the whole runs' logs (setup_run_test).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "driver/run.h"

namespace {

// Runs both option passes over `args` (argv[0] is added) on fresh settings.
Settings parse(std::vector<std::string> words) {
  settings = Settings{};
  words.insert(words.begin(), "setup");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(words.size());
  readOptionsPass1(argc, argv.data());
  settings.installDir = "/opt/zed";
  settings.manifestName = "PLIXINST.CONF";
  readOptionsPass2(argc, argv.data());
  return settings;
}

TEST(Options, EachPassTakesItsLettersAndRefusesOverlongValues) {
  Settings s = parse({"-x", "-d", "-f", "0", "-S", "3", "-D", "2", "-i", "OTHER.CONF", "-m", "7", "-q", "-5",
                      "-u", "/a", "-u", "/srv/plix", "-w", "/srv"});
  EXPECT_EQ(std::vector<int>({s.uninstallMode, s.installAnywhere, s.selinuxMode, s.debugLevel, s.modeOption,
                              s.stepwise}),
            std::vector<int>({1, 0, 3, 2, 1, 0}));
  EXPECT_EQ(s.manifestName + s.installDir + s.shareDir, "OTHER.CONF/srv/plix/srv");
  s = parse({"-D", "2", "-Z", "abc", "-q", "7", "-u"});  // no number reads as 0; a missing value is ignored
  EXPECT_EQ(std::vector<int>({s.debugLevel, s.stepwise}), std::vector<int>({0, 7}));
  EXPECT_EQ(s.installDir, "/opt/zed");
  testing::internal::CaptureStderr();
  s = parse({"-u", "/" + std::string(300, 'a'), "-i", std::string(256, 'b')});
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(s.installDir + s.manifestName, "/opt/zedPLIXINST.CONF");
  EXPECT_NE(err.find("Option -u"), std::string::npos);
  EXPECT_NE(err.find("Option -i"), std::string::npos);
  std::string fits = "/" + std::string(254, 'c');  // 255 characters still fit
  EXPECT_EQ(parse({"-u", fits}).installDir, fits);
}

}  // namespace
