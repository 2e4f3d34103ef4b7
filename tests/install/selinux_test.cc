// SELinux labelling with recording stand-ins for selinuxenabled, semodule and chcon in
// the sandbox's /usr/sbin: the policy module step of a setup run, and the chcon calls
// with their log lines.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "install/selinux.h"
#include "probe/command_locator.h"
#include "sandbox/sandbox.h"

namespace {

// ---- Cases run inside the sandbox ------------------------------------------------
// These run the located chcon, so they run only inside a sandbox: the tests below
// start this same program there with PLIX_SELINUX_CASE=<case>; the case then runs
// instead of the tests, writes its results to $PLIX_CASE_OUT and exits. Log lines go
// to standard error, since no Update log is open.

using CaseFunction = void (*)(FILE* out);

// The three labelling calls of an installation, one of them unlogged, and a path the
// shell must get as one word.
void labelCase(FILE* out) {
  commands.chcon = locateCommand("chcon");
  fprintf(out, "%d\n", setSelinuxContext("/usr/bin/zangsfilter", "-u system_u", 1));
  fprintf(out, "%d\n", setSelinuxContext("/opt/zed/bin/zangsfilter", "-t bin_t", 0));
  fprintf(out, "%d\n", setSelinuxContext("/opt/my zed;x/bin", "-R -u system_u", 1));
}

// No located chcon, then a bare name: neither is run.
void noChconCase(FILE* out) {
  commands.chcon = locateCommand("chcon");
  fprintf(out, "%d\n", setSelinuxContext("/usr/bin/zangsfilter", "-u system_u", 1));
  commands.chcon = "chcon";
  fprintf(out, "%d\n", setSelinuxContext("/usr/bin/zangsfilter", "-u system_u", 1));
}

const std::map<std::string, CaseFunction> kCases = {{"label", labelCase}, {"no_chcon", noChconCase}};

class CaseRunner : public testing::Environment {
 public:
  void SetUp() override {
    const char* name = getenv("PLIX_SELINUX_CASE");
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

// run_case NAME CASE runs a case into $OUT/NAME.{out,log,status}; keep_calls NAME
// moves the recorded tool calls so far to $OUT/NAME.calls. The real chcon is removed
// in every script: this machine has no SELinux.
constexpr const char* kScriptHead = R"(
rm -f /usr/bin/chcon
run_case() {
  PLIX_CASE_OUT=$OUT/$1.out PLIX_SELINUX_CASE=$2 $BUILD/tests/install_tests >$OUT/$1.gtest 2>$OUT/$1.log
  echo $? >$OUT/$1.status
}
keep_calls() {
  touch $OUT/calls.log && mv $OUT/calls.log $OUT/$1.calls
}
)";

constexpr const char* kModuleMissing = "SELinux aktive, aber keine plix.pp Datei gefunden.";

TEST(SelinuxLabelling, ChconCallsAreMadeAndLoggedWithTheirCommandLine) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
fake_command /usr/sbin/chcon 0
run_case ok label
keep_calls ok
fake_command /usr/sbin/chcon 1 "chcon: failing"
run_case failing label
keep_calls failing
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("ok.out"), "0\n0\n0\n");
  EXPECT_EQ(r.out("ok.calls"),
            "/usr/sbin/chcon -u system_u /usr/bin/zangsfilter\n"
            "/usr/sbin/chcon -t bin_t /opt/zed/bin/zangsfilter\n"
            "/usr/sbin/chcon -R -u system_u /opt/my zed;x/bin\n");
  EXPECT_EQ(r.out("ok.log"),
            "chcon SELinux f\374r: \"/usr/sbin/chcon -u system_u /usr/bin/zangsfilter 2>/dev/null\": "
            "Resultat: 0\n"
            "chcon SELinux f\374r: \"/usr/sbin/chcon -R -u system_u '/opt/my zed;x/bin' 2>/dev/null\": "
            "Resultat: 0\n");
  // A failing chcon shows only as its raw status; its own error output is discarded.
  EXPECT_EQ(r.out("failing.out"), "256\n256\n256\n");
  EXPECT_EQ(r.out("failing.log"),
            "chcon SELinux f\374r: \"/usr/sbin/chcon -u system_u /usr/bin/zangsfilter 2>/dev/null\": "
            "Resultat: 256\n"
            "chcon SELinux f\374r: \"/usr/sbin/chcon -R -u system_u '/opt/my zed;x/bin' 2>/dev/null\": "
            "Resultat: 256\n");
}

TEST(SelinuxLabelling, WithoutALocatedChconNothingIsRunOrLogged) {
  Sandbox box;
  // A chcon the shell could find by its bare name, but the locator does not look there.
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
fake_command /usr/local/sbin/chcon 0
run_case none no_chcon
keep_calls none
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("none.out"), "-1\n-1\n");
  EXPECT_EQ(r.out("none.log"), "");
  EXPECT_EQ(r.out("none.calls"), "");
}

TEST(SelinuxLabelling, SetupLoadsThePolicyModuleOnlyWhenInstallingWithSelinuxOn) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
run_setup bare
keep_calls bare
fake_command /usr/sbin/selinuxenabled 0
fake_command /usr/sbin/semodule 0
fake_command /usr/sbin/chcon 0
run_setup first
keep_calls first
put /opt/zed/etc/plix.pp <<<'policy module'
run_setup later
keep_calls later
ANSWERS='n\n' run_setup uninstall -d
keep_calls uninstall
fake_command /usr/sbin/selinuxenabled 1
run_setup disabled
keep_calls disabled
)");
  ASSERT_EQ(r.status, 0) << r.error;

  // No SELinux tools: nothing SELinux-related is run, said or logged.
  EXPECT_EQ(r.out("bare.calls"), "");
  EXPECT_EQ(r.out("bare.stderr").find("......."), std::string::npos) << r.out("bare.stderr");
  EXPECT_EQ(r.out("bare.log").find("chcon"), std::string::npos) << r.out("bare.log");

  // First installation: the module file is not there yet.
  std::string first = r.out("first.stderr");
  EXPECT_EQ(first.find(".......\n"), 0u) << first;
  EXPECT_EQ(first.find(kModuleMissing), 8u) << first;
  EXPECT_EQ(r.out("first.calls").find("semodule"), std::string::npos) << r.out("first.calls");

  // A later run loads the module that is now there, without a word.
  EXPECT_NE(r.out("later.calls").find("/usr/sbin/semodule -i /opt/zed/etc/plix.pp\n"), std::string::npos)
      << r.out("later.calls");
  EXPECT_EQ(r.out("later.stderr").find(kModuleMissing), std::string::npos);

  // Uninstalling skips the module step whatever selinuxenabled says.
  EXPECT_EQ(r.out("uninstall.calls").find("semodule"), std::string::npos) << r.out("uninstall.calls");
  EXPECT_EQ(r.out("uninstall.stderr").find("......."), std::string::npos);

  // SELinux off: no module step.
  EXPECT_EQ(r.out("disabled.calls").find("semodule"), std::string::npos) << r.out("disabled.calls");
  EXPECT_EQ(r.out("disabled.stderr").find("......."), std::string::npos);
}

}  // namespace
