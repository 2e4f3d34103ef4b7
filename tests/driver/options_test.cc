// The option passes and the source directory rule, tested without touching any fixed
// system path.
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/run.h"
#include "base/settings.h"

namespace {

// Runs both option passes over `args` (argv[0] is added) on fresh settings.
Settings parse(std::vector<std::string> args) {
  settings = Settings{};
  std::vector<std::string> words = {"setup"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(words.size());
  readOptionsPass1(argc, argv.data());
  settings.installDir = "/opt/zed";
  settings.shareDir = "/opt";
  settings.manifestName = "PLIXINST.CONF";
  readOptionsPass2(argc, argv.data());
  return settings;
}

TEST(Options, EachPassTakesItsOwnLetters) {
  Settings s = parse({"-d", "-f", "0", "-S", "3", "-D", "2", "-i", "OTHER.CONF", "-m", "2", "-q", "1",
                      "-u", "/srv/plix", "-w", "/srv"});
  EXPECT_EQ(s.uninstallMode, 1);
  EXPECT_EQ(s.installAnywhere, 0);
  EXPECT_EQ(s.selinuxMode, 3);
  EXPECT_EQ(s.debugLevel, 2);
  EXPECT_EQ(s.manifestName, "OTHER.CONF");
  EXPECT_EQ(s.modeOption, 2);
  EXPECT_EQ(s.stepwise, 1);
  EXPECT_EQ(s.installDir, "/srv/plix");
  EXPECT_EQ(s.shareDir, "/srv");
}

TEST(Options, NumbersAndEdgeValues) {
  EXPECT_EQ(parse({"-q", "-5"}).stepwise, 0);
  EXPECT_EQ(parse({"-q", "7"}).stepwise, 7);
  EXPECT_EQ(parse({"-m", "7"}).modeOption, 1);
  EXPECT_EQ(parse({"-m", "3"}).modeOption, 3);
  EXPECT_EQ(parse({"-D", "2", "-Z", "0"}).debugLevel, 0);
  EXPECT_EQ(parse({"-Z", "abc"}).debugLevel, 0);  // no number reads as 0
  EXPECT_EQ(parse({"-S", "0"}).selinuxMode, 0);
  EXPECT_EQ(parse({"-u", "/a", "-u", "/b"}).installDir, "/b");  // the last one wins
}

TEST(Options, UnknownLettersAndMissingValuesAreIgnored) {
  Settings s = parse({"-x", "-y", "-u"});
  EXPECT_EQ(s.installDir, "/opt/zed");
  EXPECT_EQ(s.uninstallMode, 0);
  s = parse({"-d", "-q"});
  EXPECT_EQ(s.uninstallMode, 1);
  EXPECT_EQ(s.stepwise, 0);
}

TEST(Options, OverlongTextValueIsRefusedNotCut) {
  std::string longDir = "/" + std::string(300, 'a');
  testing::internal::CaptureStderr();
  Settings s = parse({"-u", longDir, "-i", std::string(256, 'b')});
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(s.installDir, "/opt/zed");
  EXPECT_EQ(s.manifestName, "PLIXINST.CONF");
  EXPECT_NE(err.find("Option -u"), std::string::npos);
  EXPECT_NE(err.find("Option -i"), std::string::npos);
  // 255 characters still fit.
  std::string fits = "/" + std::string(254, 'c');
  EXPECT_EQ(parse({"-u", fits}).installDir, fits);
}

class SourceDir : public testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    testing::internal::CaptureStderr();  // setSourceDir logs; no log is open
  }
  std::string logged() { return testing::internal::GetCapturedStderr(); }
};

TEST_F(SourceDir, AbsolutePathsLoseTheirLastComponent) {
  setSourceDir("/tmp/plix/setup");
  EXPECT_EQ(settings.sourceDir, "/tmp/plix");
  setSourceDir("/opt/zed/bin/setup");
  EXPECT_EQ(settings.sourceDir, "/opt/zed");
  setSourceDir("/setup");
  EXPECT_EQ(settings.sourceDir, "/setup");
  EXPECT_EQ(logged(),
            "Verzeichnis, von dem installiert wird: '/tmp/plix'.\n"
            "Verzeichnis, von dem installiert wird: '/opt/zed'.\n"
            "Verzeichnis, von dem installiert wird: '/setup'.\n");
}

TEST_F(SourceDir, RelativePathsGiveTheWorkingDirectory) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  setSourceDir("./setup");
  EXPECT_EQ(settings.sourceDir, cwd);
  setSourceDir("bin/setup");
  EXPECT_EQ(settings.sourceDir, cwd);
  logged();
}

TEST_F(SourceDir, OverlongDirectoryIsRefused) {
  setSourceDir("/" + std::string(300, 'd') + "/setup");
  EXPECT_EQ(settings.sourceDir, "");
  EXPECT_EQ(logged(), "Verzeichnis, von dem installiert wird: ''.\n");
}

}  // namespace
