// The dry run (setup -n, and -d -n) in the sandbox, on a real cupsd with two queues of
// the sample product's older PPDs: it leaves the upper layer as the scheduler alone
// leaves it, and its carry-over rows are those of the real run's report that follows.
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

namespace {

// The lines of `text` that begin with `prefix`, each ended by "|".
std::string linesStarting(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  std::string lines;
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(prefix)) lines += line + "|";
  return lines;
}

// Nothing in the upper layer beyond what the running scheduler itself writes (its state,
// cache and logs), and no scratch file left.
void changedNothing(const SandboxResult& r) {
  ASSERT_EQ(r.status, 0) << r.error;
  static const std::regex scheduler(
      "/var/(cache|spool|log/cups)/.*|/etc/cups/ssl/.*|/(etc/(cups/(ppd/)?)?|var/(log/)?|run/)");
  for (const std::string& path : r.listing()) EXPECT_TRUE(std::regex_match(path, scheduler)) << path;
  EXPECT_EQ(r.out("tmp.after"), r.out("tmp.before"));
  EXPECT_EQ(r.out("preview.status") + r.out("preview.stderr") + r.out("removal.status"), "0\n0\n");
}

TEST(Preview, ChangesNothingAndShowsTheRowsOfTheRunThatFollows) {
  Sandbox box;
  // The world: two product queues with chosen defaults, every one of them offered by the
  // new PPDs.
  SandboxResult prep = box.run(R"(
start_cupsd || exit 1
set -- $SRC/product/ppd-old/Orvex_ColorPage_7350_PS.ppd $SRC/product/ppd-old/Orvex_LaserPro_4200_PCL.ppd
lpadmin -p Office -E -v file:/dev/null -P "$1" 2>/dev/null && lpadmin -p Office -o PageSize=Letter -o Duplex=DuplexNoTumble &&
lpadmin -p Lab -E -v file:/dev/null -P "$2" 2>/dev/null && lpadmin -p Lab -o PageSize=Legal
)");
  ASSERT_EQ(prep.status, 0) << prep.error;
  box.keep(prep);
  const char* preview = R"(
start_cupsd || exit 1
tmp_entries >$OUT/tmp.before
run_setup preview -n
run_setup removal -d -n
tmp_entries >$OUT/tmp.after
)";
  // A new installation previewed.
  SandboxResult dry = box.run(preview);
  changedNothing(dry);
  const std::string shown = dry.out("preview.stdout");
  for (const char* line : {"\nInstallation: new, into /opt/zed\n", "\nProduct files: 10 to copy, 0 already in place\n",
                           "\nChanges: new installation, 10 files, ", "\nQueue Office (/etc/cups/ppd/Office.ppd): new PPD "})
    EXPECT_NE(shown.find(line), std::string::npos) << line << shown;
  EXPECT_EQ(dry.out("removal.stdout"),
            "setup -d -n: what an uninstallation would remove; nothing has been removed.\n"
            "No installation of Plix found: nothing to remove.\n");

  // The real run: its report has exactly the rows the preview showed.
  SandboxResult real = box.run(R"(
start_cupsd || exit 1
run_setup install
sed -i 's/^%%ZANBLOCK_PRINTERS_BEGIN$/&\nOffice\nLab/' /opt/zed/plixInfo4.0
mkdir -p /opt/zed/Office/root
)");
  ASSERT_EQ(real.status, 0) << real.error;
  const std::string report = real.upperFile("/var/log/Plix4.0_CarryOver");
  EXPECT_TRUE(report.starts_with("queue\toption\told\tnow\toutcome\n")) << report;
  EXPECT_NE(report.find("\nOffice\tDuplex\tDuplexNoTumble\tDuplexNoTumble\tcarried\n"), std::string::npos) << report;
  EXPECT_NE(shown.find("\n" + report), std::string::npos) << shown;
  box.keep(real);

  // Installed, queues recorded: a second preview has nothing to copy, and the removal
  // is listed; again nothing changes.
  SandboxResult again = box.run(preview);
  changedNothing(again);
  const std::string second = again.out("preview.stdout"), removal = again.out("removal.stdout");
  for (const char* line : {"\nInstallation: upgrade of kind 2 (plixInfo4.0) in /opt/zed\n",
                           "\nProduct files: 0 to copy, 10 already in place\n", "\nChanges: none\n"})
    EXPECT_NE(second.find(line), std::string::npos) << line << second;
  EXPECT_EQ(linesStarting(removal, "Queue: ") + linesStarting(removal, "Directory: ") +
                linesStarting(removal, "File: /opt/zed/bin/"),
            "Queue: Lab|Queue: Office, with /opt/zed/Office/|Directory: /opt/zed/etc/|Directory: /opt/zed/bin/|"
            "File: /opt/zed/bin/setup|File: /opt/zed/bin/zangsfilter|File: /opt/zed/bin/zannc|")
      << removal;
}

}  // namespace
