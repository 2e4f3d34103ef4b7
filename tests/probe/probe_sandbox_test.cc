// Host probing on a real system: in the sandbox, with a real cupsd or with the
// spoolers, version sources and service tools that each case lays out.
//
// Besides whole setup runs, the scripts call single probing functions through this
// test program itself: started with PLIX_PROBE_CALL=<function> it runs that one
// function before any test, prints its result on standard output as a line starting
// with "=> " (log lines go to standard error, as no Update log is open) and ends.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "probe/cups_restart.h"
#include "probe/cups_version.h"
#include "probe/print_system.h"
#include "sandbox/sandbox.h"

namespace {

// The one-function mode described above. Settings the function reads come from
// PLIX_SOURCE_DIR, PLIX_CUPS_BIN and PLIX_DEBUG; PLIX_ARG is the argument of myTmpName.
class CallInSandbox : public testing::Environment {
 public:
  void SetUp() override {
    const char* call = getenv("PLIX_PROBE_CALL");
    if (call == nullptr) return;
    if (const char* v = getenv("PLIX_SOURCE_DIR")) settings.sourceDir = v;
    if (const char* v = getenv("PLIX_CUPS_BIN")) settings.cupsBinDir = v;
    if (const char* v = getenv("PLIX_DEBUG")) settings.debugLevel = atoi(v);
    std::string name = call;
    if (name == "probePrintSystem") {
      int result = probePrintSystem();
      printf("=> %d|%s|%s\n", result, settings.cupsBinDir.c_str(), settings.cupsBaseDir.c_str());
    } else if (name == "findCupsPrefixes") {
      std::string prefix, execPrefix;
      int result = findCupsPrefixes(&prefix, &execPrefix);
      printf("=> %d|%s|%s\n", result, execPrefix.c_str(), prefix.c_str());
    } else if (name == "getCupsVersion") {
      printf("=> %d\n", getCupsVersion());
    } else if (name == "queryCupsServerVersion") {
      printf("=> %d\n", queryCupsServerVersion());
    } else if (name == "findCupsVersionLocally") {
      printf("=> %d\n", findCupsVersionLocally());
    } else if (name == "findCupsDataDir") {
      printf("=> %s\n", findCupsDataDir().value_or("(none)").c_str());
    } else if (name == "hasFoomaticRip") {
      printf("=> %d\n", hasFoomaticRip());
    } else if (name == "restartCups") {
      printf("=> %d\n", restartCups());
    } else if (name == "myTmpName") {
      printf("=> %s\n", myTmpName(getenv("PLIX_ARG") ? getenv("PLIX_ARG") : "/tmp", "ZAN").c_str());
    } else {
      printf("=> unknown call %s\n", call);
    }
    fflush(nullptr);
    _exit(0);
  }
};

[[maybe_unused]] testing::Environment* const kCallInSandbox = testing::AddGlobalTestEnvironment(new CallInSandbox);

// Shell helper for the scripts: `call TAG FUNCTION [VAR=VALUE...]` keeps the result in
// $OUT/TAG.out and the log lines in $OUT/TAG.err.
const char* const kCallHelper = R"(
call() {
  local tag=$1 function=$2
  shift 2
  env "$@" PLIX_PROBE_CALL=$function $BUILD/tests/probe_tests 2>$OUT/$tag.err | sed -n 's/^=> //p' >$OUT/$tag.out
}
)";

std::string script(const std::string& body) { return std::string(kCallHelper) + body; }

// The text from the line that starts with `first` up to the end of the line that
// starts with `last`; "" when either is missing.
std::string block(const std::string& log, const std::string& first, const std::string& last) {
  size_t begin = log.find(first);
  if (begin == std::string::npos) return "";
  size_t end = log.find(last, begin);
  if (end == std::string::npos) return "";
  end = log.find('\n', end);
  return log.substr(begin, end == std::string::npos ? std::string::npos : end + 1 - begin);
}

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(PrintSystemProbe, RealCupsdIsFoundAndItsHeaderGivesTheVersion) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
# As an administrator runs it (bin/setup from the product folder): the product's zannc
# in that folder answers.
run_setup nc -d
ls -A /tmp >$OUT/tmp.after
# Started by its full path, and without any system nc: zannc beside setup answers.
rm -f /usr/bin/nc /usr/bin/netcat /usr/bin/nc.openbsd /usr/bin/nc.traditional
SETUP_CMD=$PRODUCT/bin/setup run_setup zannc -d
# The environment names the print system: nothing is probed.
ZANLPMODE=CUPS SETUP_CMD=$PRODUCT/bin/setup run_setup env -d
)");
  ASSERT_EQ(r.status, 0) << r.error;
  const std::string expected =
      "System Drucker Manager = CUPS\n"
      "CUPS Basis Verzeichnis: /\n"
      "CUPS Binary Verzeichnis: /usr\n"
      "CUPS Header Version : 2400//HTTP\n"
      "lpadmin = /usr/sbin/lpadmin\n"
      "lpstat  = /usr/bin/lpstat\n";
  EXPECT_EQ(block(r.out("nc.log"), "System Drucker Manager", "lpstat "), expected) << r.out("nc.log");
  EXPECT_EQ(block(r.out("zannc.log"), "System Drucker Manager", "lpstat "), expected) << r.out("zannc.log");
  EXPECT_EQ(r.out("tmp.after"), "");  // no scratch file is left behind
  EXPECT_EQ(block(r.out("env.log"), "System Drucker Manager", "CUPS Header"),
            "System Drucker Manager = CUPS\n"
            "CUPS Basis Verzeichnis: \n"
            "CUPS Binary Verzeichnis: \n"
            "CUPS Header Version : 2400//HTTP\n")
      << r.out("env.log");
}

TEST(PrintSystemProbe, CupsPrefixesFromStartScriptCommandPathAndFallbacks) {
  Sandbox box;
  SandboxResult r = box.run(script(R"(
daemon() { (exec -a "$1" sleep 60) & pid=$!; }
put /etc/init.d/cups 0755 <<'EOF'
#!/bin/sh
prefix=/usr
exec_prefix=/usr
EOF
daemon "/usr/sbin/cupsd -l"; call script probePrintSystem; kill $pid
rm /etc/init.d/cups
daemon cupsd; call nopath probePrintSystem; kill $pid
daemon /usr/local/sbin/cupsd; call local probePrintSystem; kill $pid
put /etc/init.d/cupsys <<'EOF'
  exec_prefix=/opt/cups
EOF
call execonly findCupsPrefixes
put /etc/rc.d/init.d/cups <<'EOF'
# prefix=/opt/base
exec_prefix=/opt/exec
EOF
rm /etc/init.d/cupsys
call both findCupsPrefixes
rm /etc/rc.d/init.d/cups
call gone findCupsPrefixes PLIX_CUPS_BIN=/nonexistent
call other findCupsPrefixes PLIX_CUPS_BIN=/usr/local
call usr findCupsPrefixes PLIX_CUPS_BIN=/usr
mv /etc/cups /etc/cups.away
call noetc findCupsPrefixes
mv /etc/cups.away /etc/cups
mv /usr/share/cups /usr/share/cups.away
call noshare findCupsPrefixes
ls -A /tmp >$OUT/tmp.after
)"));
  ASSERT_EQ(r.status, 0) << r.error;
  // Result | cupsBinDir | cupsBaseDir.
  EXPECT_EQ(r.out("script.out"), "8|/usr|/usr\n") << r.out("script.err");
  EXPECT_EQ(r.out("nopath.out"), "8|/usr|/\n") << r.out("nopath.err");
  EXPECT_EQ(r.out("local.out"), "8|/usr/local|\n") << r.out("local.err");
  // Result | exec prefix | prefix.
  EXPECT_EQ(r.out("execonly.out"), "1|/opt/cups|\n");
  EXPECT_EQ(r.out("both.out"), "1|/opt/exec|/opt/base\n");
  EXPECT_EQ(r.out("gone.out"), "0||\n");
  EXPECT_EQ(r.out("other.out"), "0|/usr/local|\n");
  EXPECT_EQ(r.out("usr.out"), "1|/usr|/\n");
  EXPECT_EQ(r.out("noetc.out"), "0|/usr|\n");
  EXPECT_EQ(r.out("noshare.out"), "0||\n");
  EXPECT_EQ(r.out("tmp.after"), "");
}

TEST(PrintSystemProbe, SpoolersOtherThanCupsAndPlantedLinksLeftAlone) {
  Sandbox box;
  SandboxResult r = box.run(script(R"(
daemon() { (exec -a "$1" sleep 60) & pid=$!; }
rm -f /usr/sbin/lpd /usr/bin/lpd
# Links planted, by one process so that the probe's process id comes later, under
# every name "/tmp/ZANLPD<pid>" and "/tmp/ZANLPRNG<pid>" the probe could get, and a
# victim each. They belong to root so that the kernel's own link protection in /tmp does not
# hide a program that follows them.
echo precious >/etc/victim-lpd
echo precious >/etc/victim-lprng
python3 -c '
import os
for n in range(1, 5000):
    os.symlink("/etc/victim-lpd", "/tmp/ZANLPD%d" % n)
    os.symlink("/etc/victim-lprng", "/tmp/ZANLPRNG%d" % n)
'
call nothing probePrintSystem
rm -f /tmp/ZANLPD* /tmp/ZANLPRNG*
put /usr/sbin/lpd 0755 <<'EOF'
#!/bin/sh
echo "lpd: LPRng 3.8.28" >&2
EOF
call lprngonly probePrintSystem
daemon /usr/sbin/lpd; call lprng probePrintSystem; kill $pid
put /usr/sbin/lpd 0755 <<'EOF'
#!/bin/sh
echo "lpd 1.2" >&2
EOF
daemon /usr/sbin/lpd; call lpr probePrintSystem; kill $pid
daemon /usr/lib/lp/lpsched; call lp probePrintSystem PLIX_DEBUG=1; kill $pid
ls -A /tmp >$OUT/tmp.after
call foomatic hasFoomaticRip
rm -f /usr/bin/foomatic-rip
call filteronly hasFoomaticRip
rm -f /usr/lib/cups/filter/foomatic-rip
call nofoomatic hasFoomaticRip
)"));
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("nothing.out"), "0||\n") << r.out("nothing.err");
  EXPECT_EQ(r.upperFile("/etc/victim-lpd"), "precious\n");
  EXPECT_EQ(r.upperFile("/etc/victim-lprng"), "precious\n");
  EXPECT_EQ(r.out("lprngonly.out"), "4||\n");
  EXPECT_EQ(r.out("lprng.out"), "4||\n");
  EXPECT_EQ(r.out("lpr.out"), "2||\n");
  EXPECT_EQ(r.out("lp.out"), "1||\n");
  EXPECT_TRUE(holds(r.out("lp.err"), "STRING=(")) << r.out("lp.err");
  EXPECT_TRUE(holds(r.out("lp.err"), "/usr/lib/lp/lpsched 60\n) i=1\n")) << r.out("lp.err");
  EXPECT_EQ(r.out("tmp.after"), "");
  EXPECT_EQ(r.out("foomatic.out"), "1\n");
  EXPECT_EQ(r.out("filteronly.out"), "1\n");
  EXPECT_EQ(r.out("nofoomatic.out"), "0\n");
}

TEST(CupsVersion, LocalSourcesOneByOneThenTheDefault) {
  Sandbox box;
  SandboxResult r = box.run(script(R"(
rm -f /usr/bin/cups-config /etc/cups/printers.conf /usr/share/cups/doc/index.html
rm -f /etc/cups/data/testprint.ps /usr/share/cups/data/testprint.ps /etc/cups/data/testprint
rm -rf /usr/share/doc/cups-1.*
config() { printf '#!/bin/sh\n[ "$1" = --version ] && echo %s\n' "$2" | put $1 0755; }
config /usr/bin/cups-config 1.5.2;  call config152 findCupsVersionLocally
config /usr/bin/cups-config 2.4.2;  call config242 findCupsVersionLocally
config /usr/bin/cups-config 1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.18.19.20.21.22
call configlong findCupsVersionLocally
config /usr/bin/cups-config 99999999999999999999999999999;  call confighuge findCupsVersionLocally
rm /usr/bin/cups-config
config /usr/sbin/cups-config 1.0.0
put /etc/cups/printers.conf <<'EOF'
# Printer configuration, no number
# Printer configuration file for CUPS v1.4.3
EOF
call printers findCupsVersionLocally
rm /usr/sbin/cups-config /etc/cups/printers.conf
put /usr/share/cups/doc/index.html <<'EOF'
<HTML>
<HEAD><TITLE>Home - CUPS   1.3.9</TITLE>
EOF
call index findCupsVersionLocally
rm /usr/share/cups/doc/index.html
mkdir -p /usr/share/doc/cups-1.4 /usr/share/doc/cups-1.2
call docdir findCupsVersionLocally
rm -r /usr/share/doc/cups-1.4 /usr/share/doc/cups-1.2
put /usr/share/cups/data/testprint.ps <<'EOF'
%!PS
%%Title: Test page Printed Using CUPS v1.1.23
EOF
put /etc/cups/data/testprint.ps <<'EOF'
%!PS Printed Using CUPS v1.2.2
EOF
call testps findCupsVersionLocally
rm /etc/cups/data/testprint.ps /usr/share/cups/data/testprint.ps
cp /usr/share/cups/data/testprint $OUT/banner.kept
printf 'This page was PRODUCED BY CUPS \tvV 1.2.7 today\n' | put /usr/share/cups/data/testprint
call banner findCupsVersionLocally
rm /usr/share/cups/data/testprint
call none findCupsVersionLocally
ls -A /tmp >$OUT/tmp.after
)"));
  ASSERT_EQ(r.status, 0) << r.error;
  struct Case {
    const char* tag;
    const char* version;
    const char* log;
  };
  const Case cases[] = {
      {"config152", "1520\n", "CUPS Version : 1520 // 1.5.2\n"},
      {"config242", "2420\n", "CUPS Version : 2420 // 2.4.2\n"},
      {"configlong", "1234\n", "CUPS Version : 1234 // 1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.18.19.20.21.22\n"},
      {"confighuge", "9999\n", "CUPS Version : 9999 // 99999999999999999999999999999\n"},
      {"printers", "1430\n", "CUPS Version : 1430 // # Printer configuration file for CUPS v1.4.3\n"},
      {"index", "1390\n", "CUPS Version : 1390// <HEAD><TITLE>Home - CUPS   1.3.9</TITLE>\n"},
      {"docdir", "1200\n", "CUPS Version : 1200// /usr/share/doc/cups-1.2\n"},
      {"testps", "1220\n", "CUPS Version : 1220// %!PS Printed Using CUPS v1.2.2\n"},
      {"banner", "1270\n", "CUPS Version : 1270// This page was PRODUCED BY CUPS \tvV 1.2.7 today\n"},
      {"none", "1400\n", "CUPS Version : 1400// CUPS Version nicht gefunden. Auf 1.4 gesetzt.\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(r.out(std::string(c.tag) + ".out"), c.version) << c.tag;
    EXPECT_EQ(r.out(std::string(c.tag) + ".err"), c.log) << c.tag;
  }
  EXPECT_EQ(r.out("tmp.after"), "");
}

TEST(CupsVersion, ServerHeaderThroughTheChosenNetcat) {
  Sandbox box;
  SandboxResult r = box.run(script(R"(
# A netcat that records how it was called and answers with $OUT/reply.
reply() { printf "$1" >$OUT/reply; }
fake_nc() {
  put $1 0755 <<EOF
#!/bin/sh
echo "\$0 \$*" >>$OUT/calls.log
cat >$OUT/request
cat $OUT/reply
EOF
}
mkdir -p /srv/plix
fake_nc /srv/plix/zannc
fake_nc /opt/zed/bin/zannc
fake_nc /usr/bin/nc
reply 'HTTP/1.1 200 OK\r\nServer: CUPS/1.4\r\n\r\n'
call h14 getCupsVersion PLIX_SOURCE_DIR=/srv/plix
reply 'HTTP/1.1 400 Bad Request\r\nDate: x\r\nServer: CUPS/2.2 IPP/2.1\r\n'
call h22 getCupsVersion
reply 'Server: Apache\r\nX-Server: CUPS-ish\r\nServer: CUPS/3.0\r\n'
rm /opt/zed/bin/zannc
call h3 queryCupsServerVersion
reply 'Server: CUPS\r\n'
rm /usr/bin/nc
call hnone queryCupsServerVersion
reply 'Server: CUPS/99999999999999999999999999999999999999999999\r\n'
fake_nc /usr/bin/nc
call hhuge queryCupsServerVersion
reply 'Server: CUPS/14\r\n'
call h140 queryCupsServerVersion
ls -A /tmp >$OUT/tmp.after
)"));
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("h14.out"), "1400\n");
  EXPECT_EQ(r.out("h14.err"), "CUPS Header Version : 1400//HTTP\n");
  EXPECT_EQ(r.out("h22.out"), "2200\n");
  EXPECT_EQ(r.out("h22.err"), "CUPS Header Version : 2200//HTTP\n");
  EXPECT_EQ(r.out("h3.out"), "0\n");  // the first "Server:" line naming CUPS decides
  EXPECT_EQ(r.out("hnone.out"), "0\n") << r.out("hnone.err");
  EXPECT_EQ(r.out("hhuge.out"), "0\n");
  EXPECT_EQ(r.out("h140.out"), "140\n");
  EXPECT_EQ(r.out("calls.log"),
            "/srv/plix/zannc localhost 631\n"
            "/opt/zed/bin/zannc localhost 631\n"
            "/usr/bin/nc localhost 631\n"
            "/usr/bin/nc localhost 631\n"
            "/usr/bin/nc localhost 631\n");
  EXPECT_EQ(r.out("request"), "HEAD / HTTP/1.1\nConnection: Close\n\n\n");
  EXPECT_EQ(r.out("tmp.after"), "");
}

TEST(CupsVersion, DataDirectoryAndScratchFiles) {
  Sandbox box;
  SandboxResult r = box.run(script(R"(
call usr findCupsDataDir PLIX_CUPS_BIN=/usr
mkdir -p /opt/c/share/cups
call opt findCupsDataDir PLIX_CUPS_BIN=/opt/c
call missing findCupsDataDir PLIX_CUPS_BIN=/opt/none
rm -rf /usr/share/cups
mkdir -p /usr/cups
call usrcups findCupsDataDir
rm -rf /usr/cups
call none findCupsDataDir
call slash myTmpName PLIX_ARG=/tmp/
ls -A /tmp >$OUT/tmp.list
mkdir -m 0755 /srv/closed
cp $BUILD/tests/probe_tests /srv/probe_tests
as_user 1000 env PLIX_PROBE_CALL=myTmpName PLIX_ARG=/srv/closed /srv/probe_tests >$OUT/user.stdout 2>$OUT/user.err
echo $? >$OUT/user.status
grep '^=>' $OUT/user.stdout >$OUT/user.out || true
)"));
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("usr.out"), "/usr/share/cups\n");
  EXPECT_EQ(r.out("opt.out"), "/opt/c/share/cups\n");
  EXPECT_EQ(r.out("missing.out"), "/usr/share/cups\n");
  EXPECT_EQ(r.out("usrcups.out"), "/usr/cups\n");
  EXPECT_EQ(r.out("none.out"), "(none)\n");
  std::string made = r.out("slash.out");
  ASSERT_EQ(made.size(), std::string("/tmp/ZANxxxxxx\n").size()) << made;
  EXPECT_EQ(made.substr(0, 8), "/tmp/ZAN");
  EXPECT_EQ(r.out("tmp.list"), made.substr(5));
  EXPECT_EQ(r.out("user.status"), "255\n");
  EXPECT_EQ(r.out("user.err"), "myTmpName(/srv/closed,ZAN) Failed!\n");
  EXPECT_EQ(r.out("user.out"), "");
}

TEST(CupsRestart, SystemctlThenTheFallbacksThenNothing) {
  Sandbox box;
  SandboxResult r = box.run(script(R"(
start_cupsd || exit 3
# The real systemctl: inside a chroot it ignores the restart and reports success.
call chroot restartCups
# A systemctl that fails as it does without systemd: the service command restarts cupsd.
put /usr/bin/systemctl 0755 <<'EOF'
#!/bin/sh
echo "$0 $*" >>$OUT/calls.log
echo "System has not been booted with systemd as init system (PID 1). Can't operate." >&2
exit 1
EOF
call service restartCups
LC_ALL=C lpstat -r >$OUT/service.state 2>&1
# No service command, no init script for cups: only cupsys.
rm -f /usr/sbin/service /etc/init.d/cups
fake_command /etc/init.d/cupsys 3
call cupsys restartCups
# Nothing left to fall back on.
rm /etc/init.d/cupsys
call nothing restartCups
# No systemctl at all.
rm -f /usr/bin/systemctl
fake_command /etc/init.d/cups 0
call nosystemctl restartCups
# A systemd that works.
fake_command /usr/bin/systemctl 0
call systemd restartCups
)"));
  ASSERT_EQ(r.status, 0) << r.error;
  const std::string command = "CUPS restart command:\"/usr/bin/systemctl restart cups.service\"\n";
  const std::string failed = "System has not been booted with systemd as init system (PID 1). Can't operate.\n";
  std::string chroot = r.out("chroot.err");
  EXPECT_EQ(chroot.substr(0, command.size()), command);
  EXPECT_EQ(chroot.substr(chroot.find("CUPS reset")), "CUPS reset resultiert in: 0\n") << chroot;
  EXPECT_EQ(r.out("chroot.out"), "0\n");
  std::string service = r.out("service.err");
  EXPECT_EQ(service.substr(0, command.size() + failed.size() + 30),
            command + failed + "CUPS reset resultiert in: 256\n");
  EXPECT_EQ(service.substr(service.rfind("CUPS reset")), "CUPS reset resultiert in: 0\n") << service;
  EXPECT_EQ(r.out("service.out"), "0\n");
  EXPECT_EQ(r.out("service.state"), "scheduler is running\n");
  EXPECT_EQ(r.out("cupsys.err"), command + failed + "CUPS reset resultiert in: 256\nCUPS reset resultiert in: 768\n");
  EXPECT_EQ(r.out("cupsys.out"), "768\n");
  EXPECT_EQ(r.out("nothing.err"), command + failed +
                                      "CUPS reset resultiert in: 256\n"
                                      "K\366nnte CUPS nicht resetten. Entschuldigung bitte!\n"
                                      "CUPS reset resultiert in: 256\n");
  EXPECT_EQ(r.out("nothing.out"), "256\n");
  EXPECT_EQ(r.out("nosystemctl.err"), "CUPS reset resultiert in: -1\nCUPS reset resultiert in: 0\n");
  EXPECT_EQ(r.out("systemd.err"), command + "CUPS reset resultiert in: 0\n");
  EXPECT_EQ(r.out("calls.log"),
            "/usr/bin/systemctl restart cups.service\n"
            "/usr/bin/systemctl restart cups.service\n"
            "/etc/init.d/cupsys restart\n"
            "/usr/bin/systemctl restart cups.service\n"
            "/etc/init.d/cups restart\n"
            "/usr/bin/systemctl restart cups.service\n");
}

}  // namespace
