// The survey of PPD trees on distribution-like hosts built inside the sandbox: flag
// word, directory texts, the proposed installation directory and the summary block.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "ppdloc/ppd_dirs.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

// One line: flag word, model directory, proposal, existing-directory text (preset to
// "left alone"). The system PPD directory is only logged.
SANDBOX_CASE(survey_ppd_dirs) {
  std::string existing = "left alone";
  settings.ppdInstallDir = "stale";
  int flags = discoverPpdLocations(existing);
  fprintf(out, "0x%x %s %s %s\n", flags, settings.cupsModelDir.c_str(), settings.ppdInstallDir.c_str(),
          existing.c_str());
}

// The summary block; the `shared` and `found` lines only when not empty.
std::string summary(const std::string& model, const std::string& foomatic, const std::string& orvex,
                    const std::string& custom, const std::string& shared, const std::string& system,
                    const std::string& found = "") {
  std::string block = "=======================================\nPPD-System-Speicherorte:\n"
                      "CUPS-Modell-Verzeichnis: " + model + "\nFoomatic-Verzeichnis: " + foomatic +
                      "\nOrvex-Verzeichnis   : " + orvex + "\nBen.def. ppd-Verzeichnis: " + custom + "\n";
  if (!shared.empty()) block += "Freigegebenes ppd-Verzeichnis: " + shared + "\n";
  block += "ppd-Systemverzeichnis: " + system + "\n";
  if (!found.empty()) block += "Bestehendes Plix PPD Verzeichnis gefunden: \"" + found + "\".\n";
  return block;
}

const std::string kModel = "/usr/share/cups/model";
const std::string kPpd = "/usr/share/ppd";
const std::string kFoomatic = "/usr/share/foomatic/db/source/PPD";
const std::string kNothing = summary("???", "???", "???", "???", "", "???");

struct Host {
  const char* name;
  std::string build;  // shell lines that make the tree
  std::string out;
  std::string log;
};

const Host kHosts[] = {
    {"none", "", "0x0 " + kModel + "  left alone\n", kNothing},
    {"regular_files_are_not_trees", "mkdir -p /usr/share /etc/cups && touch " + kPpd + " /etc/cups/model",
     "0x0 " + kModel + "  left alone\n", kNothing},
    {"vendor_tree", "mkdir -p " + kModel + " " + kPpd + "/cups-included " + kPpd + "/openprinting",
     "0x351 " + kModel + " " + kPpd + "/zed left alone\n", summary(kModel, "???", "???", "???", kPpd, kPpd)},
    {"openprinting_hp_epson",
     "mkdir -p " + kModel + " " + kPpd + "/cups-included " + kPpd + "/openprinting/HP " + kPpd +
         "/openprinting/Epson",
     "0x351 " + kModel + " " + kPpd + "/openprinting/zed left alone\n",
     summary(kModel, "???", "???", "???", kPpd, kPpd)},
    {"later_find_wins", "mkdir -p " + kPpd + "/openprinting/zed " + kFoomatic + "/zed",
     "0x2d3 " + kPpd + " " + kPpd + "/zed " + kFoomatic + "/zed\n",
     summary(kPpd, kFoomatic, kFoomatic + "/zed", "???", kPpd, kPpd, kFoomatic + "/zed")},
    {"maker_dir_clears_found", "mkdir -p " + kPpd + "/openprinting/zed " + kFoomatic + "/Orvex",
     "0x257 " + kPpd + " " + kPpd + "/zed " + kPpd + "/openprinting/zed\n",
     summary(kPpd, kFoomatic, kFoomatic + "/Orvex", "???", kPpd, kPpd)},
    {"foomatic_only", "mkdir -p " + kFoomatic, "0x42 " + kModel + " " + kFoomatic + "/zed left alone\n",
     summary("???", kFoomatic, "???", "???", "", kFoomatic)},
    {"maker_zed_beats_opt_share", "mkdir -p " + kFoomatic + "/Orvex/zed /opt/share/ppd/zed",
     "0x66 " + kModel + " " + kFoomatic + "/Orvex/zed " + kFoomatic + "/Orvex/zed\n",
     summary("???", kFoomatic, kFoomatic + "/Orvex", "???", "/opt/share/ppd", "/opt/share/ppd",
             kFoomatic + "/Orvex/zed")},
    {"linked_usr_share_ppd", "mkdir -p /srv/ppdtree/zed && ln -s /srv/ppdtree " + kPpd,
     "0x51 " + kPpd + "  " + kPpd + "/zed\n", summary(kPpd, "???", "???", "???", kPpd, kPpd, kPpd + "/zed")},
    {"model_custom_zed", "mkdir -p " + kModel + "/custom/zed",
     "0x9 " + kModel + " " + kModel + "/custom/zed " + kModel + "/custom/zed\n",
     summary(kModel, "???", "???", kModel + "/custom", "", "???", kModel + "/custom/zed")},
};

TEST(PpdDirectoryDiscovery, DistributionTreesGiveTheirFlagsProposalAndSummary) {
  std::string script;
  for (const Host& host : kHosts) {
    script += std::string("rm -rf /usr/share/cups/model /usr/share/ppd /etc/cups/model /opt/cups /usr/ppd ") +
              "/opt/share /usr/local/share/ppd /usr/share/foomatic\n" + host.build +
              "\nrun_case ppdloc_tests survey_ppd_dirs " + host.name + "\n";
  }
  Sandbox box;
  SandboxResult r = box.run(script);
  ASSERT_EQ(r.status, 0) << r.error;
  for (const Host& host : kHosts) {
    SCOPED_TRACE(host.name);
    std::string name = host.name;
    EXPECT_EQ(r.out(name + ".status"), "0\n") << r.out(name + ".log");
    EXPECT_EQ(r.out(name + ".out"), host.out);
    EXPECT_EQ(r.out(name + ".log"), host.log);
  }
}

}  // namespace
