// The archive of the old PPD files, made in the sandbox's /var/tmp: tar runs inside the
// PPD directory or not at all.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "install/copy_loop.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

// savePpdFiles($PPD_DIR): "STATUS WORKING-DIRECTORY-AFTERWARDS".
SANDBOX_CASE(save_ppds) {
  int status = savePpdFiles(getenv("PPD_DIR"));
  char here[4096] = {};
  fprintf(out, "%d %s\n", status, getcwd(here, sizeof here));
}

namespace {

TEST(PpdArchive, TarRunsInThePpdDirectoryOrNotAtAll) {
  Sandbox box;
  SandboxResult r = box.run(R"(
mkdir -p '/srv/ppd dir' /srv/work
echo a >'/srv/ppd dir/a.ppd'; echo b >'/srv/ppd dir/b.ppd.gz'
echo no >/srv/work/stranger.txt
cd /srv/work
archive() { run_case install_tests save_ppds $1 PPD_DIR="$2"; tar tf /var/tmp/PlixPPDFiles4.0-8.tar >$OUT/$1.tar 2>/dev/null; rm -f /var/tmp/PlixPPDFiles4.0-8.tar; }
archive blank '/srv/ppd dir'
archive notdir /srv/work/stranger.txt
archive absent /srv/absent
# Names planted in /var/tmp: a link to a system file and a dangling one stay as they are.
ln -s /etc/shadow /var/tmp/PlixPPDFiles4.0-8.tar
run_case install_tests save_ppds shadow PPD_DIR="/srv/ppd dir"
rm /var/tmp/PlixPPDFiles4.0-8.tar && ln -s /etc/cron.d/planted /var/tmp/PlixPPDFiles4.0-8.tar
run_case install_tests save_ppds dangling PPD_DIR="/srv/ppd dir"
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("blank.out"), "0 /srv/work\n");
  EXPECT_EQ(r.out("blank.tar"), "a.ppd\nb.ppd.gz\n");
  EXPECT_EQ(r.out("blank.log"), "Speichern PPD Dateie von: /srv/ppd dir.\nNach: /var/tmp/PlixPPDFiles4.0-8.tar.\n");
  EXPECT_NE(r.out("notdir.out"), "0 /srv/work\n");
  EXPECT_EQ(r.out("notdir.tar"), "");
  EXPECT_EQ(r.out("absent.out"), "-1 /srv/work\n");
  EXPECT_EQ(r.out("absent.log"), "Keine Zugrif auf PPD Verzeichnis: \"/srv/absent\"\n");
  EXPECT_EQ(r.out("absent.tar"), "");
  for (const char* run : {"shadow", "dangling"})
    EXPECT_EQ(r.out(std::string(run) + ".log"),
              "'/var/tmp/PlixPPDFiles4.0-8.tar' ist schon vorhanden und wird weder benutzt noch \374berschrieben.\n");
  EXPECT_FALSE(r.changed("/etc/shadow") || r.changed("/etc/cron.d/planted"));
}

}  // namespace
