// The survey of PPD trees: its decision over which directories exist (a table), and one
// sandboxed host per way the facts are gathered (a linked tree, regular files in place
// of trees) with the summary block it logs.
#include <cstdio>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "ppdloc/ppd_dirs.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

SANDBOX_CASE(survey_ppd_dirs) {
  std::string existing = "left alone";
  settings.ppdInstallDir = "stale";
  int flags = discoverPpdLocations(existing);
  fprintf(out, "0x%x %s %s %s\n", flags, settings.cupsModelDir.c_str(), settings.ppdInstallDir.c_str(),
          existing.c_str());
}

const std::string kModel = "/usr/share/cups/model";
const std::string kPpd = "/usr/share/ppd";
const std::string kFoomatic = "/usr/share/foomatic/db/source/PPD";

struct Host {
  const char* name;
  std::set<std::string> dirs;
  int flags;
  std::string model, proposal, existing;
};

// clang-format off
const Host kHosts[] = {
    {"none", {}, 0x0, kModel, "", ""},
    {"openprinting_hp_epson", {kModel, kPpd, kPpd + "/cups-included", kPpd + "/openprinting",
      kPpd + "/openprinting/HP", kPpd + "/openprinting/Epson"}, 0x351, kModel, kPpd + "/openprinting/zed", ""},
    {"later_find_wins", {kPpd, kPpd + "/openprinting", kPpd + "/openprinting/zed", kFoomatic, kFoomatic + "/zed"},
     0x2d3, kPpd, kPpd + "/zed", kFoomatic + "/zed"},
    // The maker directory turns "found" false again, but the text of the earlier find stays.
    {"maker_dir_clears_found", {kPpd, kPpd + "/openprinting", kPpd + "/openprinting/zed", kFoomatic,
      kFoomatic + "/Orvex"}, 0x257, kPpd, kPpd + "/zed", kPpd + "/openprinting/zed"},
    {"maker_zed_beats_opt_share", {kFoomatic, kFoomatic + "/Orvex", kFoomatic + "/Orvex/zed", "/opt/share/ppd",
      "/opt/share/ppd/zed"}, 0x66, kModel, kFoomatic + "/Orvex/zed", kFoomatic + "/Orvex/zed"},
    {"opt_share_zed", {"/opt/share/ppd", "/opt/share/ppd/zed"}, 0x60, kModel, "", "/opt/share/ppd/zed"},
    {"model_custom_zed", {kModel, kModel + "/custom", kModel + "/custom/zed"}, 0x9, kModel, kModel + "/custom/zed",
     kModel + "/custom/zed"},
    {"cups_included_zed", {kPpd, kPpd + "/cups-included", kPpd + "/cups-included/zed", kPpd + "/openprinting"},
     0x351, kPpd, kPpd + "/zed", kPpd + "/cups-included/zed"},
};
// clang-format on

TEST(PpdDirectoryDiscovery, DecisionOverTheTreesThatExist) {
  for (const Host& host : kHosts) {
    SCOPED_TRACE(host.name);
    PpdLocations got = decidePpdLocations([&](const std::string& path) { return host.dirs.count(path) > 0; });
    EXPECT_EQ(got.flags, host.flags);
    EXPECT_EQ(got.modelDir, host.model);
    EXPECT_EQ(got.proposal, host.proposal);
    EXPECT_EQ(got.existing, host.existing);
  }
}

TEST(PpdDirectoryDiscovery, LinkedTreesCountAndRegularFilesDoNotAndTheSummaryIsLogged) {
  Sandbox box;
  SandboxResult r = box.run(R"(
clear() { rm -rf /usr/share/cups/model /usr/share/ppd /etc/cups/model /opt/cups /usr/ppd \
  /opt/share /usr/local/share/ppd /usr/share/foomatic; }
clear; mkdir -p /usr/share /etc/cups && touch /usr/share/ppd /etc/cups/model
run_case ppdloc_tests survey_ppd_dirs files
clear; mkdir -p /srv/ppdtree/zed && ln -s /srv/ppdtree /usr/share/ppd
run_case ppdloc_tests survey_ppd_dirs linked
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("files.out"), "0x0 " + kModel + "  left alone\n");
  EXPECT_EQ(r.out("linked.out"), "0x51 " + kPpd + "  " + kPpd + "/zed\n");
  EXPECT_EQ(r.out("linked.log"),
            "=======================================\nPPD-System-Speicherorte:\n"
            "CUPS-Modell-Verzeichnis: /usr/share/ppd\nFoomatic-Verzeichnis: ???\nOrvex-Verzeichnis   : ???\n"
            "Ben.def. ppd-Verzeichnis: ???\nFreigegebenes ppd-Verzeichnis: /usr/share/ppd\n"
            "ppd-Systemverzeichnis: /usr/share/ppd\n"
            "Bestehendes Plix PPD Verzeichnis gefunden: \"/usr/share/ppd/zed\".\n");
}

}  // namespace
