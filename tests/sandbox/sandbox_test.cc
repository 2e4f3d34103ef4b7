// The harness itself: whatever a script does inside, the real machine stays as it was,
// and the upper layer shows exactly what the script changed. A kept layer is left to
// the preview's runs, whose listings show only their own changes.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

TEST(Sandbox, DestructiveScriptLeavesTheRealMachineUntouched) {
  std::string passwd = readFile("/etc/passwd");
  ASSERT_FALSE(exists("/opt/zed/sandbox-probe"));

  Sandbox box;
  SandboxResult r = box.run(R"(
set -e
rm -rf /etc/cups /usr/share/doc
rm -f /dev/null /etc/passwd
mknod -m 666 /dev/null c 1 3
mkdir -p /opt/zed && echo written >/opt/zed/sandbox-probe
echo changed >/etc/hostname
ps -e -o pid= | wc -l >$OUT/processes
{ ip -o link | wc -l; hostname; } >$OUT/inside
)");
  ASSERT_EQ(r.status, 0) << r.error;

  // Inside: only the sandbox's own processes and loopback.
  EXPECT_LE(std::stoi(r.out("processes")), 4);
  EXPECT_EQ(r.out("inside"), "1\nplixtest\n");

  // Outside: nothing changed.
  EXPECT_EQ(readFile("/etc/passwd"), passwd);
  EXPECT_TRUE(exists("/etc/cups") && exists("/usr/share/doc") && !exists("/opt/zed/sandbox-probe"));
  struct stat st;
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  // The upper layer tells what the run did.
  EXPECT_TRUE(r.deleted("/etc/cups") && r.deleted("/etc/passwd"));
  EXPECT_EQ(r.upperFile("/opt/zed/sandbox-probe"), "written\n");
  EXPECT_EQ(r.upperFile("/etc/hostname"), "changed\n");
  EXPECT_FALSE(r.changed("/dev/null") || r.changed("/tmp"));  // /dev is the sandbox's own tmpfs
}

// Whatever printer drivers the host has, a run sees only CUPS's own PPD trees and
// driver programs, unless the test asks for the host's.
const char* kPrintWorld = "ls -A /usr/share/ppd /usr/share/cups/model /usr/lib/cups/driver | tr '\\n' ' ' >$OUT/world\n";

TEST(Sandbox, RealCupsdStartsAndAnswersInThePinnedPrintWorld) {
  Sandbox box;
  SandboxResult r = box.run(std::string("start_cupsd && LC_ALL=C lpstat -r >$OUT/state\n") + kPrintWorld);
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("state"), "scheduler is running\n");
  EXPECT_EQ(r.out("world"), "/usr/lib/cups/driver: driverless driverless-fax  /usr/share/cups/model:  "
                            "/usr/share/ppd: cupsfilters custom ");
  box.showHostPrintSetUp();
  SandboxResult host = box.run(kPrintWorld);
  ASSERT_EQ(host.status, 0) << host.error;
  if (exists("/usr/share/ppd/openprinting")) {
    EXPECT_NE(host.out("world").find("openprinting"), std::string::npos);
  }
}

SANDBOX_CASE(hostname) { fprintf(out, "case ran\n"); }

TEST(Sandbox, CasesRunInsideOnlyAndNonRootCannotBuildOne) {
  Sandbox box;
  SandboxResult r = box.run("run_case sandbox_tests hostname inside\nrun_case sandbox_tests nosuch missing\n");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("inside.out") + r.out("inside.status") + r.out("missing.status"), "case ran\n0\n2\n");
  // Started outside the sandbox the case refuses to run.
  std::string command = "PLIX_CASE=hostname " + std::string(PLIX_BUILD_DIR) + "/tests/sandbox_tests >/dev/null 2>&1";
  EXPECT_EQ(WEXITSTATUS(system(command.c_str())), 3);
  // The harness refuses to run a script when it cannot build the sandbox, and says why.
  command = std::string("setpriv --reuid=1000 --regid=1000 --clear-groups -- ") + PLIX_SANDBOX_SCRIPT +
            " /var/tmp /bin/true 2>&1";
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buffer[512] = {};
  size_t n = fread(buffer, 1, sizeof buffer - 1, p);
  EXPECT_EQ(WEXITSTATUS(pclose(p)), 97);
  EXPECT_NE(std::string(buffer, n).find("must run as root"), std::string::npos);
}

}  // namespace
