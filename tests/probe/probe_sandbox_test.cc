// Host probing on a real system, in one sandbox: setup runs and CUPS restarts against a
// real cupsd; then, with cupsd stopped, single probing functions (the cases below, started
// with run_case) against the spoolers, version sources and netcats that the script lays
// out. What each source or process-list line says is the pure tables' part
// (probe_units_test); here each way is shown once with its facts gathered and acted on.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "probe/cups_restart.h"
#include "probe/cups_version.h"
#include "probe/print_system.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

// One case for the probing functions: PLIX_PROBE names the one called, and its result is
// printed, for probePrintSystem with the binary and base prefixes after it. PLIX_SOURCE_DIR
// and PLIX_CUPS_BIN give the settings of those names. No line end: the script compares
// the result as $(cat), which drops one.
SANDBOX_CASE(probe) {
  if (const char* v = getenv("PLIX_SOURCE_DIR")) settings.sourceDir = v;
  if (const char* v = getenv("PLIX_CUPS_BIN")) settings.cupsBinDir = v;
  const std::string f = getenv("PLIX_PROBE");
  const std::map<std::string, int (*)()> probes = {{"probePrintSystem", probePrintSystem}, {"restartCups", restartCups},
      {"getCupsVersion", getCupsVersion}, {"queryCupsServerVersion", queryCupsServerVersion},
      {"findCupsVersionLocally", findCupsVersionLocally}, {"hasFoomaticRip", hasFoomaticRip},
      {"myTmpName", [] { return static_cast<int>(myTmpName("/srv/none/", "ZAN").size()); }}};
  if (f == "findCupsDataDir") return (void)fprintf(out, "%s", findCupsDataDir().value_or("(none)").c_str());
  fprintf(out, "%d", probes.at(f)());
  if (f == "probePrintSystem") fprintf(out, "|%s|%s", settings.cupsBinDir.c_str(), settings.cupsBaseDir.c_str());
}

TEST(PrintSystemProbe, RealCupsdThenSpoolersPrefixesVersionSourcesAndNetcats) {
  Sandbox box;
  // `probe FUNCTION NAME EXPECTED [VAR=VALUE...]` runs the case above with run_case and
  // notes in $OUT/wrong a result other than EXPECTED.
  SandboxResult r = box.run(R"sh(
probe() {
  run_case probe_tests probe "$2" PLIX_PROBE="$1" "${@:4}"
  [ "$(cat $OUT/$2.out)" = "$3" ] || echo "$2: '$(cat $OUT/$2.out)', not '$3'; log: $(cat $OUT/$2.log)" >>$OUT/wrong
}
start_cupsd || exit 3
# Without any system nc, as an administrator runs it (bin/setup from the product folder):
# the product's zannc in that folder answers. Then started by its full path, with the
# print system named by the environment: nothing is probed.
rm -f /usr/bin/nc /usr/bin/netcat /usr/bin/nc.openbsd /usr/bin/nc.traditional
run_setup nc -d
ZANLPMODE=CUPS SETUP_CMD=$PRODUCT/bin/setup run_setup env -d
# The product's zannc against peers on the loopback address: one that reads the whole
# request, answers and closes; one whose backlog accepts and that stays silent; none.
coproc python3 -c 'import socket, sys
a, b = socket.create_server(("127.0.0.1", 7001)), socket.create_server(("127.0.0.1", 7002))
print(flush=True); c = a.accept()[0]; open(sys.argv[1], "wb").write(c.makefile("rb").read())
c.sendall(b"HTTP/1.1 200 OK\r\nServer: CUPS/2.4 IPP/2.1\r\n\r\n"); c.close(); sys.stdin.read()' $OUT/received
read -r -u ${COPROC[0]}
zannc() { printf "$1" | $PRODUCT/bin/zannc 127.0.0.1 $2 2>/dev/null >$OUT/$3.out; echo $? >>$OUT/$3.out; }
TIMEFORMAT=%R
zannc 'HEAD / HTTP/1.1\nConnection: Close\n\n\n' 7001 answered
{ time zannc 'HEAD / HTTP/1.1\n\n' 7002 silent; } 2>$OUT/silent.time
kill $COPROC_PID; wait
{ time zannc x 7002 none; } 2>$OUT/none.time
# The real systemctl: inside a chroot it ignores the restart and reports success.
probe restartCups chroot 0
# A systemctl that fails as it does without systemd: the service command restarts cupsd.
fake_command /usr/bin/systemctl 1 "System has not been booted with systemd as init system (PID 1). Can't operate."
probe restartCups service 0
LC_ALL=C lpstat -r >$OUT/service.state 2>&1
start-stop-daemon --stop --quiet --retry 5 --exec /usr/sbin/cupsd
# No service command: the init script. Then no systemctl and nothing to fall back on.
rm -f /usr/sbin/service
fake_command /etc/init.d/cups 3
probe restartCups initd 768
rm /usr/bin/systemctl /etc/init.d/cups
probe restartCups noway -1

# A cupsd in the process list, named by its path, gives the binary prefix unless a start
# script names the prefixes (an exec_prefix= line is no prefix= line). Without a start
# script the binary prefix must exist, and only /usr has the base /.
daemon() { (exec -a "$1" sleep 60) & pid=$!; }
printf '  exec_prefix=/opt/cups\n# prefix=/opt/base\n' | put /etc/rc.d/init.d/cups
daemon "/opt/x/sbin/cupsd -l"; probe probePrintSystem script "8|/opt/cups|/opt/base"
rm /etc/rc.d/init.d/cups
probe probePrintSystem noscript "8|/opt/x|"; kill $pid
daemon /usr/sbin/cupsd; probe probePrintSystem usr "8|/usr|/"; kill $pid

# Other spoolers. With no spooler running, `lpd -V` tells LPRng apart; links planted, by
# one process so that the probe's process id comes later, under every name
# "/tmp/ZANLPD<pid>" and "/tmp/ZANLPRNG<pid>" the probe could get, and a victim each,
# are not followed. They belong to root so that the kernel's own link protection in /tmp
# does not hide a program that follows them. Then a plain lpd runs. (/usr/sbin/lpd comes
# first on the path.)
for victim in lpd lprng; do echo precious >/etc/victim-$victim; done
python3 -c 'import os
for n in range(1, 5000): [os.symlink("/etc/victim-" + k, "/tmp/ZAN%s%d" % (k.upper(), n)) for k in ("lpd", "lprng")]'
printf '#!/bin/sh\necho "lpd: LPRng 3.8.28" >&2\n' | put /usr/sbin/lpd 0755
probe probePrintSystem lprng "4||"
rm -f /tmp/ZANLPD* /tmp/ZANLPRNG*
printf '#!/bin/sh\necho "lpd 1.2" >&2\n' | put /usr/sbin/lpd 0755
daemon /usr/sbin/lpd; probe probePrintSystem lpr "2||"; kill $pid
rm -f /usr/bin/foomatic-rip /usr/lib/cups/filter/foomatic-rip
probe hasFoomaticRip nofoomatic 0

# The local version sources, all laid out: the first answers. Then taken away one by one
# from the first, the next answers; a cups-config that prints 1.0.0 names no version. The
# files are written whole; cups-1.0 is the first documentation directory looked for, so no
# other one of the host's can come before it.
printf '#!/bin/sh\n[ "$1" = --version ] && echo 1.5.2\n' | put /usr/bin/cups-config 0755
printf '#!/bin/sh\n[ "$1" = --version ] && echo 1.0.0\n' | put /usr/sbin/cups-config 0755
printf '# Printer configuration\n# Printer configuration file for CUPS v1.4.3\n' | put /etc/cups/printers.conf
printf '<HTML>\n<HEAD><TITLE>Home - CUPS   1.3.9</TITLE>\n' | put /usr/share/cups/doc/index.html
mkdir -p /usr/share/doc/cups-1.4 /usr/share/doc/cups-1.0
printf '%%!PS Printed Using CUPS v1.2.2\n' | put /etc/cups/data/testprint.ps
printf 'This page was PRODUCED BY CUPS \tvV 1.2.7 today\n' | put /usr/share/cups/data/testprint
for next in "1520 " "1430 /usr/bin/cups-config" "1390 /etc/cups/printers.conf" "1000 /usr/share/cups/doc" \
    "1220 /usr/share/doc/cups-1.*" "1270 /etc/cups/data" "1400 /usr/share/cups/data/testprint"; do
  rm -rf ${next#* }; probe findCupsVersionLocally v${next% *} ${next% *}
done

# The server header through the chosen netcat, which records how it was called and
# answers with $OUT/reply (`ask REPLY FUNCTION NAME EXPECTED...` lays REPLY there): the
# one in the source folder, the installed one, then nc.
ask() { printf "$1" >$OUT/reply; probe "${@:2}"; }
for nc in /srv/plix/zannc /opt/zed/bin/zannc /usr/bin/nc; do
  printf '#!/bin/sh\necho "$0 $*" >>%s\ncat >%s\ncat %s\n' $OUT/calls.log $OUT/request $OUT/reply | put $nc 0755
done
ask 'HTTP/1.1 200 OK\r\nServer: CUPS/1.4\r\n\r\n' getCupsVersion h14 1400 PLIX_SOURCE_DIR=/srv/plix
ask 'HTTP/1.1 400 Bad Request\r\nDate: x\r\nServer: CUPS/2.2 IPP/2.1\r\n' queryCupsServerVersion h22 220
# The first "Server:" line naming CUPS decides.
rm /opt/zed/bin/zannc
ask 'Server: Apache\r\nX-Server: CUPS-ish\r\nServer: CUPS/3.0\r\n' queryCupsServerVersion h3 0

# The data directory; a scratch file in a directory that does not exist (one the user
# cannot write to fails the same way: mkstemps refuses), its trailing "/" left out of the
# message.
mkdir -p /opt/c/share/cups
probe findCupsDataDir dopt /opt/c/share/cups PLIX_CUPS_BIN=/opt/c
rm -rf /usr/share/cups
probe findCupsDataDir dnone '(none)'
tmp_entries >$OUT/tmp.after
probe myTmpName closed ''
)sh");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("wrong"), "");
  const std::string probed = "System Drucker Manager = CUPS\nCUPS Basis Verzeichnis: ";
  const std::string header = "CUPS Header Version : 2400//HTTP\n";
  for (const auto& [log, lines] : {std::pair{"nc.log", probed + "/\nCUPS Binary Verzeichnis: /usr\n" + header +
                                                           "lpadmin = /usr/sbin/lpadmin\nlpstat  = /usr/bin/lpstat\n"},
                                   std::pair{"env.log", probed + "\nCUPS Binary Verzeichnis: \n" + header}})
    EXPECT_NE(r.out(log).find(lines), std::string::npos) << log << ":\n" << r.out(log);

  const std::string reset = "CUPS reset resultiert in: ", systemctl = "/usr/bin/systemctl restart cups.service";
  const std::string command = "CUPS restart command:\"" + systemctl + "\"\n", failed = command +
      "System has not been booted with systemd as init system (PID 1). Can't operate.\n" + reset + "256\n";
  // What systemctl or the service command print in between is theirs.
  for (const auto& [log, head] : {std::pair{r.out("chroot.log"), command}, std::pair{r.out("service.log"), failed}})
    EXPECT_EQ(log.substr(0, head.size()) + log.substr(log.rfind(reset)), head + reset + "0\n");
  EXPECT_EQ(r.out("service.state") + r.out("initd.log") + r.out("noway.log"), "scheduler is running\n" + failed +
            reset + "768\n" + reset + "-1\nK\366nnte CUPS nicht resetten. Entschuldigung bitte!\n" + reset + "-1\n");

  EXPECT_EQ(r.out("answered.out") + r.out("silent.out") + r.out("none.out"),
            "HTTP/1.1 200 OK\r\nServer: CUPS/2.4 IPP/2.1\r\n\r\n0\n1\n1\n");
  const double silent = std::stod(r.out("silent.time")), none = std::stod(r.out("none.time"));
  EXPECT_TRUE(silent >= 4.0 && silent < 10.0 && none < 3.0) << silent << " " << none;  // zannc's timeouts

  EXPECT_EQ(r.out("v1520.log") + r.out("v1270.log") + r.out("v1400.log"),
            "CUPS Version : 1520 // 1.5.2\nCUPS Version : 1270// This page was PRODUCED BY CUPS \tvV 1.2.7 today\n"
            "CUPS Version : 1400// CUPS Version nicht gefunden. Auf 1.4 gesetzt.\n");
  EXPECT_EQ(r.out("calls.log"), systemctl + "\n" + systemctl +
                                    "\n/etc/init.d/cups restart\n/srv/plix/zannc localhost 631\n"
                                    "/opt/zed/bin/zannc localhost 631\n/usr/bin/nc localhost 631\n");
  // The request as zannc received it from standard input, and as the probe sends it.
  const std::string request = "HEAD / HTTP/1.1\nConnection: Close\n\n\n";
  EXPECT_EQ(r.out("received") + r.out("request"), request + request);
  // The links planted in /tmp are not followed; no scratch file is left behind there; none
  // can be made in a directory that is not there.
  EXPECT_EQ(r.upperFile("/etc/victim-lpd") + r.upperFile("/etc/victim-lprng"), "precious\nprecious\n");
  EXPECT_EQ(r.out("tmp.after") + r.out("closed.status") + r.out("closed.log"),
            "255\nmyTmpName(/srv/none,ZAN) Failed!\n");
}

}  // namespace
