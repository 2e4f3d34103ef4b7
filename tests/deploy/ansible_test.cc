// The Ansible roll-out (deploy/ansible) on a sandboxed print server with a real cupsd
// and two queues of the sample product's older PPDs: --check changes nothing on disk and
// keeps the preview (setup -n), whose carry-over rows are those of the real run's report;
// the real run upgrades the queues and fetches the Update log and the report; a third run
// finds nothing to do and reports changed=0. The dry uninstallation (setup -d -n) before
// and after.
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

namespace {

// The playbook as an administrator runs it, here against the sandbox itself; ansible's
// own working files go to /tmp/ansible. The names in /tmp before and after, and setup -d -n.
const std::string kPlaybook = R"(
export ANSIBLE_HOME=/tmp/ansible ANSIBLE_LOCAL_TEMP=/tmp/ansible/local ANSIBLE_REMOTE_TEMP=/tmp/ansible/remote
export ANSIBLE_NOCOLOR=1 PYTHONDONTWRITEBYTECODE=1
play() {  # play NAME [ARGS...]: its exit status and the changed and failed counts of its recap in NAME.status
  local name=$1; shift
  ansible-playbook -i 'localhost,' -c local "$SRC/deploy/ansible/site.yml" \
    -e plix_tarball="$BUILD/product/plix-4.0-8.tar.gz" -e plix_reports="$OUT/reports" "$@" >$OUT/$name.txt 2>&1
  echo $? $(grep -oE 'changed=[0-9]+ +unreachable=0 +failed=[0-9]+' $OUT/$name.txt) >$OUT/$name.status
}
start_cupsd || exit 1
tmp_entries >$OUT/tmp.before
trap 'tmp_entries | grep -vx ansible >$OUT/tmp.after' EXIT
run_setup removal -d -n
)";

// Nothing in the upper layer beyond what the running scheduler itself writes (its state,
// cache and logs), and no scratch file left.
void changedNothing(const SandboxResult& r) {
  ASSERT_EQ(r.status, 0) << r.error;
  const std::regex scheduler("/var/(cache|spool|log/cups)/.*|/etc/cups/ssl/.*|/(etc/(cups/(ppd/)?)?|var/(log/)?|run/)");
  for (const std::string& path : r.listing()) EXPECT_TRUE(std::regex_match(path, scheduler)) << path;
  EXPECT_EQ(r.out("tmp.after") + r.out("removal.status"), r.out("tmp.before") + "0\n");  // setup -d -n succeeded
}

TEST(Ansible, CheckChangesNothingThenTheRunUpgradesAsPreviewedThenNothingIsLeftToDo) {
  Sandbox box;
  // Two product queues with chosen defaults, every one of them offered by the new PPDs.
  SandboxResult prep = box.run(R"(
start_cupsd || exit 1
set -- $SRC/product/ppd-old/Orvex_ColorPage_7350_PS.ppd $SRC/product/ppd-old/Orvex_LaserPro_4200_PCL.ppd
lpadmin -p Office -E -v file:/dev/null -P "$1" 2>/dev/null && lpadmin -p Office -o PageSize=Letter -o Duplex=DuplexNoTumble &&
lpadmin -p Lab -E -v file:/dev/null -P "$2" 2>/dev/null && lpadmin -p Lab -o PageSize=Legal
)");
  ASSERT_EQ(prep.status, 0) << prep.error;
  box.keep(prep);

  // A new installation previewed.
  SandboxResult check = box.run(kPlaybook + "play check --check\n");
  changedNothing(check);
  EXPECT_EQ(check.out("check.status"), "0 changed=1 unreachable=0 failed=0\n") << check.out("check.txt");
  const std::string shown = check.out("reports/localhost/preview.txt");
  for (const char* line : {"\nInstallation: new, into /opt/zed\n", "\nProduct files: 10 to copy, 0 already in place\n",
                           "\nChanges: new installation, 10 files, ", "\nQueue Office (/etc/cups/ppd/Office.ppd): new PPD "})
    EXPECT_NE(shown.find(line), std::string::npos) << line << shown;
  EXPECT_EQ(check.out("removal.stdout"), "setup -d -n: what an uninstallation would remove; nothing has been removed.\n"
                                         "No installation of Plix found: nothing to remove.\n");

  // The real run: its report has exactly the rows the preview showed; the Update log and
  // the report fetched, and kept for the next run. The queues recorded for the uninstallation.
  SandboxResult real = box.run(kPlaybook + R"(play real
cp -a $OUT/reports /root/ && mkdir -p /opt/zed/Office/root
sed -i 's/^%%ZANBLOCK_PRINTERS_BEGIN$/&\nOffice\nLab/' /opt/zed/plixInfo4.0
)");
  ASSERT_EQ(real.status, 0) << real.error;
  EXPECT_EQ(real.out("real.status"), "0 changed=2 unreachable=0 failed=0\n") << real.out("real.txt");
  const std::string report = real.out("reports/localhost/Plix4.0_CarryOver");
  EXPECT_EQ(report, real.upperFile("/var/log/Plix4.0_CarryOver"));
  EXPECT_NE(report.find("\nOffice\tDuplex\tDuplexNoTumble\tDuplexNoTumble\tcarried\n"), std::string::npos) << report;
  EXPECT_NE(shown.find("\n" + report), std::string::npos) << shown;
  EXPECT_EQ(real.out("reports/localhost/Plix4.0_UpdateLog"), real.upperFile("/var/log/Plix4.0_UpdateLog"));
  box.keep(real);

  // Installed, queues recorded: the preview has nothing to copy, the play changes nothing,
  // and the removal is listed.
  SandboxResult again = box.run(kPlaybook + "cp -a /root/reports $OUT/ && play again\n");
  changedNothing(again);
  EXPECT_EQ(again.out("again.status"), "0 changed=0 unreachable=0 failed=0\n") << again.out("again.txt");
  const std::string second = again.out("reports/localhost/preview.txt") + again.out("removal.stdout");
  for (const char* lines : {"\nInstallation: upgrade of kind 2 (plixInfo4.0) in /opt/zed\n",
                            "\nProduct files: 0 to copy, 10 already in place\n", "\nChanges: none\n",
                            "\nQueue: Lab\nQueue: Office, with /opt/zed/Office/\n",
                            "\nFile: /opt/zed/bin/setup\nFile: /opt/zed/bin/zangsfilter\nFile: /opt/zed/bin/zannc\n",
                            "\nDirectory: /opt/zed/etc/\nDirectory: /opt/zed/bin/\n"})
    EXPECT_NE(second.find(lines), std::string::npos) << lines << second;
}

}  // namespace
