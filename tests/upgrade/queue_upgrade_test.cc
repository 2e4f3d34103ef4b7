// Upgrading real CUPS queues in the sandbox: a real cupsd, queues made with lpadmin from
// the product's older PPDs, and either the whole setup run or the scan and upgrade steps
// alone (the case below, run inside the sandbox).
#include <strings.h>
#include <unistd.h>

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "base/update_log.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"
#include "upgrade/carry_over.h"
#include "upgrade/model_table.h"
#include "upgrade/printer_scan.h"
#include "upgrade/queue_upgrade.h"

namespace {

// The scan (MODE=scan) or the scan and the queue upgrade (MODE=run) as the install branch
// calls them, with the settings the probes would have found (PPDDIR, CUPSBASE, STEPWISE).
// The Update log goes to $ULOG, what is asked on standard output to NAME.out.
SANDBOX_CASE(upgrade) {
  auto env = [](const char* name) { return std::string(getenv(name) ? getenv(name) : ""); };
  settings.ppdInstallDir = env("PPDDIR");
  settings.cupsBaseDir = env("CUPSBASE");
  settings.logPath = env("ULOG");
  fflush(stdout);
  dup2(fileno(out), STDOUT_FILENO);
  initPList(&printerList);
  openUpdateLog(0);
  int count = 0;
  scanInstalledPrinters(&printerList, &count);
  if (env("MODE") == "run" && count > 0)
    upgradeQueues(settings.ppdInstallDir, &printerList, count, atoi(env("STEPWISE").c_str()));
  closeUpdateLog();
}

// lpadmin options choosing, for each option of the PPD $PPD, a random choice other than
// its default (seeded with $SEED).
SANDBOX_CASE(choose) {
  ppd_file_t* ppd = ppdOpenFile(getenv("PPD"));
  if (ppd == nullptr) return;
  srand(static_cast<unsigned>(atoi(getenv("SEED"))));
  for (ppd_option_t* o = ppdFirstOption(ppd); o != nullptr; o = ppdNextOption(ppd)) {
    if (o->num_choices < 2 || strcasecmp(o->keyword, "PageRegion") == 0) continue;
    const char* choice = o->choices[rand() % o->num_choices].choice;
    if (strcmp(choice, o->defchoice) != 0 && strcmp(choice, "Custom") != 0)
      fprintf(out, "-o %s=%s\n", o->keyword, choice);
  }
  ppdClose(ppd);
}

const std::string kPrelude = R"SH(
OLD=$SRC/product/ppd-old
Z=/usr/share/ppd/zed
# newppd OLDNAME PATH: a new-generation PPD of that model (marker 1, new content).
newppd() {
  mkdir -p "$(dirname "$2")"
  sed -e 's/^\*FileVersion: "2.0"/*FileVersion: "4.0"/' -e 's/Plix 2.0/Plix 4.0/' \
    -e 's/^\*DefaultDuplex: None/*DefaultDuplex: None extra words/' "$OLD/$1" >"$2"
}
queue() { lpadmin -p "$1" -E -v file:/dev/null -P "$OLD/$2" 2>/dev/null || echo "lpadmin $1 failed" >&2; }
# child NAME [VAR=VALUE...]: the case above; its Update log in $OUT/NAME.ulog.
child() { local n=$1; shift; run_case upgrade_tests upgrade "$n" ULOG="$OUT/$n.ulog" "$@"; }
fake_command /usr/bin/systemctl 0
)SH";

// Names left in /tmp at the end of a run (its own working files would show here).
const char kTmpListing[] = "\ntmp_entries >$OUT/tmp.after\n";

const std::string kEquals(58, '=');
const std::string kNewMark = "*FileVersion: \"4.0\"";

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The log lines of one queue's upgrade, each ending in "\n": from the line of equal signs
// before "Drucker = Q mit" up to the next such line, an empty line, the restart or the
// closing line; working-file names with their random part as XXXXXX.
std::string section(std::string log, const std::string& queue) {
  log = std::regex_replace(log, std::regex("/tmp/(zanot|zanin)[A-Za-z0-9]{6}"), "/tmp/$1XXXXXX");
  size_t start = log.find(kEquals + "\nDrucker = " + queue + " mit");
  if (start == std::string::npos) return "";
  size_t end = log.size();
  for (const std::string& stop : {"\n" + kEquals, std::string("\n\n"), std::string("\nCUPS restart"),
                                  std::string("\nBeende Installation")})
    end = std::min(end, log.find(stop, start + kEquals.size()));
  return log.substr(start, end + 1 - start);
}

// One world for the steps alone: three product queues on a real cupsd. nonew: no new
// PPD; color: new PPD only in /opt/zed/ppd; laser: a large new PPD (its rewritten copy
// does not fit a 16k /tmp), no configuration file.
class UpgradeSteps : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    prep = box.run(kPrelude + R"SH(
start_cupsd || exit 3
queue nonew Orvex_LaserPro_4200_PCL.ppd
queue color Orvex_ColorPage_7350_PS.ppd
queue laser Orvex_LaserPro_4200_PS.ppd
newppd Orvex_ColorPage_7350_PS.ppd /opt/zed/ppd/color7350.ppd
newppd Orvex_LaserPro_4200_PS.ppd $Z/laser42.ppd
for i in $(seq 1 120); do echo "*% padding line $i of the new description, long enough"; done >>$Z/laser42.ppd
size=$(stat -c %s $Z/laser42.ppd) && [ $size -gt 8192 ] && [ $size -lt 12288 ] || exit 4
ln -s /nowhere/gone.ppd $Z/dangling.ppd
for q in nonew color laser; do cp /etc/cups/ppd/$q.ppd $OUT/$q.before; done
printf 'a\n%%%%PLIX_VERSION_2.0\n' | put /opt/zed/nonew/root/plixConfig
)SH");
    if (prep.status == 0) box.keep(prep);
  }
  void SetUp() override { ASSERT_EQ(prep.status, 0) << prep.error; }
  static SandboxResult run(const std::string& script) { return box.run(kPrelude + script + kTmpListing); }
  static std::string before(const std::string& q) { return prep.out(q + ".before"); }
  static inline Sandbox box;
  static inline SandboxResult prep;
  const std::vector<std::string> queues{"nonew", "color", "laser"};
};

TEST_F(UpgradeSteps, MissingAndFallbackPpdsScanRulesAndChoiceOfTheNewPpd) {
  SandboxResult r = run(R"SH(
child cases MODE=run PPDDIR=$Z
# The scan's marker and model rules, over files in the CUPS tree below /usr/local.
D=/usr/local/etc/cups/ppd
model() { printf '*ModelName: "Orvex %s"\n' "$1"; }
filler() { for i in $(seq 29); do echo '*% filler'; done; }
{ echo '*% Plix version: 1 and more'; model 'LaserPro 4200 PCL'; } | put $D/one.ppd
{ echo '*% Plix version: 2'; model 'LaserPro 4200 PCL'; } | put $D/two.ppd
{ echo '*% Plix version: 0'; model 'LaserPro 4200 PCL'; } | put $D/zero.ppd
{ echo '*% Plix version: x'; model 'LaserPro 4200 PCL'; } | put $D/none.ppd
{ filler; echo '*% Plix version: 1'; model 'LaserPro 4200 PS'; } | put $D/late.ppd
{ echo '*% Plix version: 1'; filler; model 'LaserPro 4200 PS'; } | put $D/late2.ppd
{ model 'Zeta Writer 9 PCL'; model 'ColorPage 7350 PS'; echo '*% Plix version: 1'; } | put $D/unknown.ppd
{ echo '*% Plix version: 1'; model 'LaserPro 4200 PCL 6 Series'; } | put $D/window.ppd
{ echo '*% Plix version: 1'; printf '*ModelName: "Orvex OfficeLine 2600 PXL"  \n'; } | put $D/office.ppd
cp $D/office.ppd $D/office.ppd.O
{ echo '*% Plix version: 1'; model 'LaserPro 4200 PCL'; } | put $D/a.ppd.ppd
child scan MODE=scan PPDDIR=$Z CUPSBASE=/usr/local
# The new PPD is chosen by model prefix, model id and kind.
P=/srv/pick
pick() { printf '*%% Plix version: 1\n*ModelName: "Orvex %s"\n*OpenUI *X: PickOne\n*DefaultX: %s\n*CloseUI: *X\n' "$1" "$2"; }
pick 'LaserPro 4200 PS' old | put $P/etc/cups/ppd/q.ppd
pick 'LaserPro 4200 PCL' pcl | put $P/new/1.ppd
pick 'LaserPro 4200 DN PS' otherid | put $P/new/2.ppd
pick 'LaserPro 4200 PS' shorter | sed 's/4200 PS"/4200"/' | put $P/new/3.ppd
pick 'LaserPro 4200 PS" (v2 PS)' longer | put $P/new/4.ppd
child pick MODE=run PPDDIR=$P/new CUPSBASE=$P
)SH");
  ASSERT_EQ(r.status, 0) << r.error;
  std::string log = r.out("cases.ulog");

  // No new PPD: saved all the same, PPD unchanged, configuration still updated.
  EXPECT_FALSE(r.changed("/etc/cups/ppd/nonew.ppd"));
  EXPECT_EQ(r.upperFile("/etc/cups/nonew.ppd.rpmsave"), before("nonew"));
  EXPECT_EQ(r.upperFile("/opt/zed/nonew/root/plixConfig"), "a\n%%PLIX_VERSION_2.0\n");
  EXPECT_TRUE(section(log, "nonew").ends_with("PPD Datei vom Verzeichnis: /opt/zed/ppd\nPPD NICHT GEFUNDEN!\n"
                                              "Kopieren  nach /etc/cups/ppd/nonew.ppd: Resultat=256\n"
                                              "processPrinterConfig(nonew): updated.\n")) << log;

  // Found only in the product's fixed PPD directory.
  EXPECT_TRUE(has(r.upperFile("/etc/cups/ppd/color.ppd"), kNewMark));
  EXPECT_TRUE(has(log, "PPD = /opt/zed/ppd/color7350.ppd.\n"));

  // A queue without a configuration file logs nothing for that step.
  std::string laser = r.upperFile("/etc/cups/ppd/laser.ppd");
  EXPECT_TRUE(has(laser, kNewMark) && has(laser, "*DefaultDuplex: None\n")) << laser;
  EXPECT_FALSE(has(log, "processPrinterConfig(laser)"));
  EXPECT_FALSE(r.changed("/opt/zed/laser"));

  // The candidate that cannot be opened is reported on standard error, not in the log.
  EXPECT_TRUE(has(r.out("cases.log"), "K\366nnte '/usr/share/ppd/zed/dangling.ppd' nicht \366ffnen!\n"));
  EXPECT_FALSE(has(log, "dangling"));
  EXPECT_EQ(r.out("tmp.after"), "");

  // The scan: marker 1 and a known model with a kind, both within the first 30 lines.
  std::string scan = r.out("scan.ulog");
  EXPECT_TRUE(has(scan, "Liste von installierte Orvex Drucker: 5.\n")) << scan;
  auto entry = [](const std::string& queue, const std::string& file, const std::string& model,
                  const char* row, const char* pdl) {
    return "Drucker : " + queue + ".\n\tPPD Datei: /usr/local/etc/cups/ppd/" + file + ".\n\tModel   : \"Orvex " +
           model + "\".\n\tOrvex ID: " + std::to_string(modelTable[findModelRow(row)].id) +
           ".\n\tPDL     : " + pdl + ".\n";
  };
  EXPECT_TRUE(has(scan, entry("one", "one.ppd", "LaserPro 4200 PCL", "LaserPro 4200", "PCL")));
  EXPECT_TRUE(has(scan, entry("unknown", "unknown.ppd", "ColorPage 7350 PS", "ColorPage 7350", "PostScript")));
  // Spaces after the model text are cut for the list.
  EXPECT_TRUE(has(scan, entry("office", "office.ppd", "OfficeLine 2600 PXL", "OfficeLine 2600", "PXL")));
  EXPECT_TRUE(has(scan, entry("office", "office.ppd.O", "OfficeLine 2600 PXL", "OfficeLine 2600", "PXL")));
  EXPECT_TRUE(has(scan, entry("a", "a.ppd.ppd", "LaserPro 4200 PCL", "LaserPro 4200", "PCL")));
  for (const char* passed : {"two.ppd", "zero.ppd", "none.ppd", "late.ppd", "late2.ppd", "window.ppd"})
    EXPECT_FALSE(has(scan, std::string("/") + passed + ".")) << passed;
  EXPECT_TRUE(has(scan, "Liste von Orvex PPD Dateie f\374r Installation: 5.\n"));
  EXPECT_TRUE(has(scan, "PPD Datei vom Verzeichnis: /usr/share/ppd/zed\nPPD Datei vom Verzeichnis: "
                        "/opt/zed/ppd\nPPD NICHT GEFUNDEN!\n"));

  EXPECT_EQ(r.upperFile("/srv/pick/etc/cups/ppd/q.ppd"),
            "*% Plix version: 1\n*ModelName: \"Orvex LaserPro 4200 PS\" (v2 PS)\"\n"
            "*OpenUI *X: PickOne\n*DefaultX: longer\n*CloseUI: *X\n");
}

TEST_F(UpgradeSteps, StepByStepAnswersNoAllAndBreak) {
  auto asked = [](const std::string& text) {
    std::vector<std::string> names;
    std::regex question("M\366chten Sie Drucker: (\\w+) upgraden\\? ");
    for (std::sregex_iterator it(text.begin(), text.end(), question), end; it != end; ++it)
      names.push_back((*it)[1]);
    return names;
  };
  // no for the first, all for the second: no further question, every other queue done.
  SandboxResult r = run("printf 'n\\na\\n' | child ask MODE=run PPDDIR=$Z STEPWISE=1");
  ASSERT_EQ(r.status, 0) << r.error;
  std::vector<std::string> a = asked(r.out("ask.out"));
  ASSERT_EQ(a.size(), 2u) << r.out("ask.out");
  for (const std::string& q : queues)
    EXPECT_EQ(r.upperFile("/etc/cups/" + q + ".ppd.rpmsave"), q == a[0] ? "" : before(q)) << q;
  EXPECT_FALSE(r.changed("/etc/cups/ppd/" + a[0] + ".ppd"));
  EXPECT_FALSE(has(r.out("ask.ulog"), "Drucker = " + a[0] + " mit"));
  EXPECT_EQ(r.out("tmp.after"), "");

  // yes for the first, break at the second: nothing after it is touched.
  SandboxResult b = run("printf 'j\\nb\\n' | child brk MODE=run PPDDIR=$Z STEPWISE=1");
  ASSERT_EQ(b.status, 0) << b.error;
  a = asked(b.out("brk.out"));
  ASSERT_EQ(a.size(), 2u) << b.out("brk.out");
  for (const std::string& q : queues) {
    EXPECT_EQ(b.upperFile("/etc/cups/" + q + ".ppd.rpmsave"), q == a[0] ? before(q) : "") << q;
    EXPECT_TRUE(q == a[0] || !b.changed("/etc/cups/ppd/" + q + ".ppd")) << q;
  }
  // A break ends the run without the restart of this step.
  EXPECT_EQ(b.out("calls.log"), "");
  EXPECT_EQ(b.out("tmp.after"), "");
}

TEST_F(UpgradeSteps, FullDisksNeverLeaveATruncatedPpdOrConfiguration) {
  // /tmp full while laser's rewritten PPD is written: the queue keeps its PPD.
  SandboxResult t = run("small_tmp 16k || exit 4\nchild tmpfull MODE=run PPDDIR=$Z");
  ASSERT_EQ(t.status, 0) << t.error;
  EXPECT_FALSE(t.changed("/etc/cups/ppd/laser.ppd"));
  EXPECT_EQ(t.upperFile("/etc/cups/laser.ppd.rpmsave"), before("laser"));
  std::string log = section(t.out("tmpfull.ulog"), "laser");
  EXPECT_TRUE(log.ends_with("Problem Schreiben: /tmp/zanotXXXXXX f\374r Drucker laser!\n"
                            "Kopieren  nach /etc/cups/ppd/laser.ppd: Resultat=256\n")) << log;
  EXPECT_FALSE(has(log, "Neue PPD f\374r Drucker laser in"));
  EXPECT_TRUE(has(t.upperFile("/etc/cups/ppd/color.ppd"), kNewMark));
  EXPECT_EQ(t.out("tmp.after"), "");

  // The saved copy cannot be made: no queue's PPD is overwritten.
  SandboxResult s = run(R"SH(
cp -a /etc/cups /root/cups.copy
mount -t tmpfs -o size=512k none /etc/cups || exit 4
cp -a /root/cups.copy/. /etc/cups/
dd if=/dev/zero of=/etc/cups/filler bs=4k 2>/dev/null
child savefull MODE=run PPDDIR=$Z
diff -r -x filler /etc/cups/ppd /root/cups.copy/ppd >$OUT/ppd.diff
)SH");
  ASSERT_EQ(s.status, 0) << s.error;
  EXPECT_EQ(s.out("ppd.diff"), "");
  log = section(s.out("savefull.ulog"), "color");
  EXPECT_TRUE(has(log, "Speichern /etc/cups/ppd/color.ppd nach /etc/cups/color.ppd.rpmsave: Resultat=256\n"));
  EXPECT_TRUE(log.ends_with("in: /tmp/zanotXXXXXX.\nNeue PPD f\374r Drucker color nicht installiert: alte PPD "
                            "/etc/cups/ppd/color.ppd konnte nicht nach /etc/cups/color.ppd.rpmsave gesichert "
                            "werden.\n")) << log;
  EXPECT_EQ(s.out("tmp.after"), "");

  // The PPD directory is full when the new PPDs are installed: every queue keeps its PPD
  // byte for byte; a saved copy planted as a link is replaced, not written through.
  SandboxResult p = run(R"SH(
cp -a /etc/cups/ppd /root/ppd.copy && mount -t tmpfs -o size=64k none /etc/cups/ppd || exit 4
cp -a /root/ppd.copy/. /etc/cups/ppd/ && dd if=/dev/zero of=/etc/cups/ppd/filler bs=4k 2>/dev/null
echo decoy >/etc/decoy && ln -s /etc/decoy /etc/cups/color.ppd.rpmsave
child ppdfull MODE=run PPDDIR=$Z
diff -r -x filler /etc/cups/ppd /root/ppd.copy >$OUT/ppd.diff; ls -A /etc/cups/ppd >$OUT/ppd.list
)SH");
  ASSERT_EQ(p.status, 0) << p.error;
  EXPECT_EQ(p.out("ppd.diff"), "");
  EXPECT_EQ(p.out("ppd.list"), "color.ppd\nfiller\nlaser.ppd\nnonew.ppd\n");
  EXPECT_EQ(p.upperFile("/etc/decoy"), "decoy\n");
  EXPECT_EQ(p.upperFile("/etc/cups/color.ppd.rpmsave"), before("color"));
  EXPECT_TRUE(has(section(p.out("ppdfull.ulog"), "color"),
                  "Kopieren /tmp/zanotXXXXXX nach /etc/cups/ppd/color.ppd: Resultat=256\nNeue PPD /tmp/zanotXXXXXX nicht "
                  "installiert (No space left on device); alte PPD /etc/cups/ppd/color.ppd bleibt unver\344ndert.\n"))
      << p.out("ppdfull.ulog");

  // The configuration file's filesystem is full when it is copied back: the working copy
  // that holds the new text is kept and named, no success line.
  SandboxResult c = run(R"SH(
mkdir -p /opt/zed/color/root && mount -t tmpfs -o size=8k none /opt/zed/color/root || exit 4
{ echo abcdefghijklmnopq; for i in $(seq 100 302); do echo "setting $i = value"; done; } >/opt/zed/color/root/plixConfig
printf '%%%%PLIX_VERSION_1.0' >>/opt/zed/color/root/plixConfig
stat -c %s /opt/zed/color/root/plixConfig >$OUT/cfgsize
dd if=/dev/zero of=/opt/zed/color/root/filler bs=4k 2>/dev/null
child cfgfull MODE=run PPDDIR=$Z
for f in /tmp/ZAN*; do cp "$f" $OUT/kept; printf %s "$f" >$OUT/keptname; done
)SH");
  ASSERT_EQ(c.status, 0) << c.error;
  ASSERT_EQ(c.out("cfgsize"), "4096\n");
  std::string kept = c.out("kept");
  EXPECT_EQ(kept.size(), 4097u);
  EXPECT_TRUE(kept.ends_with("\n%%PLIX_VERSION_3.0\n")) << kept;
  EXPECT_TRUE(has(c.out("cfgfull.ulog"), "processPrinterConfig(color): Kopieren nach /opt/zed/color/root/"
                  "plixConfig fehlgeschlagen, Inhalt bleibt in " + c.out("keptname") + ".\n"));
  EXPECT_FALSE(has(c.out("cfgfull.ulog"), "processPrinterConfig(color): updated."));
}

// Lines of `text` that do not start with "*Default".
std::string nonDefaultLines(const std::string& text) {
  return std::regex_replace(text, std::regex("^\\*Default.*\n", std::regex::multiline), "");
}

TEST(QueueUpgrade, InstallCarriesEachQueuesDefaultsIntoTheNewPpdOnRealCups) {
  Sandbox box;
  SandboxResult r = box.run(kPrelude + R"SH(
start_cupsd || exit 3
queue office Orvex_LaserPro_4200_PS.ppd
lpadmin -p office -o PageSize=Letter -o Duplex=DuplexNoTumble
queue color Orvex_ColorPage_7350_PS.ppd
lpadmin -p color -o PageSize=Legal
# Names the shell would read; the first three get a new PPD that ships only compressed.
for q in 'a;touch${IFS}pwned1' 'b`touch${IFS}pwned2`' 'c$(touch${IFS}pwned3)'; do queue "$q" Orvex_OfficeLine_2600_PXL.ppd; done
queue 'd|touch${IFS}pwned4' Orvex_LaserPro_4200_PS.ppd
cp $OLD/Orvex_LaserPro_4200_PS.ppd '/etc/cups/ppd/x;cd;touch pwned5.ppd'
sed -e '/Plix version/d' -e 's/Orvex/Acme/g' $OLD/Orvex_LaserPro_4200_PS.ppd >/root/acme.ppd
lpadmin -p acme -E -v file:/dev/null -P /root/acme.ppd 2>/dev/null
lpadmin -p acme -o PageSize=Letter
printf 'kind=plix\n%%%%PLIX_VERSION_1.0 and more\nb\n' | put /opt/zed/office/root/plixConfig
mkdir -p $OUT/before && cp -a /etc/cups/ppd/. $OUT/before/
# Links planted at likely working-file names.
echo victim >/etc/victim
for n in zanin zanot zanin.gz zaninXXXXXX zanotXXXXXX zaninXXXXXX.gz ZAN ZANXXXXXX; do ln -s /etc/victim /tmp/$n; done
run_setup install
# CUPS is restarted once more here, so that what it reports comes from the new files.
kill $(pidof cupsd) && while pidof cupsd >/dev/null; do sleep 0.1; done
start_cupsd || exit 5
for q in office color acme; do lpoptions -p $q -l >$OUT/$q.options; done
mkdir -p $OUT/after && cp -a /etc/cups/ppd/. $OUT/after/
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

  // Saved copies: the queue's own old PPD, and the copy CUPS kept beside it, each apart.
  EXPECT_EQ(r.upperFile("/etc/cups/office.ppd.rpmsave"), r.out("before/office.ppd"));
  EXPECT_EQ(r.upperFile("/etc/cups/office.ppd.O.rpmsave"), r.out("before/office.ppd.O"));
  EXPECT_TRUE(has(r.out("before/office.ppd"), "*DefaultPageSize: Letter\n"));

  // CUPS itself reports the carried-over defaults after the restart.
  EXPECT_TRUE(has(r.out("office.options"), "PageSize/Media Size: *Letter ")) << r.out("office.options");
  EXPECT_TRUE(has(r.out("office.options"), "*DuplexNoTumble")) << r.out("office.options");
  EXPECT_TRUE(has(r.out("color.options"), "*Legal")) << r.out("color.options");

  // The other maker's queue and its PPD stay as they were.
  EXPECT_EQ(r.out("after/acme.ppd"), r.out("before/acme.ppd"));
  EXPECT_FALSE(r.changed("/etc/cups/acme.ppd.rpmsave"));
  EXPECT_TRUE(has(r.out("acme.options"), "*Letter"));
  EXPECT_FALSE(has(log, "Drucker = acme"));

  // Hostile names: upgraded and saved like any queue, no command ran, no link written through.
  for (const std::string q : {"color", "a;touch${IFS}pwned1", "b`touch${IFS}pwned2`", "c$(touch${IFS}pwned3)",
                              "d|touch${IFS}pwned4", "x;cd;touch pwned5"}) {
    EXPECT_TRUE(has(r.out("after/" + q + ".ppd"), "*% Plix 4.0 printer description")) << q;
    EXPECT_EQ(r.upperFile("/etc/cups/" + q + ".ppd.rpmsave"), r.out("before/" + q + ".ppd")) << q;
  }
  for (const std::string& path : r.listing()) EXPECT_FALSE(has(path, "/pwned")) << path;
  EXPECT_EQ(r.upperFile("/etc/victim"), "victim\n");
  EXPECT_EQ(r.out("tmp.after"), "ZAN\nZANXXXXXX\nzanin\nzanin.gz\nzaninXXXXXX\nzaninXXXXXX.gz\nzanot\nzanotXXXXXX\n");
  EXPECT_EQ(r.upperFile("/opt/zed/office/root/plixConfig"), "kind=plix\n%%PLIX_VERSION_3.0\nb\n");

  // The log of one queue, step by step.
  std::smatch dir;
  ASSERT_TRUE(std::regex_search(log, dir, std::regex("PPD = (.*)/Orvex_LaserPro_4200_PS.ppd.\n"))) << log;
  EXPECT_EQ(section(log, "office"), kEquals + "\n"
            "Drucker = office mit PPD=/etc/cups/ppd/office.ppd\n"
            "Speichern /etc/cups/ppd/office.ppd nach /etc/cups/office.ppd.rpmsave: Resultat=0\n"
            "Bearbeitung Orvex PPD Dateie f\374r Drucker: office.\n"
            "PPD Datei vom Verzeichnis: " + dir[1].str() + "\n"
            "PPD = " + dir[1].str() + "/Orvex_LaserPro_4200_PS.ppd.\n"
            "processNewPPD(nOptions=4)\n"
            "processNewPPD: Setting neue Optionen: *PageSize/Letter.\n"
            "processNewPPD: Setting neue Optionen: *PageRegion/Letter.\n"
            "processNewPPD: Setting neue Optionen: *Duplex/DuplexNoTumble.\n"
            "processNewPPD: Setting neue Optionen: *Resolution/600dpi.\n"
            "Neue PPD f\374r Drucker office in: /tmp/zanotXXXXXX.\n"
            "Kopieren /tmp/zanotXXXXXX nach /etc/cups/ppd/office.ppd: Resultat=0\n"
            "processPrinterConfig(office): updated.\n");
}

TEST(QueueUpgrade, RealPpdsOfSixMakersKeepEveryChosenDefaultTheNewPpdOffers) {
  // Extracted here, since the sandbox hides the host's driver programs.
  std::string real = std::string(PLIX_BUILD_DIR) + "/tests/real-ppds";
  ASSERT_EQ(system(("rm -rf " + real + " && python3 " PLIX_SOURCE_DIR "/bench/carry_over/extract-ppds.py " + real +
                    " 1 Ricoh Kyocera Lexmark Sharp Samsung Brother").c_str()), 0);
  Sandbox box;
  SandboxResult r = box.run(kPrelude + R"SH(
start_cupsd || exit 3
cp -r $BUILD/tests/real-ppds /root/real || exit 4
models=("1100 Plus" "1200 Plus" "1400 Plus" "2300 Plus" "1250 DTN" "1100 DTN")
i=0
for f in /root/real/*.ppd; do
  # The product's old PPD of a model, and its next release with one more comment line.
  sed -e '/^\*ModelName:/d' -e "1a*% Plix version: 1" -e "1a*ModelName: \"Orvex LaserPro ${models[$i]} PS\"" "$f" >/root/old$i.ppd
  sed -e '2a*% next release' /root/old$i.ppd | put /opt/zed/ppd/new$i.ppd
  lpadmin -p real$i -E -v file:/dev/null -P /root/old$i.ppd || exit 5
  run_case upgrade_tests choose c$i PPD=/etc/cups/ppd/real$i.ppd SEED=$i
  lpadmin -p real$i $(cat $OUT/c$i.out) || exit 6
  cp /etc/cups/ppd/real$i.ppd $OUT/old$i.ppd
  i=$((i + 1))
done
[ $i = 6 ] || exit 7
run_setup install
cp /var/log/Plix4.0_CarryOver $OUT/report
stat -c %a /var/log/Plix4.0_CarryOver >$OUT/report.mode
)SH");
  ASSERT_EQ(r.status, 0) << r.error << r.out("install.stderr");
  std::string report = r.out("report");
  EXPECT_EQ(r.out("report.mode"), "644\n");
  ASSERT_TRUE(report.starts_with("queue\toption\told\tnow\toutcome\n")) << report;
  int chosen = 0;
  for (int i = 0; i < 6; ++i) {
    std::string q = "real" + std::to_string(i);
    std::vector<OldDefault> old;
    ASSERT_TRUE(readOldDefaults(r.dir + "/out/old" + std::to_string(i) + ".ppd", &old)) << q;
    ppd_file_t* ppd = ppdOpenFile(r.upperPath("/etc/cups/ppd/" + q + ".ppd").c_str());
    ASSERT_NE(ppd, nullptr) << q;
    ppdMarkDefaults(ppd);
    // Every old choice is in effect (the new PPD offers them all), and is reported so.
    for (const OldDefault& d : old) {
      ppd_option_t* o = ppdFindOption(ppd, d.keyword.c_str());
      ppd_choice_t* marked = ppdFindMarkedChoice(ppd, d.keyword.c_str());
      std::string now = !o ? "-" : d.keyword == "PageRegion" ? o->defchoice : marked ? marked->choice : "-";
      EXPECT_EQ(now, d.choice) << q << " " << d.keyword;
      EXPECT_TRUE(has(report, q + "\t" + d.keyword + "\t" + d.choice + "\t" + d.choice + "\tcarried\n")) << q << " " << d.keyword;
    }
    // No option names a choice it does not offer.
    for (ppd_option_t* o = ppdFirstOption(ppd); o != nullptr; o = ppdNextOption(ppd))
      EXPECT_TRUE(!o->defchoice[0] || ppdFindChoice(o, o->defchoice)) << q << " " << o->keyword << "=" << o->defchoice;
    ppdClose(ppd);
    std::string options = r.out("c" + std::to_string(i) + ".out");
    chosen += static_cast<int>(std::count(options.begin(), options.end(), '\n'));
    EXPECT_FALSE(has(r.out("install.log"), "Pr\374fung Drucker " + q)) << q;
  }
  EXPECT_GT(chosen, 60);
  EXPECT_TRUE(has(report, "\tmismatch=0\tnot-upgraded=0\n")) << report;
}

}  // namespace
