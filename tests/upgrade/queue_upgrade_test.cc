// Upgrading real CUPS queues in the sandbox: a real cupsd, queues made with lpadmin from
// the product's older PPDs, and either the whole setup run or the scan and upgrade
// steps alone (this test program re-run inside the sandbox with PLIX_UPGRADE_CHILD set).
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "driver/update_log.h"
#include "sandbox/sandbox.h"
#include "upgrade/model_table.h"
#include "upgrade/printer_scan.h"
#include "upgrade/queue_upgrade.h"

namespace {

// Inside the sandbox: the scan (PLIX_UPGRADE_CHILD=scan) or the scan and the queue
// upgrade (=run), as the install branch calls them, with the Update log at $CHILD_LOG.
// PPDDIR, CUPSBASE and STEPWISE give the settings the probes would have found.
class ChildRun : public testing::Environment {
 public:
  void SetUp() override {
    const char* mode = getenv("PLIX_UPGRADE_CHILD");
    if (mode == nullptr) return;
    auto env = [](const char* name) { return std::string(getenv(name) ? getenv(name) : ""); };
    settings.ppdInstallDir = env("PPDDIR");
    settings.cupsBaseDir = env("CUPSBASE");
    settings.stepwise = atoi(env("STEPWISE").c_str());
    settings.logPath = env("CHILD_LOG");
    initPList(&settings.printerList);
    openUpdateLog(0);
    int count = 0;
    scanInstalledPrinters(&settings.printerList, &count);
    if (std::string(mode) == "run" && count > 0)
      upgradeQueues(settings.ppdInstallDir, &settings.printerList, count, settings.stepwise);
    closeUpdateLog();
    fflush(nullptr);
    _exit(0);
  }
};
testing::Environment* const childRun = testing::AddGlobalTestEnvironment(new ChildRun);

// Shell helpers for the scripts: the older PPDs, new PPDs made from them, queues.
const char kPrelude[] = R"SH(
OLD=$SRC/product/ppd-old
# newppd OLDNAME PATH: a new-generation PPD of that model (marker 1, new content).
newppd() {
  mkdir -p "$(dirname "$2")"
  sed -e 's/^\*FileVersion: "2.0"/*FileVersion: "4.0"/' -e 's/Plix 2.0/Plix 4.0/' \
    -e 's/^\*DefaultDuplex: None/*DefaultDuplex: None extra words/' "$OLD/$1" >"$2"
}
queue() { lpadmin -p "$1" -E -v file:/dev/null -P "$OLD/$2" 2>/dev/null || echo "lpadmin $1 failed" >&2; }
# child NAME MODE: the scan or the upgrade in this test program, its log in $OUT/NAME.log.
child() {
  PLIX_UPGRADE_CHILD=$2 CHILD_LOG=$OUT/$1.log $BUILD/tests/upgrade_tests \
    >$OUT/$1.stdout 2>$OUT/$1.stderr
  echo $? >$OUT/$1.status
}
fake_command /usr/bin/systemctl 0
)SH";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

// The log lines of one queue's upgrade: from the line of equal signs before
// "Drucker = Q mit PPD=PATH" up to the next line of equal signs or the closing line.
std::vector<std::string> queueSection(const std::string& log, const std::string& queue,
                                      const std::string& ppd) {
  std::vector<std::string> all = lines(log);
  std::vector<std::string> section;
  for (size_t i = 1; i < all.size(); ++i) {
    if (all[i] != "Drucker = " + queue + " mit PPD=" + ppd) continue;
    section.push_back(all[i - 1]);
    for (size_t j = i; j < all.size() && all[j] != std::string(58, '=') &&
                       all[j].rfind("Beende Installation", 0) != 0 &&
                       all[j].rfind("CUPS restart", 0) != 0 && !all[j].empty();
         ++j)
      section.push_back(std::regex_replace(all[j], std::regex("/tmp/(zanot|zanin)[A-Za-z0-9]{6}"),
                                           "/tmp/$1XXXXXX"));
    break;
  }
  return section;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Names left in /tmp by the run (its own working files would show here).
const char kTmpListing[] = "ls -A /tmp >$OUT/tmp.after\n";

int modelId(const char* model) { return modelTable[findModelRow(model)].id; }

const std::string kEquals(58, '=');

TEST(QueueUpgrade, StepByStepAnswersNoAllAndBreakOverThreeQueues) {
  Sandbox box;
  SandboxResult prep = box.run(std::string(kPrelude) + R"(
start_cupsd || exit 3
for q in q1 q2 q3; do queue $q Orvex_LaserPro_4200_PS.ppd; done
newppd Orvex_LaserPro_4200_PS.ppd /usr/share/ppd/zed/new42.ppd
)");
  ASSERT_EQ(prep.status, 0) << prep.error << prep.out("");
  box.keep(prep);

  // no for the first, all for the second: the third is not asked about.
  SandboxResult r = box.run(std::string(kPrelude) + R"(
for q in q1 q2 q3; do cp /etc/cups/ppd/$q.ppd $OUT/$q.before; done
printf 'n\na\n' | PPDDIR=/usr/share/ppd/zed STEPWISE=1 child ask run
)" + kTmpListing);
  ASSERT_EQ(r.status, 0) << r.error;
  std::vector<std::string> asked;
  std::regex question("M\366chten Sie Drucker: (q[123]) upgraden\\? ");
  std::string stdout_ = r.out("ask.stdout");
  for (std::sregex_iterator it(stdout_.begin(), stdout_.end(), question), end; it != end; ++it)
    asked.push_back((*it)[1]);
  ASSERT_EQ(asked.size(), 2u) << stdout_;
  std::string first = asked[0], second = asked[1];
  std::string third = "q1";
  for (const char* q : {"q1", "q2", "q3"})
    if (q != first && q != second) third = q;
  EXPECT_FALSE(r.changed("/etc/cups/ppd/" + first + ".ppd"));
  EXPECT_FALSE(r.changed("/etc/cups/" + first + ".ppd.rpmsave"));
  for (const std::string& q : {second, third}) {
    std::string ppd = r.upperFile("/etc/cups/ppd/" + q + ".ppd");
    EXPECT_TRUE(has(ppd, "*FileVersion: \"4.0\"")) << q;
    EXPECT_EQ(r.upperFile("/etc/cups/" + q + ".ppd.rpmsave"), r.out(q + ".before")) << q;
  }
  std::string log = r.out("ask.log");
  EXPECT_FALSE(has(log, "Drucker = " + first + " mit"));
  EXPECT_EQ(r.out("tmp.after"), "");

  // yes for the first, break at the second: nothing after it is touched.
  SandboxResult b = box.run(std::string(kPrelude) + R"(
printf 'j\nb\n' | PPDDIR=/usr/share/ppd/zed STEPWISE=1 child brk run
)" + kTmpListing);
  ASSERT_EQ(b.status, 0) << b.error;
  std::string out = b.out("brk.stdout");
  std::vector<std::string> askedB;
  for (std::sregex_iterator it(out.begin(), out.end(), question), end; it != end; ++it)
    askedB.push_back((*it)[1]);
  ASSERT_EQ(askedB.size(), 2u) << out;
  EXPECT_TRUE(b.changed("/etc/cups/ppd/" + askedB[0] + ".ppd"));
  for (const char* q : {"q1", "q2", "q3"}) {
    if (q == askedB[0]) continue;
    EXPECT_FALSE(b.changed(std::string("/etc/cups/ppd/") + q + ".ppd")) << q;
    EXPECT_FALSE(b.changed(std::string("/etc/cups/") + q + ".ppd.rpmsave")) << q;
  }
  // A break ends the run without the restart of this step.
  EXPECT_EQ(b.out("calls.log"), "");
  EXPECT_EQ(b.out("tmp.after"), "");
}

TEST(QueueUpgrade, CompressedOnlyMissingNewPpdFallbackDirectoryAndConfigurationFiles) {
  Sandbox box;
  SandboxResult prep = box.run(std::string(kPrelude) + R"(
start_cupsd || exit 3
queue gzq Orvex_OfficeLine_2600_PXL.ppd
queue nonew Orvex_LaserPro_4200_PCL.ppd
queue fallback Orvex_ColorPage_7350_PS.ppd
queue noconf Orvex_LaserPro_4200_PS.ppd
newppd Orvex_OfficeLine_2600_PXL.ppd /usr/share/ppd/zed/office2600.ppd && gzip /usr/share/ppd/zed/office2600.ppd
newppd Orvex_ColorPage_7350_PS.ppd /opt/zed/ppd/color7350.ppd
newppd Orvex_LaserPro_4200_PS.ppd /usr/share/ppd/zed/laser42.ppd
ln -s /nowhere/gone.ppd /usr/share/ppd/zed/dangling.ppd
gzip -dc /usr/share/ppd/zed/office2600.ppd.gz >$OUT/office2600.new
for q in gzq nonew fallback noconf; do cp /etc/cups/ppd/$q.ppd $OUT/$q.before; done
printf 'a\n%%%%PLIX_VERSION_1.0 and more\nb\n' | put /opt/zed/gzq/root/plixConfig
printf 'a\n%%%%PLIX_VERSION_2.0\n' | put /opt/zed/nonew/root/plixConfig
printf 'x\n' | put /opt/zed/fallback/root/plixConfig
)");
  ASSERT_EQ(prep.status, 0) << prep.error;
  box.keep(prep);
  SandboxResult r = box.run(std::string(kPrelude) + "PPDDIR=/usr/share/ppd/zed child cases run\n" +
                            kTmpListing);
  ASSERT_EQ(r.status, 0) << r.error;
  auto before = [&](const std::string& q) { return prep.out(q + ".before"); };
  std::string log = r.out("cases.log");

  // Only the compressed new PPD: upgraded from its decompressed copy.
  std::string gz = r.upperFile("/etc/cups/ppd/gzq.ppd");
  EXPECT_TRUE(has(gz, "*FileVersion: \"4.0\"")) << gz;
  EXPECT_TRUE(has(gz, "*DefaultDuplex: None\n"));
  EXPECT_EQ(r.upperFile("/etc/cups/gzq.ppd.rpmsave"), before("gzq"));
  EXPECT_EQ(r.upperFile("/opt/zed/gzq/root/plixConfig"), "a\n%%PLIX_VERSION_3.0\nb\n");

  // No new PPD: saved all the same, PPD unchanged, configuration still updated.
  EXPECT_FALSE(r.changed("/etc/cups/ppd/nonew.ppd"));
  EXPECT_EQ(r.upperFile("/etc/cups/nonew.ppd.rpmsave"), before("nonew"));
  EXPECT_EQ(r.upperFile("/opt/zed/nonew/root/plixConfig"), "a\n%%PLIX_VERSION_2.0\n");
  EXPECT_EQ(queueSection(log, "nonew", "/etc/cups/ppd/nonew.ppd"),
            (std::vector<std::string>{
                kEquals,
                "Drucker = nonew mit PPD=/etc/cups/ppd/nonew.ppd",
                "Speichern /etc/cups/ppd/nonew.ppd nach /etc/cups/nonew.ppd.rpmsave: Resultat=0",
                "Bearbeitung Orvex PPD Dateie f\374r Drucker: nonew.",
                "PPD Datei vom Verzeichnis: /usr/share/ppd/zed",
                "PPD Datei vom Verzeichnis: /opt/zed/ppd",
                "PPD NICHT GEFUNDEN!",
                "Kopieren  nach /etc/cups/ppd/nonew.ppd: Resultat=256",
                "processPrinterConfig(nonew): updated.",
            }));

  // Found only in the product's fixed PPD directory; its configuration file has no marker.
  EXPECT_TRUE(has(r.upperFile("/etc/cups/ppd/fallback.ppd"), "*FileVersion: \"4.0\""));
  EXPECT_TRUE(has(log, "PPD = /opt/zed/ppd/color7350.ppd.\n"));
  EXPECT_EQ(r.upperFile("/opt/zed/fallback/root/plixConfig"), "x\n");
  EXPECT_TRUE(has(log, "processPrinterConfig(fallback): updated.\n"));

  // A queue without a configuration file logs nothing for that step.
  EXPECT_TRUE(has(r.upperFile("/etc/cups/ppd/noconf.ppd"), "*FileVersion: \"4.0\""));
  EXPECT_FALSE(has(log, "processPrinterConfig(noconf)"));
  EXPECT_FALSE(r.changed("/opt/zed/noconf"));

  // The candidate that cannot be opened is reported on standard error, not in the log.
  EXPECT_TRUE(has(r.out("cases.stderr"), "K\366nnte '/usr/share/ppd/zed/dangling.ppd' nicht \366ffnen!\n"));
  EXPECT_FALSE(has(log, "dangling"));
  EXPECT_EQ(r.out("tmp.after"), "");
}

TEST(QueueUpgrade, ScanTakesMarkerOneAndKnownModelsInTheFirstThirtyLines) {
  // Files put straight into the CUPS ppd directory: no scheduler needed for the scan.
  std::string filler;
  for (int i = 0; i < 29; ++i) filler += "*% filler\n";
  Sandbox box;
  SandboxResult r = box.run(std::string(kPrelude) + R"(
D=/etc/cups/ppd
mkdir -p $D
model() { printf '*ModelName: "Orvex %s"\n' "$1"; }
{ echo '*% Plix version: 1 and more'; model 'LaserPro 4200 PCL'; } | put $D/one.ppd
{ echo '*% Plix version: 2'; model 'LaserPro 4200 PCL'; } | put $D/two.ppd
{ echo '*% Plix version: 0'; model 'LaserPro 4200 PCL'; } | put $D/zero.ppd
{ echo '*% Plix version: x'; model 'LaserPro 4200 PCL'; } | put $D/none.ppd
{ printf '%s' ")" + filler + R"("; echo '*% Plix version: 1'; model 'LaserPro 4200 PS'; } | put $D/late.ppd
{ echo '*% Plix version: 1'; printf '%s' ")" + filler + R"("; model 'LaserPro 4200 PS'; } | put $D/late2.ppd
{ model 'Zeta Writer 9 PCL'; model 'ColorPage 7350 PS'; echo '*% Plix version: 1'; } | put $D/unknown.ppd
{ echo '*% Plix version: 1'; model 'LaserPro 4200 PCL 6 Series'; } | put $D/window.ppd
{ echo '*% Plix version: 1'; printf '*ModelName: "Orvex OfficeLine 2600 PXL"  \n'; } | put $D/office.ppd
cp $D/office.ppd $D/office.ppd.O
{ echo '*% Plix version: 1'; model 'LaserPro 4200 PCL'; } | put $D/a.ppd.ppd
PPDDIR=/usr/share/ppd/zed child scan scan
mkdir -p /usr/local/etc/cups/ppd
cp $D/one.ppd /usr/local/etc/cups/ppd/local.ppd
PPDDIR=/usr/share/ppd/zed CUPSBASE=/usr/local child local scan
PPDDIR=/usr/share/ppd/zed CUPSBASE=/ child root scan
)");
  ASSERT_EQ(r.status, 0) << r.error;
  std::string log = r.out("scan.log");
  EXPECT_TRUE(has(log, "Liste von installierte Orvex Drucker: 5.\n")) << log;
  auto entry = [](const std::string& queue, const std::string& file, const std::string& model,
                  int id, const char* pdl) {
    return "Drucker : " + queue + ".\n\tPPD Datei: /etc/cups/ppd/" + file + ".\n\tModel   : \"Orvex " +
           model + "\".\n\tOrvex ID: " + std::to_string(id) + ".\n\tPDL     : " + pdl + ".\n";
  };
  int laser = modelId("LaserPro 4200"), color = modelId("ColorPage 7350"),
      office = modelId("OfficeLine 2600");
  EXPECT_TRUE(has(log, entry("one", "one.ppd", "LaserPro 4200 PCL", laser, "PCL"))) << log;
  EXPECT_TRUE(has(log, entry("unknown", "unknown.ppd", "ColorPage 7350 PS", color, "PostScript")));
  // Spaces after the model text are cut for the list.
  EXPECT_TRUE(has(log, entry("office", "office.ppd", "OfficeLine 2600 PXL", office, "PXL")));
  EXPECT_TRUE(has(log, entry("office", "office.ppd.O", "OfficeLine 2600 PXL", office, "PXL")));
  EXPECT_TRUE(has(log, entry("a", "a.ppd.ppd", "LaserPro 4200 PCL", laser, "PCL")));
  for (const char* passed : {"two.ppd", "zero.ppd", "none.ppd", "late.ppd", "late2.ppd", "window.ppd"})
    EXPECT_FALSE(has(log, std::string("/etc/cups/ppd/") + passed + ".")) << passed;
  EXPECT_TRUE(has(log, "Liste von Orvex PPD Dateie f\374r Installation: 5.\n"));
  EXPECT_TRUE(has(log, "PPD Datei vom Verzeichnis: /usr/share/ppd/zed\nPPD Datei vom Verzeichnis: "
                       "/opt/zed/ppd\nPPD NICHT GEFUNDEN!\n"));

  EXPECT_TRUE(has(r.out("local.log"), "\tPPD Datei: /usr/local/etc/cups/ppd/local.ppd.\n"));
  EXPECT_TRUE(has(r.out("local.log"), "Liste von installierte Orvex Drucker: 1.\n"));
  EXPECT_TRUE(has(r.out("root.log"), "Liste von installierte Orvex Drucker: 5.\n"));
}

TEST(QueueUpgrade, NewPpdChosenByModelPrefixIdAndKind) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kPrelude) + R"(
D=/etc/cups/ppd
Z=/usr/share/ppd/zed
model() { printf '*%% Plix version: 1\n*ModelName: "Orvex %s"\n*OpenUI *X: PickOne\n*DefaultX: %s\n*CloseUI: *X\n' "$1" "$2"; }
model 'LaserPro 4200 PS' old | put $D/q.ppd
model 'LaserPro 4200 PCL' pcl | put $Z/1.ppd
model 'LaserPro 4200 DN PS' otherid | put $Z/2.ppd
model 'LaserPro 4200 PS' shorter | sed 's/4200 PS"/4200"/' | put $Z/3.ppd
model 'LaserPro 4200 PS" (v2 PS)' longer | put $Z/4.ppd
PPDDIR=$Z child pick run
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.upperFile("/etc/cups/ppd/q.ppd"),
            "*% Plix version: 1\n*ModelName: \"Orvex LaserPro 4200 PS\" (v2 PS)\"\n"
            "*OpenUI *X: PickOne\n*DefaultX: longer\n*CloseUI: *X\n");
}

}  // namespace

namespace {

TEST(QueueUpgrade, HostileQueueNamesRunNoCommandAndPlantedLinksAreNeverWrittenThrough) {
  Sandbox box;
  SandboxResult prep = box.run(std::string(kPrelude) + R"SH(
start_cupsd || exit 3
queue 'a;touch${IFS}pwned1' Orvex_LaserPro_4200_PS.ppd
queue 'b`touch${IFS}pwned2`' Orvex_LaserPro_4200_PS.ppd
queue 'c$(touch${IFS}pwned3)' Orvex_LaserPro_4200_PS.ppd
queue 'd|touch${IFS}pwned4' Orvex_LaserPro_4200_PS.ppd
cp $OLD/Orvex_LaserPro_4200_PS.ppd '/etc/cups/ppd/x;cd;touch pwned5.ppd'
ls /etc/cups/ppd >$OUT/ppds
newppd Orvex_LaserPro_4200_PS.ppd /usr/share/ppd/zed/new42.ppd
echo victim >/etc/victim
)SH");
  ASSERT_EQ(prep.status, 0) << prep.error;
  ASSERT_EQ(prep.out("ppds"),
            "a;touch${IFS}pwned1.ppd\nb`touch${IFS}pwned2`.ppd\nc$(touch${IFS}pwned3).ppd\n"
            "d|touch${IFS}pwned4.ppd\nx;cd;touch pwned5.ppd\n");
  box.keep(prep);
  SandboxResult r = box.run(std::string(kPrelude) + R"SH(
for n in zanin zanot zanin.gz zaninXXXXXX zanotXXXXXX zaninXXXXXX.gz ZAN ZANXXXXXX; do
  ln -s /etc/victim /tmp/$n
done
cd /root && PPDDIR=/usr/share/ppd/zed child hostile run
find /tmp -name 'pwned*' >$OUT/pwned
)SH" + kTmpListing);
  ASSERT_EQ(r.status, 0) << r.error;
  // Only the queues' own files carry the words; no command ran.
  // No command ran: no file anywhere whose name starts with the word.
  EXPECT_EQ(r.out("pwned"), "");
  for (const std::string& path : r.listing())
    EXPECT_EQ(path.find("/pwned"), std::string::npos) << path;
  for (const std::string& queue : {std::string("a;touch${IFS}pwned1"), std::string("b`touch${IFS}pwned2`"),
                                   std::string("c$(touch${IFS}pwned3)"), std::string("d|touch${IFS}pwned4"),
                                   std::string("x;cd;touch pwned5")}) {
    EXPECT_TRUE(has(r.upperFile("/etc/cups/ppd/" + queue + ".ppd"), "*FileVersion: \"4.0\"")) << queue;
    EXPECT_EQ(r.upperFile("/etc/cups/" + queue + ".ppd.rpmsave"),
              readFile(std::string(PLIX_SOURCE_DIR) + "/product/ppd-old/Orvex_LaserPro_4200_PS.ppd"))
        << queue;
  }
  EXPECT_FALSE(r.changed("/etc/victim"));
  EXPECT_EQ(r.out("tmp.after"), "ZAN\nZANXXXXXX\nzanin\nzanin.gz\nzaninXXXXXX\nzaninXXXXXX.gz\nzanot\nzanotXXXXXX\n");
}

// A new PPD that fills most of a small /tmp: its working copy fits, the rewritten copy
// does not.
const char kBigNewPpd[] = R"SH(
newppd Orvex_LaserPro_4200_PS.ppd /usr/share/ppd/zed/new42.ppd
for i in $(seq 1 120); do echo "*% padding line $i of the new description, long enough"; done >>/usr/share/ppd/zed/new42.ppd
)SH";

TEST(QueueUpgrade, FullDisksNeverLeaveATruncatedPpdOrConfiguration) {
  Sandbox box;
  SandboxResult prep = box.run(std::string(kPrelude) + kBigNewPpd + R"SH(
start_cupsd || exit 3
queue big Orvex_LaserPro_4200_PS.ppd
queue cfg Orvex_ColorPage_7350_PS.ppd
newppd Orvex_ColorPage_7350_PS.ppd /usr/share/ppd/zed/new73.ppd
mkdir -p /opt/zed/cfg/root
stat -c %s /usr/share/ppd/zed/new42.ppd >$OUT/size
)SH");
  ASSERT_EQ(prep.status, 0) << prep.error;
  int size = std::stoi(prep.out("size"));
  ASSERT_GT(size, 8192);
  ASSERT_LT(size, 12288);
  box.keep(prep);

  // /tmp full while the rewritten PPD is written: the queue keeps its PPD.
  SandboxResult t = box.run(std::string(kPrelude) + R"SH(
cp /etc/cups/ppd/big.ppd $OUT/big.before
mount -t tmpfs -o size=16k none /tmp || exit 4
PPDDIR=/usr/share/ppd/zed child tmpfull run
)SH" + kTmpListing);
  ASSERT_EQ(t.status, 0) << t.error;
  EXPECT_FALSE(t.changed("/etc/cups/ppd/big.ppd"));
  EXPECT_EQ(t.upperFile("/etc/cups/big.ppd.rpmsave"), t.out("big.before"));
  std::vector<std::string> section = queueSection(t.out("tmpfull.log"), "big", "/etc/cups/ppd/big.ppd");
  ASSERT_GE(section.size(), 3u) << t.out("tmpfull.log");
  EXPECT_EQ(section[section.size() - 2], "Problem Schreiben: /tmp/zanotXXXXXX f\374r Drucker big!");
  EXPECT_EQ(section.back(), "Kopieren  nach /etc/cups/ppd/big.ppd: Resultat=256");
  EXPECT_FALSE(has(t.out("tmpfull.log"), "Neue PPD f\374r Drucker big in"));
  EXPECT_TRUE(has(t.upperFile("/etc/cups/ppd/cfg.ppd"), "*FileVersion: \"4.0\""));
  EXPECT_EQ(t.out("tmp.after"), "");

  // The saved copy cannot be made: the queue's PPD is not overwritten.
  SandboxResult s = box.run(std::string(kPrelude) + R"SH(
cp -a /etc/cups /root/cups.copy
mount -t tmpfs -o size=512k none /etc/cups || exit 4
cp -a /root/cups.copy/. /etc/cups/
dd if=/dev/zero of=/etc/cups/filler bs=4k 2>/dev/null
PPDDIR=/usr/share/ppd/zed child savefull run
cmp /etc/cups/ppd/big.ppd /root/cups.copy/ppd/big.ppd && echo same >$OUT/big.same
cmp /etc/cups/ppd/cfg.ppd /root/cups.copy/ppd/cfg.ppd && echo same >$OUT/cfg.same
)SH" + kTmpListing);
  ASSERT_EQ(s.status, 0) << s.error;
  EXPECT_EQ(s.out("big.same"), "same\n");
  EXPECT_EQ(s.out("cfg.same"), "same\n");
  std::vector<std::string> saveSection =
      queueSection(s.out("savefull.log"), "cfg", "/etc/cups/ppd/cfg.ppd");
  ASSERT_GE(saveSection.size(), 4u) << s.out("savefull.log");
  EXPECT_EQ(saveSection[2],
            "Speichern /etc/cups/ppd/cfg.ppd nach /etc/cups/cfg.ppd.rpmsave: Resultat=256");
  EXPECT_EQ(saveSection.back(),
            "Neue PPD f\374r Drucker cfg nicht installiert: alte PPD /etc/cups/ppd/cfg.ppd konnte "
            "nicht nach /etc/cups/cfg.ppd.rpmsave gesichert werden.");
  EXPECT_EQ(s.out("tmp.after"), "");

  // The configuration file's filesystem is full when it is copied back: the working copy
  // that holds the new text is kept and named, no success line.
  SandboxResult c = box.run(std::string(kPrelude) + R"SH(
mount -t tmpfs -o size=8k none /opt/zed/cfg/root || exit 4
{ echo abcdefghijklmnopq; for i in $(seq 100 302); do echo "setting $i = value"; done; } >/opt/zed/cfg/root/plixConfig
printf '%%%%PLIX_VERSION_1.0' >>/opt/zed/cfg/root/plixConfig
stat -c %s /opt/zed/cfg/root/plixConfig >$OUT/cfgsize
dd if=/dev/zero of=/opt/zed/cfg/root/filler bs=4k 2>/dev/null
PPDDIR=/usr/share/ppd/zed child cfgfull run
for f in /tmp/ZAN*; do cp "$f" $OUT/kept; echo "$f" >$OUT/keptname; done
)SH");
  ASSERT_EQ(c.status, 0) << c.error;
  ASSERT_EQ(c.out("cfgsize"), "4096\n");
  std::string kept = c.out("kept");
  EXPECT_EQ(kept.size(), 4097u);
  EXPECT_TRUE(kept.size() > 20 && kept.substr(kept.size() - 19) == "%%PLIX_VERSION_3.0\n");
  std::string name = lines(c.out("keptname")).empty() ? "" : lines(c.out("keptname"))[0];
  std::string log = c.out("cfgfull.log");
  EXPECT_TRUE(has(log, "processPrinterConfig(cfg): Kopieren nach /opt/zed/cfg/root/plixConfig "
                       "fehlgeschlagen, Inhalt bleibt in " + name + ".\n")) << log;
  EXPECT_FALSE(has(log, "processPrinterConfig(cfg): updated."));
}

}  // namespace

namespace {

// Lines of `text` that do not start with "*Default".
std::vector<std::string> nonDefaultLines(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& line : lines(text))
    if (line.rfind("*Default", 0) != 0) out.push_back(line);
  return out;
}

TEST(QueueUpgrade, InstallCarriesEachQueuesDefaultsIntoTheNewPpdOnRealCups) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kPrelude) + R"SH(
start_cupsd || exit 3
queue office Orvex_LaserPro_4200_PS.ppd
lpadmin -p office -o PageSize=Letter -o Duplex=DuplexNoTumble
queue color Orvex_ColorPage_7350_PS.ppd
lpadmin -p color -o PageSize=Legal
queue 'a;touch${IFS}pwned' Orvex_OfficeLine_2600_PXL.ppd
sed -e '/Plix version/d' -e 's/Orvex/Acme/g' $OLD/Orvex_LaserPro_4200_PS.ppd >/root/acme.ppd
lpadmin -p acme -E -v file:/dev/null -P /root/acme.ppd 2>/dev/null
lpadmin -p acme -o PageSize=Letter
printf 'kind=plix\n%%%%PLIX_VERSION_1.0\n' | put /opt/zed/office/root/plixConfig
mkdir -p $OUT/before && cp -a /etc/cups/ppd/. $OUT/before/
run_setup install
# CUPS is restarted once more here, so that what it reports comes from the new files.
kill $(pidof cupsd) && while pidof cupsd >/dev/null; do sleep 0.1; done
start_cupsd || exit 5
lpoptions -p office -l >$OUT/office.options
lpoptions -p color -l >$OUT/color.options
lpoptions -p acme -l >$OUT/acme.options
mkdir -p $OUT/after && cp -a /etc/cups/ppd/. $OUT/after/
find / -xdev -maxdepth 1 -name 'pwned*' >$OUT/pwned
ls -A $PRODUCT >$OUT/product.files
)SH" + kTmpListing);
  ASSERT_EQ(r.status, 0) << r.error << r.out("install.stderr");
  ASSERT_EQ(r.out("install.status"), "0\n");
  std::string log = r.out("install.log");

  // The new PPD with the queue's choices in the default lines of its option blocks.
  std::string newLaser = readFile(builtProduct() + "/ppd/Orvex_LaserPro_4200_PS.ppd");
  ASSERT_FALSE(newLaser.empty());
  std::string office = r.out("after/office.ppd");
  EXPECT_EQ(nonDefaultLines(office), nonDefaultLines(newLaser));
  for (const char* line : {"*DefaultPageSize: Letter\n", "*DefaultPageRegion: Letter\n",
                           "*DefaultDuplex: DuplexNoTumble\n", "*DefaultInputSlot: Auto\n",
                           "*DefaultResolution: 600dpi\n"})
    EXPECT_TRUE(has(office, line)) << line;
  EXPECT_TRUE(has(r.out("after/color.ppd"), "*DefaultPageSize: Legal\n"));
  EXPECT_TRUE(has(r.out("after/color.ppd"), "*% Plix 4.0 printer description"));
  // The queue whose new PPD ships only compressed, with a name the shell would read.
  EXPECT_TRUE(has(r.out("after/a;touch${IFS}pwned.ppd"), "*% Plix 4.0 printer description"));
  EXPECT_EQ(r.out("pwned"), "");
  EXPECT_FALSE(has(r.out("product.files"), "pwned"));

  // Saved copies: the queue's own old PPD, and the copy CUPS kept beside it, each apart.
  EXPECT_EQ(r.upperFile("/etc/cups/office.ppd.rpmsave"), r.out("before/office.ppd"));
  EXPECT_EQ(r.upperFile("/etc/cups/office.ppd.O.rpmsave"), r.out("before/office.ppd.O"));
  EXPECT_TRUE(has(r.out("before/office.ppd"), "*DefaultPageSize: Letter\n"));
  EXPECT_EQ(r.upperFile("/etc/cups/color.ppd.rpmsave"), r.out("before/color.ppd"));

  // CUPS itself reports the carried-over defaults after the restart.
  EXPECT_TRUE(has(r.out("office.options"), "PageSize/Media Size: *Letter ")) << r.out("office.options");
  EXPECT_TRUE(has(r.out("office.options"), "*DuplexNoTumble")) << r.out("office.options");
  EXPECT_TRUE(has(r.out("color.options"), "*Legal")) << r.out("color.options");

  // The other maker's queue and its PPD stay as they were.
  EXPECT_EQ(r.out("after/acme.ppd"), r.out("before/acme.ppd"));
  EXPECT_FALSE(r.changed("/etc/cups/acme.ppd.rpmsave"));
  EXPECT_TRUE(has(r.out("acme.options"), "*Letter"));
  EXPECT_FALSE(has(log, "Drucker = acme"));

  EXPECT_EQ(r.upperFile("/opt/zed/office/root/plixConfig"), "kind=plix\n%%PLIX_VERSION_3.0\n");
  EXPECT_EQ(r.out("tmp.after"), "");

  // The log of one queue, step by step.
  std::vector<std::string> section = queueSection(log, "office", "/etc/cups/ppd/office.ppd");
  ASSERT_EQ(section.size(), 14u) << log;
  std::string dirLine = section[4];
  ASSERT_EQ(dirLine.rfind("PPD Datei vom Verzeichnis: ", 0), 0u) << dirLine;
  std::string ppdDir = dirLine.substr(strlen("PPD Datei vom Verzeichnis: "));
  EXPECT_EQ(section, (std::vector<std::string>{
                         kEquals,
                         "Drucker = office mit PPD=/etc/cups/ppd/office.ppd",
                         "Speichern /etc/cups/ppd/office.ppd nach /etc/cups/office.ppd.rpmsave: Resultat=0",
                         "Bearbeitung Orvex PPD Dateie f\374r Drucker: office.",
                         dirLine,
                         "PPD = " + ppdDir + "/Orvex_LaserPro_4200_PS.ppd.",
                         "processNewPPD(nOptions=4)",
                         "processNewPPD: Setting neue Optionen: *PageSize/Letter.",
                         "processNewPPD: Setting neue Optionen: *PageRegion/Letter.",
                         "processNewPPD: Setting neue Optionen: *Duplex/DuplexNoTumble.",
                         "processNewPPD: Setting neue Optionen: *Resolution/600dpi.",
                         "Neue PPD f\374r Drucker office in: /tmp/zanotXXXXXX.",
                         "Kopieren /tmp/zanotXXXXXX nach /etc/cups/ppd/office.ppd: Resultat=0",
                         "processPrinterConfig(office): updated.",
                     }));
}

}  // namespace
