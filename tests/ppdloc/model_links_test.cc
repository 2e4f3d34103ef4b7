// Settling the product's PPD directory on hosts built one after the other in one sandbox,
// one host for each way the decision (tabled in ppd_dirs_test) is acted on: the recorded
// model-directory links, the directories and "zed" links made, for one host the survey's
// summary block; and makeLink.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "ppdloc/model_links.h"
#include "ppdloc/ppd_dirs.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

// The run's own order: survey, scan of the model directory, decision. The CUPS version
// comes from PLIX_CUPS_VERSION; "----" on standard error ends the survey's lines.
SANDBOX_CASE(settle_ppd_dir) {
  settings.cupsVersion = atoi(getenv("PLIX_CUPS_VERSION"));
  settings.ppdDirFlags = discoverPpdLocations(settings.existingPpdDir);
  fputs("----\n", stderr);
  int count = -1;
  scanModelLinks(&count);
  choosePpdInstallDir(settings.existingPpdDir, count);
  fprintf(out, "count=%d\n", count);
}

// makeLink without a target, then onto a path taken: 1 when both refuse (-1).
SANDBOX_CASE(make_link) {
  fprintf(out, "%d\n", makeLink("/srv/none", "/srv/x") == -1 && makeLink("/srv/custom1", "/etc/passwd") == -1);
}

const std::string kModel = "/usr/share/cups/model", kPpd = "/usr/share/ppd";

std::string created(const std::string& dir) {
  return "Erstelltes Verzeichnis: '" + dir + "'.\n\304ndere Ausf\374hrungsrechte von '" + dir + "' zu  00755.\n";
}
std::string installed(const std::string& dir) { return "PPD-Installationsverzeichnis: " + dir + "\n"; }
// Settled as the directory and made, which then logs the directory once more.
std::string made(const std::string& d) { return installed(d) + created(d) + "Erstelltes Verzeichnis: '" + d + "'.\n"; }

TEST(ModelDirectoryLinks, HostsOneAfterTheOtherSettleTheirPpdDirectory) {
  Sandbox box;
  // Each host starts without any of the trees the survey looks at, under umask 077, so
  // that a mode narrowed by the umask shows.
  SandboxResult r = box.run(R"(
umask 077
fresh() { rm -rf /usr/share/{cups/model,ppd,foomatic} /etc/cups/model /opt/{cups,share} /usr/{,local/share/}ppd; }
settle() { run_case ppdloc_tests settle_ppd_dir $1 PLIX_CUPS_VERSION=$2; }
# CUPS before 1.3, custom mode: at most eight links are recorded, the first gives the directory.
fresh; mkdir -p /usr/share/cups/model/custom
for i in 1 2 3 4 5 6 7 8 9; do mkdir /srv/custom$i && ln -s /srv/custom$i /usr/share/cups/model/custom-ppd$i; done
settle nine 1200
run_case ppdloc_tests make_link links
# Older CUPS, /usr/share/ppd a link to a tree: the directory is made there and linked into
# the model directory as "zed"; the next run finds it through the link and reuses it.
# Entries that lead to /usr/share/ppd but whose path or target does not fit are skipped.
fresh; mkdir /usr/share/cups/model /srv/ppdtree && ln -s /srv/ppdtree /usr/share/ppd
ln -s /usr/share/ppd /usr/share/cups/model/$(printf %240s | tr ' ' x)
ln -s /usr/share/ppd/$(printf %300s | tr ' ' y) /usr/share/cups/model/long-target
settle link 1200
settle reuse 1200
# CUPS 1.3 or later with an openprinting tree: the directory is made there. A regular
# file where the model directory would be does not count.
fresh; touch /usr/share/cups/model && mkdir -p /usr/share/ppd/openprinting
settle new 2200
)");
  ASSERT_EQ(r.status, 0) << r.error;
  // A host's count of recorded links, then its log after the survey's lines.
  auto settled = [&](const std::string& name) {
    const std::string log = r.out(name + ".log");
    return r.out(name + ".out") + log.substr(log.find("----\n") + 5);
  };
  // The order of the entries is the directory's own: the link lines are matched one by one,
  // and the first recorded link gives the directory.
  std::string nineLog = settled("nine"), numbers;
  std::regex line("Verkn\374pfung ([0-9]): /usr/share/cups/model/custom-ppd([1-9]) mit /srv/custom\\2 verkn\374pft\\.\n");
  for (std::sregex_iterator m(nineLog.begin(), nineLog.end(), line), end; m != end; ++m) numbers += (*m)[1].str();
  const std::string nine = "/srv/custom" + nineLog.substr(nineLog.find("custom-ppd") + 10, 1) + "/zed";
  EXPECT_EQ(numbers + std::regex_replace(nineLog, line, ""), "12345678count=8\n" + made(nine));
  const std::string zed = kPpd + "/zed", open = kPpd + "/openprinting/zed";
  EXPECT_EQ(r.out("links.out") + r.out("links.log"),
            "1\nNo file: /srv/none\nDatei: /etc/passwd existiert schon. Nicht als Link kreiert!\n");
  EXPECT_TRUE(!r.changed("/etc/passwd") && !r.changed("/srv/x"));

  const std::string noLinks = "count=0\nKeine bekannten Verkn\374pfungen in cups-Modell-Verzeichnis: ";
  const std::string linked = "Verkn\374pfung 1: " + kModel + "/zed mit " + zed + " verkn\374pft.\n";
  EXPECT_EQ(settled("link") + settled("reuse"), noLinks + kModel + "\n" + installed(zed) + created(zed) + linked +
            "count=1\n" + linked + installed(zed) + "Benutzung alte Plix PPD Verzeichnis: \"" + zed + "\".\n");
  EXPECT_EQ(r.out("reuse.log").substr(0, r.out("reuse.log").find("----\n")),
            "=======================================\nPPD-System-Speicherorte:\nCUPS-Modell-Verzeichnis: " + kModel +
                "\nFoomatic-Verzeichnis: ???\nOrvex-Verzeichnis   : ???\nBen.def. ppd-Verzeichnis: ???\n" +
                "Freigegebenes ppd-Verzeichnis: /usr/share/ppd\nppd-Systemverzeichnis: /usr/share/ppd\n" +
                "Bestehendes Plix PPD Verzeichnis gefunden: \"/usr/share/ppd/zed\".\n");
  EXPECT_EQ(settled("new"), noLinks + kPpd + "\n" + made(open));
  // The directories made, in the upper layer with mode 0755 despite the umask (a link would show 0777).
  for (const std::string& dir : {nine, std::string("/srv/ppdtree/zed"), open})
    EXPECT_EQ(std::filesystem::symlink_status(r.upperPath(dir)).permissions(), std::filesystem::perms(0755)) << dir;
}

}  // namespace
