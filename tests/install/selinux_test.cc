// SELinux labelling with recording stand-ins for selinuxenabled, semodule and chcon in
// the sandbox's /usr/sbin: the chcon calls with their log lines, and the policy module
// step of setup runs.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "install/selinux.h"
#include "base/command_locator.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

// The three labelling calls of an installation, one of them unlogged, and a path the
// shell must get as one word.
SANDBOX_CASE(selinux_label) {
  commands.chcon = locateCommand("chcon");
  fprintf(out, "%d\n", setSelinuxContext("/usr/bin/zangsfilter", "-u system_u", 1));
  fprintf(out, "%d\n", setSelinuxContext("/opt/zed/bin/zangsfilter", "-t bin_t", 0));
  fprintf(out, "%d\n", setSelinuxContext("/opt/my zed;x/bin", "-R -u system_u", 1));
}

// No located chcon, then a bare name: neither is run.
SANDBOX_CASE(selinux_no_chcon) {
  commands.chcon = locateCommand("chcon");
  fprintf(out, "%d\n", setSelinuxContext("/usr/bin/zangsfilter", "-u system_u", 1));
  commands.chcon = "chcon";
  fprintf(out, "%d\n", setSelinuxContext("/usr/bin/zangsfilter", "-u system_u", 1));
}

// This machine has no SELinux: the real chcon is removed. keep_calls NAME moves the
// recorded tool calls so far to $OUT/NAME.calls. The tools' own scripts come after the
// runs without them; a chcon the shell could find by its bare name (but the locator
// does not look for) is there throughout.
TEST(SelinuxLabelling, ChconCallsAndThePolicyModuleStep) {
  Sandbox box;
  SandboxResult r = box.run(R"(
rm -f /usr/bin/chcon
keep_calls() { touch $OUT/calls.log && mv $OUT/calls.log $OUT/$1.calls; }
fake_command /usr/local/sbin/chcon 0
run_case install_tests selinux_no_chcon none
run_setup bare
keep_calls bare
fake_command /usr/sbin/chcon 1 "chcon: failing"
run_case install_tests selinux_label failing
keep_calls failing
fake_command /usr/sbin/chcon 0
run_case install_tests selinux_label ok
keep_calls ok
fake_command /usr/sbin/selinuxenabled 0
fake_command /usr/sbin/semodule 0
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
  auto has = [&r](const std::string& name, const std::string& text) {
    return r.out(name).find(text) != std::string::npos;
  };
  auto logged = [](const std::string& args, const std::string& result) {
    return "chcon SELinux f\374r: \"/usr/sbin/chcon " + args + " 2>/dev/null\": Resultat: " + result + "\n";
  };

  // Without SELinux tools nothing SELinux-related is run, said or logged.
  EXPECT_EQ(r.out("none.out"), "-1\n-1\n");
  EXPECT_EQ(r.out("none.log"), "");
  EXPECT_EQ(r.out("bare.calls"), "");
  EXPECT_FALSE(has("bare.stderr", ".......")) << r.out("bare.stderr");
  EXPECT_FALSE(has("bare.log", "chcon")) << r.out("bare.log");

  // Each call is made; the logged ones show their command line and raw status, while
  // a failing chcon's own error output is discarded.
  for (const std::string result : {"0", "256"}) {
    SCOPED_TRACE(result);
    std::string name = result == "0" ? "ok" : "failing";
    EXPECT_EQ(r.out(name + ".calls"),
              "/usr/sbin/chcon -u system_u /usr/bin/zangsfilter\n"
              "/usr/sbin/chcon -t bin_t /opt/zed/bin/zangsfilter\n"
              "/usr/sbin/chcon -R -u system_u /opt/my zed;x/bin\n");
    EXPECT_EQ(r.out(name + ".out"), result + "\n" + result + "\n" + result + "\n");
    EXPECT_EQ(r.out(name + ".log"), logged("-u system_u /usr/bin/zangsfilter", result) +
                                        logged("-R -u system_u '/opt/my zed;x/bin'", result));
  }

  // First installation: the module file is not there yet.
  EXPECT_EQ(r.out("first.stderr").find(".......\nSELinux aktive, aber keine plix.pp Datei gefunden."), 0u)
      << r.out("first.stderr");
  EXPECT_FALSE(has("first.calls", "semodule")) << r.out("first.calls");
  // A later run loads the module that is now there, without a word.
  EXPECT_TRUE(has("later.calls", "/usr/sbin/semodule -i /opt/zed/etc/plix.pp\n")) << r.out("later.calls");
  EXPECT_FALSE(has("later.stderr", "plix.pp Datei"));
  // Uninstalling skips the module step whatever selinuxenabled says; so does SELinux off.
  for (const char* name : {"uninstall", "disabled"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(has(name + std::string(".calls"), "semodule"));
    EXPECT_FALSE(has(name + std::string(".stderr"), "......."));
  }
}

}  // namespace
