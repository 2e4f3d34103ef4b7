// The ground floor without the sandbox: the Update log's line rule, the
// catalogue's formats, the shell quoting, and the file replacer on a directory of the
// test's own.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/files.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/update_log.h"
#include "sandbox/sandbox.h"

namespace {

class TempDir : public testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    commands = CommandTable{};  // no chcon: the log has no header (the whole runs show it)
    ASSERT_EQ(system(("rm -rf " + shellWord(dir_) + " && mkdir " + shellWord(dir_)).c_str()), 0);
  }
  void TearDown() override {
    closeUpdateLog();
    ASSERT_EQ(system(("rm -rf " + shellWord(dir_)).c_str()), 0);
  }
  const std::string dir_ = testing::TempDir() + "plix-base." + std::to_string(getpid());
};

TEST_F(TempDir, LogLinesGetOneNewlineTheClosingLineEndsTheFileAndNothingIsLost) {
  // A non-root run's log gets the user id.
  settings.logPath = dir_ + "/UpdateLog";
  ASSERT_EQ(openUpdateLog(1000), 1);
  for (const char* line : {"eins", "zwei\n", "", "drei\n\n"}) writeLogLine(line);
  closeUpdateLog();
  std::string text = readFile(dir_ + "/UpdateLog_1000"), head = "eins\nzwei\ndrei\n\n";
  ASSERT_EQ(text.substr(0, head.size()), head);
  std::string closing = text.substr(head.size());  // one line, the last
  EXPECT_EQ(closing.rfind("Beende Installation von Plix 4.0-0: ", 0), 0u);
  EXPECT_EQ(closing.find('\n'), closing.size() - 1);
  // A labelling command beyond the product's 264-byte buffer is neither cut nor run; an
  // unopenable log sends lines to stderr.
  commands.chcon = "/bin/false";
  std::string deep = dir_ + "/" + std::string(200, 'x');
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  settings.logPath = deep + "/UpdateLog";
  ASSERT_EQ(openUpdateLog(1000), 1);
  writeLogLine("erste Zeile");
  closeUpdateLog();
  EXPECT_EQ(readFile(deep + "/UpdateLog_1000").rfind("erste Zeile\n", 0), 0u);
  settings.logPath = dir_ + "/missing/UpdateLog";
  EXPECT_EQ(openUpdateLog(0), 0);
  testing::internal::CaptureStderr();
  writeLogLine("an stderr");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "an stderr\n");
}

TEST_F(TempDir, ReplacedFilesAreWholeOrUntouchedAndLinksAreReplacedNotFollowed) {
  const std::string target = dir_ + "/file", victim = dir_ + "/victim", link = dir_ + "/link";
  ASSERT_TRUE(replaceFile(target, "neu\n", 0640));
  ASSERT_TRUE(replaceFile(target, "zwei\n", kKeepMode));  // the old mode stays
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ASSERT_TRUE(replaceFile(victim, "precious\n", 0644));
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  ASSERT_TRUE(replaceFile(link, "through?\n", kKeepMode));
  EXPECT_EQ(readFile(victim) + readFile(link), "precious\nthrough?\n");
  // Dropped before commit: nothing is left beside the target, the target is unchanged.
  {
    FileReplacer out;
    ASSERT_TRUE(out.open(target, 0644));
    ASSERT_TRUE(out.write("halb"));
  }
  EXPECT_EQ(readFile(target), "zwei\n");
  EXPECT_EQ(system(("test $(ls -A " + shellWord(dir_) + " | wc -l) -eq 3").c_str()), 0);
  // A full disk: /dev/full refuses every write; the new file never replaces the old.
  EXPECT_FALSE(replaceFile("/dev/full/x", "y", 0644));
  EXPECT_EQ(makeScratchFile(dir_ + "/missing", "ZAN"), "");
  std::string scratch = makeScratchFile(dir_, "zanin", ".gz");
  EXPECT_TRUE(scratch.starts_with(dir_ + "/zanin") && scratch.ends_with(".gz") && pathExists(scratch)) << scratch;
  ASSERT_EQ(symlink("/nowhere", (dir_ + "/dangling").c_str()), 0);
  EXPECT_TRUE(!pathExists(dir_ + "/dangling") && pathExists(dir_ + "/dangling", false));
}

TEST(Catalogue, FormatsTakeOnlyStringsNumbersAndOctal) {
  for (int n = 0; n < 1500; ++n) {
    std::string text = catalogueText(static_cast<Msg>(n));
    for (size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i + 2)) {
      ASSERT_LT(i + 1, text.size()) << "entry " << n;
      EXPECT_TRUE(strchr("sdoczul", text[i + 1]) != nullptr) << "entry " << n << ": " << text;
    }
  }
}

TEST(ShellWord, PlainValuesStayAndOthersAreQuoted) {
  EXPECT_EQ(shellWord("/etc/cups/ppd/Q_1-a.ppd"), "/etc/cups/ppd/Q_1-a.ppd");
  EXPECT_EQ(shellWord("/srv/plix test"), "'/srv/plix test'");
  EXPECT_EQ(shellWord(""), "''");
  // What the shell makes of a quoted word is the value itself.
  for (std::string value : {"x;touch /tmp/pwned", "a'b\"c", "$(id)", "*", "a\nb", "a`b"}) {
    std::string command = "test \"$(printf %s " + shellWord(value) + ")\" = " + shellWord(value);
    EXPECT_EQ(system(command.c_str()), 0) << value;
  }
}

}  // namespace
