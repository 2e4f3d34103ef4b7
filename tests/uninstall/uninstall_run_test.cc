// setup -d end to end in the sandbox with a real cupsd, along the whole life cycle of the
// sample product: no installation yet, install, product queues recorded and upgraded,
// the answers that stop the uninstallation, -u directories that are no installation,
// and the uninstallation itself.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

// Expected texts, defined in removal_test.cc.
std::string removed(const std::string& name);
std::string lpadminX(const std::string& word);
std::string passedOver(const std::string& name);
std::string fixedLines(const std::string& dir, const std::string& ok);

namespace {

const char* const kDone = "Plix 3.0 ist vom System gel\366scht worden.\n";
const char* const kStopped = "Program durch Benutzer gestopt.\n";
const auto npos = std::string::npos;

std::string found(int count) {
  return "Anzahl der gefundenen Plix-Drucker: " + std::to_string(count) + ".\n";
}

// The uninstallation's part of a log: from the number of queues found to the closing line.
std::string tail(const std::string& log) {
  size_t start = log.find("Anzahl"), end = log.find("Beende Installation");
  if (start == npos || end == npos || end < start) return log;
  return log.substr(start, end - start);
}

TEST(LifeCycle, InstallUpgradeUninstallRemovesOnlyWhatTheAnswerAndDirectoryAllow) {
  Sandbox box;
  SandboxResult r = box.run(R"SH(
set -e
start_cupsd
# A queue of another maker, which the whole life cycle leaves alone.
sed -e '/Plix version/d' -e s/Orvex/Other/g $SRC/product/ppd-old/Orvex_LaserPro_4200_PS.ppd \
  >/tmp/other.ppd
lpadmin -p Other -E -v file:/dev/null -P /tmp/other.ppd
set +e
run_setup none -d
run_setup install
# What the product's own queue tool does: two queues of the older PPDs, recorded in the
# information file, each with its directory, script and model file.
lpadmin -p Office -E -v file:/dev/null -P $SRC/product/ppd-old/Orvex_LaserPro_4200_PS.ppd
lpadmin -p Office -o PageSize=Letter
lpadmin -p Lab -E -v file:/dev/null -P $SRC/product/ppd-old/Orvex_ColorPage_7350_PS.ppd
sed -i 's/^Default$/Default\nOffice\nLab/' /opt/zed/plixInfo4.0
for q in Office Lab; do
  put /opt/zed/$q/root/plixConfig <<<'%%PLIX_VERSION_1.0'
  put /opt/zed/$q.sh 0755 <<<'#!/bin/sh'
  put /usr/share/cups/model/$q <<<model
done
run_setup upgrade
# Then an empty line and a queue named "..", which the spooler accepts.
sed -i 's/^Lab$/Lab\n\n../' /opt/zed/plixInfo4.0
lpadmin -p .. -E -v file:/dev/null
snapshot() { find /opt /usr /etc -xdev -path /etc/cups -prune -o -print | sort; }
snapshot >/tmp/before
ANSWERS='n\n' run_setup no -d
ANSWERS='\n' run_setup empty -d
for dir in / // /opt/.. /opt/zed/.. /usr; do
  ANSWERS='ja\n' run_setup "guard$(echo $dir | tr / _)" -d -u $dir
done
snapshot | diff /tmp/before - >$OUT/changed
ANSWERS='ja\n' run_setup uninstall -d
LC_ALL=C lpstat -p 2>&1 | cut -d' ' -f1-2 >$OUT/queues
true
)SH");
  ASSERT_EQ(r.status, 0) << r.error;
  for (std::string run : {"none", "install", "upgrade", "no", "empty", "uninstall"})
    EXPECT_EQ(r.out(run + ".status"), "0\n") << run << r.out(run + ".stderr");

  // No installation: messages 2 and 3.
  const std::string none = "Kein Plix Installation gefunden.\n*** Entschuldigung ***\n";
  EXPECT_EQ(r.out("none.stderr"), none);
  EXPECT_NE(r.out("none.log").find(none + "Beende Installation"), npos) << r.out("none.log");

  // "n" and an empty answer stop the run before any queue is looked for; -u with a
  // directory that is no installation names no queue; nothing is removed by either.
  for (std::string run : {"no", "empty"}) {
    std::string log = r.out(run + ".log");
    EXPECT_NE(r.out(run + ".stderr").find(kStopped), npos) << run;
    EXPECT_EQ(log.find("Anzahl der gefundenen"), npos) << run;
    EXPECT_NE(log.find(std::string(kStopped) + "Beende Installation"), npos) << run << "\n" << log;
  }
  for (std::string dir : {"/", "//", "/opt/..", "/opt/zed/..", "/usr"}) {
    std::string name = "guard" + dir;
    std::replace(name.begin(), name.end(), '/', '_');
    EXPECT_EQ(tail(r.out(name + ".log")),
              found(0) + "Das Installationsverzeichnis\n\t'" + dir +
                  "'\nexistiert nicht oder ist falsch.\n" + kDone);
  }
  EXPECT_EQ(r.out("changed"), "");

  // The uninstallation: the head entry "Default" and the empty line are passed over, ".."
  // leaves the spooler but no file is looked for; the other maker's queue stays.
  EXPECT_EQ(tail(r.out("uninstall.log")),
            found(5) + lpadminX("Office") + removed("Office") + lpadminX("Lab") + removed("Lab") +
                lpadminX("..") + passedOver("..") + removed("..") +
                fixedLines("/opt/zed", "-++++++-+---++") + kDone);
  EXPECT_EQ(r.out("uninstall.stderr"), std::string(kDone) + "\n");
  EXPECT_EQ(r.out("queues"), "printer Other\n");

  // Left on disk: the installation directory itself, the model files moved aside, the
  // saved queue PPDs, the other maker's PPD and the log; nothing else below /opt or in
  // /usr/bin, and nothing of the system deleted.
  std::vector<std::string> left;
  for (const std::string& path : r.listing()) {
    EXPECT_NE(path[0], '-') << "deleted: " << path;
    for (const char* prefix : {"/opt/", "/usr/bin/", "/usr/share/cups/model/", "/etc/cups/ppd/",
                               "/etc/cups/Lab.ppd.rpmsave", "/etc/cups/Office.ppd.rpmsave",
                               "/var/log/Plix"})
      if (path.rfind(prefix, 0) == 0) left.push_back(path);
  }
  EXPECT_EQ(left, (std::vector<std::string>{
                      "/etc/cups/Lab.ppd.rpmsave", "/etc/cups/Office.ppd.rpmsave", "/etc/cups/ppd/",
                      "/etc/cups/ppd/Other.ppd", "/opt/", "/opt/zed/", "/usr/bin/",
                      "/usr/share/cups/model/",
                      "/usr/share/cups/model/Lab.old", "/usr/share/cups/model/Office.old",
                      "/var/log/Plix4.0_CarryOver", "/var/log/Plix4.0_UpdateLog"}));
}

}  // namespace

namespace {

// Installation directories that are links: into /usr (the install writes through it)
// and a relocation to /srv/zed. Each world is installed and removed; between them a
// foreign /usr/bin/zangsfilter, and installation directories others could take over.
TEST(LinkedInstallation, UninstallRemovesOnlyWhatTheProductPutThere) {
  Sandbox box;
  SandboxResult r = box.run(R"SH(
start_cupsd || exit 1
snapshot() { find /usr /srv /opt /etc -xdev -path /etc/cups -prune -o -print | sort; }
umask 000
for world in usr srv; do
  target=/usr; [ $world = srv ] && { mkdir -m 0755 /srv/zed; target=/srv/zed; }
  [ $world = srv ] && put /usr/bin/zangsfilter 0755 <<<'another package'
  ln -s $target /opt/zed
  snapshot >/tmp/before
  run_setup $world-install
  ANSWERS='ja\n' run_setup $world-remove -d
  snapshot | diff /tmp/before - | grep '^[<>]' | grep -v 'ppd.*/zed' >$OUT/$world.changed
  rm /opt/zed
done
stat -c %a /var/log/Plix4.0_UpdateLog >$OUT/logmode
mkdir -m 0777 /srv/open && mkdir -p /srv/theirs && chown 65534 /srv/theirs
run_setup open -u /srv/open
run_setup theirs -u /srv/theirs/zed
true
)SH");
  ASSERT_EQ(r.status, 0) << r.error;
  // Nothing of the system goes, everything the product made goes (its PPD directory
  // stays, as always); /usr/bin stays with one line, and so does the foreign filter.
  EXPECT_EQ(r.out("usr.changed") + r.out("srv.changed"), "");
  EXPECT_EQ(r.out("logmode"), "644\n");
  const std::string shared = "L\366sche Verzeichnis: '/opt/zed/bin' - Nicht m\366glich\nDas Verzeichnis "
                             "'/opt/zed/bin' enth\344lt Dateien, die nicht zu Plix geh\366ren, und bleibt erhalten.\n";
  EXPECT_NE(r.out("usr-remove.log").find(shared + kDone), npos) << r.out("usr-remove.log");
  std::string srv = fixedLines("/opt/zed", "-++-+++-+---++");
  srv.insert(srv.find("/usr/bin/zangsfilter' - Nicht m\366glich\n") + 38,
             "'/usr/bin/zangsfilter' geh\366rt nicht zu Plix und bleibt erhalten.\n");
  EXPECT_EQ(tail(r.out("srv-remove.log")), found(1) + srv + kDone);
  EXPECT_NE(r.out("srv-install.log").find("Verkn\374pfung /usr/bin/zangsfilter mit /opt/zed/bin/zangsfilter nicht "
                                          "hergestellt: '/usr/bin/zangsfilter' ist schon vorhanden und geh\366rt "
                                          "nicht zu Plix.\n"), npos);
  // Installation directories that others could take over are refused before anything is made.
  for (std::string run : {"open:/srv/open' ist f\374r andere Benutzer beschreibbar",
                          "theirs:/srv/theirs' geh\366rt einem anderen Benutzer (uid 65534)"}) {
    std::string name = run.substr(0, run.find(':')), why = run.substr(run.find(':') + 1);
    EXPECT_NE(r.out(name + ".log").find("existiert nicht oder ist falsch.\nGrund: '" + why + ".\nBeende"), npos)
        << r.out(name + ".log");
  }
  EXPECT_FALSE(r.changed("/srv/open/bin") || r.changed("/srv/theirs/zed"));
}

}  // namespace
