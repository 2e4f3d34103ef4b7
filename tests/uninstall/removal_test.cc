// Queue and file removal, run against real files, a real /dev and a real cupsd inside
// the sandbox. Each case prepares the world in a sandbox script, then starts this very
// test program again inside it (PLIX_IN_SANDBOX set) to make the removal calls there;
// the removal's log lines go to the inner program's standard error ($OUT/log).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "driver/text.h"
#include "probe/command_locator.h"
#include "sandbox/sandbox.h"
#include "uninstall/removal.h"
#include "upgrade/printer_list.h"

namespace {

bool inSandbox() { return getenv("PLIX_IN_SANDBOX") != nullptr; }

// Script lines that run the current test inside the sandbox, from /tmp.
std::string innerRun() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return formatText(
      "(cd /tmp && PLIX_IN_SANDBOX=1 \"$BUILD/tests/uninstall_tests\" --gtest_filter=%s.%s "
      ">$OUT/inner 2>$OUT/log)\necho $? >$OUT/inner.status\n",
      info->test_suite_name(), info->name());
}

// Runs `prepare`, the inner test, then `inspect` in one sandbox; fails the test when the
// sandbox cannot be built or the inner test failed.
SandboxResult runInSandbox(Sandbox& box, const std::string& prepare, const std::string& inspect) {
  SandboxResult r = box.run("set -e\n" + prepare + "\nset +e\n" + innerRun() + inspect + "\ntrue\n");
  EXPECT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("inner.status"), "0\n") << r.out("inner") << r.out("log");
  return r;
}

// Fills the printer list as the information file's printers block would: the first
// name in the head entry, the others after it.
void setQueues(const std::vector<std::string>& names) {
  PListEntry* head = &settings.printerList;
  resetPList(head);
  for (size_t i = 0; i < names.size(); ++i) {
    PListEntry* entry = i == 0 ? head : new PListEntry;
    entry->queueName = names[i];
    entry->index = static_cast<int>(i);
    if (i > 0) addPList(head, entry);
  }
}

std::string ran(const std::string& command) { return "F\374hre Befehl aus:\n\t" + command + "\n"; }
std::string removed(const std::string& name) { return "L\366sche den Plix-Drucker: " + name + ".\n"; }
std::string passedOver(const std::string& name) {
  return "Die Dateien des Plix-Druckers '" + name +
         "' werden \374bersprungen: der Name ist kein g\374ltiger Dateiname.\n";
}
std::string lpadminX(const std::string& word) {
  return ran("/usr/sbin/lpadmin -x" + word + " 2>/dev/null");
}
std::string badDir(const std::string& dir) {
  return "Das Installationsverzeichnis\n\t'" + dir + "'\nexistiert nicht oder ist falsch.\n";
}
std::string fileLine(const std::string& path, bool ok) {
  return "L\366sche Datei: '" + path + "' - " + (ok ? "OK" : "Nicht m\366glich") + "\n";
}
std::string dirLine(const std::string& path, bool ok) {
  return "L\366sche Verzeichnis: '" + path + "' - " + (ok ? "OK" : "Nicht m\366glich") + "\n";
}

TEST(QueueNames, OnlyOnePlainPathComponentIsAFileName) {
  for (const char* name : {"Alpha", "null", "x;touch${IFS}zpwned", "...", ".hidden", "a b", "-x"})
    EXPECT_TRUE(queueNameIsFileName(name)) << name;
  for (const char* name : {"", ".", "..", "a/b", "/", "../etc", "etc/"})
    EXPECT_FALSE(queueNameIsFileName(name)) << name;
  EXPECT_FALSE(queueNameIsFileName(std::string("a\0b", 3)));
}

TEST(QueueRemoval, RemovesProductQueuesAndTheirFilesButNothingOfTheSystem) {
  if (inSandbox()) {
    settings.installDir = "/opt/zed";
    settings.printSystem = PRINT_CUPS;
    settings.cupsDataDir = "/usr/share/cups";
    commands.lpadmin = "/usr/sbin/lpadmin";
    commands.lpstat = "/usr/bin/lpstat";
    setQueues({"Alpha", "Default", "", "x;touch${IFS}zpwned", "..", "null", "sda", "ttyS0",
               "cdrom", "stdin", "fd", "regular", "Gamma"});
    removeProductQueues();
    return;
  }
  Sandbox box;
  SandboxResult r = runInSandbox(box, R"(
start_cupsd
for q in Alpha 'x;touch${IFS}zpwned' .. null sda ttyS0 cdrom stdin fd regular Other; do
  lpadmin -p "$q" -E -v file:/dev/null
done
put /opt/zed/plixInfo4.0 <<<'USRDIR          /opt/zed'
put /opt/zed/Alpha/root/plixConfig <<<config
mkdir -p /opt/zed/Alpha/spool/empty /opt/zed/Default
put /opt/zed/Alpha.sh <<<'#!/bin/sh'
put /opt/zed/Gamma.sh <<<'#!/bin/sh'
put /opt/zed/null/file <<<file
put /opt/zed/null.sh <<<'#!/bin/sh'
put /opt/keep <<<keep
put /usr/share/cups/model/Alpha <<<alpha
put /usr/share/cups/model/Gamma <<<gamma
put /usr/share/cups/model/Gamma.old/blocker <<<blocker
mknod /dev/sda b 8 0
mknod /dev/ttyS0 c 4 64
ln -s sr0 /dev/cdrom
echo plain >/dev/regular
)",
                                 R"(
LC_ALL=C lpstat -p 2>&1 | cut -d' ' -f1-2 >$OUT/queues
for f in null sda ttyS0 cdrom stdin fd regular; do
  if [ -e /dev/$f ] || [ -L /dev/$f ]; then stat -c '%n %F' /dev/$f; else echo "/dev/$f gone"; fi
done >$OUT/dev
find /opt/keep /opt/zed /usr/share/cups/model | sort >$OUT/files
ls -A /tmp / /opt/zed | grep -c zpwned >$OUT/pwned
)");
  std::string expected =
      lpadminX("'x;touch${IFS}zpwned'") + removed("x;touch${IFS}zpwned") + lpadminX("..") + passedOver("..") + removed("..");
  for (const char* name : {"null", "sda", "ttyS0", "cdrom", "stdin", "fd", "regular"})
    expected += lpadminX(name) + removed(name);
  // Gamma is not known to the spooler: the delete is retried once after lpstat (whose
  // complaint reaches standard error, here the same stream as the log lines).
  expected += lpadminX("Gamma") + ran("/usr/bin/lpstat -pGamma -l > /dev/null") +
              "/usr/bin/lpstat: Invalid destination name in list \"Gamma\".\n" +
              lpadminX("Gamma") + removed("Gamma");
  expected += lpadminX("Alpha") + removed("Alpha");
  EXPECT_EQ(r.out("log"), expected);

  EXPECT_EQ(r.out("queues"), "printer Other\n");
  EXPECT_EQ(r.out("pwned"), "0\n");
  EXPECT_EQ(r.out("dev"),
            "/dev/null character special file\n"
            "/dev/sda block special file\n"
            "/dev/ttyS0 character special file\n"
            "/dev/cdrom symbolic link\n"
            "/dev/stdin symbolic link\n"
            "/dev/fd symbolic link\n"
            "/dev/regular gone\n");
  // The queue directories and scripts are gone, Gamma's script stays without its
  // directory, nothing above /opt/zed is touched, the model files are moved aside or,
  // when that fails, deleted.
  EXPECT_EQ(r.out("files"),
            "/opt/keep\n"
            "/opt/zed\n"
            "/opt/zed/Default\n"
            "/opt/zed/Gamma.sh\n"
            "/opt/zed/plixInfo4.0\n"
            "/usr/share/cups/model\n"
            "/usr/share/cups/model/Alpha.old\n"
            "/usr/share/cups/model/Gamma.old\n"
            "/usr/share/cups/model/Gamma.old/blocker\n");
}

TEST(QueueRemoval, OtherSpoolersKeepTheirQueuesAndOneListedQueueIsRemoved) {
  if (inSandbox()) {
    settings.installDir = "/opt/zed";
    commands.lpadmin = "/usr/local/bin/lpadmin";
    // LPRng: no spooler command, no device or model file, but the queue files go.
    settings.printSystem = PRINT_LPRNG;
    setQueues({"Alpha", "Beta"});
    removeProductQueues();
    // LP with a single queue, which lives in the head of the list.
    settings.printSystem = PRINT_LP;
    setQueues({"Solo"});
    removeProductQueues();
    // An empty printers block removes nothing.
    setQueues({});
    removeProductQueues();
    return;
  }
  Sandbox box;
  SandboxResult r = runInSandbox(box, R"(
fake_command /usr/local/bin/lpadmin
put /opt/zed/plixInfo4.0 <<<'USRDIR          /opt/zed'
for q in Alpha Beta Solo; do
  put /opt/zed/$q/root/plixConfig <<<config
  put /opt/zed/$q.sh <<<'#!/bin/sh'
  echo plain >/dev/$q
done
put /usr/spool/lp/model/Solo <<<model
)",
                                 R"(
find /opt/zed /usr/spool/lp /dev/Alpha /dev/Beta /dev/Solo 2>/dev/null | sort >$OUT/files
)");
  EXPECT_EQ(r.out("log"), removed("Beta") + removed("Alpha") +
                              ran("/usr/local/bin/lpadmin -xSolo 2>/dev/null") + removed("Solo"));
  EXPECT_EQ(r.out("calls.log"), "/usr/local/bin/lpadmin -xSolo\n");
  EXPECT_EQ(r.out("files"),
            "/dev/Alpha\n"
            "/dev/Beta\n"
            "/opt/zed\n"
            "/opt/zed/plixInfo4.0\n"
            "/usr/spool/lp\n"
            "/usr/spool/lp/model\n"
            "/usr/spool/lp/model/Solo.old\n");
}

// Makes a chain of `depth` directories below `top` through directory descriptors.
bool makeDeepTree(const std::string& top, int depth) {
  if (mkdir(top.c_str(), 0755) != 0) return false;
  int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < depth && fd >= 0; ++i) {
    if (mkdirat(fd, "dd", 0755) != 0) return false;
    int next = openat(fd, "dd", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  int file = openat(fd, "bottom", O_WRONLY | O_CREAT, 0644);
  close(file);
  close(fd);
  return file >= 0;
}

TEST(RemoveTree, NeverFollowsLinksNorEntersMountsAndReachesAnyDepth) {
  if (inSandbox()) {
    EXPECT_EQ(removeTree("/opt/zed/links/"), 0);
    EXPECT_EQ(removeTree("/opt/zed/piped"), -1);
    EXPECT_EQ(removeTree("/opt/zed/mounted"), -1);
    EXPECT_EQ(removeTree("/opt/zed/mounted/tmp"), -1);  // a mount point at the top
    EXPECT_EQ(removeTree("/opt/zed/bin"), 0);           // a link to /usr/bin at the top
    EXPECT_EQ(removeTree("/opt/zed/missing"), -1);
    EXPECT_EQ(removeTree("/opt/zed/plixInfo4.0"), -1);  // not a directory
    for (const char* refused : {"", "/", "//", "/opt/..", "/opt/zed/."})
      EXPECT_EQ(removeTree(refused), -1) << refused;
    ASSERT_TRUE(makeDeepTree("/tmp/deep", 2000));
    EXPECT_EQ(removeTree("/tmp/deep"), 0);
    struct stat st;
    EXPECT_NE(lstat("/tmp/deep", &st), 0);
    return;
  }
  Sandbox box;
  SandboxResult r = runInSandbox(box, R"(
put /opt/zed/plixInfo4.0 <<<'USRDIR          /opt/zed'
put /srv/elsewhere/file <<<elsewhere
put /srv/bound/file <<<bound
L=/opt/zed/links
put $L/a/b/c/file <<<c
put $L/a/file <<<a
ln -s /srv/elsewhere $L/a/to-elsewhere
ln -s /srv/elsewhere/file $L/to-file
ln -s /nowhere $L/a/b/dangling
ln -s loop $L/a/loop
mkdir -p $L/a/empty
put /opt/zed/piped/sub/file <<<file
mkfifo /opt/zed/piped/sub/fifo
M=/opt/zed/mounted
put $M/plain <<<plain
mkdir -p $M/tmp $M/deeper/bind
mount -t tmpfs scratch $M/tmp
echo mounted >$M/tmp/file
mount --bind /srv/bound $M/deeper/bind
ln -s /usr/bin /opt/zed/bin
)",
                                 R"(
find /opt/zed /srv | sort >$OUT/files
[ -x /usr/bin/ls ] && echo kept >$OUT/usrbin
)");
  EXPECT_EQ(r.out("files"),
            "/opt/zed\n"
            "/opt/zed/mounted\n"
            "/opt/zed/mounted/deeper\n"
            "/opt/zed/mounted/deeper/bind\n"
            "/opt/zed/mounted/deeper/bind/file\n"
            "/opt/zed/mounted/tmp\n"
            "/opt/zed/mounted/tmp/file\n"
            "/opt/zed/piped\n"
            "/opt/zed/piped/sub\n"
            "/opt/zed/piped/sub/fifo\n"
            "/opt/zed/plixInfo4.0\n"
            "/srv\n"
            "/srv/bound\n"
            "/srv/bound/file\n"
            "/srv/elsewhere\n"
            "/srv/elsewhere/file\n");
  EXPECT_EQ(r.out("usrbin"), "kept\n");
  EXPECT_EQ(r.out("log"), "");
}

TEST(ProductFiles, RemovedLineByLineWithoutFollowingLinksOutOfTheProduct) {
  if (inSandbox()) {
    settings.installDir = "/opt/zed";
    removeProductFiles();
    // An installation whose bin and etc are links into the system.
    settings.installDir = "/srv/linked";
    removeProductFiles();
    return;
  }
  Sandbox box;
  // Made in a first run and kept, so the removal works on files of a lower layer (and
  // the deletions show in the upper layer).
  SandboxResult prep = box.run(R"(
set -e
Z=/opt/zed
for f in plix plixInfo4.0 bin/zangsfilter etc/UNINSTALLPLIX bin/setup etc/PLIXINST.CONF; do
  put $Z/$f <<<$f
done
ln -s $Z/bin/zangsfilter /usr/bin/zangsfilter
put $Z/Default/root/plixConfig <<<config
put $Z/ppd/model.ppd <<<ppd
mkfifo $Z/ppd/pipe
put $Z/etc/other <<<other
put $Z/Alpha.sh <<<script
put /srv/linked/plixInfo4.0 <<<info
ln -s /usr/bin /srv/linked/bin
ln -s /etc /srv/linked/etc
put /usr/bin/setup <<<'not the product'
put /etc/PLIXINST.CONF <<<'not the product'
)");
  ASSERT_EQ(prep.status, 0) << prep.error;
  box.keep(prep);
  SandboxResult r = runInSandbox(box, "", R"(
find /opt/zed /srv/linked | sort >$OUT/files
cat /usr/bin/setup /etc/PLIXINST.CONF >$OUT/system
[ -e /usr/bin/nc ] && [ -d /etc/cups ] && echo kept >>$OUT/system
)");
  std::string first;
  for (const char* name : {"plix", "plixInfo4.0", "bin/zangsfilter"})
    first += fileLine(std::string("/opt/zed/") + name, true);
  first += fileLine("/usr/bin/zangsfilter", true) + fileLine("/opt/zed/etc/UNINSTALLPLIX", true) +
           fileLine("/opt/zed/bin/setup", true) + fileLine("/opt/zed/etc/plix4.0.png", false) +
           fileLine("/opt/zed/PLIXINST.CONF", false) +
           fileLine("/opt/zed/etc/PLIXINST.CONF", true) + fileLine("/opt/zed/bin/nc", false) +
           dirLine("/opt/zed/Default", true) + dirLine("/opt/zed/ppd", false) +
           dirLine("/opt/zed/etc", true) + dirLine("/opt/zed/bin", true);
  std::string second;
  for (const char* name : {"plix", "plixInfo4.0", "bin/zangsfilter"})
    second += fileLine(std::string("/srv/linked/") + name, std::string(name) == "plixInfo4.0");
  second += fileLine("/usr/bin/zangsfilter", false);
  for (const char* name : {"etc/UNINSTALLPLIX", "bin/setup", "etc/plix4.0.png", "PLIXINST.CONF",
                           "etc/PLIXINST.CONF", "bin/nc"})
    second += fileLine(std::string("/srv/linked/") + name, false);
  second += dirLine("/srv/linked/Default", false) + dirLine("/srv/linked/ppd", false) +
            dirLine("/srv/linked/etc", true) + dirLine("/srv/linked/bin", true);
  EXPECT_EQ(r.out("log"), first + second);
  EXPECT_EQ(r.out("files"),
            "/opt/zed\n"
            "/opt/zed/Alpha.sh\n"
            "/opt/zed/ppd\n"
            "/opt/zed/ppd/pipe\n"
            "/srv/linked\n");
  EXPECT_EQ(r.out("system"), "not the product\nnot the product\nkept\n");
  EXPECT_TRUE(r.deleted("/opt/zed/etc"));
  EXPECT_TRUE(r.deleted("/usr/bin/zangsfilter"));
  EXPECT_FALSE(r.changed("/usr/bin/setup"));
  EXPECT_FALSE(r.changed("/etc/PLIXINST.CONF"));
}

TEST(ProductFiles, InstallDirThatIsNoInstallationLosesNothing) {
  if (inSandbox()) {
    settings.printSystem = PRINT_NONE;
    commands.lpadmin = "/usr/local/bin/lpadmin";
    for (const char* dir : {"/", "//", "/opt/..", "/opt/zed/..", "/usr", "/usr/", "", "opt/zed",
                            "/nonexistent", "/opt/zed/root-link"}) {
      settings.installDir = dir;
      setQueues({"etc", "bin", "usr"});
      removeProductQueues();
      removeProductFiles();
    }
    return;
  }
  Sandbox box;
  // The real installation and a fake lpadmin are made in a first run and kept, so that
  // the upper layer of the second run shows everything the removal changed.
  SandboxResult prep = box.run(R"(
fake_command /usr/local/bin/lpadmin
put /opt/zed/plixInfo4.0 <<<'USRDIR          /opt/zed'
put /opt/zed/etc/PLIXINST.CONF <<<manifest
put /opt/zed/bin/setup <<<setup
mkdir -p /opt/zed/etc/etc /opt/zed/bin/bin
ln -s / /opt/zed/root-link
)");
  ASSERT_EQ(prep.status, 0) << prep.error;
  box.keep(prep);
  SandboxResult r = runInSandbox(box, "", "");
  std::string expected;
  for (const char* dir : {"/", "//", "/opt/..", "/opt/zed/..", "/usr", "/usr/", "", "opt/zed",
                          "/nonexistent", "/opt/zed/root-link"}) {
    for (const char* name : {"bin", "usr", "etc"})
      expected += ran(std::string("/usr/local/bin/lpadmin -x") + name + " 2>/dev/null") +
                  removed(name);
    expected += badDir(dir);
  }
  EXPECT_EQ(r.out("log"), expected);
  EXPECT_EQ(r.listing(), std::vector<std::string>{});
}

}  // namespace
