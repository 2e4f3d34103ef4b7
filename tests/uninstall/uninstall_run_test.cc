// setup -d end to end in the sandbox with a real cupsd: no installation, the answers
// that stop it, installation directories given with -u that are no installation, and
// the uninstallation of a prepared installation; then the whole life cycle of the
// sample product (install, upgrade, uninstall).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

namespace {

std::string ran(const std::string& command) { return "F\374hre Befehl aus:\n\t" + command + "\n"; }
std::string removed(const std::string& name) { return "L\366sche den Plix-Drucker: " + name + ".\n"; }
std::string lpadminX(const std::string& word) {
  return ran("/usr/sbin/lpadmin -x" + word + " 2>/dev/null");
}
std::string found(int count) {
  return "Anzahl der gefundenen Plix-Drucker: " + std::to_string(count) + ".\n";
}
std::string fileLine(const std::string& path, bool ok) {
  return "L\366sche Datei: '" + path + "' - " + (ok ? "OK" : "Nicht m\366glich") + "\n";
}
std::string dirLine(const std::string& path, bool ok) {
  return "L\366sche Verzeichnis: '" + path + "' - " + (ok ? "OK" : "Nicht m\366glich") + "\n";
}
const char* const kDone = "Plix 3.0 ist vom System gel\366scht worden.\n";
const char* const kStopped = "Program durch Benutzer gestopt.\n";

// The uninstallation's part of a log: from the number of queues found (or, for a run
// that stops, from the line after the PPD survey) up to the closing line.
std::string tail(const std::string& log, const std::string& from) {
  size_t start = log.find(from);
  size_t end = log.find("Beende Installation");
  if (start == std::string::npos || end == std::string::npos || end < start) return log;
  return log.substr(start, end - start);
}

// An installation of the product in /opt/zed with the queues Alpha, Beta and "..",
// plus files that are not the product's.
const char* const kInstallation = R"(
put /opt/zed/plixInfo4.0 <<'INFO'
#
# Plix 4.0 Information File
#
%%ZANBLOCK_GENERAL_BEGIN
USRDIR          /opt/zed
HOMEDIR         $HOME
TMPDIR          /tmp
%%ZANBLOCK_GENERAL_END
#
#
%%ZANBLOCK_PRINTERS_BEGIN
Alpha
Default

Beta
..
%%ZANBLOCK_PRINTERS_END
%%ZANEND
INFO
for f in plix bin/zangsfilter bin/setup etc/UNINSTALLPLIX etc/PLIXINST.CONF etc/plix4.0.png; do
  put /opt/zed/$f 0755 <<<$f
done
ln -s /opt/zed/bin/zangsfilter /usr/bin/zangsfilter
put /opt/zed/Default/root/plixConfig <<<config
put /opt/zed/ppd/Orvex.ppd <<<ppd
for q in Alpha Beta; do
  put /opt/zed/$q/root/plixConfig <<<config
  put /opt/zed/$q.sh 0755 <<<'#!/bin/sh'
done
put /opt/zed/notes.txt <<<'not the product'
put /opt/keep <<<keep
for q in Alpha Beta .. Other; do lpadmin -p "$q" -E -v file:/dev/null; done
)";

TEST(UninstallRun, RemovesOnlyWhatTheAnswerAndTheInstallationDirectoryAllow) {
  Sandbox box;
  SandboxResult r = box.run(std::string("set -e\nstart_cupsd\nset +e\nrun_setup none -d\n") +
                            "set -e\n" + kInstallation + R"SH(
set +e
find /opt/zed /usr/bin/zangsfilter | sort >$OUT/before
ANSWERS='n\n' run_setup no -d
ANSWERS='\n' run_setup empty -d
for dir in / // /opt/.. /opt/zed/.. /usr; do
  ANSWERS='ja\n' run_setup "guard$(echo $dir | tr / _)" -d -u $dir
done
find /opt/zed /usr/bin/zangsfilter | sort >$OUT/guarded
ANSWERS='ja\n' run_setup yes -d
LC_ALL=C lpstat -p 2>&1 | cut -d' ' -f1-2 >$OUT/queues
find /opt/keep /opt/zed /usr/bin/zangsfilter 2>/dev/null | sort >$OUT/after
true
)SH");
  ASSERT_EQ(r.status, 0) << r.error;

  // No installation: messages 2 and 3.
  EXPECT_EQ(r.out("none.status"), "0\n");
  EXPECT_EQ(r.out("none.stderr"), "Kein Plix Installation gefunden.\n*** Entschuldigung ***\n");
  EXPECT_NE(r.out("none.log").find("Kein Plix Installation gefunden.\n*** Entschuldigung ***\n"
                                   "Beende Installation"),
            std::string::npos)
      << r.out("none.log");

  // "n" and an empty answer stop the run before anything is removed.
  for (const char* run : {"no", "empty"}) {
    EXPECT_EQ(r.out(std::string(run) + ".status"), "0\n");
    EXPECT_NE(r.out(std::string(run) + ".stderr").find(kStopped), std::string::npos) << run;
    std::string log = r.out(std::string(run) + ".log");
    EXPECT_EQ(log.find("Anzahl der gefundenen"), std::string::npos) << run;
    EXPECT_NE(log.find(std::string(kStopped) + "Beende Installation"), std::string::npos)
        << run << "\n" << log;
  }

  // -u with a directory that is no installation: its information file is not there, so
  // no queue is named, and nothing below it is removed.
  for (const char* dir : {"/", "//", "/opt/..", "/opt/zed/..", "/usr"}) {
    std::string name = "guard" + std::string(dir);
    for (char& c : name)
      if (c == '/') c = '_';
    EXPECT_EQ(tail(r.out(name + ".log"), "Anzahl"),
              found(0) + "Das Installationsverzeichnis\n\t'" + dir +
                  "'\nexistiert nicht oder ist falsch.\n" + kDone)
        << dir;
  }
  EXPECT_EQ(r.out("guarded"), r.out("before"));
  for (const std::string& path : r.listing()) {
    EXPECT_NE(path[0], '-') << "deleted: " << path;  // nothing of the system is deleted
    for (const char* system : {"/bin/", "/sbin/", "/lib/", "/usr/lib/", "/usr/sbin/"})
      EXPECT_NE(path.rfind(system, 0), 0u) << path;
  }

  // The real uninstallation: the queue listed first goes last, "Default" and the empty
  // line are passed over, ".." is removed from the spooler but no file is looked for.
  std::string expected =
      found(5) + lpadminX("Beta") + removed("Beta") + lpadminX("..") +
      "Die Dateien des Plix-Druckers '..' werden \374bersprungen: der Name ist kein "
      "g\374ltiger Dateiname.\n" +
      removed("..") + lpadminX("Alpha") + removed("Alpha") +
      fileLine("/opt/zed/plix", true) + fileLine("/opt/zed/plixInfo4.0", true) +
      fileLine("/opt/zed/bin/zangsfilter", true) + fileLine("/usr/bin/zangsfilter", true) +
      fileLine("/opt/zed/etc/UNINSTALLPLIX", true) + fileLine("/opt/zed/bin/setup", true) +
      fileLine("/opt/zed/etc/plix4.0.png", true) + fileLine("/opt/zed/PLIXINST.CONF", false) +
      fileLine("/opt/zed/etc/PLIXINST.CONF", true) + fileLine("/opt/zed/bin/nc", false) +
      dirLine("/opt/zed/Default", true) + dirLine("/opt/zed/ppd", true) +
      dirLine("/opt/zed/etc", true) + dirLine("/opt/zed/bin", true) + kDone;
  EXPECT_EQ(tail(r.out("yes.log"), "Anzahl"), expected);
  EXPECT_EQ(r.out("yes.stderr"), std::string(kDone) + "\n");
  EXPECT_EQ(r.out("queues"), "printer Other\n");
  EXPECT_EQ(r.out("after"), "/opt/keep\n/opt/zed\n/opt/zed/notes.txt\n");
}

// A queue of another maker, which the whole life cycle must leave alone.
const char* const kOtherQueue = R"SH(
put /tmp/other.ppd <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "OTHER.PPD"
*Manufacturer: "Other"
*Product: "(Other Writer)"
*ModelName: "Other Writer 10"
*ShortNickName: "Other Writer 10"
*NickName: "Other Writer 10"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageRegion Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 18 577 824"
*ImageableArea Letter/Letter: "18 18 594 774"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/Letter: "612 792"
*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
PPD
lpadmin -p Other -E -v file:/dev/null -P /tmp/other.ppd
)SH";

TEST(LifeCycle, InstallUpgradeUninstallLeavesOnlyWhatIsNotTheProducts) {
  Sandbox box;
  SandboxResult r = box.run(std::string("set -e\nstart_cupsd\n") + kOtherQueue + R"SH(
set +e
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
ANSWERS='ja\n' run_setup uninstall -d
LC_ALL=C lpstat -p 2>&1 | cut -d' ' -f1-2 >$OUT/queues
true
)SH");
  ASSERT_EQ(r.status, 0) << r.error;
  for (const char* run : {"install", "upgrade", "uninstall"})
    EXPECT_EQ(r.out(std::string(run) + ".status"), "0\n") << run;

  EXPECT_EQ(r.out("queues"), "printer Other\n");
  std::string expected = found(3) + lpadminX("Office") + removed("Office") + lpadminX("Lab") +
                         removed("Lab");
  for (const char* name : {"plix", "plixInfo4.0", "bin/zangsfilter"})
    expected += fileLine(std::string("/opt/zed/") + name, std::string(name) != "plix");
  expected += fileLine("/usr/bin/zangsfilter", true) + fileLine("/opt/zed/etc/UNINSTALLPLIX", true) +
              fileLine("/opt/zed/bin/setup", true) + fileLine("/opt/zed/etc/plix4.0.png", true) +
              fileLine("/opt/zed/PLIXINST.CONF", false) +
              fileLine("/opt/zed/etc/PLIXINST.CONF", true) + fileLine("/opt/zed/bin/nc", false) +
              dirLine("/opt/zed/Default", false) + dirLine("/opt/zed/ppd", false) +
              dirLine("/opt/zed/etc", true) + dirLine("/opt/zed/bin", true) + kDone;
  EXPECT_EQ(tail(r.out("uninstall.log"), "Anzahl"), expected);

  // Left on disk: the installation directory itself, the model files moved aside, the
  // saved queue PPDs and the log; nothing else below /opt or in /usr/bin.
  std::vector<std::string> opt, usrBin, model;
  bool savedOffice = false, savedLab = false, log = false;
  for (const std::string& path : r.listing()) {
    if (path.rfind("/opt/", 0) == 0) opt.push_back(path);
    if (path.rfind("/usr/bin/", 0) == 0) usrBin.push_back(path);
    if (path.rfind("/usr/share/cups/model/", 0) == 0) model.push_back(path);
    if (path.rfind("/etc/cups/", 0) == 0 && path.find("Office.ppd.rpmsave") != std::string::npos)
      savedOffice = true;
    if (path.rfind("/etc/cups/", 0) == 0 && path.find("Lab.ppd.rpmsave") != std::string::npos)
      savedLab = true;
    if (path == "/var/log/Plix4.0_UpdateLog") log = true;
  }
  EXPECT_EQ(opt, (std::vector<std::string>{"/opt/", "/opt/zed/"}));
  EXPECT_EQ(usrBin, (std::vector<std::string>{"/usr/bin/"}));
  EXPECT_EQ(model, (std::vector<std::string>{"/usr/share/cups/model/", "/usr/share/cups/model/Lab.old",
                                             "/usr/share/cups/model/Office.old"}));
  EXPECT_TRUE(savedOffice);
  EXPECT_TRUE(savedLab);
  EXPECT_TRUE(log);
}

}  // namespace
