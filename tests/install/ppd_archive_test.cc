// The archive of the old PPD files: tar runs inside the PPD directory or not at all.
// The archiving script runs for real, with its archive redirected into the test's own
// directory.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "driver/shell.h"
#include "install/copy_loop.h"
#include "sandbox/sandbox.h"

namespace {

std::string archiveInTest;  // where the redirected runner lets tar write
std::string lastScript;

int redirectingRunner(const std::string& command) {
  lastScript = command;
  std::string script = command;
  const std::string fixed = "/var/tmp/PlixPPDFiles4.0-8.tar";
  size_t at = script.find(fixed);
  if (at == std::string::npos) return -1;
  script.replace(at, fixed.size(), archiveInTest);
  return system(script.c_str());
}

struct PpdArchiveTest : testing::Test {
  std::string dir;
  std::string cwd;
  ShellRunner previous = nullptr;
  void SetUp() override {
    char name[] = "/tmp/plix-archive-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
    archiveInTest = dir + "/archive.tar";
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    cwd = here;
    // The working directory holds files that must never land in the archive.
    ASSERT_EQ(mkdir((dir + "/work").c_str(), 0755), 0);
    ASSERT_EQ(system(("echo no >'" + dir + "/work/stranger.txt'").c_str()), 0);
    ASSERT_EQ(chdir((dir + "/work").c_str()), 0);
    previous = setShellRunner(redirectingRunner);
  }
  void TearDown() override {
    setShellRunner(previous);
    (void)chdir(cwd.c_str());
    (void)system(("rm -rf '" + dir + "'").c_str());
  }
  std::string archived() {
    FILE* p = popen(("tar tf '" + archiveInTest + "' 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[256];
    while (p && fgets(buffer, sizeof buffer, p)) out += buffer;
    if (p) pclose(p);
    return out;
  }
};

TEST_F(PpdArchiveTest, ArchivesTheEntriesOfADirectoryWithABlank) {
  std::string ppd = dir + "/ppd dir";
  ASSERT_EQ(mkdir(ppd.c_str(), 0755), 0);
  ASSERT_EQ(system(("echo a >'" + ppd + "/a.ppd'; echo b >'" + ppd + "/b.ppd.gz'").c_str()), 0);
  testing::internal::CaptureStderr();
  int status = savePpdFiles(ppd);
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(archived(), "a.ppd\nb.ppd.gz\n");
  EXPECT_EQ(log, "Speichern PPD Dateie von: " + ppd + ".\nNach: /var/tmp/PlixPPDFiles4.0-8.tar.\n");
  EXPECT_NE(lastScript.find("cd '" + ppd + "' "), std::string::npos) << lastScript;
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(std::string(here), dir + "/work");
}

TEST_F(PpdArchiveTest, NothingIsArchivedWhenTheDirectoryCannotBeEntered) {
  std::string notDir = dir + "/plain-file";
  ASSERT_EQ(system(("echo x >'" + notDir + "'").c_str()), 0);
  testing::internal::CaptureStderr();
  int status = savePpdFiles(notDir);
  (void)testing::internal::GetCapturedStderr();
  EXPECT_NE(status, 0);
  struct stat st;
  EXPECT_NE(stat(archiveInTest.c_str(), &st), 0) << archived();
}

TEST_F(PpdArchiveTest, MissingDirectoryIsReportedAndNothingRuns) {
  lastScript.clear();
  testing::internal::CaptureStderr();
  EXPECT_EQ(savePpdFiles(dir + "/absent"), -1);
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log, "Keine Zugrif auf PPD Verzeichnis: \"" + dir + "/absent\"\n");
  EXPECT_EQ(lastScript, "");
}

}  // namespace
