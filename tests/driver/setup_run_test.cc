// setup run end to end in the sandbox: usage, the location and root rules, the log
// header with and without chcon, over-long start paths, print systems, installation
// directories and the step-by-step stop.
#include <string>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

namespace {

TEST(SetupRun, UsageRulesLogHeaderOverlongPathsPrintSystemsInstallDirectoriesAndStepwiseStop) {
  Sandbox box;
  SandboxResult r = box.run(R"(
run_setup help -u /x -h
[ -e /var/log/Plix4.0_UpdateLog ] && echo yes >$OUT/help.logmade
(cd $PRODUCT && as_user 1000 bin/setup -D 1 >$OUT/user.stdout 2>$OUT/user.stderr; echo $? >$OUT/user.status)
run_setup anywhere -f 0
# The date and time of the start and closing lines as DATE, so that whole texts can be compared byte for byte.
D='[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}'
sed -Ei "s/^((Starte|Beende) Installation von Plix 4\.0-0: )$D\$/\1DATE/" $OUT/user.stderr $OUT/anywhere.log
# Without chcon the log has no header; a run overwrites the log of the one before.
rm /usr/bin/chcon
run_setup anywhere_d -f 0 -d
# Started through a path longer than setup keeps, and from a directory deeper than it keeps.
long=/tmp/$(printf 'l%.0s' $(seq 1 150))/$(printf 'm%.0s' $(seq 1 150))
mkdir -p $long && cp $SETUP $long/setup
SETUP_CWD=/tmp SETUP_CMD=$long/setup run_setup longpath -f 0
SETUP_CWD=$long SETUP_CMD=./setup run_setup longcwd -f 0
# Print systems, installation directories, the step-by-step stop.
start_cupsd || exit 3
ZANLPMODE=LPRNG run_setup lprng
for run in slashes://  dotdot:/opt/..  empty:/  trailing:/srv/plix/; do run_setup ${run%%:*} -u ${run#*:}; done
mkdir -p /opt/zed && printf 'USRDIR          /opt/zed\n' >/opt/zed/plixInfo4.0
ANSWERS='n\n' run_setup stepno -q 1
)");
  ASSERT_EQ(r.status, 0) << r.error;
  for (std::string name : {"help", "user", "anywhere", "anywhere_d"}) EXPECT_EQ(r.out(name + ".status"), "0\n") << name;
  EXPECT_EQ(r.out("help.stdout") + r.out("help.logmade") + r.out("user.stdout"), "");
  EXPECT_EQ(r.out("help.stderr"),
            "Plix Setup Version: 4.0-8.\n"
            "Nutzung:\n"
            "Setup [Optionen]Optionen:-d\t: Deinstallations von Plix 4.0-8.\n"
            "-fx\t: Installation von willk\374rlichem Verzeichnis: x=0:nein,1:ja [1].\n"
            "-h\t: Diese Meldung anzeigen.\n"
            "-qx\t: Schrittweise Installation: x=0:nein, 1:ja [0].\n"
            "-Sx\t: SELinux Modus: x=0:aus,1:an [1].\n"
            "-Dx\t: Debug Modus. [0].\n");
  // Not root: everything on standard error, no log for user 1000, no print system probed.
  EXPECT_EQ(r.out("user.stderr"),
            "Starte Installation von Plix 4.0-0: DATE\n"
            "Verzeichnis, von dem installiert wird: '" + builtProduct() + "'.\n"
            "SELinux ist activ: Nein.\n"
            "Must be root.\nExiting.\n"
            "\n\n\tSie m\374ssen Root sein, um\n\tPlix installieren zu k\366nnen.\n\n\t\n");
  EXPECT_FALSE(r.changed("/var/log/Plix4.0_UpdateLog_1000"));
  // The location rule stops a run outside /opt/zed, but not an uninstallation.
  EXPECT_EQ(r.out("anywhere.stderr"), "Simulation setup Plix3.0, nicht in /opt/zed/bin.\nDas Program h\366rt auf.\n\n");
  EXPECT_EQ(r.out("anywhere.log"),
            "Vorbereitung Log Datei:\n"
            "Befehl: \"/usr/bin/chcon -u system_u /var/log/Plix4.0_UpdateLog 2>/dev/null\" resultiert in: 256.\n"
            "=======================================\n"
            "Starte Installation von Plix 4.0-0: DATE\n"
            "Verzeichnis, von dem installiert wird: '" + builtProduct() + "'.\n"
            "Simulation setup Plix3.0, nicht in /opt/zed/bin.\nDas Program h\366rt auf.\n"
            "Beende Installation von Plix 4.0-0: DATE\n");
  expectIn(r, "anywhere_d.log", "SELinux ist activ: Nein.\nSystem Drucker Manager = ");
  // Without chcon the log starts with the start line, and the log of the run before is gone.
  EXPECT_EQ(r.out("anywhere_d.log").rfind("Starte Installation von Plix 4.0-0: "), 0u) << r.out("anywhere_d.log");
  // A start path whose directory does not fit 255 characters leaves the source directory
  // empty and the location rule refuses; a working directory that does not fit keeps the
  // relative start path. Neither is cut.
  expectIn(r, "longpath.log", "Verzeichnis, von dem installiert wird: ''.\nSimulation setup");
  expectIn(r, "longcwd.log", "Verzeichnis, von dem installiert wird: './setup'.\n");
  // Another print system: the report, and the install branch stops.
  expectIn(r, "lprng.log",
      "System Drucker Manager = LPRNG\nProgram h\366rt auf weil:\n* Kein aktives CUPS Daemon gefunden!\n"
      "*** Entschuldigung ***\n");
  // The root directory, however spelt, is refused before anything is installed.
  expectIn(r, "slashes.log",
           "Das Installationsverzeichnis\n\t'/'\nexistiert nicht oder ist falsch.\nBeende Installation");
  expectIn(r, "dotdot.log",
           "Das Installationsverzeichnis\n\t'/opt/..'\nexistiert nicht oder ist falsch.\nBeende Installation");
  for (const char* path : {"/plixInfo4.0", "/etc/UNINSTALLPLIX", "/bin/setup", "/usr/bin/setup"})
    EXPECT_FALSE(r.changed(path)) << path;
  // "-u /" leaves an empty installation directory, which cannot be made.
  expectIn(r, "empty.log",
           "K\366nnte nich ZED Verzeichnis:  finden oder herstellen\nEntschuldigung, Installation h\366rt auf.\n");
  // One trailing slash goes.
  EXPECT_NE(r.upperFile("/srv/plix/plixInfo4.0").find("USRDIR          /srv/plix\n"), std::string::npos);
  // Step by step on an upgrade of kind 2 (its question; the log line of the kind is checked by the
  // installation tests): anything but yes stops (the answers have a table test).
  EXPECT_EQ(r.out("stepno.stdout"),
            "M\366chten Sie nach Plix 3.0 upgraden?\nAntworten Sie bitte mit j[a] oder n[ein], gefolgt durch <RETURN>. ");
  EXPECT_EQ(r.out("stepno.stderr"), "Program durch Benutzer gestopt.\n\n");
  expectIn(r, "stepno.log", "Program durch Benutzer gestopt.\nBeende Installation");
}

}  // namespace
