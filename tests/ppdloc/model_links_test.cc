// Settling the product's PPD directory: the decision over its facts (a table), then
// hosts built inside the sandbox for what is acted on: the recorded model-directory
// links, the directories and "zed" links left in the upper layer, and for one host the
// survey's summary block; and makeLink.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

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
  const char* version = getenv("PLIX_CUPS_VERSION");
  settings.cupsVersion = version ? atoi(version) : 1000;
  settings.ppdDirFlags = discoverPpdLocations(settings.existingPpdDir);
  fputs("----\n", stderr);
  int count = -1;
  scanModelLinks(&count);
  choosePpdInstallDir(settings.existingPpdDir, count);
  fprintf(out, "count=%d\ninstall=%s\n", count, settings.ppdInstallDir.c_str());
}

SANDBOX_CASE(make_link) { fprintf(out, "result=%d\n", makeLink(getenv("PLIX_TARGET"), getenv("PLIX_LINK"))); }

// Every script starts from a host without any of the trees the survey looks at, and
// under umask 077, so that a mode narrowed by the umask shows.
constexpr const char* kScriptHead = R"(
umask 077
rm -rf /usr/share/cups/model /usr/share/ppd /etc/cups/model /opt/cups /usr/ppd \
  /opt/share /usr/local/share/ppd /usr/share/foomatic
)";

std::string created(const std::string& dir) {
  return "Erstelltes Verzeichnis: '" + dir + "'.\n\304ndere Ausf\374hrungsrechte von '" + dir + "' zu  00755.\n";
}
// Made by the decision, which then logs the directory once more.
std::string made(const std::string& dir) { return created(dir) + "Erstelltes Verzeichnis: '" + dir + "'.\n"; }
std::string linked(const std::string& link, const std::string& target) {
  return "Verkn\374pfung 1: " + link + " mit " + target + " verkn\374pft.\n";
}

const std::string kModel = "/usr/share/cups/model";
const std::string kNoLinks = "Keine bekannten Verkn\374pfungen in cups-Modell-Verzeichnis: " + kModel + "\n";
const std::string kLongTarget = "/usr/share/ppd/" + std::string(240, 'a');

// `upper` lists what a path must be in the upper layer: "/d" a directory of mode
// 0755 (493), "!/p" absent, "/l -> /t" a symbolic link.
void checkUpper(const SandboxResult& r, const std::vector<std::string>& upper) {
  namespace fs = std::filesystem;
  for (const std::string& entry : upper) {
    size_t arrow = entry.find(" -> ");
    fs::path path = r.upperPath(entry.substr(entry[0] == '!', arrow));
    fs::file_status st = fs::symlink_status(path);
    std::string got = !fs::exists(st)       ? "absent"
                      : fs::is_symlink(st)   ? " -> " + fs::read_symlink(path).string()
                      : fs::is_directory(st) ? std::to_string(static_cast<int>(st.permissions()))
                                             : "file";
    EXPECT_EQ(got, entry[0] == '!' ? "absent" : arrow != std::string::npos ? entry.substr(arrow) : "493") << entry;
  }
}

const std::string kPpd = "/usr/share/ppd";
constexpr int kUsr = USR_SHARE_PPD, kOpt = OPT_SHARE_PPD, kOpen = OPENPRINTING_DIR, kVendor = VENDOR_PPD_TREE,
              kCustom = MODEL_CUSTOM_DIR;
using Links = std::vector<std::pair<std::string, std::string>>;

struct Decision {
  const char* name;
  PpdDirFacts facts;
  std::string dir;
  PpdDirAction action;
};

// clang-format off
const Decision kDecisions[] = {
    {"reuses_found", {kPpd + "/zed", kUsr, 1200, "", kModel, {}}, kPpd + "/zed", PpdDirAction::Reuse},
    {"new_openprinting", {"", kUsr | kOpen, 2200, kPpd + "/zed", kModel, {}}, kPpd + "/openprinting/zed", PpdDirAction::Settle},
    {"new_keeps_usr_share_proposal", {"", kUsr | kCustom, 2200, "/usr/share/x/zed", kModel, {}}, "/usr/share/x/zed", PpdDirAction::Settle},
    {"new_usr_and_opt_proposal", {"", kUsr | kOpt, 2200, "/usr/opt/x", kModel, {}}, "/usr/opt/ppd/zed", PpdDirAction::Settle},
    {"new_opt_proposal_usr_opt", {"", kOpt, 2200, "/usr/opt/x", kModel, {}}, "/opt/share/ppd/zed", PpdDirAction::Settle},
    {"new_no_shared_tree", {"", 0, 2200, "", kModel, {}}, kModel + "/zed", PpdDirAction::Settle},
    {"old_links_usr_share", {"", kUsr, 1200, "", kModel, {}}, kPpd + "/zed", PpdDirAction::LinkIntoModelDir},
    {"old_no_shared_tree", {"", 0, 1200, "", kModel, {}}, kModel + "/zed", PpdDirAction::Name},
    {"old_link_not_matched", {"", kUsr, 1200, "", kModel, Links{{kModel + "/vendor-ppds", kPpd + "/vendor"}}}, kModel + "/zed", PpdDirAction::Settle},
    {"old_target_ends_in_zed", {"", kUsr, 1200, "", kPpd, Links{{kPpd + "/plixppd", kPpd + "/vendor/zed"}}}, kPpd + "/vendor/zed", PpdDirAction::Settle},
    {"old_too_long_target", {"", kUsr, 1200, "", kPpd, Links{{kPpd + "/plix", kLongTarget}}}, kPpd + "/zed", PpdDirAction::Settle},
};
// clang-format on

TEST(ModelDirectoryLinks, DecisionOverFlagsVersionProposalAndRecordedLinks) {
  for (const Decision& d : kDecisions) {
    PpdDirChoice got = decidePpdInstallDir(d.facts);
    EXPECT_TRUE(got.dir == d.dir && got.action == d.action) << d.name << ": " << got.dir;
  }
}

struct Host {
  const char* name;
  int version;
  std::string build;    // shell lines that make the tree
  int count;            // links recorded
  std::string install;  // the directory settled on
  std::string tail;     // log lines after the decision's line
  std::vector<std::string> upper;
  std::string links = kNoLinks;  // the scan's log lines
  std::string survey = "";       // the survey's first log lines
};

// One host per way the decision is acted on.
// clang-format off
const Host kHosts[] = {
    {"new_cups_openprinting", 2200, "mkdir -p " + kModel + " " + kPpd + "/openprinting", 0,
     kPpd + "/openprinting/zed", made(kPpd + "/openprinting/zed"),
     {kPpd + "/openprinting/zed", "!" + kModel + "/zed"}},
    // The parent does not exist, so the creation fails; only the decision's lines are written.
    {"new_cups_opt_share_only", 2200, "mkdir -p " + kModel + " /opt/share/ppd", 0, "/usr/opt/ppd/zed",
     "Erstelltes Verzeichnis: '/usr/opt/ppd/zed'.\n", {"!/usr/opt", "!/opt/share/ppd/zed"}},
    {"old_cups_links_usr_share_ppd", 1200, "mkdir -p " + kModel + " " + kPpd, 0, kPpd + "/zed",
     created(kPpd + "/zed") + linked(kModel + "/zed", kPpd + "/zed"),
     {kPpd + "/zed", kModel + "/zed -> " + kPpd + "/zed"}},
    // The dangling "zed" counts as absent: makeLink tries symlink, which fails silently.
    {"old_cups_dangling_model_zed", 1200,
     "mkdir -p " + kModel + " " + kPpd + " && ln -s /nowhere " + kModel + "/zed", 0, kPpd + "/zed",
     created(kPpd + "/zed") + linked(kModel + "/zed", kPpd + "/zed") + ": FALSCH!\n",
     {kPpd + "/zed", kModel + "/zed -> /nowhere"}},
    // Found through a linked tree; regular files where other trees would be do not count.
    {"reuses_found_in_linked_tree", 1200,
     "mkdir -p /srv/ppdtree/zed && ln -s /srv/ppdtree " + kPpd + " && touch /etc/cups/model /usr/ppd", 0,
     kPpd + "/zed", "Benutzung alte Plix PPD Verzeichnis: \"/usr/share/ppd/zed\".\n", {"!" + kModel + "/zed"},
     "Keine bekannten Verkn\374pfungen in cups-Modell-Verzeichnis: " + kPpd + "\n",
     "=======================================\nPPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: /usr/share/ppd\nFoomatic-Verzeichnis: ???\nOrvex-Verzeichnis   : ???\n"
     "Ben.def. ppd-Verzeichnis: ???\nFreigegebenes ppd-Verzeichnis: /usr/share/ppd\n"
     "ppd-Systemverzeichnis: /usr/share/ppd\n"
     "Bestehendes Plix PPD Verzeichnis gefunden: \"/usr/share/ppd/zed\".\n"},
    {"custom_skips_what_does_not_fit", 1200,
     "mkdir -p " + kModel + "/custom /srv/c && ln -s /srv/c " + kModel + "/custom-" + std::string(240, 'x') +
         " && ln -s /srv/" + std::string(300, 'y') + " " + kModel + "/custom-long-target && ln -s /srv/c " +
         kModel + "/custom-short",
     1, "/srv/c/zed", made("/srv/c/zed"), {"/srv/c/zed"}, linked(kModel + "/custom-short", "/srv/c")},
};
// clang-format on

// The log of a settle case after the survey's lines.
std::string afterSurvey(const std::string& log) {
  size_t at = log.find("----\n");
  return at == std::string::npos ? "(no marker) " + log : log.substr(at + 5);
}

TEST(ModelDirectoryLinks, OldAndNewCupsHostsSettleTheirPpdDirectory) {
  for (const Host& host : kHosts) {
    SCOPED_TRACE(host.name);
    Sandbox box;
    SandboxResult r = box.run(std::string(kScriptHead) + host.build +
                              "\nrun_case ppdloc_tests settle_ppd_dir settle PLIX_CUPS_VERSION=" +
                              std::to_string(host.version) + "\n");
    ASSERT_EQ(r.status, 0) << r.error;
    EXPECT_EQ(r.out("settle.status"), "0\n");
    EXPECT_EQ(r.out("settle.out"), "count=" + std::to_string(host.count) + "\ninstall=" + host.install + "\n");
    EXPECT_EQ(r.out("settle.log").substr(0, host.survey.size()), host.survey);
    EXPECT_EQ(afterSurvey(r.out("settle.log")), host.links + "PPD-Installationsverzeichnis: " + host.install + "\n" + host.tail);
    checkUpper(r, host.upper);
  }
}

TEST(ModelDirectoryLinks, CustomModeRecordsAtMostEightLinksAndMakeLinkRefusesMissingTargetsAndTakenNames) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
mkdir -p /usr/share/cups/model/custom
for i in 1 2 3 4 5 6 7 8 9; do mkdir -p /srv/custom$i && ln -s /srv/custom$i /usr/share/cups/model/custom-ppd$i; done
run_case ppdloc_tests settle_ppd_dir nine PLIX_CUPS_VERSION=1200
touch /srv/taken
run_case ppdloc_tests make_link no_target PLIX_TARGET=/srv/none PLIX_LINK=/srv/x
run_case ppdloc_tests make_link taken PLIX_TARGET=/srv/custom1 PLIX_LINK=/srv/taken
)");
  ASSERT_EQ(r.status, 0) << r.error;
  // The order of the entries is the directory's own: match the lines one by one.
  std::string log = afterSurvey(r.out("nine.log")), rest = log, first;
  std::regex line("Verkn\374pfung ([0-9]+): /usr/share/cups/model/custom-ppd([1-9]) mit /srv/custom\\2 verkn\374pft\\.\n");
  std::smatch m;
  int lines = 0;
  for (; std::regex_search(rest, m, line); rest = m.suffix()) {
    EXPECT_EQ(m[1].str(), std::to_string(++lines));
    if (lines == 1) first = m[2].str();
  }
  EXPECT_EQ(lines, 8) << log;
  std::string dir = "/srv/custom" + first + "/zed";  // the first recorded link gives the directory
  EXPECT_EQ(r.out("nine.out"), "count=8\ninstall=" + dir + "\n");
  checkUpper(r, {dir, "!/srv/x"});
  EXPECT_EQ(r.out("no_target.out") + r.out("no_target.log"), "result=-1\nNo file: /srv/none\n");
  EXPECT_EQ(r.out("taken.out") + r.out("taken.log"),
            "result=-1\nDatei: /srv/taken existiert schon. Nicht als Link kreiert!\n");
  EXPECT_EQ(r.upperFile("/srv/taken"), "");
}

}  // namespace
