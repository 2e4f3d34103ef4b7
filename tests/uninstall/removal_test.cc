// Queue, file and tree removal, called inside the sandbox (sandbox_case.h) against real
// files, a real /dev, real mounts and a real cupsd. The expected-text helpers before the
// namespace are shared with uninstall_run_test.cc.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "base/command_locator.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"
#include "uninstall/removal.h"
#include "upgrade/printer_list.h"
#include "upgrade/printer_scan.h"

std::string ran(const std::string& command) { return "F\374hre Befehl aus:\n\t" + command + "\n"; }
std::string removed(const std::string& name) { return "L\366sche den Plix-Drucker: " + name + ".\n"; }
std::string lpadminX(const std::string& word) {
  return ran("/usr/sbin/lpadmin -x" + word + " 2>/dev/null");
}
std::string passedOver(const std::string& name) {
  return "Die Dateien des Plix-Druckers '" + name +
         "' werden \374bersprungen: der Name ist kein g\374ltiger Dateiname.\n";
}

// The lines of removeProductFiles for the installation `dir`: `ok` holds one mark per
// fixed file and directory in their order, '+' for "OK", '-' for "Nicht möglich".
std::string fixedLines(const std::string& dir, const std::string& ok) {
  const char* const paths[] = {"plix", "plixInfo4.0", "bin/zangsfilter", "/usr/bin/zangsfilter",
                               "etc/UNINSTALLPLIX", "bin/setup", "etc/plix4.0.png", "PLIXINST.CONF",
                               "etc/PLIXINST.CONF", "bin/nc", "Default", "ppd", "etc", "bin"};
  std::string text;
  for (size_t i = 0; i < ok.size(); ++i) {
    text += i < 10 ? "L\366sche Datei: '" : "L\366sche Verzeichnis: '";
    text += (paths[i][0] == '/' ? "" : dir + "/") + paths[i];
    text += ok[i] == '+' ? "' - OK\n" : "' - Nicht m\366glich\n";
  }
  return text;
}

namespace {

// Takes the queues from the printers block of the information file in `dir`, which
// becomes the installation directory.
void readQueues(const char* dir) {
  settings.installDir = dir;
  readInfoPrinters(0, &printerList);
}

// Script lines: `info DIR NAME...` writes DIR/plixInfo4.0 with a printers block.
const char* const kInfo = R"SH(
info() {
  local dir=$1
  shift
  printf '%s\n' '%%ZANBLOCK_PRINTERS_BEGIN' "$@" '%%ZANBLOCK_PRINTERS_END' | put $dir/plixInfo4.0
}
)SH";

SANDBOX_CASE(queues) {
  settings.printSystem = PRINT_CUPS;
  settings.cupsDataDir = "/usr/share/cups";
  commands.lpadmin = "/usr/sbin/lpadmin";
  commands.lpstat = "/usr/bin/lpstat";
  readQueues("/opt/zed");
  fprintf(out, "%d\n", removeProductQueues());
  commands.lpadmin = "/usr/local/bin/lpadmin";
  settings.printSystem = PRINT_LPRNG;  // no spooler command, device or model file; files go
  readQueues("/opt/lpr");
  removeProductQueues();
  settings.printSystem = PRINT_LP;  // a single queue, in the head entry
  readQueues("/opt/lp");
  removeProductQueues();
}

// With the scheduler down, and with a silent one (Slow), no queue's removal is confirmed.
SANDBOX_CASE(down) {
  settings.printSystem = PRINT_CUPS;
  commands.lpadmin = "/usr/local/bin/slow";
  commands.lpstat = "/usr/bin/lpstat";
  readQueues("/opt/down");
  int left = removeProductQueues();
  fprintf(out, "%d %d\n", left, removeProductFiles(left));
}

SANDBOX_CASE(trees) {
  for (const char* path : {"/srv/t/links/", "/srv/t/piped", "/srv/t/mounted", "/srv/t/mounted/tmp",
                           "/srv/t/bin", "/srv/t/missing", "/srv/t/file", "", "/", "//", "/opt/..",
                           "/srv/t/."})
    fprintf(out, "%s %d\n", path, removeTree(path));
  // A tree deeper than a path can name, made by stepping down into it.
  bool made = mkdir("/srv/t/deep", 0755) == 0 && chdir("/srv/t/deep") == 0;
  for (int i = 0; i < 2000 && made; ++i) made = mkdir("dd", 0755) == 0 && chdir("dd") == 0;
  fprintf(out, "deep %d %d\n", made && chdir("/") == 0, removeTree("/srv/t/deep"));
}

TEST(Removal, QueuesWithTheirFilesAndTreesButNothingOfTheSystem) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kInfo) + R"SH(
set -e
cd /tmp
start_cupsd
Q127=$(printf 'q%.0s' {1..127}) Q79=$(printf 'q%.0s' {1..79})
for q in Alpha 'x;touch${IFS}zpwned' .. null sda ttyS0 cdrom stdin fd regular Other $Q127 $Q79 \
         zkeep znul Beta; do
  lpadmin -p "$q" -E -v file:/dev/null
done
info /opt/zed Alpha Default '' 'x;touch${IFS}zpwned' .. null sda ttyS0 cdrom stdin fd regular Gamma \
  $Q127 "$(printf 'x%.0s' {1..255})zkeep" NUL
sed -i 's|^NUL$|znul\x00/../../etc|' /opt/zed/plixInfo4.0
info /opt/down Beta Slow
put /opt/down/Beta/file <<<file
put /opt/down/Beta.sh <<<script
put /usr/local/bin/slow 0755 <<<'[ "$1" = -xSlow ] && exec sleep 60; exec /usr/sbin/lpadmin "$@"'
info /opt/lpr Lpr
info /opt/lp Solo
put /opt/keep <<<keep
mkdir -p /opt/zed/Alpha/spool/empty /opt/zed/Default
for f in zed/Alpha/root/plixConfig zed/Alpha.sh zed/Gamma.sh zed/null/file zed/null.sh \
         lpr/Lpr/file lpr/Lpr.sh lp/Solo/file lp/Solo.sh; do
  put /opt/$f <<<$f
done
put /usr/share/cups/model/Alpha <<<alpha
put /usr/share/cups/model/Gamma <<<gamma
put /usr/share/cups/model/Gamma.old/blocker <<<blocker
put /usr/spool/lp/model/Solo <<<model
fake_command /usr/local/bin/lpadmin
mknod /dev/sda b 8 0
mknod /dev/ttyS0 c 4 64
ln -s sr0 /dev/cdrom
for f in regular Lpr Solo; do echo plain >/dev/$f; done
T=/srv/t
for f in t/file t/links/a/b/c/file t/links/a/file t/piped/sub/file t/mounted/plain \
         elsewhere/file bound/file; do
  put /srv/$f <<<$f
done
ln -s /srv/elsewhere $T/links/a/to-elsewhere
ln -s /srv/elsewhere/file $T/links/to-file
ln -s /nowhere $T/links/a/b/dangling
ln -s loop $T/links/a/loop
mkdir -p $T/links/a/empty $T/mounted/tmp $T/mounted/deeper/bind
mkfifo $T/piped/sub/fifo
mount -t tmpfs scratch $T/mounted/tmp
echo mounted >$T/mounted/tmp/file
mount --bind /srv/bound $T/mounted/deeper/bind
mount -t tmpfs queue /opt/zed/Alpha/spool/empty
ln -s /usr/bin $T/bin
set +e
run_case uninstall_tests queues queues
run_case uninstall_tests trees trees
LC_ALL=C lpstat -p 2>&1 | cut -d' ' -f1-2 | sort >$OUT/queues
kill $(pidof cupsd) && while pidof cupsd >/dev/null; do sleep 0.1; done
run_case uninstall_tests down down
find /opt/down | sort >$OUT/down.files
for f in null sda ttyS0 cdrom stdin fd regular Lpr Solo; do
  if [ -e /dev/$f ] || [ -L /dev/$f ]; then stat -c '%n %F' /dev/$f; else echo "/dev/$f gone"; fi
done >$OUT/dev
find /opt/keep /opt/zed /opt/lpr /opt/lp /usr/share/cups/model /usr/spool/lp /srv /usr/bin/ls \
  /tmp/zpwned 2>/dev/null | sort >$OUT/files
true
)SH");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("queues.status") + r.out("trees.status"), "0\n0\n");

  // The head entry goes last; "Default" and the empty name are passed over. Gamma is not
  // known to the spooler: the delete is retried once after lpstat, whose complaint
  // reaches standard error like the log lines.
  // Junk lines of the printers block are passed over whole (the logged text cut short);
  // the 127-byte name acts whole, so the other maker's 79-byte queue stays.
  const std::string q127(127, 'q'), junk = " im Druckerblock ist kein g\374ltiger Druckername und wird \374bergangen.\n";
  std::string expected = "Zeile '" + std::string(127, 'x') + "...'" + junk + "Zeile 'znul...'" + junk +
                         lpadminX("'x;touch${IFS}zpwned'") + removed("x;touch${IFS}zpwned") +
                         lpadminX("..") + passedOver("..") + removed("..");
  for (const char* name : {"null", "sda", "ttyS0", "cdrom", "stdin", "fd", "regular"})
    expected += lpadminX(name) + removed(name);
  expected += lpadminX("Gamma") + ran("/usr/bin/lpstat -pGamma -l > /dev/null") +
              "/usr/bin/lpstat: Invalid destination name in list \"Gamma\".\n" + lpadminX("Gamma") +
              ran("LC_ALL=C /usr/bin/lpstat -r 2>/dev/null | grep -q 'scheduler is running'") +
              removed("Gamma") + lpadminX(q127) + removed(q127) + lpadminX("Alpha") +
              "L\366sche Verzeichnis: '/opt/zed/Alpha' - Nicht m\366glich\n" + removed("Alpha") + removed("Lpr") +
              ran("/usr/local/bin/lpadmin -xSolo 2>/dev/null") + removed("Solo");
  EXPECT_EQ(r.out("queues.log"), expected);
  EXPECT_EQ(r.out("calls.log"), "/usr/local/bin/lpadmin -xSolo\n");
  EXPECT_EQ(r.out("trees.log"), "");
  EXPECT_EQ(r.out("queues.out"), "1\n");  // Alpha's directory, with a mount in it
  EXPECT_EQ(r.out("queues"), "printer Beta\nprinter Other\nprinter " + std::string(79, 'q') +
                                 "\nprinter zkeep\nprinter znul\n");
  // Scheduler down (Beta) or silent (Slow): files and records stay, each call ends in time.
  auto lpstatP = [](const std::string& q) {
    return ran("/usr/bin/lpstat -p" + q + " -l > /dev/null") +
           "/usr/bin/lpstat: Invalid destination name in list \"" + q + "\".\n";
  };
  auto kept = [](const std::string& q) {
    return "Der Plix-Drucker '" + q + "' wurde vom Drucksystem nicht gel\366scht; seine Dateien bleiben erhalten.\n";
  };
  const std::string slow = ran("/usr/local/bin/slow -xSlow 2>/dev/null"),
                    late = "Zeit\374berschreitung nach 15 s: /usr/local/bin/slow -xSlow 2>/dev/null\n",
                    beta = ran("/usr/local/bin/slow -xBeta 2>/dev/null");
  EXPECT_EQ(r.out("down.log"),
            slow + late + lpstatP("Slow") + slow + late + kept("Slow") + beta + lpstatP("Beta") + beta +
                ran("LC_ALL=C /usr/bin/lpstat -r 2>/dev/null | grep -q 'scheduler is running'") +
                kept("Beta") + fixedLines("/opt/down", std::string(14, '-')));
  EXPECT_EQ(r.out("down.out"), "2 0\n");
  EXPECT_EQ(r.out("down.files"),
            "/opt/down\n/opt/down/Beta\n/opt/down/Beta.sh\n/opt/down/Beta/file\n/opt/down/plixInfo4.0\n");
  // Only regular files named after a queue leave /dev, and not for LPRng.
  EXPECT_EQ(r.out("dev"),
            "/dev/null character special file\n/dev/sda block special file\n"
            "/dev/ttyS0 character special file\n/dev/cdrom symbolic link\n"
            "/dev/stdin symbolic link\n/dev/fd symbolic link\n/dev/regular gone\n"
            "/dev/Lpr regular file\n/dev/Solo gone\n");
  // A tree is removed whole only when nothing in it stays: pipes and mounted files do.
  EXPECT_EQ(r.out("trees.out"),
            "/srv/t/links/ 0\n/srv/t/piped -1\n/srv/t/mounted -1\n/srv/t/mounted/tmp -1\n"
            "/srv/t/bin 0\n/srv/t/missing -1\n/srv/t/file -1\n -1\n/ -1\n// -1\n/opt/.. -1\n"
            "/srv/t/. -1\ndeep 1 0\n");
  // Queue directories and scripts go (Gamma's script stays without its directory), nothing
  // above /opt/zed; model files are moved aside or, when that fails, deleted.
  EXPECT_EQ(r.out("files"),
            "/opt/keep\n/opt/lp\n/opt/lp/plixInfo4.0\n/opt/lpr\n/opt/lpr/plixInfo4.0\n/opt/zed\n"
            "/opt/zed/Alpha\n/opt/zed/Alpha/spool\n/opt/zed/Alpha/spool/empty\n/opt/zed/Default\n/opt/zed/Gamma.sh\n/opt/zed/plixInfo4.0\n"
            "/srv\n/srv/bound\n/srv/bound/file\n/srv/elsewhere\n/srv/elsewhere/file\n/srv/t\n/srv/t/file\n"
            "/srv/t/mounted\n/srv/t/mounted/deeper\n/srv/t/mounted/deeper/bind\n"
            "/srv/t/mounted/deeper/bind/file\n/srv/t/mounted/tmp\n/srv/t/mounted/tmp/file\n"
            "/srv/t/piped\n/srv/t/piped/sub\n/srv/t/piped/sub/fifo\n/usr/bin/ls\n"
            "/usr/share/cups/model\n/usr/share/cups/model/Alpha.old\n/usr/share/cups/model/Gamma.old\n"
            "/usr/share/cups/model/Gamma.old/blocker\n"
            "/usr/spool/lp\n/usr/spool/lp/model\n/usr/spool/lp/model/Solo.old\n");
}

// Installation directories that are none: given as -u, or resolving to "/".
// The relative one comes first, while the working directory is "/".
const char* const kNotInstallations[] = {"opt/zed", "/",  "//", "/opt/..", "/opt/zed/..", "/usr",
                                         "/usr/",   "",   "/nonexistent",   "/opt/zed/root-link"};

SANDBOX_CASE(not_installations) {
  settings.printSystem = PRINT_NONE;
  commands.lpadmin = "/usr/local/bin/lpadmin";
  readQueues("/opt/zed");
  for (const char* dir : kNotInstallations) {
    settings.installDir = dir;
    removeProductQueues();
    removeProductFiles();
  }
  (void)out;
}

SANDBOX_CASE(product_files) {
  // The second installation's bin and etc are links into the system.
  for (const char* dir : {"/opt/zed", "/srv/linked"}) {
    settings.installDir = dir;
    removeProductFiles();
  }
  (void)out;
}

TEST(ProductFiles, RemovedLineByLineOnlyFromAnInstallationAndNeverThroughLinks) {
  Sandbox box;
  // Kept as a lower layer: the removal works on files installed before, and the upper
  // layer of each run shows exactly what it changed.
  SandboxResult prep = box.run(std::string(kInfo) + R"SH(
set -e
fake_command /usr/local/bin/lpadmin
Z=/opt/zed
info $Z etc bin usr
for f in plix bin/zangsfilter etc/UNINSTALLPLIX bin/setup etc/other bin/nc Alpha.sh; do
  put $Z/$f <<<$f
done
# The installed manifest names this product's files; bin/nc is a name of earlier releases.
printf '%s\n' 'bin/setup ./bin' 'bin/zangsfilter ./bin 00755' 'etc/PLIXINST.CONF ./etc' | put $Z/etc/PLIXINST.CONF
ln -s $Z/bin/zangsfilter /usr/bin/zangsfilter
put $Z/Default/root/plixConfig <<<config
put $Z/ppd/model.ppd <<<ppd
mkfifo $Z/ppd/pipe
mkdir -p $Z/etc/etc $Z/bin/bin
ln -s / $Z/root-link
put /srv/linked/plixInfo4.0 <<<info
ln -s /usr/bin /srv/linked/bin
ln -s /etc /srv/linked/etc
put /usr/bin/setup <<<'not the product'
put /etc/PLIXINST.CONF <<<'not the product'
)SH");
  ASSERT_EQ(prep.status, 0) << prep.error;
  box.keep(prep);

  // From "/" a relative "opt/zed" would name the real installation.
  SandboxResult none = box.run("cd /\nrun_case uninstall_tests not_installations none\n");
  ASSERT_EQ(none.status, 0) << none.error;
  std::string expected;
  for (const char* dir : kNotInstallations) {
    for (const char* name : {"bin", "usr", "etc"})
      expected += ran(std::string("/usr/local/bin/lpadmin -x") + name + " 2>/dev/null") +
                  removed(name);
    expected += "Das Installationsverzeichnis\n\t'" + std::string(dir) +
                "'\nexistiert nicht oder ist falsch.\n";
  }
  EXPECT_EQ(none.out("none.log"), expected);
  EXPECT_EQ(none.listing(), std::vector<std::string>{});

  SandboxResult r = box.run(R"SH(
run_case uninstall_tests product_files files
find /opt/zed /srv/linked /usr/bin/zangsfilter 2>/dev/null | sort >$OUT/files
cat /usr/bin/setup /etc/PLIXINST.CONF >$OUT/system
[ -e /usr/bin/nc ] && [ -d /etc/cups ] && echo kept >>$OUT/system
)SH");
  ASSERT_EQ(r.status, 0) << r.error;
  // bin, etc and ppd hold other files: only this product's files leave them, and they stay.
  std::string keptDirs;
  for (const char* dir : {"ppd", "etc", "bin"})
    keptDirs += "L\366sche Verzeichnis: '/opt/zed/" + std::string(dir) + "' - Nicht m\366glich\nDas Verzeichnis '/opt/zed/" +
                dir + "' enth\344lt Dateien, die nicht zu Plix geh\366ren, und bleibt erhalten.\n";
  EXPECT_EQ(r.out("files.log"), fixedLines("/opt/zed", "++++++--+-+") + keptDirs +
                                    fixedLines("/srv/linked", "-+----------++"));
  EXPECT_EQ(r.out("files"),
            "/opt/zed\n/opt/zed/Alpha.sh\n/opt/zed/bin\n/opt/zed/bin/bin\n/opt/zed/bin/nc\n/opt/zed/etc\n"
            "/opt/zed/etc/etc\n/opt/zed/etc/other\n/opt/zed/ppd\n/opt/zed/ppd/model.ppd\n/opt/zed/ppd/pipe\n"
            "/opt/zed/root-link\n/srv/linked\n");
  EXPECT_EQ(r.out("system"), "not the product\nnot the product\nkept\n");
}

TEST(QueueNames, OnlyOnePlainPathComponentIsAFileName) {
  for (const char* name : {"Alpha", "null", "x;touch${IFS}zpwned", "...", ".hidden", "a b", "-x"})
    EXPECT_TRUE(queueNameIsFileName(name)) << name;
  for (const char* name : {"", ".", "..", "a/b", "/", "../etc", "etc/"})
    EXPECT_FALSE(queueNameIsFileName(name)) << name;
  EXPECT_FALSE(queueNameIsFileName(std::string("a\0b", 3)));
}

}  // namespace
