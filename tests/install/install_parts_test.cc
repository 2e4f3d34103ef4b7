// The parts of an installation one at a time: the manifest, the information file and
// the uninstall script under a file-size limit, the lookup of an earlier installation
// (in a directory of the test's own); directories, the PPD archive and the SELinux
// labels inside the sandbox (sandbox_case.h), with recording stand-ins for chcon.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <tuple>

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
  std::string dir, log;  // log: what the last read() logged
  void SetUp() override {
    char name[] = "/tmp/plix-parts-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
    ASSERT_EQ(mkdir((dir + "/etc").c_str(), 0755), 0);
    settings.sourceDir = settings.installDir = dir;
    settings.manifestName = "PLIXINST.CONF";
    settings.userId = static_cast<int>(getuid());
    settings.groupId = static_cast<int>(getgid());
  }
  void TearDown() override {
    unsetenv("PLIXINFO");
    (void)system(("rm -rf '" + dir + "'").c_str());
  }
  // getInfoData over `text` written to `file`: "SOURCE|DESTINATION|MODE" per item.
  std::string read(const std::string& text, const std::string& file = "etc/PLIXINST.CONF") {
    std::ofstream(dir + "/" + file) << text;
    testing::internal::CaptureStderr();
    int count = getInfoData();
    log = testing::internal::GetCapturedStderr();
    std::string items;
    for (int i = 0; i < count; ++i) {
      char mode[16];
      snprintf(mode, sizeof mode, "|%o\n", static_cast<unsigned>(installItems[i].mode));
      items += installItems[i].source + "|" + installItems[i].destination + mode;
    }
    return items;
  }
};

TEST_F(Parts, ManifestFieldsModesEndsAndLimits) {
  // A byte of 0x80 or more separates like a blank; the mode starts at the first "00".
  EXPECT_EQ(read("# comment bin/x ./bin 00755\n\n\tbin/indented ./bin 00755\nbin/tabs\t\t./bin\t00700   \r\n"
                 "etc/a ./etc 0644\netc/c ./etc 0089\netc/d ./etc note:100640 x\nlonely\nbin/\xe4tsch ./bin\x01" "00711\n"),
            "bin/tabs|./bin|700\netc/a|./etc|0\netc/c|./etc|755\netc/d|./etc|640\nlonely||0\nbin/|tsch|711\n");
  // @@NULL anywhere on a line ends the list; etc/ wins over the product directory.
  std::ofstream(dir + "/PLIXINST.CONF") << "top/file ./bin\n";
  EXPECT_EQ(read("a/one ./bin 00755\nxx @@NULL yy\nb/two ./bin\n"), "a/one|./bin|755\n");
  ASSERT_EQ(unlink((dir + "/etc/PLIXINST.CONF").c_str()), 0);
  EXPECT_EQ(read("top/file ./bin\n", "PLIXINST.CONF"), "top/file|./bin|0\n");
  // A line longer than 255 bytes is one item: its tail never becomes an item of its own.
  std::string dest = "/" + std::string(248, 'd');
  EXPECT_EQ(read("a/src " + dest + "more/item ./bin 00755\n"), "a/src|" + dest + "more/item|755\n");
  // A source of 48 characters, or a 257th item, ends the reading with a line.
  std::string fits(47, 's'), tooLong(48, 't'), many;
  EXPECT_EQ(read(fits + " ./bin\n" + tooLong + " ./bin\nlater/item ./bin\n"), fits + "|./bin|0\n");
  const std::string opened = "PLIXINST.CONF = " + dir + "/etc/PLIXINST.CONF.\n";
  EXPECT_EQ(log, opened + "getInfoData: Quelle '" + tooLong + "' l\344nger als 47 Zeichen, abgelehnt; Lesen beendet.\n");
  for (int i = 0; i < 300; ++i) many += "bin/item" + std::to_string(i) + " ./bin\n";
  std::string all = read(many), logged = log;
  EXPECT_EQ(all, read(many.substr(0, many.find("bin/item256"))));
  EXPECT_EQ(logged, opened + "getInfoData: Mehr als 256 Eintr\344ge, 'bin/item256' und alle folgenden abgelehnt.\n");
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
  for (auto [text, found, value] : {std::tuple{"# USRDIR names the directory\nUSRDIR /opt/zed\n", 1, "names"},
                                    {"  xUSRDIR=\xe4\x01/srv/a\tb\r\n", 1, "/srv/a\tb\r"}, {"USRDIR", 1, ""}, {"", 0, ""}}) {
    std::string path = dir + (*text ? "/info" : "/absent"), got;
    if (*text) std::ofstream(path) << text;
    setenv("PLIXINFO", path.c_str(), 1);
    unsigned kind = 0;
    EXPECT_EQ(findInstallation(&got, &kind), found) << text;
    EXPECT_EQ(got + " " + std::to_string(kind), value + std::string(found ? " 1" : " 4294967295")) << text;
  }
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
  char buffer[4096];
  ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
  std::string expected;
  for (const std::string& name : {names[0], names[0], names[1]}) {
    expected += "Datei '" + dir + name +
                "' konnte nicht geschrieben werden (File too large); die alte Datei bleibt unver\344ndert.\n";
    EXPECT_EQ(readFile(dir + name), "old\n") << name;
  }
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), expected);
}

// Directories under umask 077: exact modes, every ancestor of a path longer than 255
// characters, the product tree made once per run and stopped by a bin that is a file.
SANDBOX_CASE(dirs) {
  commands.chcon = locateCommand("chcon");
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

TEST(InstallParts, DirectoriesThePpdArchiveAndTheLabels) {
  Sandbox box;
  SandboxResult r = box.run(R"(
rm -f /usr/bin/chcon
umask 077
fake_command /usr/local/sbin/chcon 0  # the shell would find it by its bare name
mkdir -p /srv/m /opt/bad && touch /srv/m/file /opt/bad/bin
fake_command /usr/sbin/chcon 0 && run_case install_tests dirs dirs && rm $OUT/calls.log
stat -c '%a %F' /srv/m/d777 /srv/a* /srv/a*/b* >$OUT/modes
fake_command /usr/sbin/chcon 1 "chcon: failing" && run_case install_tests label failing
rm /usr/sbin/chcon && mv $OUT/calls.log $OUT/failing.calls && run_case install_tests label none
umask 022
mkdir -p '/srv/ppd dir' /srv/work && echo a >'/srv/ppd dir/a.ppd' && echo b >'/srv/ppd dir/b.ppd.gz'
cd /srv/work && echo no >stranger.txt
archive() { run_case install_tests archive $1 PPD_DIR="$2"; tar tf /var/tmp/PlixPPDFiles4.0-8.tar >$OUT/$1.tar 2>/dev/null; }
archive blank '/srv/ppd dir'; archive notdir /srv/work/stranger.txt; archive absent /srv/absent
# A name planted in /var/tmp, a link to where a file would do harm, stays as it is.
rm /var/tmp/PlixPPDFiles4.0-8.tar && ln -s /etc/cron.d/planted /var/tmp/PlixPPDFiles4.0-8.tar
archive planted '/srv/ppd dir'
true
)");
  ASSERT_EQ(r.status, 0) << r.error;
  auto made = [](const std::string& dir, const char* mode) {
    return "Erstelltes Verzeichnis: '" + dir + "'.\n\304ndere Ausf\374hrungsrechte von '" + dir + "' zu  " + mode + ".\n";
  };
  std::string a = "/srv/" + std::string(150, 'a'), b = a + "/" + std::string(150, 'b');
  EXPECT_EQ(r.out("dirs.out") + r.out("modes"), "1 0 -1 -1 -1 -1 0 1 1 -1\n777 directory\n755 directory\n755 directory\n");
  EXPECT_EQ(r.out("dirs.log"), made("/srv/m/d777", "00777") + made(a, "00755") + made(b, "00755") +
                                   "Kein ZED binary Verzeichnis: '/opt/bad/bin' m\366glich\n" + made("/opt/zed", "00755") +
                                   made("/opt/zed/bin", "00755") + made("/opt/zed/etc", "00755") +
                                   "chcon SELinux f\374r: \"/usr/sbin/chcon -R -u system_u /opt/zed/bin "
                                   "2>/dev/null\": Resultat: 0\n");
  EXPECT_FALSE(r.changed("/opt/bad/etc"));
  // Each labelling call is made; a logged one shows its command line and raw status,
  // while a failing chcon's own error output is discarded. Without chcon nothing is run.
  EXPECT_EQ(r.out("failing.calls"), "/usr/sbin/chcon -t bin_t /opt/zed/bin/zangsfilter\n"
                                    "/usr/sbin/chcon -R -u system_u /opt/my zed;x/bin\n");
  EXPECT_EQ(r.out("failing.out") + r.out("failing.log"), "256 256\n-1\nchcon SELinux f\374r: \"/usr/sbin/chcon -R -u "
                                                         "system_u '/opt/my zed;x/bin' 2>/dev/null\": Resultat: 256\n");
  EXPECT_EQ(r.out("none.out") + r.out("none.log") + r.out("calls.log"), "-1 -1\n-1\n");
  // tar runs in the PPD directory or not at all, and never writes through a planted name.
  EXPECT_EQ(r.out("blank.out") + r.out("blank.tar"), "0 /srv/work\na.ppd\nb.ppd.gz\n");
  EXPECT_EQ(r.out("blank.log"), "Speichern PPD Dateie von: /srv/ppd dir.\nNach: /var/tmp/PlixPPDFiles4.0-8.tar.\n");
  EXPECT_TRUE(r.out("notdir.out") != "0 /srv/work\n" && r.out("notdir.tar").empty()) << r.out("notdir.out");
  EXPECT_EQ(r.out("absent.out") + r.out("absent.log"), "-1 /srv/work\nKeine Zugrif auf PPD Verzeichnis: \"/srv/absent\"\n");
  EXPECT_EQ(r.out("planted.log"),
            "'/var/tmp/PlixPPDFiles4.0-8.tar' ist schon vorhanden und wird weder benutzt noch \374berschrieben.\n");
  EXPECT_FALSE(r.changed("/etc/cron.d/planted"));
}

}  // namespace
