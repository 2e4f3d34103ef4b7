// The option passes, the source directory rule, the log line rule, the catalogue and
// the command locator, tested without touching any fixed system path.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/catalogue.h"
#include "driver/run.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "base/command_locator.h"
#include "sandbox/sandbox.h"

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

class UpdateLog : public testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    commands = CommandTable{};
    char dir[] = "/tmp/plix-log.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    settings.logPath = dir_ + "/UpdateLog";
  }
  void TearDown() override {
    closeUpdateLog();
    std::string command = "rm -rf " + shellWord(dir_);
    ASSERT_EQ(system(command.c_str()), 0);
  }
  std::string dir_;
};

TEST_F(UpdateLog, LinesGetExactlyOneNewlineAndTheClosingLineEndsTheFile) {
  ASSERT_EQ(openUpdateLog(0), 1);
  writeLogLine("eins");
  writeLogLine("zwei\n");
  writeLogLine("");
  writeLogLine("drei\n\n");
  closeUpdateLog();
  std::string text = readFile(settings.logPath);
  std::string head = "eins\nzwei\ndrei\n\n";
  ASSERT_EQ(text.substr(0, head.size()), head);
  std::string closing = text.substr(head.size());
  EXPECT_EQ(closing.rfind("Beende Installation von Plix 4.0-0: ", 0), 0u);
  EXPECT_EQ(closing.back(), '\n');
  EXPECT_EQ(closing.find('\n'), closing.size() - 1);
}

TEST_F(UpdateLog, NonRootLogPathGetsTheUserIdAndAnUnopenableLogIsNoError) {
  std::string base = settings.logPath;
  ASSERT_EQ(openUpdateLog(1000), 1);
  EXPECT_EQ(settings.logPath, base + "_1000");
  closeUpdateLog();
  settings.logPath = dir_ + "/missing/UpdateLog";
  EXPECT_EQ(openUpdateLog(0), 0);
  testing::internal::CaptureStderr();
  writeLogLine("an stderr");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "an stderr\n");
}

TEST_F(UpdateLog, LabellingHeaderNamesTheCommandAndItsRawStatus) {
  commands.chcon = "/bin/false";
  ASSERT_EQ(openUpdateLog(0), 1);
  closeUpdateLog();
  std::string expected = "Vorbereitung Log Datei:\nBefehl: \"/bin/false -u system_u " + settings.logPath +
                         " 2>/dev/null\" resultiert in: 256.\n=======================================\n";
  EXPECT_EQ(readFile(settings.logPath).substr(0, expected.size()), expected);
}

TEST_F(UpdateLog, LabellingCommandThatDoesNotFitIsNotRun) {
  // A labelling command longer than the product's 264-byte command buffer is neither
  // cut nor run; the log opens without the header.
  std::string deep = dir_ + "/" + std::string(200, 'x');
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  settings.logPath = deep + "/UpdateLog";
  commands.chcon = "/bin/false";
  ASSERT_EQ(openUpdateLog(0), 1);
  writeLogLine("erste Zeile");
  closeUpdateLog();
  EXPECT_EQ(readFile(settings.logPath).rfind("erste Zeile\n", 0), 0u);
}

TEST(Catalogue, HasExactlyTheUsedEntriesAndNoStrayPercent) {
  int used = 0;
  for (int n = 0; n < kCatalogueSize; ++n) {
    std::string text = catalogueText(static_cast<Msg>(n));
    if (!text.empty()) ++used;
    for (size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i + 2)) {
      ASSERT_LT(i + 1, text.size()) << "entry " << n;
      EXPECT_TRUE(strchr("sdo", text[i + 1]) != nullptr) << "entry " << n << ": " << text;
    }
  }
  EXPECT_EQ(used, 128);
  EXPECT_STREQ(catalogueText(static_cast<Msg>(-1)), "");
  EXPECT_STREQ(catalogueText(static_cast<Msg>(232)), "");
  EXPECT_STREQ(catalogueText(static_cast<Msg>(4)), "");
  EXPECT_STREQ(catalogueText(static_cast<Msg>(231)), "");
}

TEST(Catalogue, UmlautsAreSingleIso88591Bytes) {
  EXPECT_STREQ(catalogueText(static_cast<Msg>(180)), "\304ndere Ausf\374hrungsrechte von '%s' zu  00%o.\n");
}

TEST(ShellWord, PlainValuesStayAndOthersAreQuoted) {
  EXPECT_EQ(shellWord("/usr/share/ppd/zed"), "/usr/share/ppd/zed");
  EXPECT_EQ(shellWord("/etc/cups/ppd/Q_1-a.ppd"), "/etc/cups/ppd/Q_1-a.ppd");
  EXPECT_EQ(shellWord("a;b"), "'a;b'");
  EXPECT_EQ(shellWord("a`b"), "'a`b'");
  EXPECT_EQ(shellWord("a$b"), "'a$b'");
  EXPECT_EQ(shellWord("/srv/plix test"), "'/srv/plix test'");
  EXPECT_EQ(shellWord("a'b"), "'a'\\''b'");
  EXPECT_EQ(shellWord(""), "''");
  // What the shell makes of a quoted word is the value itself.
  for (std::string value : {"x;touch /tmp/pwned", "a'b\"c", "$(id)", "*", "a\nb"}) {
    std::string command = "test \"$(printf %s " + shellWord(value) + ")\" = " + shellWord(value);
    EXPECT_EQ(system(command.c_str()), 0) << value;
  }
}

class CommandLocator : public testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    char a[] = "/tmp/plix-bin.XXXXXX";
    char b[] = "/tmp/plix-base.XXXXXX";
    ASSERT_NE(mkdtemp(a), nullptr);
    ASSERT_NE(mkdtemp(b), nullptr);
    bin_ = a;
    base_ = b;
  }
  void TearDown() override {
    std::string command = "rm -rf " + shellWord(bin_) + " " + shellWord(base_);
    ASSERT_EQ(system(command.c_str()), 0);
  }
  void make(const std::string& path) {
    std::string command = "mkdir -p " + shellWord(path.substr(0, path.rfind('/'))) + " && touch " + shellWord(path);
    ASSERT_EQ(system(command.c_str()), 0);
  }
  std::string bin_, base_;
};

TEST_F(CommandLocator, CupsCandidatesGoBinDirFirstThenBaseDirThenBareName) {
  settings.cupsBinDir = bin_;
  settings.cupsBaseDir = base_;
  EXPECT_EQ(locateCupsCommand("plixtool"), "plixtool");
  make(base_ + "/bin/plixtool");
  EXPECT_EQ(locateCupsCommand("plixtool"), base_ + "/bin/plixtool");
  make(bin_ + "/lib/plixtool");
  EXPECT_EQ(locateCupsCommand("plixtool"), bin_ + "/lib/plixtool");
  make(bin_ + "/etc/plixtool");
  EXPECT_EQ(locateCupsCommand("plixtool"), bin_ + "/etc/plixtool");
  make(bin_ + "/sbin/plixtool");
  EXPECT_EQ(locateCupsCommand("plixtool"), bin_ + "/sbin/plixtool");
  settings.cupsBaseDir.clear();
  EXPECT_EQ(locateCupsCommand("onlybase"), "onlybase");
}

TEST_F(CommandLocator, RootBaseDirGivesDoubleSlashCandidatesUnchanged) {
  settings.cupsBinDir = bin_;
  settings.cupsBaseDir = "/";
  EXPECT_EQ(locateCupsCommand("sh"), "//bin/sh");
}

TEST_F(CommandLocator, EmptyBinDirBehavesLikeLocateCommand) {
  EXPECT_EQ(locateCupsCommand("sh"), locateCommand("sh"));
  EXPECT_EQ(locateCupsCommand("no-such-command-plix"), std::nullopt);
  EXPECT_EQ(locateCommand("sh"), "/usr/bin/sh");   // /usr/bin before /bin
  EXPECT_EQ(locateCommand("cups"), "/etc/cups");   // a directory counts too
}

}  // namespace
