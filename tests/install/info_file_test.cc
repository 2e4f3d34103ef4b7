// The information file written into, and carried over within, an installation
// directory of the test's own; the USRDIR value that findInstallation reads from the
// file PLIXINFO names. (The lookup in /opt/zed runs in the sandbox: installation_test.)
#include <stdlib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "install/find_installation.h"
#include "install/info_file.h"
#include "install/uninstall_script.h"
#include "sandbox/sandbox.h"

namespace {

struct InfoFileTest : testing::Test {
  std::string dir;
  void SetUp() override {
    char name[] = "/tmp/plix-info-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
    settings.installDir = dir;
    settings.userId = static_cast<int>(getuid());
    settings.groupId = static_cast<int>(getgid());
  }
  void TearDown() override {
    unsetenv("PLIXINFO");
    (void)system(("rm -rf '" + dir + "'").c_str());
  }
  // copyInfoFile from plixInfo2.0 holding `earlier` (none when null); returns its log.
  std::string carry(const char* earlier) {
    if (earlier) std::ofstream(dir + "/plixInfo2.0") << earlier;
    testing::internal::CaptureStderr();
    copyInfoFile();
    return testing::internal::GetCapturedStderr();
  }
};

std::string newInfoFile(const std::string& dir) {
  return "#\n# Plix 4.0 Information File\n#\n%%ZANBLOCK_GENERAL_BEGIN\n"
         "USRDIR          " + dir + "\n"
         "HOMEDIR         $HOME\nTMPDIR          /tmp\n%%ZANBLOCK_GENERAL_END\n#\n#\n"
         "%%ZANBLOCK_PRINTERS_BEGIN\nDefault\n%%ZANBLOCK_PRINTERS_END\n#\n#\n"
         "%%ZANBLOCK_USERS_BEGIN\nroot\n%%ZANBLOCK_USERS_END\n#\n#\n"
         "%%ZANBLOCK_PRNT_BEGIN Default\nroot\n%%ZANBLOCK_PRNT_END Default\n#\n#\n%%ZANEND\n";
}

TEST_F(InfoFileTest, NewFileReplacesWhateverWasThere) {
  std::ofstream(dir + "/plixInfo4.0") << "old content that must go\n";
  writeInfoFile();
  EXPECT_EQ(readFile(dir + "/plixInfo4.0"), newInfoFile(dir));
  struct stat st;
  ASSERT_EQ(stat((dir + "/plixInfo4.0").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST_F(InfoFileTest, CarriedOverFileGetsTheNewHeaderOnceOrStaysAsItIs) {
  std::string earlier = "#\n# Plix 2.0 Information File\n#\nUSRDIR          " + dir +
                        "\n# second Information File line stays\n%%ZANEND\n";
  EXPECT_EQ(carry(earlier.c_str()), "Kopie Datei plixInfo2.0 nach plixInfo3.0.\n");
  EXPECT_EQ(readFile(dir + "/plixInfo4.0"), "#\n# Plix 3.0" + earlier.substr(12));
  EXPECT_EQ(readFile(dir + "/plixInfo2.0"), earlier);

  earlier = "USRDIR          " + dir + "\n" + std::string(600, 'x') + "\nend\n";
  carry(earlier.c_str());
  EXPECT_EQ(readFile(dir + "/plixInfo4.0"), earlier);
}

TEST_F(InfoFileTest, MissingEarlierFileFallsBackToANewOne) {
  EXPECT_EQ(carry(nullptr), "Kann Datei nicht \366ffnen:\n\t'" + dir +
                                "/plixInfo2.0'.\nBitte \374berpr\374fen und erneut versuchen.\n");
  EXPECT_EQ(readFile(dir + "/plixInfo4.0"), newInfoFile(dir));
}

// The value of the first USRDIR line of the file PLIXINFO names.
TEST_F(InfoFileTest, UsrdirValueCases) {
  struct Case {
    std::string text;
    int found;
    std::string dir;
  } cases[] = {
      {"USRDIR          /opt/zed\n", 1, "/opt/zed"},
      {"USRDIR\t/srv/x y\n", 1, "/srv/x"},
      {"USRDIR          /srv/cr\r\n", 1, "/srv/cr\r"},
      {"# USRDIR names the directory\nUSRDIR /opt/zed\n", 1, "names"},
      {"USRDIR\n", 1, ""},
      {"USRDIR", 1, ""},
      {"  xUSRDIR=\xe4\x01/srv/a\tb c\n", 1, "/srv/a\tb"},
      {"HOMEDIR /root\n", 0, ""},
      {std::string(300, 'x') + "USRDIR /late\n", 1, "/late"},
      {"", 0, ""},  // no file at all
  };
  for (const Case& c : cases) {
    std::string path = dir + (c.text.empty() ? "/absent" : "/info");
    if (!c.text.empty()) std::ofstream(path) << c.text;
    setenv("PLIXINFO", path.c_str(), 1);
    std::string found;
    unsigned kind = 0;
    EXPECT_EQ(findInstallation(&found, &kind), c.found) << c.text;
    EXPECT_EQ(found, c.dir) << c.text;
    EXPECT_EQ(kind, c.found ? 1u : ~0u) << c.text;
  }
  unsigned kind = 0;
  EXPECT_EQ(findInstallation(nullptr, &kind), 0);
  EXPECT_EQ(kind, ~0u);
}

}  // namespace

namespace {

// Under a file-size limit no writer leaves a cut file: the old one stays byte for byte,
// the failure gets a line and no success is logged.
TEST_F(InfoFileTest, WritersUnderAFileSizeLimitKeepTheOldFileWhole) {
  ASSERT_EQ(mkdir((dir + "/etc").c_str(), 0755), 0);
  const std::string names[] = {"/plixInfo4.0", "/etc/UNINSTALLPLIX"};
  for (const std::string& name : names) std::ofstream(dir + name) << "old\n";
  std::ofstream(dir + "/plixInfo2.0") << std::string(300, '#') << "\n";
  struct rlimit saved, small;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  small = saved;
  small.rlim_cur = 100;
  signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int pipeFds[2], savedErr = dup(2);  // a pipe: the limit does not cut what is logged
  ASSERT_EQ(pipe(pipeFds), 0);
  dup2(pipeFds[1], 2);
  writeInfoFile();
  copyInfoFile();
  writeUninstallScript();
  dup2(savedErr, 2);
  close(pipeFds[1]);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  char buffer[4096];
  std::string log(buffer, static_cast<size_t>(std::max<ssize_t>(0, ::read(pipeFds[0], buffer, sizeof buffer))));
  close(pipeFds[0]);
  close(savedErr);
  std::string expected;
  for (const std::string& name : {names[0], names[0], names[1]}) {
    expected += "Datei '" + dir + name +
                "' konnte nicht geschrieben werden (File too large); die alte Datei bleibt unver\344ndert.\n";
    EXPECT_EQ(readFile(dir + name), "old\n") << name;
  }
  EXPECT_EQ(log, expected);
}

}  // namespace
