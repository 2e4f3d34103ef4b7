// Upgrading real CUPS queues in the sandbox: queues made with lpadmin on a real cupsd from
// the product's older PPDs and from real PPDs of other makers, then the whole setup run,
// or the scan and the queue upgrade alone (the case below, run inside the sandbox).
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
#include "upgrade/printer_scan.h"
#include "upgrade/queue_upgrade.h"

namespace {

// The scan and the queue upgrade as the install branch calls them, with the PPD directory
// $PPDDIR, asking as $STEPWISE says; the Update log goes to $ULOG, what is asked to NAME.out.
SANDBOX_CASE(upgrade) {
  settings.ppdInstallDir = getenv("PPDDIR");
  settings.logPath = getenv("ULOG");
  fflush(stdout);
  dup2(fileno(out), STDOUT_FILENO);
  initPList(&printerList);
  openUpdateLog(0);
  int count = 0;
  if (scanInstalledPrinters(&printerList, &count))
    upgradeQueues(settings.ppdInstallDir, &printerList, count, atoi(getenv("STEPWISE")));
  closeUpdateLog();
}

// Shell helpers: a queue from an old product PPD; the case above as NAME, its Update log
// in $OUT/NAME.ulog; the CUPS restart recorded, not run; the names left in /tmp at the end.
const std::string kPrelude = R"SH(
OLD=$SRC/product/ppd-old Z=/usr/share/ppd/zed
queue() { lpadmin -p "$1" -E -v file:/dev/null -P "$OLD/$2" || exit 9; }
child() { local n=$1; shift; run_case upgrade_tests upgrade "$n" ULOG=$OUT/$n.ulog PPDDIR=$Z STEPWISE=0 "$@"; }
fake_command /usr/bin/systemctl 0
trap 'tmp_entries >$OUT/tmp.after' EXIT
)SH";

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The Update log NAME of a run, working-file names with their random part as XXXXXX.
std::string logOf(const SandboxResult& r, const std::string& name) {
  return std::regex_replace(r.out(name), std::regex("/tmp/(zanot|zanin)[A-Za-z0-9]{6}"), "/tmp/$1XXXXXX");
}

// One world for the upgrade alone: three product queues. nonew: no new PPD; color: a new
// PPD only in the product's fixed directory (which the real-queue test below also uses); laser: a new PPD whose rewritten copy does
// not fit a 16k /tmp beside its working copy, and no configuration file.
TEST(QueueUpgrade, AnswersFullTmpAndFullDisksKeepEveryFileWhole) {
  Sandbox box;
  SandboxResult prep = box.run(kPrelude + R"SH(
start_cupsd || exit 3
queue nonew Orvex_LaserPro_4200_PCL.ppd; queue color Orvex_ColorPage_7350_PS.ppd; queue laser Orvex_LaserPro_4200_PS.ppd
newppd() { sed 's/^\*FileVersion: "2.0"/*FileVersion: "4.0"/' "$OLD/$1"; }
newppd Orvex_ColorPage_7350_PS.ppd | put /opt/zed/ppd/color7350.ppd
{ newppd Orvex_LaserPro_4200_PS.ppd; seq -f '*%% padding line %g of the new description, long enough' 120; } |
  put $Z/l.ppd
printf 'a\n%%%%PLIX_VERSION_2.0\n' | put /opt/zed/nonew/root/plixConfig
)SH");
  ASSERT_EQ(prep.status, 0) << prep.error;
  box.keep(prep);
  auto before = [&](const std::string& q) { return prep.upperFile("/etc/cups/ppd/" + q + ".ppd"); };

  // no, yes, break: the first queue asked is left, the second upgraded, nothing after the
  // break, and no restart.
  SandboxResult r = box.run(kPrelude + "printf 'n\\nj\\nb\\n' | child ask STEPWISE=1");
  ASSERT_EQ(r.status, 0) << r.error;
  // The queues asked for, in the order asked.
  std::string asked = r.out("ask.out");
  const std::regex question("M\366chten Sie Drucker: (\\w+) upgraden\\? ");
  std::vector<std::string> order;
  for (std::sregex_iterator m(asked.begin(), asked.end(), question), end; m != end; ++m) order.push_back((*m)[1]);
  ASSERT_EQ(order.size(), 3u) << asked;
  for (const std::string& q : order) {
    EXPECT_EQ(r.upperFile("/etc/cups/" + q + ".ppd.rpmsave"), q == order[1] ? before(q) : "") << q;
    EXPECT_EQ(r.changed("/etc/cups/ppd/" + q + ".ppd"), q == order[1]) << q;
  }
  EXPECT_EQ(r.out("calls.log") + r.out("tmp.after"), "");

  // All, with one answer (the run above shows the question): nonew and laser below are both
  // worked on. /tmp too small for laser's new PPD.
  r = box.run(kPrelude + "small_tmp 16k || exit 4\nprintf 'a\\n' | child a STEPWISE=1");
  ASSERT_EQ(r.status, 0) << r.error;
  std::string log = logOf(r, "a.ulog");
  EXPECT_FALSE(r.out("calls.log").empty());
  // No new PPD: saved all the same, PPD unchanged (below), configuration still updated.
  EXPECT_EQ(r.upperFile("/etc/cups/nonew.ppd.rpmsave"), before("nonew"));
  EXPECT_EQ(r.upperFile("/opt/zed/nonew/root/plixConfig"), "a\n%%PLIX_VERSION_2.0\n");
  EXPECT_TRUE(has(log, "/opt/zed/ppd\nPPD NICHT GEFUNDEN!\nKopieren  nach /etc/cups/ppd/nonew.ppd: Resultat=256\n"
                       "processPrinterConfig(nonew): updated.\n")) << log;
  // /tmp is full while laser's new PPD is written: it keeps its PPD. No configuration file: no line.
  EXPECT_FALSE(r.changed("/etc/cups/ppd/laser.ppd") || r.changed("/etc/cups/ppd/nonew.ppd"));
  EXPECT_TRUE(has(log, "Problem Schreiben: /tmp/zanotXXXXXX f\374r Drucker laser!\n"
                       "Kopieren  nach /etc/cups/ppd/laser.ppd: Resultat=256\n")) << log;
  EXPECT_FALSE(has(log, "processPrinterConfig(laser)"));
  EXPECT_EQ(r.out("tmp.after"), "");

  // The PPD directory is full; laser's saved copy cannot be made; color's saved copy is a
  // planted link, and its configuration file's filesystem is full.
  r = box.run(kPrelude + R"SH(
cp -a /etc/cups/ppd /root/ppd.copy && mount -t tmpfs -o size=64k none /etc/cups/ppd || exit 4
cp -a /root/ppd.copy/. /etc/cups/ppd/ && dd if=/dev/zero of=/etc/cups/ppd/filler bs=4k 2>/dev/null
echo decoy >/etc/decoy && ln -s /etc/decoy /etc/cups/color.ppd.rpmsave && mkdir -p /etc/cups/laser.ppd.rpmsave/x
C=/opt/zed/color/root/plixConfig && mkdir -p ${C%/*} && mount -t tmpfs -o size=8k none ${C%/*} || exit 4
{ echo abcdefghijklmnopq; seq -f 'setting %g = value' 100 302; printf '%%%%PLIX_VERSION_1.0'; } >$C
[ $(stat -c %s $C) = 4096 ] && cp $C /root/cfg && dd if=/dev/zero of=${C%/*}/filler bs=4k 2>/dev/null
child c
diff -r -x filler /etc/cups/ppd /root/ppd.copy >$OUT/ppd.diff
cmp $C /root/cfg >$OUT/cfg.cmp 2>&1; for f in /tmp/ZAN*; do cp "$f" $OUT/kept; printf %s "$f" >$OUT/keptname; done
)SH");
  ASSERT_EQ(r.status, 0) << r.error;
  log = logOf(r, "c.ulog");
  EXPECT_EQ(r.out("ppd.diff") + r.out("cfg.cmp"), "");  // the PPDs, and the configuration file (below), stay
  EXPECT_TRUE(has(log, "in: /tmp/zanotXXXXXX.\nNeue PPD f\374r Drucker laser nicht installiert: alte PPD /etc/cups/ppd/"
                       "laser.ppd konnte nicht nach /etc/cups/laser.ppd.rpmsave gesichert werden.\n"));
  EXPECT_EQ(r.upperFile("/etc/decoy") + r.upperFile("/etc/cups/color.ppd.rpmsave"), "decoy\n" + before("color"));
  EXPECT_TRUE(has(log, "Kopieren /tmp/zanotXXXXXX nach /etc/cups/ppd/color.ppd: Resultat=256\n"
                       "Neue PPD /tmp/zanotXXXXXX nicht installiert (No space left on device); "
                       "alte PPD /etc/cups/ppd/color.ppd bleibt unver\344ndert.\n"));
  // The configuration file stays; the working copy that holds the new text is kept and named.
  EXPECT_EQ(r.out("kept"), r.upperFile("/root/cfg").replace(4093, 3, "3.0\n"));
  EXPECT_TRUE(has(log, "processPrinterConfig(color): Kopieren nach /opt/zed/color/root/plixConfig fehlgeschlagen, "
                       "Inhalt bleibt in " + r.out("keptname") + ".\n")) << log;
  EXPECT_FALSE(has(log, "processPrinterConfig(color): updated."));
}

TEST(QueueUpgrade, SetupCarriesEveryQueuesChosenDefaultsOnRealCups) {
  // Real PPDs of six makers, extracted here, since the sandbox hides the host's driver programs.
  std::string real = std::string(PLIX_BUILD_DIR) + "/tests/real-ppds";
  ASSERT_EQ(system(("rm -rf " + real + " && python3 " PLIX_SOURCE_DIR "/bench/carry_over/extract-ppds.py " + real +
                    " 1 Ricoh Kyocera Lexmark Sharp Samsung Brother").c_str()), 0);
  Sandbox box;
  SandboxResult r = box.run(kPrelude + R"SH(
start_cupsd || exit 3
queue office Orvex_LaserPro_4200_PS.ppd && lpadmin -p office -o PageSize=Letter -o Duplex=DuplexNoTumble
printf 'kind=plix\n%%%%PLIX_VERSION_1.0 and more\nb\n' | put /opt/zed/office/root/plixConfig
# Names the shell would read (the first three get a new PPD that ships only compressed), a
# name of CUPS's full length beside the configuration of its first 79 bytes, and "..".
for q in 'a;touch${IFS}pwned1' 'b`touch${IFS}pwned2`' 'c$(touch${IFS}pwned3)'; do
  queue "$q" Orvex_OfficeLine_2600_PXL.ppd; done
queue 'd|touch${IFS}pwned4' Orvex_LaserPro_4200_PS.ppd && queue $(printf 'q%.0s' {1..127}) Orvex_ColorPage_7350_PS.ppd
for f in 'x;cd;touch pwned5.ppd' ...ppd; do cp $OLD/Orvex_LaserPro_4200_PS.ppd "/etc/cups/ppd/$f"; done
for d in /opt/root /opt/zed/$(printf 'q%.0s' {1..127})/root /opt/zed/$(printf 'q%.0s' {1..79})/root; do
  echo '%%PLIX_VERSION_1.0' | put $d/plixConfig; done
# Another maker's queue; links planted at likely working-file names.
sed -e '/Plix version/d' -e 's/Orvex/Acme/g' $OLD/Orvex_LaserPro_4200_PS.ppd >/root/acme.ppd
lpadmin -p acme -E -v file:/dev/null -P /root/acme.ppd || exit 4
echo victim >/etc/victim
for n in zanin zanot zanin.gz zaninXXXXXX zanotXXXXXX zaninXXXXXX.gz ZAN ZANXXXXXX; do ln -s /etc/victim /tmp/$n; done
# Each real PPD as the product's old PPD of a model, its next release with one more comment
# line, and a queue with random choices other than its defaults.
models=("1100 Plus" "1200 Plus" "1400 Plus" "2300 Plus" "1250 DTN" "1100 DTN") i=0
for f in $BUILD/tests/real-ppds/*.ppd; do
  sed -e '/^\*ModelName:/d' -e "1a*% Plix version: 1" \
    -e "1a*ModelName: \"Orvex LaserPro ${models[$i]} PS\"" "$f" >/root/old$i.ppd
  sed -e '2a*% next release' /root/old$i.ppd | put /opt/zed/ppd/new$i.ppd
  lpadmin -p real$i -E -v file:/dev/null -P /root/old$i.ppd || exit 5
  # For each option, a random choice other than its default (seeded with the queue's number);
  # not PageRegion and ManualFeed, which marking PageSize and InputSlot sets.
  lpoptions -p real$i -l | awk -v seed=$i 'BEGIN { srand(seed) } { k = $0; sub(/[\/:].*/, "", k)
    n = split(substr($0, index($0, ": ") + 2), c, " "); p = c[1 + int(rand() * n)]
    if (n > 1 && p !~ /^(\*|Custom)/ && k !~ /^(PageRegion|ManualFeed)$/) print "-o " k "=" p }' >/root/c$i
  lpadmin -p real$i $(cat /root/c$i) || exit 6
  i=$((i + 1))
done
# Six queues, and over 60 choices set on them.
[ $i = 6 ] && [ $(cat /root/c? | wc -l) -gt 60 ] && mkdir $OUT/b && cp -a /etc/cups/ppd/. $OUT/b/ || exit 7
run_setup install && [ $(cat $OUT/install.status) = 0 ] || exit 8
cp /var/log/Plix4.0_CarryOver $OUT/report; stat -c %a /var/log/Plix4.0_CarryOver >>$OUT/report  # its mode after it
)SH");
  ASSERT_EQ(r.status, 0) << r.error << r.out("install.stderr");
  std::string log = logOf(r, "install.log"), report = r.out("report");

  // The copy CUPS kept beside the queue's PPD saved apart, its configuration updated.
  EXPECT_EQ(r.upperFile("/etc/cups/office.ppd.O.rpmsave"), r.out("b/office.ppd.O"));
  EXPECT_EQ(r.upperFile("/opt/zed/office/root/plixConfig"), "kind=plix\n%%PLIX_VERSION_3.0\nb\n");

  // That queue's upgrade, line by line.
  std::smatch dir;
  ASSERT_TRUE(std::regex_search(log, dir, std::regex("PPD = (.*)/Orvex_LaserPro_4200_PS.ppd.\n"))) << log;
  const std::string equals(58, '='), block = equals + "\n"
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
                            "processPrinterConfig(office): updated.\n";
  EXPECT_TRUE(has(log, block + equals) || has(log, block + "CUPS restart")) << log;

  // Hostile and long names: upgraded and saved like any queue, no command ran, no link
  // written through; no configuration of another queue, or above /opt/zed, touched.
  const std::string q127(127, 'q');
  for (const std::string q : {"office", "a;touch${IFS}pwned1", "b`touch${IFS}pwned2`", "c$(touch${IFS}pwned3)",
                              "d|touch${IFS}pwned4", "x;cd;touch pwned5", q127.c_str()}) {
    EXPECT_TRUE(has(r.upperFile("/etc/cups/ppd/" + q + ".ppd"), "*% Plix 4.0 printer description")) << q;
    EXPECT_EQ(r.upperFile("/etc/cups/" + q + ".ppd.rpmsave"), r.out("b/" + q + ".ppd")) << q;
  }
  for (const std::string& path : r.listing()) EXPECT_FALSE(has(path, "/pwned")) << path;
  EXPECT_EQ(r.upperFile("/etc/victim"), "victim\n");
  EXPECT_EQ(r.out("tmp.after"), "ZAN\nZANXXXXXX\nzanin\nzanin.gz\nzaninXXXXXX\nzaninXXXXXX.gz\nzanot\nzanotXXXXXX\n");
  EXPECT_EQ(r.upperFile("/opt/zed/" + q127 + "/root/plixConfig"), "%%PLIX_VERSION_3.0\n");
  for (const std::string& d : {std::string("/opt/root"), "/opt/zed/" + std::string(79, 'q') + "/root"})
    EXPECT_EQ(r.upperFile(d + "/plixConfig"), "%%PLIX_VERSION_1.0\n") << d;

  // The other maker's queue stays as it was.
  EXPECT_EQ(r.upperFile("/etc/cups/ppd/acme.ppd"), r.out("b/acme.ppd"));
  EXPECT_FALSE(r.changed("/etc/cups/acme.ppd.rpmsave") || has(log, "Drucker = acme"));

  // The product queue and the real PPDs: every chosen default is in effect (the new PPD offers them all) and is
  // reported so; no option names a choice it does not offer.
  EXPECT_TRUE(report.ends_with("\tmismatch=0\tnot-upgraded=0\n644\n")) << report;
  for (const std::string q : {"office", "real0", "real1", "real2", "real3", "real4", "real5"}) {
    std::vector<OldDefault> old;
    ASSERT_TRUE(readOldDefaults(r.dir + "/out/b/" + q + ".ppd", &old)) << q;
    ppd_file_t* ppd = ppdOpenFile(r.upperPath("/etc/cups/ppd/" + q + ".ppd").c_str());
    ASSERT_NE(ppd, nullptr) << q;
    ppdMarkDefaults(ppd);
    for (const OldDefault& d : old) {
      ppd_option_t* o = ppdFindOption(ppd, d.keyword.c_str());
      ppd_choice_t* marked = ppdFindMarkedChoice(ppd, d.keyword.c_str());
      std::string in = !o ? "-" : d.keyword == "PageRegion" ? o->defchoice : marked ? marked->choice : "-";
      EXPECT_EQ(in, d.choice) << q << " " << d.keyword;
      EXPECT_TRUE(has(report, q + "\t" + d.keyword + "\t" + d.choice + "\t" + d.choice + "\tcarried\n"))
          << q << " " << d.keyword;
    }
    for (ppd_option_t* o = ppdFirstOption(ppd); o != nullptr; o = ppdNextOption(ppd))
      EXPECT_TRUE(!o->defchoice[0] || ppdFindChoice(o, o->defchoice)) << q << " " << o->keyword << "=" << o->defchoice;
    ppdClose(ppd);
  }
}

}  // namespace
