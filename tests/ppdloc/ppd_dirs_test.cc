// The survey of PPD trees on distribution-like hosts built inside the sandbox: flag
// word, directory texts, the proposed installation directory and the summary block.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "ppdloc/ppd_dirs.h"
#include "sandbox/sandbox.h"

namespace {

// ---- Cases run inside the sandbox ------------------------------------------------
// The survey reads fixed system paths, so it runs only inside a sandbox: the tests
// below start this same program there with PLIX_PPDDIRS_CASE=<case>; the case then
// runs instead of the tests, writes what it found to $PLIX_CASE_OUT and exits. Its log
// lines go to standard error, since no Update log is open.

using CaseFunction = void (*)(FILE* out);

// Prints the survey's results; PLIX_EXISTING presets the existing-directory text.
void discoverCase(FILE* out) {
  const char* preset = getenv("PLIX_EXISTING");
  std::string existing = preset ? preset : "";
  settings.ppdInstallDir = "stale";
  int flags = discoverPpdLocations(existing);
  fprintf(out, "flags=0x%x\nmodel=%s\nsystem=%s\ninstall=%s\nexisting=%s\n", flags,
          settings.cupsModelDir.c_str(), systemPpdDir().c_str(), settings.ppdInstallDir.c_str(),
          existing.c_str());
}

const std::map<std::string, CaseFunction> kCases = {{"discover", discoverCase}};

class CaseRunner : public testing::Environment {
 public:
  void SetUp() override {
    const char* name = getenv("PLIX_PPDDIRS_CASE");
    if (name == nullptr) return;
    int status = 2;
    char host[64] = {};
    if (gethostname(host, sizeof host - 1) != 0 || std::string(host) != "plixtest") {
      fprintf(stderr, "case %s runs only inside the sandbox\n", name);
      status = 3;
    } else if (auto it = kCases.find(name); it == kCases.end()) {
      fprintf(stderr, "no case %s\n", name);
    } else if (FILE* out = fopen(getenv("PLIX_CASE_OUT") ? getenv("PLIX_CASE_OUT") : "", "w")) {
      it->second(out);
      fclose(out);
      status = 0;
    }
    fflush(nullptr);
    _exit(status);
  }
};

[[maybe_unused]] testing::Environment* const caseRunner =
    testing::AddGlobalTestEnvironment(new CaseRunner);

// ---- Tests ---------------------------------------------------------------------

// Shell helpers of every script: bare_host removes every tree the survey looks at;
// survey NAME [VAR=VALUE...] runs the survey case into $OUT/NAME.{out,log,status}.
constexpr const char* kScriptHead = R"(
bare_host() {
  rm -rf /usr/share/cups/model /usr/share/ppd /etc/cups/model /opt/cups /usr/ppd \
    /opt/share /usr/local/share/ppd /usr/share/foomatic
}
survey() {
  local name=$1
  shift
  env "$@" PLIX_CASE_OUT=$OUT/$name.out PLIX_PPDDIRS_CASE=discover $BUILD/tests/ppdloc_tests \
    >$OUT/$name.gtest 2>$OUT/$name.log
  echo $? >$OUT/$name.status
}
)";

constexpr const char* kRule = "=======================================\n";

struct Host {
  const char* name;
  const char* build;      // shell lines that make the tree, after bare_host
  const char* out;        // expected results
  const char* log;        // expected summary block after the rule line
};

const Host kHosts[] = {
    {"none", "",
     "flags=0x0\nmodel=/usr/share/cups/model\nsystem=/usr/share/cups/model\ninstall=\n"
     "existing=left alone\n",
     "PPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: ???\n"
     "Foomatic-Verzeichnis: ???\n"
     "Orvex-Verzeichnis   : ???\n"
     "Ben.def. ppd-Verzeichnis: ???\n"
     "ppd-Systemverzeichnis: ???\n"},
    {"vendor_tree",
     "mkdir -p /usr/share/cups/model /usr/share/ppd/cups-included /usr/share/ppd/openprinting",
     "flags=0x351\nmodel=/usr/share/cups/model\nsystem=/usr/share/ppd\ninstall=/usr/share/ppd/zed\n"
     "existing=left alone\n",
     "PPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: /usr/share/cups/model\n"
     "Foomatic-Verzeichnis: ???\n"
     "Orvex-Verzeichnis   : ???\n"
     "Ben.def. ppd-Verzeichnis: ???\n"
     "Freigegebenes ppd-Verzeichnis: /usr/share/ppd\n"
     "ppd-Systemverzeichnis: /usr/share/ppd\n"},
    {"openprinting_hp_epson",
     "mkdir -p /usr/share/cups/model /usr/share/ppd/cups-included "
     "/usr/share/ppd/openprinting/HP /usr/share/ppd/openprinting/Epson",
     "flags=0x351\nmodel=/usr/share/cups/model\nsystem=/usr/share/ppd\n"
     "install=/usr/share/ppd/openprinting/zed\nexisting=left alone\n",
     nullptr},
    {"later_find_wins",
     "mkdir -p /usr/share/ppd/openprinting/zed /usr/share/foomatic/db/source/PPD/zed",
     "flags=0x2d3\nmodel=/usr/share/ppd\nsystem=/usr/share/ppd\ninstall=/usr/share/ppd/zed\n"
     "existing=/usr/share/foomatic/db/source/PPD/zed\n",
     "PPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: /usr/share/ppd\n"
     "Foomatic-Verzeichnis: /usr/share/foomatic/db/source/PPD\n"
     "Orvex-Verzeichnis   : /usr/share/foomatic/db/source/PPD/zed\n"
     "Ben.def. ppd-Verzeichnis: ???\n"
     "Freigegebenes ppd-Verzeichnis: /usr/share/ppd\n"
     "ppd-Systemverzeichnis: /usr/share/ppd\n"
     "Bestehendes Plix PPD Verzeichnis gefunden: \"/usr/share/foomatic/db/source/PPD/zed\".\n"},
    {"maker_dir_clears_found",
     "mkdir -p /usr/share/ppd/openprinting/zed /usr/share/foomatic/db/source/PPD/Orvex",
     "flags=0x257\nmodel=/usr/share/ppd\nsystem=/usr/share/ppd\ninstall=/usr/share/ppd/zed\n"
     "existing=/usr/share/ppd/openprinting/zed\n",
     "PPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: /usr/share/ppd\n"
     "Foomatic-Verzeichnis: /usr/share/foomatic/db/source/PPD\n"
     "Orvex-Verzeichnis   : /usr/share/foomatic/db/source/PPD/Orvex\n"
     "Ben.def. ppd-Verzeichnis: ???\n"
     "Freigegebenes ppd-Verzeichnis: /usr/share/ppd\n"
     "ppd-Systemverzeichnis: /usr/share/ppd\n"},
    {"foomatic_only", "mkdir -p /usr/share/foomatic/db/source/PPD",
     "flags=0x42\nmodel=/usr/share/cups/model\nsystem=/usr/share/foomatic/db/source/PPD\n"
     "install=/usr/share/foomatic/db/source/PPD/zed\nexisting=left alone\n",
     "PPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: ???\n"
     "Foomatic-Verzeichnis: /usr/share/foomatic/db/source/PPD\n"
     "Orvex-Verzeichnis   : ???\n"
     "Ben.def. ppd-Verzeichnis: ???\n"
     "ppd-Systemverzeichnis: /usr/share/foomatic/db/source/PPD\n"},
    {"maker_zed_beats_opt_share",
     "mkdir -p /usr/share/foomatic/db/source/PPD/Orvex/zed /opt/share/ppd/zed",
     "flags=0x66\nmodel=/usr/share/cups/model\nsystem=/opt/share/ppd\n"
     "install=/usr/share/foomatic/db/source/PPD/Orvex/zed\n"
     "existing=/usr/share/foomatic/db/source/PPD/Orvex/zed\n",
     "PPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: ???\n"
     "Foomatic-Verzeichnis: /usr/share/foomatic/db/source/PPD\n"
     "Orvex-Verzeichnis   : /usr/share/foomatic/db/source/PPD/Orvex\n"
     "Ben.def. ppd-Verzeichnis: ???\n"
     "Freigegebenes ppd-Verzeichnis: /opt/share/ppd\n"
     "ppd-Systemverzeichnis: /opt/share/ppd\n"
     "Bestehendes Plix PPD Verzeichnis gefunden: "
     "\"/usr/share/foomatic/db/source/PPD/Orvex/zed\".\n"},
    {"linked_usr_share_ppd", "mkdir -p /srv/ppdtree/zed && ln -s /srv/ppdtree /usr/share/ppd",
     "flags=0x51\nmodel=/usr/share/ppd\nsystem=/usr/share/ppd\ninstall=\n"
     "existing=/usr/share/ppd/zed\n",
     "PPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: /usr/share/ppd\n"
     "Foomatic-Verzeichnis: ???\n"
     "Orvex-Verzeichnis   : ???\n"
     "Ben.def. ppd-Verzeichnis: ???\n"
     "Freigegebenes ppd-Verzeichnis: /usr/share/ppd\n"
     "ppd-Systemverzeichnis: /usr/share/ppd\n"
     "Bestehendes Plix PPD Verzeichnis gefunden: \"/usr/share/ppd/zed\".\n"},
    {"model_custom_zed", "mkdir -p /usr/share/cups/model/custom/zed",
     "flags=0x9\nmodel=/usr/share/cups/model\nsystem=/usr/share/cups/model\n"
     "install=/usr/share/cups/model/custom/zed\nexisting=/usr/share/cups/model/custom/zed\n",
     "PPD-System-Speicherorte:\n"
     "CUPS-Modell-Verzeichnis: /usr/share/cups/model\n"
     "Foomatic-Verzeichnis: ???\n"
     "Orvex-Verzeichnis   : ???\n"
     "Ben.def. ppd-Verzeichnis: /usr/share/cups/model/custom\n"
     "ppd-Systemverzeichnis: ???\n"
     "Bestehendes Plix PPD Verzeichnis gefunden: \"/usr/share/cups/model/custom/zed\".\n"},
    {"regular_files_are_not_trees",
     "mkdir -p /usr/share && touch /usr/share/ppd && mkdir -p /etc/cups && touch /etc/cups/model",
     "flags=0x0\nmodel=/usr/share/cups/model\nsystem=/usr/share/cups/model\ninstall=\n"
     "existing=left alone\n",
     nullptr},
};

TEST(PpdDirectoryDiscovery, DistributionTreesGiveTheirFlagsProposalAndSummary) {
  std::string script = kScriptHead;
  for (const Host& host : kHosts) {
    script += std::string("bare_host\n") + host.build + "\n" + "survey " + host.name +
              " 'PLIX_EXISTING=left alone'\n";
  }
  Sandbox box;
  SandboxResult r = box.run(script);
  ASSERT_EQ(r.status, 0) << r.error;
  for (const Host& host : kHosts) {
    SCOPED_TRACE(host.name);
    EXPECT_EQ(r.out(std::string(host.name) + ".status"), "0\n") << r.out(std::string(host.name) + ".log");
    EXPECT_EQ(r.out(std::string(host.name) + ".out"), host.out);
    if (host.log != nullptr) {
      EXPECT_EQ(r.out(std::string(host.name) + ".log"), kRule + std::string(host.log));
    }
  }
}

TEST(PpdDirectoryDiscovery, SetupRunLogsTheSummaryBlockOfItsHost) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
bare_host
mkdir -p /usr/share/cups/model /usr/share/ppd/cups-included /usr/share/ppd/openprinting
run_setup host
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("host.status"), "0\n");
  std::string log = r.out("host.log");
  std::string block = std::string(kRule) +
                      "PPD-System-Speicherorte:\n"
                      "CUPS-Modell-Verzeichnis: /usr/share/cups/model\n"
                      "Foomatic-Verzeichnis: ???\n"
                      "Orvex-Verzeichnis   : ???\n"
                      "Ben.def. ppd-Verzeichnis: ???\n"
                      "Freigegebenes ppd-Verzeichnis: /usr/share/ppd\n"
                      "ppd-Systemverzeichnis: /usr/share/ppd\n";
  size_t at = log.find(block);
  ASSERT_NE(at, std::string::npos) << log;
  // No product PPD directory existed, so none is reported as found.
  EXPECT_EQ(log.find("Bestehendes Plix PPD Verzeichnis"), std::string::npos) << log;
  // The settled directory follows the block.
  EXPECT_NE(log.find("PPD-Installationsverzeichnis: ", at), std::string::npos) << log;
}

}  // namespace
