// Whole runs of setup in one sandbox, as root on a CUPS host (a real cupsd): a new
// installation from the package tarball and its own upgrade from the installed tree, an
// installation directory with a blank and its uninstall script, the upgrade from the
// earlier release with the product's PPDs and filter in the scheduler, and the
// destination forms of the copy loop; then the parts that only the sandbox may call
// (directories, the PPD archive, the SELinux labels: cases of install_parts_test.cc).
#include <string>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

namespace {

// Log lines of the copy loop and of the steps before it: a mode given to a path, a
// directory made with its mode.
std::string chmodded(std::string p, std::string mode) { return "\304ndere Ausf\374hrungsrechte von '" + p + "' zu  " + mode + ".\n"; }
std::string made(std::string p, std::string mode) { return "Erstelltes Verzeichnis: '" + p + "'.\n" + chmodded(p, mode); }
std::string copied(const std::string& dir, const std::string& name, const std::string& to, const std::string& mode) {
  return "Kopiere Datei " + dir + name + " zu " + to + ". \n" + chmodded(to + "/" + name, "00" + mode);
}
std::string copyLoop(int items) { return "goInstall: Anfang Kopiezyclus f\374r " + std::to_string(items) + " items.\n"; }
const std::string kPrepared = "PPD-Installationsverzeichnis: /usr/share/ppd/zed\nInstallationsverzeichnis '/opt/zed' OK. \n";
const std::string kScripts = "Erstelle Deinstallationsskript: '/opt/zed/UNINSTALLPLIX'. \n"
                             "Erstelltes Skript: /opt/zed/etc/UNINSTALLPLIX.\nErstelle Drucker-Startskripte. \n";
const std::string kChcon = "chcon SELinux f\374r: \"/usr/sbin/chcon ";
std::string foundOptZed(int mode, int printers) {
  return "Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n/opt/zed.\nUpgrade Modus = " +
         std::to_string(mode) + ".\nDas Installationsverzeichnis\n\t'/opt/zed'\nexistiert und ist korrekt.\n"
         "Anzahl der gefundenen Plix-Drucker: " + std::to_string(printers) + ".\n";
}

// One sandbox and one cupsd; each world starts with no installation unless it makes one
// (`clean` takes away what a world installed, never what the host had).
TEST(Installation, WholeRunsOneWorldAfterTheOtherThenTheParts) {
  Sandbox box;
  SandboxResult r = box.run(R"(
# modes PATH...: "MODE UID:GID PATH" (with "-> TARGET" for a link) for each.
modes() { stat -c '%04a %u:%g %N' "$@" | tr -d \'; }
clean() { rm -rf /opt/zed /usr/share/ppd/zed /usr/bin/zangsfilter /var/tmp/PlixPPDFiles4.0-8.tar; }
start_cupsd || exit 3
rm -f /usr/bin/chcon
# With SELinux on (recording stand-ins): the new installation from the package tarball
# has no policy module yet, its upgrade from the installed tree loads it (an
# uninstallation never does: see the uninstall tests). No PPD archive for a new one.
for tool in chcon selinuxenabled semodule; do fake_command /usr/sbin/$tool 0; done
mkdir -p /srv/pkg && tar xzf $BUILD/product/plix-4.0-8.tar.gz -C /srv/pkg || exit 4
SETUP_CWD=/srv/pkg/plix run_setup new
rm -rf /srv/pkg $OUT/calls.log
modes $(find /opt/zed /usr/share/ppd/zed /usr/bin/zangsfilter | sort) >$OUT/modes
P=Orvex_OfficeLine_2600_PXL.ppd.gz && cmp /usr/share/ppd/zed/$P $PRODUCT/ppd/$P >>$OUT/modes 2>&1
[ -e /var/tmp/PlixPPDFiles4.0-8.tar ] && echo archived >>$OUT/modes
sed -i 's/^Default$/Default\noffice/' /opt/zed/plixInfo4.0
cp /opt/zed/plixInfo4.0 /tmp/info.before
mkdir -p /opt/zed/ppd && echo extra >/opt/zed/ppd/extra.ppd
printf '%s\n' 'bin/zannc ./bin 00755' 'ppd/extra.ppd ? 00644' 'etc/plix.pp /srv/after 00600' @@NULL | put /opt/zed/etc/PLIXINST.CONF
SETUP_CWD=/opt/zed run_setup own && cmp /tmp/info.before /opt/zed/plixInfo4.0 >$OUT/own.modes 2>&1
cat /usr/share/ppd/zed/extra.ppd >>$OUT/own.modes && modes /srv/after /srv/after/plix.pp >>$OUT/own.modes
rm -r /usr/sbin/chcon /usr/sbin/selinuxenabled /usr/sbin/semodule /srv/after && clean && mv $OUT/calls.log $OUT/own.calls

# A blank in the installation directory; a sibling /srv/plix survives its uninstall script.
for f in bin etc; do put /srv/plix/$f/keep <<<keep; done
run_setup blank -u '/srv/plix test'
(cd '/srv/plix test' && ls -A . bin) >$OUT/installed 2>&1
printf 'ja\n' | sh '/srv/plix test/etc/UNINSTALLPLIX' >$OUT/script 2>$OUT/script.err
ls -A /srv /srv/plix/bin /srv/plix/etc >$OUT/left 2>&1
clean

# An installation of the earlier release, with its information file and old PPDs.
mkdir -p /opt/zed/bin /opt/zed/etc /usr/share/ppd/zed
cp $SRC/product/ppd-old/*.ppd /usr/share/ppd/zed/
printf '%s\n' '#' '# Plix 2.0 Information File' '#' %%ZANBLOCK_GENERAL_BEGIN 'USRDIR          /opt/zed' \
  %%ZANBLOCK_GENERAL_END %%ZANBLOCK_PRINTERS_BEGIN office %%ZANBLOCK_PRINTERS_END %%ZANEND >/opt/zed/plixInfo2.0
run_setup upgrade
tar tf /var/tmp/PlixPPDFiles4.0-8.tar >$OUT/archive 2>&1
cat /opt/zed/plixInfo4.0 >$OUT/info.upgraded && sed -n 2p /opt/zed/plixInfo2.0 >>$OUT/info.upgraded
P=Orvex_LaserPro_4200_PS.ppd && cmp /usr/share/ppd/zed/$P $PRODUCT/ppd/$P >>$OUT/info.upgraded 2>&1
# The real scheduler takes every PPD of the product; the installed filter passes a job
# through, from a file or from standard input, and refuses too few arguments.
for f in $PRODUCT/ppd/*; do q=${f##*/}; lpadmin -p ${q%%.*} -E -v socket://127.0.0.1:9100 -P "$f" 2>&1 | grep -v deprecated; done >$OUT/lpadmin
LC_ALL=C lpstat -p | cut -d' ' -f1,2 | sort >>$OUT/lpadmin
printf '%%!PS\nshowpage\n' >/tmp/job.ps
{ zangsfilter 1 root title 1 '' /tmp/job.ps; zangsfilter 1 root title 1 '' </tmp/job.ps; zangsfilter 1; echo $?; } >$OUT/filtered 2>/dev/null
clean

# A product of the test's own, with no PPD directory on the host, and a link planted
# at the name its "?" item gets in /tmp.
rm -rf /usr/share/cups/model /usr/share/ppd
mkdir -p /srv/prod/bin /srv/prod/etc && cp $SETUP /srv/prod/bin/setup && for f in nc ab x mode0.txt etc/dot1.txt etc/dot2.txt etc/far.txt etc/q.txt etc/v.txt; do echo $f >/srv/prod/$f; done
chmod 0600 /srv/prod/mode0.txt
put /etc/victim 0600 <<<victim && ln -s /etc/victim /tmp/v.txt
printf '%s\n' 'etc/dot1.txt . 00640' 'mode0.txt ./data' 'etc/dot2.txt . 00640' 'nc /srv/abs 00755' 'ab ./bin' \
  'x /srv/abs' 'etc/far.txt /x' 'etc/far.txt plainrel' 'etc/far.txt ./' 'etc/far.txt ?x' etc/far.txt \
  'etc/q.txt ? 00600' 'etc/v.txt ? 00644' @@NULL | put /srv/prod/etc/PLIXINST.CONF
SETUP_CWD=/srv/prod run_setup forms
modes $(find /opt/zed/data /opt/zed/etc/dot* /srv/abs /opt/zed/bin | sort) /tmp/q.txt /etc/victim >$OUT/forms.modes
cat /tmp/q.txt /etc/victim >>$OUT/forms.modes
clean

# The parts: cases of install_parts_test.cc, with recording stand-ins for chcon.
umask 077
fake_command /usr/local/sbin/chcon 0  # the shell would find it by its bare name
mkdir -p /srv/m /opt/bad && touch /srv/m/file /opt/bad/bin
run_case install_tests dirs dirs
stat -c '%a %F' /srv/m/d777 /srv/aa* /srv/aa*/b* >$OUT/dirs.modes
fake_command /usr/sbin/chcon 1 "chcon: failing" && run_case install_tests label failing
rm /usr/sbin/chcon && mv $OUT/calls.log $OUT/failing.calls && run_case install_tests label none
umask 022
mkdir -p '/srv/ppd dir' /srv/work && echo a >'/srv/ppd dir/a.ppd' && echo b >'/srv/ppd dir/b.ppd.gz'
cd /srv/work && echo no >stranger.txt
archive() { run_case install_tests archive $1 PPD_DIR="$2"; tar tf /var/tmp/PlixPPDFiles4.0-8.tar >$OUT/$1.tar 2>/dev/null; }
archive spaced '/srv/ppd dir'; archive notdir /srv/work/stranger.txt; archive absent /srv/absent
# A name planted in /var/tmp, a link to where a file would do harm, stays as it is.
rm /var/tmp/PlixPPDFiles4.0-8.tar && ln -s /etc/cron.d/planted /var/tmp/PlixPPDFiles4.0-8.tar
archive planted '/srv/ppd dir'
true
)");
  ASSERT_EQ(r.status, 0) << r.error;
  for (std::string run : {"new", "own", "blank", "upgrade", "forms"}) EXPECT_EQ(r.out(run + ".status"), "0\n") << run;
  EXPECT_EQ(r.out("modes"),
            "0755 0:0 /opt/zed\n0755 0:0 /opt/zed/bin\n0755 0:0 /opt/zed/bin/setup\n0755 0:0 /opt/zed/bin/zangsfilter\n"
            "0755 0:0 /opt/zed/bin/zannc\n0755 0:0 /opt/zed/etc\n0644 0:0 /opt/zed/etc/PLIXINST.CONF\n"
            "0755 0:0 /opt/zed/etc/UNINSTALLPLIX\n0644 0:0 /opt/zed/etc/plix.pp\n0644 0:0 /opt/zed/etc/plix4.0.png\n"
            "0755 0:0 /opt/zed/plixInfo4.0\n0777 0:0 /usr/bin/zangsfilter -> /opt/zed/bin/zangsfilter\n"
            "0755 0:0 /usr/share/ppd/zed\n0644 0:0 /usr/share/ppd/zed/Orvex_ColorPage_7350_PS.ppd\n"
            "0644 0:0 /usr/share/ppd/zed/Orvex_LaserPro_4200_PCL.ppd\n0644 0:0 /usr/share/ppd/zed/Orvex_LaserPro_4200_PS.ppd\n"
            "0644 0:0 /usr/share/ppd/zed/Orvex_OfficeLine_2600_PXL.ppd.gz\n");
  for (std::string anchor :
       {std::string("Neue Installation\nPLIXINST.CONF = /srv/pkg/plix/etc/PLIXINST.CONF.\ncd /srv/pkg/plix.\n"
                    "setup nach RPM in: /srv/pkg/plix.\n"),
        kPrepared + "Erstelle Konfigurationsdatei: '/opt/zed/plixInfo3.0'. \n" + kScripts + copyLoop(10),
        "Verkn\374pfung 1: /usr/bin/zangsfilter mit /opt/zed/bin/zangsfilter verkn\374pft.\n" + kChcon +
            "-u system_u /usr/bin/zangsfilter 2>/dev/null\": Resultat: 0\n" + kChcon +
            "-t bin_t /opt/zed/bin/zangsfilter 2>/dev/null\": Resultat: 0\n"})
    expectIn(r, "new.log", anchor);
  // The policy file is missing, so it is reported and no module is loaded (which happens
  // only when the file is there: the upgrade of its own below).
  expectIn(r, "new.stderr", ".......\nSELinux aktive, aber keine plix.pp Datei gefunden.");

  // The upgrade of its own keeps the information file (compared in the script, before its
  // listing; its two queues are counted in the log); from the installed tree nothing is
  // copied before the first "?" item; the filter link is there, so it is not made again.
  // The policy module is loaded, so its missing file is not reported.
  expectIn(r, "own.log", foundOptZed(2, 2) + "PLIXINST.CONF = /opt/zed/etc/PLIXINST.CONF.\ncd /opt/zed.\n" + kChcon +
                             "-R -u system_u /opt/zed/bin 2>/dev/null\": Resultat: 0\n" + kPrepared +
                             "Erstellen der Konfigurationsdatei \374berspringen: '/opt/zed/plixInfo3.0'. \n" + kScripts +
                             copyLoop(3) + copied("ppd/", "extra.ppd", "/usr/share/ppd/zed", "644"));
  EXPECT_EQ(r.out("own.log").find("Verkn\374pfung 1:"), std::string::npos);
  EXPECT_EQ(r.out("own.modes"), "extra\n0755 0:0 /srv/after\n0600 0:0 /srv/after/plix.pp\n");
  expectIn(r, "own.calls", "/usr/sbin/semodule -i /opt/zed/etc/plix.pp\n");

  // Every path of the blank installation is one shell word, also in its uninstall script
  // (no copy failed; the files are there). Its filter link is made like /opt/zed's above.
  EXPECT_EQ(r.out("blank.log").find("FALSCH"), std::string::npos);
  EXPECT_EQ(r.out("installed"), ".:\nbin\netc\nplixInfo4.0\n\nbin:\nsetup\nzangsfilter\nzannc\n");
  EXPECT_EQ(r.out("script") + r.out("script.err"),
            "Deinstallation von 'Plix 4.0-0'\nM\366chten Sie Plix 4.0-0 wirklich deinstallieren? [Nein]? \n");
  EXPECT_EQ(r.out("left"), "/srv:\nplix\n\n/srv/plix/bin:\nkeep\n\n/srv/plix/etc:\nkeep\n");

  // The upgrade from the earlier release archives the old PPDs, copies the information
  // file and keeps the old one; the product's PPDs replace the old ones byte for byte (the
  // PPD directory's line is the new installation's, the start lines the same as there).
  expectIn(r, "upgrade.log", foundOptZed(1, 1));
  expectIn(r, "upgrade.log", "Speichern PPD Dateie von: /usr/share/ppd/zed.\nNach: /var/tmp/PlixPPDFiles4.0-8.tar.\n"
                             "Installationsverzeichnis '/opt/zed' OK. \nKopie Datei plixInfo2.0 nach plixInfo3.0.\n"
                             "Kopie von Plix Konfig Datei /opt/zed/plixInfo2.0 nach plixInfo3.0. \n");
  EXPECT_EQ(r.out("archive"), "Orvex_ColorPage_7350_PS.ppd\nOrvex_LaserPro_4200_PCL.ppd\n"
                              "Orvex_LaserPro_4200_PS.ppd\nOrvex_OfficeLine_2600_PXL.ppd\n");
  EXPECT_EQ(r.out("info.upgraded"),
            "#\n# Plix 3.0 Information File\n#\n%%ZANBLOCK_GENERAL_BEGIN\nUSRDIR          /opt/zed\n"
            "%%ZANBLOCK_GENERAL_END\n%%ZANBLOCK_PRINTERS_BEGIN\noffice\n%%ZANBLOCK_PRINTERS_END\n%%ZANEND\n"
            "# Plix 2.0 Information File\n");
  EXPECT_EQ(r.out("lpadmin") + r.out("filtered"), "printer Orvex_ColorPage_7350_PS\nprinter Orvex_LaserPro_4200_PCL\n"
            "printer Orvex_LaserPro_4200_PS\nprinter Orvex_OfficeLine_2600_PXL\n%!PS\nshowpage\n%!PS\nshowpage\n1\n");

  // After a directory form, "." items get a directory of their own name; items without a
  // mode keep the product's; unknown forms are passed over; "?" leads to /tmp.
  std::string skipped;
  for (const char* to : {"/x", "plainrel", "./", "?x", ""})
    skipped += "Kopiere Datei etc/far.txt: unbekanntes Ziel '" + std::string(to) + "', \374bersprungen.\n";
  expectIn(r, "forms.log", copyLoop(13) + copied("etc/", "dot1.txt", "/opt/zed/etc/dot1.txt", "640"));
  expectIn(r, "forms.log", skipped + copied("etc/", "q.txt", "/tmp", "600") +
                               "'/tmp/v.txt' ist schon vorhanden und wird weder benutzt noch \374berschrieben.\n");
  EXPECT_EQ(r.out("forms.modes"),
            "0755 0:0 /opt/zed/bin\n0755 0:0 /opt/zed/data\n0600 0:0 /opt/zed/data/mode0.txt\n"
            "0644 0:0 /opt/zed/etc/dot1.txt\n0755 0:0 /opt/zed/etc/dot2.txt\n0640 0:0 /opt/zed/etc/dot2.txt/dot2.txt\n"
            "0755 0:0 /srv/abs\n0755 0:0 /srv/abs/nc\n0600 0:0 /tmp/q.txt\n0600 0:0 /etc/victim\netc/q.txt\nvictim\n");

  // The parts (see the cases in install_parts_test.cc).
  std::string a = "/srv/" + std::string(150, 'a'), b = a + "/" + std::string(150, 'b');
  EXPECT_EQ(r.out("dirs.out") + r.out("dirs.modes"), "1 0 -1 -1 -1 -1 0 1 1 -1\n777 directory\n755 directory\n755 directory\n");
  EXPECT_EQ(r.out("dirs.log"), made("/srv/m/d777", "00777") + made(a, "00755") + made(b, "00755") +
                                   "Kein ZED binary Verzeichnis: '/opt/bad/bin' m\366glich\n" + made("/opt/zed", "00755") +
                                   made("/opt/zed/bin", "00755") + made("/opt/zed/etc", "00755"));
  // Each labelling call is made; a logged one shows its command line and raw status,
  // while a failing chcon's own error output is discarded. Without chcon nothing is run.
  EXPECT_EQ(r.out("failing.calls") + r.out("failing.out") + r.out("failing.log"),
            "/usr/sbin/chcon -t bin_t /opt/zed/bin/zangsfilter\n/usr/sbin/chcon -R -u system_u /opt/my zed;x/bin\n256 256\n"
            "-1\nchcon SELinux f\374r: \"/usr/sbin/chcon -R -u system_u '/opt/my zed;x/bin' 2>/dev/null\": Resultat: 256\n");
  EXPECT_EQ(r.out("none.out") + r.out("none.log") + r.out("calls.log"), "-1 -1\n-1\n");
  // tar runs in the PPD directory or not at all, and never writes through a planted name.
  EXPECT_EQ(r.out("spaced.out") + r.out("spaced.tar") + r.out("spaced.log"),
            "0 /srv/work\na.ppd\nb.ppd.gz\nSpeichern PPD Dateie von: /srv/ppd dir.\nNach: /var/tmp/PlixPPDFiles4.0-8.tar.\n");
  EXPECT_TRUE(r.out("notdir.out") != "0 /srv/work\n" && r.out("notdir.tar").empty()) << r.out("notdir.out");
  EXPECT_EQ(r.out("absent.out") + r.out("absent.log"), "-1 /srv/work\nKeine Zugrif auf PPD Verzeichnis: \"/srv/absent\"\n");
  EXPECT_EQ(r.out("planted.log"),
            "'/var/tmp/PlixPPDFiles4.0-8.tar' ist schon vorhanden und wird weder benutzt noch \374berschrieben.\n");
  EXPECT_FALSE(r.changed("/etc/cron.d/planted"));
}

}  // namespace
