// The Ansible roll-out (deploy/ansible) on a sandboxed print server with a real cupsd
// and two product queues: --check changes nothing on disk and keeps the preview; the
// real run upgrades the queues and fetches the Update log and the carry-over report;
// a third run finds nothing to do and reports changed=0.
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

namespace {

// The playbook as an administrator runs it, here against the sandbox itself; ansible's
// own working files go to /tmp.
const char* const kPlaybook = R"(
export ANSIBLE_HOME=/tmp/ansible ANSIBLE_LOCAL_TEMP=/tmp/ansible/local ANSIBLE_REMOTE_TEMP=/tmp/ansible/remote
export ANSIBLE_NOCOLOR=1 PYTHONDONTWRITEBYTECODE=1
play() {  # play NAME [ARGS...]
  local name=$1; shift
  ansible-playbook -i 'localhost,' -c local "$SRC/deploy/ansible/site.yml" \
    -e plix_tarball="$BUILD/product/plix-4.0-8.tar.gz" -e plix_reports="$OUT/reports" "$@" >$OUT/$name.txt 2>&1
  echo $? >$OUT/$name.status
}
start_cupsd || exit 1
)";

// The counts of changed and failed tasks in the play recap's "localhost : ok=.." line.
std::string recap(const std::string& output) {
  std::smatch m;
  static const std::regex line("localhost +: ok=\\d+ +(changed=\\d+) +unreachable=0 +(failed=\\d+)");
  return std::regex_search(output, m, line) ? m[1].str() + " " + m[2].str() : "";
}

TEST(Ansible, CheckChangesNothingThenTheRunUpgradesThenNothingIsLeftToDo) {
  Sandbox box;
  SandboxResult prep = box.run(R"(
start_cupsd || exit 1
lpadmin -p Office -E -v file:/dev/null -P $SRC/product/ppd-old/Orvex_ColorPage_7350_PS.ppd 2>/dev/null &&
lpadmin -p Office -o PageSize=Letter -o Duplex=DuplexNoTumble &&
lpadmin -p Lab -E -v file:/dev/null -P $SRC/product/ppd-old/Orvex_LaserPro_4200_PCL.ppd 2>/dev/null
)");
  ASSERT_EQ(prep.status, 0) << prep.error;
  box.keep(prep);

  SandboxResult check = box.run(std::string(kPlaybook) + "play check --check\n");
  ASSERT_EQ(check.status, 0) << check.error;
  EXPECT_EQ(check.out("check.status"), "0\n") << check.out("check.txt");
  EXPECT_EQ(recap(check.out("check.txt")), "changed=1 failed=0") << check.out("check.txt");
  for (const std::string& path : check.listing()) {
    bool scheduler = path.rfind("/var/cache/", 0) == 0 || path.rfind("/var/spool/", 0) == 0 ||
                     path.rfind("/var/log/cups/", 0) == 0 || path.rfind("/etc/cups/ssl/", 0) == 0 ||
                     path == "/etc/" || path == "/etc/cups/" || path == "/etc/cups/ppd/" || path == "/var/" ||
                     path == "/var/log/" || path == "/run/";
    EXPECT_TRUE(scheduler) << path << " changed in check mode";
  }
  EXPECT_NE(check.out("reports/localhost/preview.txt").find("\nChanges: new installation, 10 files, "),
            std::string::npos);

  SandboxResult real = box.run(std::string(kPlaybook) + "play real\nplay again\n");
  ASSERT_EQ(real.status, 0) << real.error;
  EXPECT_EQ(real.out("real.status"), "0\n") << real.out("real.txt");
  EXPECT_EQ(recap(real.out("real.txt")), "changed=2 failed=0") << real.out("real.txt");
  EXPECT_TRUE(real.changed("/etc/cups/Office.ppd.rpmsave"));
  EXPECT_TRUE(real.changed("/opt/zed/bin/setup"));
  const std::string report = real.out("reports/localhost/Plix4.0_CarryOver");
  EXPECT_EQ(report, real.upperFile("/var/log/Plix4.0_CarryOver"));
  EXPECT_NE(report.find("\nOffice\tDuplex\tDuplexNoTumble\tDuplexNoTumble\tcarried\n"), std::string::npos) << report;
  EXPECT_EQ(real.out("reports/localhost/Plix4.0_UpdateLog"), real.upperFile("/var/log/Plix4.0_UpdateLog"));
  EXPECT_EQ(real.out("again.status"), "0\n") << real.out("again.txt");
  EXPECT_EQ(recap(real.out("again.txt")), "changed=0 failed=0") << real.out("again.txt");
}

}  // namespace
