// The uninstallation in one sandbox with a real cupsd: setup -d along the product's
// life cycle and over linked installation directories; then the removal's parts (cases
// called inside the sandbox, see sandbox_case.h) against real files, a real /dev and real
// mounts: queues with hostile names and junk lines of the information file, a scheduler
// that is down or silent, the removal walk, installation directories that are none or
// whose bin and etc lead into the system.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/command_locator.h"
#include "base/settings.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"
#include "uninstall/removal.h"
#include "upgrade/printer_list.h"
#include "upgrade/printer_scan.h"

namespace {

const std::string kDone = "Plix 3.0 ist vom System gel\366scht worden.\n";
std::string ran(const std::string& command) { return "F\374hre Befehl aus:\n\t" + command + "\n"; }
std::string removed(const std::string& name) { return "L\366sche den Plix-Drucker: " + name + ".\n"; }
std::string lpadminX(const std::string& word) { return ran("/usr/sbin/lpadmin -x" + word + " 2>/dev/null"); }
// A queue named "..": it leaves the spooler, its files are passed over.
const std::string kDotDot = lpadminX("..") + "Die Dateien des Plix-Druckers '..' werden \374bersprungen: der Name ist kein "
                            "g\374ltiger Dateiname.\n" + removed("..");
const std::string kRunning = ran("LC_ALL=C /usr/bin/lpstat -r 2>/dev/null | grep -q 'scheduler is running'");

std::string invalid(const std::string& q) { return "/usr/bin/lpstat: Invalid destination name in list \"" + q + "\".\n"; }
// lpstat asked about a queue the spooler does not know (a removal's retry).
std::string lpstatP(const std::string& q) { return ran("/usr/bin/lpstat -p" + q + " -l > /dev/null") + invalid(q); }

// Takes the queues from the printers block of the information file in `dir`, which
// becomes the installation directory, for `printSystem` and `lpadmin`.
void readQueues(const char* dir, int printSystem = PRINT_CUPS, const char* lpadmin = "/usr/sbin/lpadmin") {
  settings.installDir = dir;
  settings.printSystem = printSystem;
  commands.lpadmin = lpadmin;
  commands.lpstat = "/usr/bin/lpstat";
  readInfoPrinters(0, &printerList);
}

SANDBOX_CASE(queues) {
  settings.cupsDataDir = "/usr/share/cups";
  readQueues("/opt/zed");
  fprintf(out, "%d\n", removeProductQueues());
  readQueues("/opt/lpr", PRINT_LPRNG, "/usr/local/bin/lpadmin");  // no spooler command, device or model file
  removeProductQueues();
  readQueues("/opt/lp", PRINT_LP, "/usr/local/bin/lpadmin");  // a single queue, in the head entry
  removeProductQueues();
}

// With the scheduler down, and with a silent one (Slow), no queue's removal is confirmed.
SANDBOX_CASE(down) {
  readQueues("/opt/down", PRINT_CUPS, "/usr/local/bin/slow");
  int left = removeProductQueues();
  fprintf(out, "%d %d\n", left, removeProductFiles(left));
}

SANDBOX_CASE(trees) {
  for (const char* path : {"/srv/t/links/", "/srv/t/piped", "/srv/t/mounted", "/srv/t/mounted/tmp", "/srv/t/bin",
                           "/srv/t/missing", "/srv/t/file", "", "/", "//", "/opt/..", "/srv/t/."})
    fprintf(out, "%s %d\n", path, removeTree(path));
  // A tree deeper than a path can name, made by stepping down into it.
  bool made = mkdir("/srv/t/deep", 0755) == 0 && chdir("/srv/t/deep") == 0;
  for (int i = 0; i < 2000 && made; ++i) made = mkdir("dd", 0755) == 0 && chdir("dd") == 0;
  fprintf(out, "deep %d %d\n", made && chdir("/") == 0, removeTree("/srv/t/deep"));
}

// removeProductQueues and removeProductFiles in each directory of $DIRS (split at ':'),
// over the queues of the information file in $QUEUES (none when it is not set).
SANDBOX_CASE(files) {
  if (const char* queues = getenv("QUEUES")) readQueues(queues, PRINT_NONE, "/usr/local/bin/lpadmin");
  std::istringstream dirs(getenv("DIRS"));
  for (std::string dir; std::getline(dirs, dir, ':');) {
    settings.installDir = dir;
    removeProductQueues();
    fprintf(out, "%d ", removeProductFiles());
  }
}

// One sandbox, one cupsd. First setup -d: no installation; then three worlds, each
// installed and removed under SELinux (recording stand-ins): /opt/zed a directory with
// two queues of the product (and one of another maker), where an uninstallation answered
// "n" comes first; a link into /usr (the install writes through it); a relocation to
// /srv/zed beside a foreign /usr/bin/zangsfilter; installation directories others could
// take over. Then the removal's parts called as cases, over worlds of their own.
TEST(Uninstallation, LifeCycleThenQueuesWithTheirFilesAndTreesButNothingOfTheSystem) {
  Sandbox box;
  SandboxResult r = box.run(R"SH(
start_cupsd || exit 3
for tool in chcon selinuxenabled semodule; do fake_command /usr/sbin/$tool 0; done
umask 000
sed -e '/Plix version/d' -e s/Orvex/Other/g $SRC/product/ppd-old/Orvex_LaserPro_4200_PS.ppd >/tmp/other.ppd
lpadmin -p Other -E -v file:/dev/null -P /tmp/other.ppd || exit 4
run_setup absent -d
snapshot() { find /usr /srv /opt /etc -xdev -path /etc/cups -prune -o -print | sort; }
for world in opt usr srv; do
  [ $world = usr ] && ln -s /usr /opt/zed
  [ $world = srv ] && mkdir -m 0755 /srv/zed && ln -s /srv/zed /opt/zed && put /usr/bin/zangsfilter 0755 <<<'another package'
  snapshot >/tmp/before
  run_setup $world-install
  if [ $world = opt ]; then
    # What the product's own queue tool does: queues of the older PPDs, recorded in the
    # information file, each with its directory, script and model file; then an empty
    # line and a queue named "..", which the spooler accepts.
    lpadmin -p Office -E -v file:/dev/null -P $SRC/product/ppd-old/Orvex_LaserPro_4200_PS.ppd -o PageSize=Letter
    lpadmin -p Lab -E -v file:/dev/null -P $SRC/product/ppd-old/Orvex_ColorPage_7350_PS.ppd
    lpadmin -p .. -E -v file:/dev/null
    sed -i 's/^Default$/Default\nOffice\nLab\n\n../' /opt/zed/plixInfo4.0
    for q in Office Lab; do put /opt/zed/$q/root/plixConfig <<<config; put /opt/zed/$q.sh <<<script; put /usr/share/cups/model/$q <<<model; done
    snapshot >/tmp/queued
    ANSWERS='n\n' run_setup no -d
    snapshot | diff /tmp/queued - >$OUT/no.changed
  fi
  ANSWERS='ja\n' run_setup $world-remove -d
  snapshot | diff /tmp/before - | grep '^[<>]' | grep -v 'ppd.*/zed' >$OUT/$world.changed
  rm -r /opt/zed
done
stat -c %a /var/log/Plix4.0_UpdateLog >$OUT/logmode
mkdir -m 0777 /srv/open && mkdir -p /srv/theirs && chown 65534 /srv/theirs
run_setup open -u /srv/open
run_setup theirs -u /srv/theirs/zed
mv $OUT/calls.log $OUT/life.calls

# The removal's parts. `info DIR NAME...` writes DIR/plixInfo4.0 with a printers block.
info() { local dir=$1; shift; printf '%s\n' %%ZANBLOCK_PRINTERS_BEGIN "$@" %%ZANBLOCK_PRINTERS_END | put $dir/plixInfo4.0; }
umask 022
set -e
cd /tmp
Q127=$(printf 'q%.0s' {1..127}) Q79=$(printf 'q%.0s' {1..79})
for q in Alpha 'x;touch${IFS}zpwned' .. null sda stdin regular $Q127 $Q79 zkeep znul Beta; do
  lpadmin -p "$q" -E -v file:/dev/null; done
info /opt/zed Alpha Default '' 'x;touch${IFS}zpwned' .. null sda stdin regular Gamma $Q127 \
  "$(printf 'x%.0s' {1..255})zkeep" NUL
sed -i 's|^NUL$|znul\x00/../../etc|' /opt/zed/plixInfo4.0
info /opt/down Beta Slow && info /opt/lpr Lpr && info /opt/lp Solo
put /usr/local/bin/slow 0755 <<<'[ "$1" = -xSlow ] && exec sleep 60; exec /usr/sbin/lpadmin "$@"'
mkdir -p /opt/zed/Alpha/spool/empty /opt/zed/Default
for f in keep zed/Alpha/root/plixConfig zed/Alpha.sh zed/Gamma.sh zed/null/file zed/null.sh lpr/Lpr/file lpr/Lpr.sh \
         lp/Solo/file lp/Solo.sh down/Beta/file down/Beta.sh; do put /opt/$f <<<$f; done
for f in Alpha Gamma Gamma.old/blocker; do put /usr/share/cups/model/$f <<<$f; done
put /usr/spool/lp/model/Solo <<<model
fake_command /usr/local/bin/lpadmin
mknod /dev/sda b 8 0
for f in regular Lpr Solo; do echo plain >/dev/$f; done
T=/srv/t
for f in t/file t/links/a/b/c/file t/links/a/file t/piped/sub/file t/mounted/plain elsewhere/file bound/file; do
  put /srv/$f <<<$f; done
ln -s /srv/elsewhere $T/links/a/to-elsewhere && ln -s /srv/elsewhere/file $T/links/to-file && ln -s /usr/bin $T/bin
ln -s /nowhere $T/links/a/b/dangling && ln -s loop $T/links/a/loop && mkfifo $T/piped/sub/fifo
mkdir -p $T/links/a/empty $T/mounted/tmp $T/mounted/deeper/bind
mount -t tmpfs scratch $T/mounted/tmp && echo mounted >$T/mounted/tmp/file
mount --bind /srv/bound $T/mounted/deeper/bind && mount -t tmpfs queue /opt/zed/Alpha/spool/empty
# An installation whose bin, etc and ppd hold other files too; its manifest names this
# product's files (bin/nc is a name of earlier releases). Another whose bin and etc are
# links into the system.
Z=/opt/inst
info $Z etc bin usr
for f in plix bin/zangsfilter etc/UNINSTALLPLIX bin/setup etc/other bin/nc Alpha.sh; do put $Z/$f <<<$f; done
printf '%s\n' 'bin/setup ./bin' 'bin/zangsfilter ./bin 00755' 'etc/PLIXINST.CONF ./etc' | put $Z/etc/PLIXINST.CONF
put $Z/Default/root/plixConfig <<<config && put $Z/ppd/model.ppd <<<ppd && mkfifo $Z/ppd/pipe
mkdir -p $Z/etc/etc $Z/bin/bin && ln -s / $Z/root-link
put /opt/linked/plixInfo4.0 <<<info && ln -s /usr/bin /opt/linked/bin && ln -s /etc /opt/linked/etc
put /usr/bin/setup <<<'not the product' && put /etc/PLIXINST.CONF <<<'not the product'
set +e
run_case uninstall_tests queues queues
mv $OUT/calls.log $OUT/queues.calls
run_case uninstall_tests trees trees
LC_ALL=C lpstat -p 2>&1 | cut -d' ' -f1-2 | sort >$OUT/queues
kill $(pidof cupsd) && while pidof cupsd >/dev/null; do sleep 0.1; done
run_case uninstall_tests down down
# From "/" a relative "opt/inst" would name the real installation.
# Installation directories that are none: given as -u, or resolving to "/". One of each
# kind: relative (first, while the working directory is "/"), "/" spelt three ways, empty,
# absent, and a directory without the product's marks. Then /opt/inst, and /opt/linked
# whose bin and etc are links into the system.
snapshot >/tmp/before && cd / &&
  run_case uninstall_tests files none QUEUES=/opt/inst DIRS='opt/inst:/:/opt/inst/..:/opt/inst/root-link::/nonexistent:/usr/' 
snapshot | diff /tmp/before - >$OUT/none.changed
ln -sf $Z/bin/zangsfilter /usr/bin/zangsfilter
run_case uninstall_tests files inst DIRS=/opt/inst:/opt/linked
# What is left: every file and every empty directory below the paths named.
find /opt/keep /opt/zed /opt/lpr /opt/lp /opt/down /opt/inst /opt/linked /usr/share/cups/model/[AG]* /usr/spool/lp \
  /srv/t /srv/bound /srv/elsewhere /usr/bin/setup /usr/bin/zangsfilter /etc/PLIXINST.CONF /tmp/zpwned \
  /dev/null /dev/sda /dev/stdin /dev/regular /dev/Lpr /dev/Solo \( -empty -o ! -type d \) 2>/dev/null | sort >$OUT/files
true
)SH");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("absent.status") + r.out("opt-install.status") + r.out("opt-remove.status"), "0\n0\n0\n");
  // No installation: messages 2 and 3.
  const std::string none = "Kein Plix Installation gefunden.\n*** Entschuldigung ***\n";
  EXPECT_EQ(r.out("absent.stderr"), none);
  expectIn(r, "absent.log", none + "Beende Installation");
  // "n" stops the uninstallation and nothing goes (no.changed below; its message is the
  // driver tests').
  // The head entry "Default" and the empty line are passed over, ".." leaves the spooler
  // but no file is looked for (nothing else follows it: the removal's parts below); the
  // other maker's queue stays.
  expectIn(r, "opt-remove.log", "Anzahl der gefundenen Plix-Drucker: 5.\n" + lpadminX("Office") + removed("Office") +
                                    lpadminX("Lab") + removed("Lab") + kDotDot);
  EXPECT_EQ(r.out("opt-remove.stderr"), kDone + "\n");
  // Left: the installation directory itself and the model files moved aside, nothing
  // else, nothing of the system; the PPD directory stays, as always. /usr/bin stays
  // (usr.changed is empty), and so does the foreign filter; no uninstallation loads the policy module.
  // Nothing of the lower layers is deleted, by setup -d nor by the removal's parts below.
  EXPECT_EQ(r.out("opt.changed"), "> /opt/zed\n> /usr/share/cups/model/Lab.old\n> /usr/share/cups/model/Office.old\n");
  EXPECT_EQ(r.out("no.changed") + r.out("usr.changed") + r.out("srv.changed") + r.out("logmode"), "644\n");
  for (const std::string& path : r.listing()) EXPECT_NE(path[0], '-') << "deleted: " << path;
  EXPECT_EQ(r.out("life.calls").find("semodule"), std::string::npos);
  // Each removal is complete: through the link into /usr too, whose bin is shared (the
  // text for a shared directory: /opt/inst below; that /usr/bin stays: usr.changed).
  for (std::string world : {"opt", "usr", "srv"})
    expectIn(r, world + "-remove.log", kDone + "Beende Installation");
  expectIn(r, "srv-remove.log", "L\366sche Datei: '/usr/bin/zangsfilter' - Nicht m\366glich\n'/usr/bin/"
                                "zangsfilter' geh\366rt nicht zu Plix und bleibt erhalten.\n");
  expectIn(r, "srv-install.log", "Verkn\374pfung /usr/bin/zangsfilter mit /opt/zed/bin/zangsfilter nicht hergestellt: "
                                 "'/usr/bin/zangsfilter' ist schon vorhanden und geh\366rt nicht zu Plix.\n");
  // Installation directories that others could take over are refused before anything is made.
  const std::string refused = "existiert nicht oder ist falsch.\nGrund: '";
  expectIn(r, "open.log", refused + "/srv/open' ist f\374r andere Benutzer beschreibbar.\nBeende");
  expectIn(r, "theirs.log", refused + "/srv/theirs' geh\366rt einem anderen Benutzer (uid 65534).\nBeende");
  EXPECT_FALSE(r.changed("/srv/open/bin") || r.changed("/srv/theirs/zed"));

  // The removal's parts.
  // The head entry goes last; "Default" and the empty name are passed over. Gamma is not
  // known to the spooler: the delete is retried once after lpstat, whose complaint
  // reaches standard error like the log lines.
  // Junk lines of the printers block are passed over whole (the logged text cut short);
  // the 127-byte name acts whole, so the other maker's 79-byte queue stays, as does Other
  // (made before the life cycle).
  const std::string q127(127, 'q'), junk = " im Druckerblock ist kein g\374ltiger Druckername und wird \374bergangen.\n";
  std::string expected = "Zeile '" + std::string(127, 'x') + "...'" + junk + "Zeile 'znul...'" + junk +
                         lpadminX("'x;touch${IFS}zpwned'") + removed("x;touch${IFS}zpwned") + kDotDot;
  for (const char* name : {"null", "sda", "stdin", "regular"})
    expected += lpadminX(name) + removed(name);
  expected += lpadminX("Gamma") + lpstatP("Gamma") + lpadminX("Gamma") + kRunning + removed("Gamma") + lpadminX(q127) +
              removed(q127) + lpadminX("Alpha") + "L\366sche Verzeichnis: '/opt/zed/Alpha' - Nicht m\366glich\n" +
              removed("Alpha") + removed("Lpr") + ran("/usr/local/bin/lpadmin -xSolo 2>/dev/null") + removed("Solo");
  EXPECT_EQ(r.out("queues.log"), expected);
  // One queue is left: Alpha's directory, with a mount in it. Scheduler down: two left, no
  // directory of the product's removed.
  EXPECT_EQ(r.out("queues.status") + r.out("trees.status") + r.out("queues.calls") + r.out("trees.log") +
                r.out("queues.out") + r.out("down.out"),
            "0\n0\n/usr/local/bin/lpadmin -xSolo\n1\n2 0\n");
  EXPECT_EQ(r.out("queues"), "printer Beta\nprinter Other\nprinter " + std::string(79, 'q') +
                                 "\nprinter zkeep\nprinter znul\n");
  // Scheduler down (Beta) or silent (Slow): files and records stay, each call ends in time.
  auto kept = [](std::string q) { return "Der Plix-Drucker '" + q + "' wurde vom Drucksystem nicht gel\366scht; "
                                         "seine Dateien bleiben erhalten.\n"; };
  auto x = [](std::string q) { return ran("/usr/local/bin/slow -x" + q + " 2>/dev/null"); };
  const std::string late = "Zeit\374berschreitung nach 15 s: /usr/local/bin/slow -xSlow 2>/dev/null\n";
  // The queues' lines first; the product's files then all stay with the record (/opt/down in
  // the listing below; down.out).
  const std::string down = x("Slow") + late + lpstatP("Slow") + x("Slow") + late + kept("Slow") + x("Beta") +
                           lpstatP("Beta") + x("Beta") + kRunning + kept("Beta");
  EXPECT_EQ(r.out("down.log").substr(0, down.size()), down);
  // A tree is removed whole only when nothing in it stays: pipes and mounted files do.
  EXPECT_EQ(r.out("trees.out"), "/srv/t/links/ 0\n/srv/t/piped -1\n/srv/t/mounted -1\n/srv/t/mounted/tmp -1\n/srv/t/bin 0\n"
                                "/srv/t/missing -1\n/srv/t/file -1\n -1\n/ -1\n// -1\n/opt/.. -1\n/srv/t/. -1\ndeep 1 0\n");
  // Directories that are no installation: the queues go, no file does.
  expected = "";
  for (const char* dir : {"opt/inst", "/", "/opt/inst/..", "/opt/inst/root-link", "", "/nonexistent", "/usr/"}) {
    for (const char* name : {"bin", "usr", "etc"})
      expected += ran(std::string("/usr/local/bin/lpadmin -x") + name + " 2>/dev/null") + removed(name);
    expected += "Das Installationsverzeichnis\n\t'" + std::string(dir) + "'\nexistiert nicht oder ist falsch.\n";
  }
  EXPECT_EQ(r.out("none.out") + r.out("none.log") + r.out("none.changed"), "0 0 0 0 0 0 0 " + expected);
  // bin, etc and ppd of /opt/inst hold other files: only this product's files leave them,
  // and they stay (bin last), not counted as left behind; nothing goes through the links
  // of /opt/linked.
  EXPECT_EQ(r.out("inst.out"), "0 0 ");
  expectIn(r, "inst.log", "Das Verzeichnis '/opt/inst/bin' enth\344lt Dateien, die nicht zu Plix geh\366ren, und bleibt "
                          "erhalten.\nL\366sche Datei: '/opt/linked/plix' - Nicht m\366glich\n");
  // Queue directories and scripts go (Gamma's script stays without its directory), nothing
  // above /opt/zed; model files are moved aside or, when that fails, deleted. Only regular
  // files named after a queue leave /dev, and not for LPRng. The files of the system named
  // like the product's stay (those of the lower layers: see the listing above).
  EXPECT_EQ(r.out("files"),
            "/dev/Lpr\n/dev/null\n/dev/sda\n/dev/stdin\n/etc/PLIXINST.CONF\n/opt/down/Beta.sh\n/opt/down/Beta/file\n"
            "/opt/down/plixInfo4.0\n/opt/inst/Alpha.sh\n/opt/inst/bin/bin\n/opt/inst/bin/nc\n/opt/inst/etc/etc\n"
            "/opt/inst/etc/other\n/opt/inst/ppd/model.ppd\n/opt/inst/ppd/pipe\n/opt/inst/root-link\n/opt/keep\n/opt/linked\n"
            "/opt/lp/plixInfo4.0\n/opt/lpr/plixInfo4.0\n/opt/zed/Alpha/spool/empty\n/opt/zed/Default\n/opt/zed/Gamma.sh\n"
            "/opt/zed/plixInfo4.0\n/srv/bound/file\n/srv/elsewhere/file\n/srv/t/file\n/srv/t/mounted/deeper/bind/file\n"
            "/srv/t/mounted/tmp/file\n/srv/t/piped/sub/fifo\n/usr/bin/setup\n/usr/share/cups/model/Alpha.old\n"
            "/usr/share/cups/model/Gamma.old/blocker\n/usr/spool/lp/model/Solo.old\n");
}

}  // namespace
