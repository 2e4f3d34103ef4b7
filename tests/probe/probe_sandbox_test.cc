// Host probing on a real system, in the sandbox: setup runs and CUPS restarts against a
// real cupsd, and single probing functions (the cases below, started with run_case)
// against the spoolers, version sources and netcats that the script lays out.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "probe/cups_restart.h"
#include "probe/cups_version.h"
#include "probe/print_system.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

// The settings a case reads from PLIX_SOURCE_DIR, PLIX_CUPS_BIN and PLIX_DEBUG.
void takeSettings() {
  if (const char* v = getenv("PLIX_SOURCE_DIR")) settings.sourceDir = v;
  if (const char* v = getenv("PLIX_CUPS_BIN")) settings.cupsBinDir = v;
  if (const char* v = getenv("PLIX_DEBUG")) settings.debugLevel = atoi(v);
}

SANDBOX_CASE(probePrintSystem) {  // result|cupsBinDir|cupsBaseDir
  takeSettings();
  int result = probePrintSystem();
  fprintf(out, "%d|%s|%s\n", result, settings.cupsBinDir.c_str(), settings.cupsBaseDir.c_str());
}
SANDBOX_CASE(findCupsPrefixes) {  // result|exec prefix|prefix
  takeSettings();
  std::string prefix, execPrefix;
  int result = findCupsPrefixes(&prefix, &execPrefix);
  fprintf(out, "%d|%s|%s\n", result, execPrefix.c_str(), prefix.c_str());
}
SANDBOX_CASE(getCupsVersion) { takeSettings(); fprintf(out, "%d\n", getCupsVersion()); }
SANDBOX_CASE(findCupsDataDir) { takeSettings(); fprintf(out, "%s\n", findCupsDataDir().value_or("(none)").c_str()); }

SANDBOX_CASE(queryCupsServerVersion) { fprintf(out, "%d\n", queryCupsServerVersion()); }
SANDBOX_CASE(findCupsVersionLocally) { fprintf(out, "%d\n", findCupsVersionLocally()); }
SANDBOX_CASE(hasFoomaticRip) { fprintf(out, "%d\n", hasFoomaticRip()); }
SANDBOX_CASE(restartCups) { fprintf(out, "%d\n", restartCups()); }
SANDBOX_CASE(myTmpName) { fprintf(out, "%s\n", myTmpName("/srv/closed", "ZAN").c_str()); }

// Shell helper for the scripts: `probe CASE NAME EXPECTED [VAR=VALUE...]` runs a case
// above with run_case and notes in $OUT/wrong a result other than EXPECTED.
const std::string kProbe = R"sh(
probe() {
  local case=$1 name=$2 expected=$3
  shift 3
  run_case probe_tests "$case" "$name" "$@"
  local got=$(cat "$OUT/$name.out")
  [ "$got" = "$expected" ] || echo "$name: '$got', not '$expected'; log: $(cat "$OUT/$name.log")" >>$OUT/wrong
}
)sh";

TEST(PrintSystemProbe, RealCupsdFoundItsHeaderReadAndRestarted) {
  Sandbox box;
  SandboxResult r = box.run(kProbe + R"(
start_cupsd || exit 3
# As an administrator runs it (bin/setup from the product folder): the product's zannc
# in that folder answers.
run_setup nc -d
tmp_entries >$OUT/tmp.after
# Started by its full path, and without any system nc: zannc beside setup answers.
rm -f /usr/bin/nc /usr/bin/netcat /usr/bin/nc.openbsd /usr/bin/nc.traditional
SETUP_CMD=$PRODUCT/bin/setup run_setup zannc -d
# The environment names the print system: nothing is probed.
ZANLPMODE=CUPS SETUP_CMD=$PRODUCT/bin/setup run_setup env -d
# The real systemctl: inside a chroot it ignores the restart and reports success.
probe restartCups chroot 0
# A systemctl that fails as it does without systemd: the service command restarts cupsd.
fake_command /usr/bin/systemctl 1 "System has not been booted with systemd as init system (PID 1). Can't operate."
probe restartCups service 0
LC_ALL=C lpstat -r >$OUT/service.state 2>&1
# No service command, no init script for cups: only cupsys.
rm -f /usr/sbin/service /etc/init.d/cups
fake_command /etc/init.d/cupsys 3
probe restartCups cupsys 768
# Nothing left to fall back on.
rm /etc/init.d/cupsys
probe restartCups nothing 256
# No systemctl at all.
rm -f /usr/bin/systemctl
fake_command /etc/init.d/cups 0
probe restartCups nosystemctl 0
# A systemd that works.
fake_command /usr/bin/systemctl 0
probe restartCups systemd 0
)");
  ASSERT_EQ(r.status, 0) << r.error;
  auto holds = [&](const char* file, const std::string& lines) {
    EXPECT_NE(r.out(file).find(lines), std::string::npos) << file << ":\n" << r.out(file);
  };
  const std::string probed = "System Drucker Manager = CUPS\n";
  const std::string header = "CUPS Header Version : 2400//HTTP\n";
  for (const char* run : {"nc.log", "zannc.log"})
    holds(run, probed + "CUPS Basis Verzeichnis: /\nCUPS Binary Verzeichnis: /usr\n" + header +
                   "lpadmin = /usr/sbin/lpadmin\nlpstat  = /usr/bin/lpstat\n");
  holds("env.log", probed + "CUPS Basis Verzeichnis: \nCUPS Binary Verzeichnis: \n" + header);
  EXPECT_EQ(r.out("tmp.after"), "");  // no scratch file is left behind

  const std::string command = "CUPS restart command:\"/usr/bin/systemctl restart cups.service\"\n";
  const std::string failed = command +
                             "System has not been booted with systemd as init system (PID 1). Can't operate.\n"
                             "CUPS reset resultiert in: 256\n";
  // What systemctl or the service command print in between is theirs.
  for (auto [log, head] : {std::pair{r.out("chroot.log"), command}, std::pair{r.out("service.log"), failed}}) {
    EXPECT_EQ(log.substr(0, head.size()) + log.substr(log.rfind("CUPS reset")), head + "CUPS reset resultiert in: 0\n");
  }
  EXPECT_EQ(r.out("service.state"), "scheduler is running\n");
  EXPECT_EQ(r.out("cupsys.log"), failed + "CUPS reset resultiert in: 768\n");
  EXPECT_EQ(r.out("nothing.log"), failed +
                                      "K\366nnte CUPS nicht resetten. Entschuldigung bitte!\n"
                                      "CUPS reset resultiert in: 256\n");
  EXPECT_EQ(r.out("nosystemctl.log"), "CUPS reset resultiert in: -1\nCUPS reset resultiert in: 0\n");
  EXPECT_EQ(r.out("systemd.log"), command + "CUPS reset resultiert in: 0\n");
  EXPECT_EQ(r.out("wrong"), "");
  const std::string systemctl = "/usr/bin/systemctl restart cups.service\n";
  EXPECT_EQ(r.out("calls.log"), systemctl + systemctl + "/etc/init.d/cupsys restart\n" + systemctl +
                                    "/etc/init.d/cups restart\n" + systemctl);
}

TEST(PrintSystemProbe, WithoutServerSpoolersPrefixesVersionSourcesAndNetcats) {
  Sandbox box;
  SandboxResult r = box.run(kProbe + R"(
daemon() { (exec -a "$1" sleep 60) & pid=$!; }
# cupsd in the process list; the prefixes of the start script and their fallbacks.
printf '#!/bin/sh\nprefix=/usr\nexec_prefix=/usr\n' | put /etc/init.d/cups 0755
daemon "/usr/sbin/cupsd -l"; probe probePrintSystem script "8|/usr|/usr"; kill $pid
rm /etc/init.d/cups
daemon cupsd; probe probePrintSystem nopath "8|/usr|/"; kill $pid
echo '  exec_prefix=/opt/cups' | put /etc/init.d/cupsys
probe findCupsPrefixes execonly "1|/opt/cups|"
printf '# prefix=/opt/base\nexec_prefix=/opt/exec\n' | put /etc/rc.d/init.d/cups
rm /etc/init.d/cupsys
probe findCupsPrefixes both "1|/opt/exec|/opt/base"
rm /etc/rc.d/init.d/cups
probe findCupsPrefixes gone "0||" PLIX_CUPS_BIN=/nonexistent
probe findCupsPrefixes usr "1|/usr|/" PLIX_CUPS_BIN=/usr

# Other spoolers. Links planted, by one process so that the probe's process id comes
# later, under every name "/tmp/ZANLPD<pid>" and "/tmp/ZANLPRNG<pid>" the probe could
# get, and a victim each. They belong to root so that the kernel's own link protection
# in /tmp does not hide a program that follows them.
rm -f /usr/sbin/lpd /usr/bin/lpd
echo precious >/etc/victim-lpd
echo precious >/etc/victim-lprng
python3 -c '
import os
for n in range(1, 5000):
    os.symlink("/etc/victim-lpd", "/tmp/ZANLPD%d" % n)
    os.symlink("/etc/victim-lprng", "/tmp/ZANLPRNG%d" % n)
'
probe probePrintSystem nothing "0||"
rm -f /tmp/ZANLPD* /tmp/ZANLPRNG*
printf '#!/bin/sh\necho "lpd: LPRng 3.8.28" >&2\n' | put /usr/sbin/lpd 0755
probe probePrintSystem lprngonly "4||"
daemon /usr/sbin/lpd; probe probePrintSystem lprng "4||"; kill $pid
printf '#!/bin/sh\necho "lpd 1.2" >&2\n' | put /usr/sbin/lpd 0755
daemon /usr/sbin/lpd; probe probePrintSystem lpr "2||"; kill $pid
daemon /usr/lib/lp/lpsched; probe probePrintSystem lp "1||" PLIX_DEBUG=1; kill $pid
probe hasFoomaticRip foomatic 1
rm -f /usr/bin/foomatic-rip /usr/lib/cups/filter/foomatic-rip
probe hasFoomaticRip nofoomatic 0

# The local version sources, all laid out, then taken away one by one from the first.
rm -rf /usr/share/doc/cups-1.* /etc/cups/data/testprint
config() { printf '#!/bin/sh\n[ "$1" = --version ] && echo %s\n' "$2" | put $1 0755; }
config /usr/bin/cups-config 1.5.2
config /usr/sbin/cups-config 1.0.0
put /etc/cups/printers.conf <<'EOF'
# Printer configuration, no number
# Printer configuration file for CUPS v1.4.3
EOF
printf '<HTML>\n<HEAD><TITLE>Home - CUPS   1.3.9</TITLE>\n' | put /usr/share/cups/doc/index.html
mkdir -p /usr/share/doc/cups-1.4 /usr/share/doc/cups-1.2
printf '%%!PS\n%%%%Title: Test page Printed Using CUPS v1.1.23\n' | put /usr/share/cups/data/testprint.ps
printf '%%!PS Printed Using CUPS v1.2.2\n' | put /etc/cups/data/testprint.ps
printf 'This page was PRODUCED BY CUPS \tvV 1.2.7 today\n' | put /usr/share/cups/data/testprint
probe findCupsVersionLocally config 1520
rm /usr/bin/cups-config
probe findCupsVersionLocally printers 1430
rm /usr/sbin/cups-config /etc/cups/printers.conf
probe findCupsVersionLocally index 1390
rm /usr/share/cups/doc/index.html
probe findCupsVersionLocally docdir 1200
rm -r /usr/share/doc/cups-1.4 /usr/share/doc/cups-1.2
probe findCupsVersionLocally testps 1220
rm /etc/cups/data/testprint.ps /usr/share/cups/data/testprint.ps
probe findCupsVersionLocally banner 1270
rm /usr/share/cups/data/testprint
probe findCupsVersionLocally default 1400

# The server header through the chosen netcat, which records how it was called and
# answers with $OUT/reply.
reply() { printf "$1" >$OUT/reply; }
fake_nc() {
  printf '#!/bin/sh\necho "$0 $*" >>%s\ncat >%s\ncat %s\n' $OUT/calls.log $OUT/request $OUT/reply | put $1 0755
}
fake_nc /srv/plix/zannc
fake_nc /opt/zed/bin/zannc
fake_nc /usr/bin/nc
reply 'HTTP/1.1 200 OK\r\nServer: CUPS/1.4\r\n\r\n'
probe getCupsVersion h14 1400 PLIX_SOURCE_DIR=/srv/plix
reply 'HTTP/1.1 400 Bad Request\r\nDate: x\r\nServer: CUPS/2.2 IPP/2.1\r\n'
probe getCupsVersion h22 2200
# The first "Server:" line naming CUPS decides.
reply 'Server: Apache\r\nX-Server: CUPS-ish\r\nServer: CUPS/3.0\r\n'
rm /opt/zed/bin/zannc
probe queryCupsServerVersion h3 0
reply 'Server: CUPS\r\n'
rm /usr/bin/nc
probe queryCupsServerVersion hnone 0

# The data directory; a scratch file in a directory the user cannot write to.
mkdir -p /opt/c/share/cups
probe findCupsDataDir dopt /opt/c/share/cups PLIX_CUPS_BIN=/opt/c
rm -rf /usr/share/cups
probe findCupsDataDir dnone '(none)'
tmp_entries >$OUT/tmp.after
mkdir -m 0755 /srv/closed
cp $BUILD/tests/probe_tests /srv/probe_tests
as_user 1000 env PLIX_CASE=myTmpName /srv/probe_tests >/dev/null 2>$OUT/closed.log
echo $? >$OUT/closed.status
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("wrong"), "");
  const std::pair<const char*, const char*> logs[] = {
      {"config", "CUPS Version : 1520 // 1.5.2\n"}, {"docdir", "CUPS Version : 1200// /usr/share/doc/cups-1.2\n"},
      {"printers", "CUPS Version : 1430 // # Printer configuration file for CUPS v1.4.3\n"},
      {"index", "CUPS Version : 1390// <HEAD><TITLE>Home - CUPS   1.3.9</TITLE>\n"},
      {"testps", "CUPS Version : 1220// %!PS Printed Using CUPS v1.2.2\n"}, {"h14", "CUPS Header Version : 1400//HTTP\n"},
      {"banner", "CUPS Version : 1270// This page was PRODUCED BY CUPS \tvV 1.2.7 today\n"},
      {"default", "CUPS Version : 1400// CUPS Version nicht gefunden. Auf 1.4 gesetzt.\n"},
  };
  for (const auto& [name, log] : logs) EXPECT_EQ(r.out(std::string(name) + ".log"), log) << name;
  EXPECT_EQ(r.upperFile("/etc/victim-lpd") + r.upperFile("/etc/victim-lprng"), "precious\nprecious\n");
  for (const char* debug : {"STRING=(", "/usr/lib/lp/lpsched 60\n) i=1\n"})
    EXPECT_NE(r.out("lp.log").find(debug), std::string::npos) << r.out("lp.log");
  EXPECT_EQ(r.out("calls.log"),
            "/srv/plix/zannc localhost 631\n"
            "/opt/zed/bin/zannc localhost 631\n"
            "/usr/bin/nc localhost 631\n");
  EXPECT_EQ(r.out("request"), "HEAD / HTTP/1.1\nConnection: Close\n\n\n");
  EXPECT_EQ(r.out("tmp.after"), "");
  EXPECT_EQ(r.out("closed.status") + r.out("closed.log"), "255\nmyTmpName(/srv/closed,ZAN) Failed!\n");
}

}  // namespace
