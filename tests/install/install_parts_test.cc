// The parts of an installation one at a time: the manifest, the information file and
// the uninstall script under a file-size limit, the lookup of an earlier installation
// (in a directory of the test's own); and the cases for directories, the PPD archive and
// the SELinux labels, which the sandbox run of installation_test.cc calls (sandbox_case.h).
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "base/command_locator.h"
#include "base/settings.h"
#include "install/copy_loop.h"
#include "install/dir_prep.h"
#include "install/find_installation.h"
#include "install/info_file.h"
#include "install/manifest.h"
#include "install/selinux.h"
#include "install/uninstall_script.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

// A product and installation directory of the test's own in /tmp, with an etc/ folder.
struct Parts : testing::Test {
  std::string dir;
  void SetUp() override {
    settings.sourceDir = settings.installDir = dir = testing::TempDir() + "plix-parts-" + std::to_string(getpid());
    ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/etc'").c_str()), 0);
    settings.manifestName = "PLIXINST.CONF";
  }
  void TearDown() override { (void)system(("rm -rf '" + dir + "'").c_str()); }
  // getInfoData over `text` written to `file`: "SOURCE|DESTINATION|MODE" (octal) per
  // item, then what it logged after the line that names the manifest it opened.
  std::string read(const std::string& text, const std::string& file = "etc/PLIXINST.CONF") {
    std::ofstream(dir + "/" + file) << text;
    testing::internal::CaptureStderr();
    std::ostringstream items;
    for (const InstallItem& item : std::span(installItems, getInfoData()))
      items << item.source << "|" << item.destination << "|" << std::oct << item.mode << "\n";
    std::string log = testing::internal::GetCapturedStderr();
    return items.str() + log.substr(log.find('\n') + 1);
  }
};

TEST_F(Parts, ManifestFieldsModesEndsAndLimits) {
  // A byte of 0x80 or more separates like a blank; the mode starts at the first "00"; a
  // line longer than 255 bytes is one item (its tail never becomes an item of its own);
  // @@NULL anywhere on a line ends the list; etc/ wins over the product directory.
  std::ofstream(dir + "/PLIXINST.CONF") << "top/file ./bin\n";
  std::string dest = "/" + std::string(248, 'd');
  EXPECT_EQ(read("# comment bin/x ./bin 00755\n\n\tbin/indented ./bin 00755\nbin/tabs\t\t./bin\t00700   \r\n"
                 "etc/a ./etc 0644\netc/c ./etc 0089\netc/d ./etc note:100640 x\nlonely\nbin/\xe4tsch ./bin\x01" "00711\n"
                 "a/src " + dest + "more/item ./bin 00755\nxx @@NULL yy\nb/two ./bin\n"),
            "bin/tabs|./bin|700\netc/a|./etc|0\netc/c|./etc|755\netc/d|./etc|640\nlonely||0\nbin/|tsch|711\na/src|" + dest +
                "more/item|755\n");
  ASSERT_EQ(unlink((dir + "/etc/PLIXINST.CONF").c_str()), 0);
  EXPECT_EQ(read("top/file ./bin\n", "PLIXINST.CONF"), "top/file|./bin|0\n");
  // A source of 48 characters, or a 257th item, ends the reading with a line.
  std::string fits(47, 's'), tooLong(48, 't'), many;
  EXPECT_EQ(read(fits + " ./bin\n" + tooLong + " ./bin\nlater/item ./bin\n"),
            fits + "|./bin|0\ngetInfoData: Quelle '" + tooLong + "' l\344nger als 47 Zeichen, abgelehnt; Lesen beendet.\n");
  for (int i = 0; i < 256; ++i) many += "bin/item" + std::to_string(i) + " ./bin\n";
  EXPECT_EQ(read(many + "bin/item256 ./bin\nlater/item ./bin\n"),
            read(many) + "getInfoData: Mehr als 256 Eintr\344ge, 'bin/item256' und alle folgenden abgelehnt.\n");
  // Sources outside the product (also through a link in it) and "./" destinations that
  // climb out of the installation directory are refused.
  ASSERT_EQ(symlink("/etc/shadow", (dir + "/shadow").c_str()), 0);
  for (auto [source, destination, inside] :
       {std::tuple{"..x/y", "./a..b", true}, {"bin/setup", "/usr/bin", true}, {"bin/..", "./etc", false},
        {"/etc/shadow", "./bin", false}, {"shadow", "./etc", false}, {"bin/setup", "./../../../etc/cron.d", false}})
    EXPECT_EQ(itemStaysInside({source, destination, 0644}, dir), inside) << source << " " << destination;
}

// A file PLIXINFO names gives the value of its first USRDIR line.
TEST_F(Parts, InstallationDirectoryReadBack) {
  // "FOUND VALUE KIND" for each text (the empty one: no file).
  for (auto [text, expected] : {std::pair{"# USRDIR names the directory\nUSRDIR /opt/zed\n", "1 names 1"},
                                {"  xUSRDIR=\xe4\x01/srv/a\tb\r\n", "1 /srv/a\tb\r 1"}, {"USRDIR", "1  1"},
                                {"", "0  4294967295"}}) {
    std::string path = dir + (*text ? "/info" : "/absent"), got;
    if (*text) std::ofstream(path) << text;
    setenv("PLIXINFO", path.c_str(), 1);
    unsigned kind = 0;
    int found = findInstallation(&got, &kind);
    EXPECT_EQ(std::to_string(found) + " " + got + " " + std::to_string(kind), expected) << text;
  }
  unsetenv("PLIXINFO");
}

// Under a file-size limit no writer leaves a cut file: the old one stays byte for byte,
// the failure gets a line and no success is logged.
TEST_F(Parts, WritersUnderAFileSizeLimitKeepTheOldFileWhole) {
  const std::string names[] = {"/plixInfo4.0", "/etc/UNINSTALLPLIX"};
  for (const std::string& name : names) std::ofstream(dir + name) << "old\n";
  std::ofstream(dir + "/plixInfo2.0") << std::string(300, '#') << "\n";
  struct rlimit saved, small;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  small = {100, saved.rlim_max};
  signal(SIGXFSZ, SIG_IGN);
  int pipeFds[2], savedErr = dup(2);  // a pipe: the limit does not cut what is logged
  ASSERT_TRUE(pipe(pipeFds) == 0 && dup2(pipeFds[1], 2) == 2 && setrlimit(RLIMIT_FSIZE, &small) == 0);
  writeInfoFile();
  copyInfoFile();
  writeUninstallScript();
  ASSERT_TRUE(setrlimit(RLIMIT_FSIZE, &saved) == 0 && dup2(savedErr, 2) == 2 && close(pipeFds[1]) == 0);
  std::string expected;
  for (const std::string& name : {names[0], names[0], names[1]})
    expected += "Datei '" + dir + name + "' konnte nicht geschrieben werden (File too large); die alte Datei bleibt "
                "unver\344ndert.\n";
  // What was logged, read to its end through the pipe's read side.
  EXPECT_EQ(readFile("/dev/fd/" + std::to_string(pipeFds[0])) + readFile(dir + names[0]) + readFile(dir + names[1]),
            expected + "old\nold\n");
}

// Directories under umask 077: exact modes, every ancestor of a path longer than 255
// characters, the product tree made once per run and stopped by a bin that is a file.
// No chcon here: the product tree's label is the whole runs' (the upgrade of its own).
SANDBOX_CASE(dirs) {
  for (auto [path, create, mode] : {std::tuple{"/srv/m/d777", 1, 0777}, {"/srv/m/d777", 1, 0700}, {"/srv/m/file", 1, 0755},
                                    {"/srv/m/absent", 0, 0755}, {"", 1, 0755}, {"/srv/m/no/parent", 1, 0755}})
    fprintf(out, "%d ", makeDirectory(path, create, mode));
  makeDirectoryPath("/srv/" + std::string(150, 'a') + "/" + std::string(150, 'b'));
  fprintf(out, "%d ", makeProductDirs("/opt/bad"));  // its bin is a file
  fprintf(out, "%d ", makeProductDirs("/opt/zed"));
  for (const char* dir : {"/opt/zed/bin", "/opt/zed/etc", "/opt/zed"}) rmdir(dir);
  fprintf(out, "%d %d\n", makeProductDirs("/opt/zed"), access("/opt/zed", F_OK));
}

// savePpdFiles($PPD_DIR): "STATUS WORKING-DIRECTORY-AFTERWARDS".
SANDBOX_CASE(archive) {
  int status = savePpdFiles(getenv("PPD_DIR"));
  char here[4096] = {};
  fprintf(out, "%d %s\n", status, getcwd(here, sizeof here));
}

// The labelling calls: one unlogged, and a path the shell must get as one word.
SANDBOX_CASE(label) {
  commands.chcon = locateCommand("chcon");
  fprintf(out, "%d ", setSelinuxContext("/opt/zed/bin/zangsfilter", "-t bin_t", 0));
  fprintf(out, "%d\n", setSelinuxContext("/opt/my zed;x/bin", "-R -u system_u", 1));
  commands.chcon = "chcon";  // a bare name is never run
  fprintf(out, "%d\n", setSelinuxContext("/usr/bin/zangsfilter", "-u system_u", 1));
}

}  // namespace
