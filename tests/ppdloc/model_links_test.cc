// Settling the product's PPD directory on CUPS 1.2 and 2.2 hosts built inside the
// sandbox: the recorded model-directory links, the chosen directory, and the
// directories and "zed" links left in the overlay's upper layer; and makeLink.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "ppdloc/model_links.h"
#include "ppdloc/ppd_dirs.h"
#include "sandbox/sandbox.h"

namespace {

// ---- Cases run inside the sandbox ------------------------------------------------
// These act on fixed system paths, so they run only inside a sandbox: the tests below
// start this same program there with PLIX_LINKS_CASE=<case>; the case then runs
// instead of the tests, writes its results to $PLIX_CASE_OUT and exits. Log lines go
// to standard error, since no Update log is open.

using CaseFunction = void (*)(FILE* out);

// The run's own order: survey, scan of the model directory, decision. The CUPS
// version comes from PLIX_CUPS_VERSION; "----" on standard error ends the survey's lines.
void settleCase(FILE* out) {
  const char* version = getenv("PLIX_CUPS_VERSION");
  settings.cupsVersion = version ? atoi(version) : 1000;
  settings.ppdDirFlags = discoverPpdLocations(settings.existingPpdDir);
  fputs("----\n", stderr);
  int count = -1;
  scanModelLinks(&count);
  choosePpdInstallDir(settings.existingPpdDir, count);
  fprintf(out, "count=%d\ninstall=%s\n", count, settings.ppdInstallDir.c_str());
}

// makeLink(PLIX_TARGET, PLIX_LINK).
void linkCase(FILE* out) {
  const char* target = getenv("PLIX_TARGET");
  const char* link = getenv("PLIX_LINK");
  fprintf(out, "result=%d\n", makeLink(target ? target : "", link ? link : ""));
}

const std::map<std::string, CaseFunction> kCases = {{"settle", settleCase}, {"link", linkCase}};

class CaseRunner : public testing::Environment {
 public:
  void SetUp() override {
    const char* name = getenv("PLIX_LINKS_CASE");
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

// bare_host removes every tree the survey looks at; run_case NAME CASE [VAR=VALUE...]
// runs a case into $OUT/NAME.{out,log,status}. Cases run under umask 077 so that a
// mode narrowed by the umask shows.
constexpr const char* kScriptHead = R"(
bare_host() {
  rm -rf /usr/share/cups/model /usr/share/ppd /etc/cups/model /opt/cups /usr/ppd \
    /opt/share /usr/local/share/ppd /usr/share/foomatic
}
run_case() {
  local name=$1 case=$2
  shift 2
  (umask 077 && env "$@" PLIX_CASE_OUT=$OUT/$name.out PLIX_LINKS_CASE=$case \
    $BUILD/tests/ppdloc_tests >$OUT/$name.gtest 2>$OUT/$name.log)
  echo $? >$OUT/$name.status
}
)";

// What a path in the upper layer must be.
struct Expect {
  const char* path;
  char kind;             // 'd' directory with mode 0755, 'l' link, '-' absent
  const char* target;    // for 'l'
};

struct Host {
  const char* name;
  int version;
  const char* build;     // shell lines that make the tree, after bare_host
  const char* out;       // "count=...\ninstall=...\n"
  std::vector<Expect> expect;
};

std::string created(const std::string& dir) {
  return "Erstelltes Verzeichnis: '" + dir + "'.\n\304ndere Ausf\374hrungsrechte von '" + dir +
         "' zu  00755.\n";
}

const std::string kNoLinks =
    "Keine bekannten Verkn\374pfungen in cups-Modell-Verzeichnis: /usr/share/cups/model\n";

const std::string kLongTarget = "/usr/share/ppd/" + std::string(240, 'a');

const Host kHosts[] = {
    {"new_cups_openprinting", 2200, "mkdir -p /usr/share/cups/model /usr/share/ppd/openprinting",
     "count=0\ninstall=/usr/share/ppd/openprinting/zed\n",
     {{"/usr/share/ppd/openprinting/zed", 'd', nullptr}, {"/usr/share/cups/model/zed", '-', nullptr}}},
    {"new_cups_no_shared_tree", 2200, "mkdir -p /usr/share/cups/model",
     "count=0\ninstall=/usr/share/cups/model/zed\n",
     {{"/usr/share/cups/model/zed", 'd', nullptr}}},
    {"new_cups_hp_epson_tree", 2200,
     "mkdir -p /usr/share/cups/model /usr/share/ppd/HP /usr/share/ppd/Epson",
     "count=0\ninstall=/usr/share/ppd/zed\n",
     {{"/usr/share/ppd/zed", 'd', nullptr}}},
    {"new_cups_keeps_custom_proposal", 2200, "mkdir -p /usr/share/cups/model/custom /usr/share/ppd",
     "count=0\ninstall=/usr/share/cups/model/custom/zed\n",
     {{"/usr/share/cups/model/custom/zed", 'd', nullptr}}},
    {"new_cups_usr_and_opt_share", 2200, "mkdir -p /usr/share/cups/model /usr/share/ppd /opt/share/ppd",
     "count=0\ninstall=/usr/share/ppd/zed\n",
     {{"/usr/share/ppd/zed", 'd', nullptr}, {"/opt/share/ppd/zed", '-', nullptr}}},
    {"new_cups_opt_share_only", 2200, "mkdir -p /usr/share/cups/model /opt/share/ppd",
     "count=0\ninstall=/usr/opt/ppd/zed\n",
     {{"/usr/opt", '-', nullptr}, {"/opt/share/ppd/zed", '-', nullptr}}},
    {"old_cups_links_opt_share_ppd", 1200, "mkdir -p /usr/share/cups/model /opt/share/ppd",
     "count=0\ninstall=/opt/share/ppd/zed\n",
     {{"/opt/share/ppd/zed", 'd', nullptr}, {"/usr/share/cups/model/zed", 'l', "/opt/share/ppd/zed"}}},
    {"old_cups_no_shared_tree", 1200, "mkdir -p /usr/share/cups/model",
     "count=0\ninstall=/usr/share/cups/model/zed\n",
     {{"/usr/share/cups/model/zed", '-', nullptr}}},
    {"old_cups_recorded_link_not_matched", 1200,
     "mkdir -p /usr/share/cups/model /usr/share/ppd/vendor && "
     "ln -s /usr/share/ppd/vendor /usr/share/cups/model/vendor-ppds",
     "count=1\ninstall=/usr/share/cups/model/zed\n",
     {{"/usr/share/cups/model/zed", 'd', nullptr}, {"/usr/share/ppd/zed", '-', nullptr}}},
    {"old_cups_links_usr_share_ppd", 1200, "mkdir -p /usr/share/cups/model /usr/share/ppd",
     "count=0\ninstall=/usr/share/ppd/zed\n",
     {{"/usr/share/ppd/zed", 'd', nullptr}, {"/usr/share/cups/model/zed", 'l', "/usr/share/ppd/zed"}}},
    {"old_cups_model_zed_present", 1200, "mkdir -p /usr/share/cups/model/zed /usr/share/ppd",
     "count=0\ninstall=/usr/share/ppd/zed\n",
     {{"/usr/share/ppd/zed", '-', nullptr}}},
    {"old_cups_dangling_model_zed", 1200,
     "mkdir -p /usr/share/cups/model /usr/share/ppd && ln -s /nowhere /usr/share/cups/model/zed",
     "count=0\ninstall=/usr/share/ppd/zed\n",
     {{"/usr/share/ppd/zed", 'd', nullptr}, {"/usr/share/cups/model/zed", 'l', "/nowhere"}}},
    {"old_cups_foomatic_link", 1200,
     "mkdir -p /usr/share/cups/model /usr/share/foomatic/db/source/PPD && "
     "ln -s /usr/share/foomatic/db/source/PPD /usr/share/cups/model/foomatic-db-ppds",
     "count=1\ninstall=/usr/share/foomatic/db/source/PPD/zed\n",
     {{"/usr/share/foomatic/db/source/PPD/zed", 'd', nullptr}}},
    {"old_cups_link_target_ends_in_zed", 1200,
     "mkdir -p /usr/share/ppd/vendor && ln -s /usr/share/ppd/vendor/zed /usr/share/ppd/plixppd",
     "count=1\ninstall=/usr/share/ppd/vendor/zed\n",
     {{"/usr/share/ppd/vendor/zed", 'd', nullptr}, {"/usr/share/ppd/vendor/zed/zed", '-', nullptr}}},
    {"reuses_found_directory", 1200, "mkdir -p /usr/share/cups/model /usr/share/ppd/zed",
     "count=0\ninstall=/usr/share/ppd/zed\n",
     {{"/usr/share/cups/model/zed", '-', nullptr}}},
    {"too_long_link_target", 1200,
     "mkdir -p /usr/share/ppd && ln -s /usr/share/ppd/$(printf 'a%.0s' $(seq 240)) /usr/share/ppd/plix",
     "count=1\ninstall=/usr/share/ppd/zed\n",
     {{"/usr/share/ppd/zed", 'd', nullptr}}},
    {"custom_skips_what_does_not_fit", 1200,
     "mkdir -p /usr/share/cups/model/custom /srv/c && "
     "ln -s /srv/c /usr/share/cups/model/custom-$(printf 'x%.0s' $(seq 240)) && "
     "ln -s /srv/$(printf 'y%.0s' $(seq 300)) /usr/share/cups/model/custom-long-target && "
     "ln -s /srv/c /usr/share/cups/model/custom-short",
     "count=1\ninstall=/srv/c/zed\n",
     {{"/srv/c/zed", 'd', nullptr}}},
};

// The log lines each host must produce after the survey.
std::map<std::string, std::string> expectedLogs() {
  return {
      {"new_cups_openprinting",
       kNoLinks + "PPD-Installationsverzeichnis: /usr/share/ppd/openprinting/zed\n" +
           created("/usr/share/ppd/openprinting/zed") +
           "Erstelltes Verzeichnis: '/usr/share/ppd/openprinting/zed'.\n"},
      {"new_cups_no_shared_tree",
       kNoLinks + "PPD-Installationsverzeichnis: /usr/share/cups/model/zed\n" +
           created("/usr/share/cups/model/zed") + "Erstelltes Verzeichnis: '/usr/share/cups/model/zed'.\n"},
      {"new_cups_hp_epson_tree",
       kNoLinks + "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n" + created("/usr/share/ppd/zed") +
           "Erstelltes Verzeichnis: '/usr/share/ppd/zed'.\n"},
      {"new_cups_keeps_custom_proposal",
       kNoLinks + "PPD-Installationsverzeichnis: /usr/share/cups/model/custom/zed\n" +
           created("/usr/share/cups/model/custom/zed") +
           "Erstelltes Verzeichnis: '/usr/share/cups/model/custom/zed'.\n"},
      {"new_cups_usr_and_opt_share",
       kNoLinks + "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n" + created("/usr/share/ppd/zed") +
           "Erstelltes Verzeichnis: '/usr/share/ppd/zed'.\n"},
      // The parent does not exist, so the creation fails; only the decision's own
      // lines are written.
      {"new_cups_opt_share_only",
       kNoLinks +
           "PPD-Installationsverzeichnis: /usr/opt/ppd/zed\n"
           "Erstelltes Verzeichnis: '/usr/opt/ppd/zed'.\n"},
      {"old_cups_links_opt_share_ppd",
       kNoLinks + "PPD-Installationsverzeichnis: /opt/share/ppd/zed\n" + created("/opt/share/ppd/zed") +
           "Verkn\374pfung 1: /usr/share/cups/model/zed mit /opt/share/ppd/zed verkn\374pft.\n"},
      {"old_cups_no_shared_tree", kNoLinks + "PPD-Installationsverzeichnis: /usr/share/cups/model/zed\n"},
      {"old_cups_recorded_link_not_matched",
       "Verkn\374pfung 1: /usr/share/cups/model/vendor-ppds mit /usr/share/ppd/vendor verkn\374pft.\n"
       "PPD-Installationsverzeichnis: /usr/share/cups/model/zed\n" +
           created("/usr/share/cups/model/zed") + "Erstelltes Verzeichnis: '/usr/share/cups/model/zed'.\n"},
      {"old_cups_links_usr_share_ppd",
       kNoLinks + "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n" + created("/usr/share/ppd/zed") +
           "Verkn\374pfung 1: /usr/share/cups/model/zed mit /usr/share/ppd/zed verkn\374pft.\n"},
      {"old_cups_model_zed_present", kNoLinks + "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n"},
      {"old_cups_dangling_model_zed",
       kNoLinks + "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n" + created("/usr/share/ppd/zed") +
           "Verkn\374pfung 1: /usr/share/cups/model/zed mit /usr/share/ppd/zed verkn\374pft.\n"
           ": FALSCH!\n"},
      {"old_cups_foomatic_link",
       "Verkn\374pfung 1: /usr/share/cups/model/foomatic-db-ppds mit /usr/share/foomatic/db/source/PPD "
       "verkn\374pft.\n"
       "PPD-Installationsverzeichnis: /usr/share/foomatic/db/source/PPD/zed\n" +
           created("/usr/share/foomatic/db/source/PPD/zed") +
           "Erstelltes Verzeichnis: '/usr/share/foomatic/db/source/PPD/zed'.\n"},
      {"old_cups_link_target_ends_in_zed",
       "Verkn\374pfung 1: /usr/share/ppd/plixppd mit /usr/share/ppd/vendor/zed verkn\374pft.\n"
       "PPD-Installationsverzeichnis: /usr/share/ppd/vendor/zed\n" +
           created("/usr/share/ppd/vendor/zed") + "Erstelltes Verzeichnis: '/usr/share/ppd/vendor/zed'.\n"},
      {"reuses_found_directory",
       kNoLinks +
           "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n"
           "Benutzung alte Plix PPD Verzeichnis: \"/usr/share/ppd/zed\".\n"},
      {"too_long_link_target",
       "Verkn\374pfung 1: /usr/share/ppd/plix mit " + kLongTarget + " verkn\374pft.\n" +
           "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n" + created("/usr/share/ppd/zed") +
           "Erstelltes Verzeichnis: '/usr/share/ppd/zed'.\n"},
      {"custom_skips_what_does_not_fit",
       "Verkn\374pfung 1: /usr/share/cups/model/custom-short mit /srv/c verkn\374pft.\n"
       "PPD-Installationsverzeichnis: /srv/c/zed\n" +
           created("/srv/c/zed") + "Erstelltes Verzeichnis: '/srv/c/zed'.\n"},
  };
}

// The log of a settle case after the survey's lines.
std::string afterSurvey(const std::string& log) {
  size_t at = log.find("----\n");
  return at == std::string::npos ? "(no marker) " + log : log.substr(at + 5);
}

void checkUpper(const SandboxResult& r, const Expect& e) {
  SCOPED_TRACE(e.path);
  struct stat st;
  bool present = lstat(r.upperPath(e.path).c_str(), &st) == 0;
  switch (e.kind) {
    case '-':
      EXPECT_FALSE(present);
      break;
    case 'd':
      ASSERT_TRUE(present);
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      EXPECT_EQ(st.st_mode & 07777, 0755u);
      break;
    case 'l': {
      ASSERT_TRUE(present);
      ASSERT_TRUE(S_ISLNK(st.st_mode));
      char buffer[512] = {};
      ssize_t n = readlink(r.upperPath(e.path).c_str(), buffer, sizeof buffer - 1);
      EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), e.target);
      break;
    }
  }
}

TEST(ModelDirectoryLinks, OldAndNewCupsHostsSettleTheirPpdDirectory) {
  std::map<std::string, std::string> logs = expectedLogs();
  for (const Host& host : kHosts) {
    SCOPED_TRACE(host.name);
    Sandbox box;
    SandboxResult r = box.run(std::string(kScriptHead) + "bare_host\n" + host.build + "\n" + "run_case " +
                              host.name + " settle PLIX_CUPS_VERSION=" + std::to_string(host.version) + "\n");
    ASSERT_EQ(r.status, 0) << r.error;
    EXPECT_EQ(r.out(std::string(host.name) + ".status"), "0\n");
    EXPECT_EQ(r.out(std::string(host.name) + ".out"), host.out);
    EXPECT_EQ(afterSurvey(r.out(std::string(host.name) + ".log")), logs[host.name]);
    for (const Expect& e : host.expect) checkUpper(r, e);
  }
}

TEST(ModelDirectoryLinks, CustomModeRecordsAtMostEightLinks) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
bare_host
mkdir -p /usr/share/cups/model/custom
for i in 1 2 3 4 5 6 7 8 9; do
  mkdir -p /srv/custom$i
  ln -s /srv/custom$i /usr/share/cups/model/custom-ppd$i
done
run_case nine settle PLIX_CUPS_VERSION=1200
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("nine.status"), "0\n");
  std::string log = afterSurvey(r.out("nine.log"));
  std::smatch m;
  std::string rest = log;
  int lines = 0;
  std::string first;
  std::regex linked("Verkn\374pfung ([0-9]+): /usr/share/cups/model/custom-ppd([1-9]) mit /srv/custom([1-9]) "
                    "verkn\374pft\\.\n");
  while (std::regex_search(rest, m, linked)) {
    ++lines;
    EXPECT_EQ(m[1].str(), std::to_string(lines));
    EXPECT_EQ(m[2].str(), m[3].str());
    if (lines == 1) first = m[3].str();
    rest = m.suffix();
  }
  EXPECT_EQ(lines, 8) << log;
  // The first recorded link gives the directory.
  std::string dir = "/srv/custom" + first + "/zed";
  EXPECT_EQ(r.out("nine.out"), "count=8\ninstall=" + dir + "\n");
  checkUpper(r, {dir.c_str(), 'd', nullptr});
}

// Whole setup runs on hosts whose CUPS version comes from cups-config (no scheduler
// runs, so the server is not asked).
TEST(ModelDirectoryLinks, SetupOnCups12LinksAndOnCups22DoesNot) {
  const std::string head = std::string(kScriptHead) + R"(
export ZANLPMODE=CUPS
bare_host
rm -f /usr/sbin/cups-config /sbin/cups-config
)";
  Sandbox old;
  SandboxResult r12 = old.run(head + R"(
printf '#!/bin/sh\necho 1.2.0\n' | put /usr/bin/cups-config 0755
mkdir -p /usr/share/cups/model /usr/share/ppd
run_setup cups12
)");
  ASSERT_EQ(r12.status, 0) << r12.error;
  std::string log = r12.out("cups12.log");
  EXPECT_NE(log.find("PPD-Installationsverzeichnis: /usr/share/ppd/zed\n" + created("/usr/share/ppd/zed") +
                     "Verkn\374pfung 1: /usr/share/cups/model/zed mit /usr/share/ppd/zed verkn\374pft.\n"),
            std::string::npos)
      << log;
  checkUpper(r12, {"/usr/share/ppd/zed", 'd', nullptr});
  checkUpper(r12, {"/usr/share/cups/model/zed", 'l', "/usr/share/ppd/zed"});

  Sandbox current;
  SandboxResult r22 = current.run(head + R"(
printf '#!/bin/sh\necho 2.2.0\n' | put /usr/bin/cups-config 0755
mkdir -p /usr/share/cups/model /usr/share/ppd/openprinting
run_setup cups22
)");
  ASSERT_EQ(r22.status, 0) << r22.error;
  log = r22.out("cups22.log");
  EXPECT_NE(log.find("PPD-Installationsverzeichnis: /usr/share/ppd/openprinting/zed\n" +
                     created("/usr/share/ppd/openprinting/zed") +
                     "Erstelltes Verzeichnis: '/usr/share/ppd/openprinting/zed'.\n"),
            std::string::npos)
      << log;
  checkUpper(r22, {"/usr/share/ppd/openprinting/zed", 'd', nullptr});
  checkUpper(r22, {"/usr/share/cups/model/zed", '-', nullptr});
}

TEST(ModelDirectoryLinks, MakeLinkRefusesMissingTargetsAndTakenOrDanglingNames) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
mkdir -p /srv/t && touch /srv/taken && ln -s /nowhere /srv/dangling
run_case made link PLIX_TARGET=/srv/t PLIX_LINK=/srv/made
run_case dangling link PLIX_TARGET=/srv/t PLIX_LINK=/srv/dangling
run_case no_target link PLIX_TARGET=/srv/none PLIX_LINK=/srv/x
run_case taken link PLIX_TARGET=/srv/t PLIX_LINK=/srv/taken
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("made.out"), "result=0\n");
  EXPECT_EQ(r.out("made.log"), "");
  checkUpper(r, {"/srv/made", 'l', "/srv/t"});

  // A dangling link counts as absent, so symlink is tried and fails, silently.
  EXPECT_EQ(r.out("dangling.out"), "result=-1\n");
  EXPECT_EQ(r.out("dangling.log"), "");
  checkUpper(r, {"/srv/dangling", 'l', "/nowhere"});

  EXPECT_EQ(r.out("no_target.out"), "result=-1\n");
  EXPECT_EQ(r.out("no_target.log"), "No file: /srv/none\n");
  checkUpper(r, {"/srv/x", '-', nullptr});

  EXPECT_EQ(r.out("taken.out"), "result=-1\n");
  EXPECT_EQ(r.out("taken.log"), "Datei: /srv/taken existiert schon. Nicht als Link kreiert!\n");
  EXPECT_EQ(r.upperFile("/srv/taken"), "");
}

}  // namespace
