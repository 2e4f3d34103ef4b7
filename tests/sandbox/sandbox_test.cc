// The harness itself: whatever a script does inside, the real machine stays as it was,
// and the upper layer shows exactly what the script changed; a case of a test program
// runs inside only.
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

SANDBOX_CASE(hostname) { fprintf(out, "case ran\n"); }

TEST(Sandbox, DestructiveScriptLeavesTheRealMachineUntouchedInAPinnedPrintWorld) {
  std::string passwd = readFile("/etc/passwd");
  ASSERT_FALSE(exists("/opt/zed/sandbox-probe"));
  Sandbox box;
  SandboxResult r = box.run(R"(
set -e
ps -e -o pid= | wc -l >$OUT/processes
{ ip -o link | wc -l; hostname; } >$OUT/inside
start_cupsd && LC_ALL=C lpstat -r >$OUT/state
ls -A /usr/share/ppd /usr/share/cups/model /usr/lib/cups/driver | tr '\n' ' ' >$OUT/world
run_case sandbox_tests hostname inside && { run_case sandbox_tests nosuch missing || true; }
rm -rf /etc/cups /usr/share/doc
rm -f /dev/null /etc/passwd
mknod -m 666 /dev/null c 1 3
mkdir -p /opt/zed && echo written >/opt/zed/sandbox-probe
)");
  ASSERT_EQ(r.status, 0) << r.error;
  // Inside: a real cupsd; only CUPS's own PPD trees and driver programs, whatever the host
  // has; only the sandbox's own processes and loopback.
  EXPECT_EQ(r.out("state"), "scheduler is running\n");
  EXPECT_EQ(r.out("world"), "/usr/lib/cups/driver: driverless driverless-fax  /usr/share/cups/model:  "
                            "/usr/share/ppd: cupsfilters custom ");
  EXPECT_EQ(r.out("inside.out") + r.out("inside.status") + r.out("missing.status"), "case ran\n0\n2\n");
  EXPECT_LE(std::stoi(r.out("processes")), 4);
  EXPECT_EQ(r.out("inside"), "1\nplixtest\n");
  // Outside: nothing changed. The upper layer tells what the run did.
  EXPECT_EQ(readFile("/etc/passwd"), passwd);
  EXPECT_TRUE(exists("/etc/cups") && exists("/usr/share/doc") && !exists("/opt/zed/sandbox-probe"));
  struct stat st;
  EXPECT_TRUE(stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
  EXPECT_TRUE(r.deleted("/etc/cups") && r.deleted("/etc/passwd"));
  EXPECT_EQ(r.upperFile("/opt/zed/sandbox-probe"), "written\n");
  EXPECT_FALSE(r.changed("/dev/null") || r.changed("/tmp"));  // /dev is the sandbox's own tmpfs
}

TEST(Sandbox, OutsideTheSandboxACaseRefusesToRun) {
  std::string command = "PLIX_CASE=hostname " + std::string(PLIX_BUILD_DIR) + "/tests/sandbox_tests >/dev/null 2>&1";
  EXPECT_EQ(WEXITSTATUS(system(command.c_str())), 3);
}

}  // namespace
