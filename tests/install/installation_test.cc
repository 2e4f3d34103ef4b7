// Whole installation runs of setup in the sandbox, as root on a CUPS host (a real
// cupsd in the sandbox): a new installation from the package tarball and its uninstall
// script, both kinds of upgrade, a run from the installed tree, the destination forms
// of the copy loop, an installation directory with a blank, and the lookup of an
// earlier installation.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

namespace {

// "MODE UID:GID PATH" for every path of the upper layer below one of `prefixes`, and
// "-> TARGET" for a link.
std::string modes(const SandboxResult& r, const std::vector<std::string>& prefixes) {
  std::string out;
  for (const std::string& path : r.listing()) {
    bool wanted = false;
    for (const std::string& p : prefixes) wanted = wanted || path.rfind(p, 0) == 0;
    if (!wanted) continue;
    std::string plain = path.back() == '/' ? path.substr(0, path.size() - 1) : path;
    struct stat st;
    if (lstat(r.upperPath(plain).c_str(), &st) != 0) continue;
    char line[64];
    snprintf(line, sizeof line, "%04o %u:%u ", st.st_mode & 07777, st.st_uid, st.st_gid);
    out += line + path;
    if (S_ISLNK(st.st_mode)) {
      char target[512] = {};
      ssize_t n = readlink(r.upperPath(plain).c_str(), target, sizeof target - 1);
      out += " -> " + std::string(target, n > 0 ? static_cast<size_t>(n) : 0);
    }
    out += "\n";
  }
  return out;
}

// The part of `log` from the line that begins with `from` up to and including the
// line that begins with `to` (after it); "" when either is missing.
std::string section(const std::string& log, const std::string& from, const std::string& to) {
  size_t a = log.rfind("\n" + from) == std::string::npos ? std::string::npos : log.find("\n" + from) + 1;
  if (log.rfind(from, 0) == 0) a = 0;
  if (a == std::string::npos) return "";
  size_t b = log.find("\n" + to, a);
  if (b == std::string::npos) return "";
  size_t end = log.find('\n', b + 1);
  return log.substr(a, end == std::string::npos ? std::string::npos : end + 1 - a);
}

// The log of a new installation into /opt/zed from `dir`, from "Neue Installation" to
// the last label of the filter (chcon faked to succeed).
std::string newInstallLog(const std::string& dir) {
  std::string log =
      "Neue Installation\n"
      "PLIXINST.CONF = " + dir + "/etc/PLIXINST.CONF.\n"
      "cd " + dir + ".\n"
      "setup nach RPM in: " + dir + ".\n"
      "Erstelltes Verzeichnis: '/opt/zed'.\n"
      "\304ndere Ausf\374hrungsrechte von '/opt/zed' zu  00755.\n"
      "Erstelltes Verzeichnis: '/opt/zed/bin'.\n"
      "\304ndere Ausf\374hrungsrechte von '/opt/zed/bin' zu  00755.\n"
      "Erstelltes Verzeichnis: '/opt/zed/etc'.\n"
      "\304ndere Ausf\374hrungsrechte von '/opt/zed/etc' zu  00755.\n"
      "chcon SELinux f\374r: \"/usr/bin/chcon -R -u system_u /opt/zed/bin 2>/dev/null\": Resultat: 0\n"
      "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n"
      "Installationsverzeichnis '/opt/zed' OK. \n"
      "Erstelle Konfigurationsdatei: '/opt/zed/plixInfo3.0'. \n"
      "Erstelle Deinstallationsskript: '/opt/zed/UNINSTALLPLIX'. \n"
      "Erstelltes Skript: /opt/zed/etc/UNINSTALLPLIX.\n"
      "Erstelle Drucker-Startskripte. \n"
      "goInstall: Anfang Kopiezyclus f\374r 10 items.\n";
  struct Item {
    const char* source;
    const char* dir;
    const char* name;
    const char* mode;
  } items[] = {
      {"bin/setup", "/opt/zed/bin", "setup", "755"},
      {"bin/zangsfilter", "/opt/zed/bin", "zangsfilter", "755"},
      {"bin/zannc", "/opt/zed/bin", "zannc", "755"},
      {"etc/plix4.0.png", "/opt/zed/etc", "plix4.0.png", "644"},
      {"etc/plix.pp", "/opt/zed/etc", "plix.pp", "644"},
      {"etc/PLIXINST.CONF", "/opt/zed/etc", "PLIXINST.CONF", "644"},
      {"ppd/Orvex_LaserPro_4200_PS.ppd", "/usr/share/ppd/zed", "Orvex_LaserPro_4200_PS.ppd", "644"},
      {"ppd/Orvex_LaserPro_4200_PCL.ppd", "/usr/share/ppd/zed", "Orvex_LaserPro_4200_PCL.ppd", "644"},
      {"ppd/Orvex_ColorPage_7350_PS.ppd", "/usr/share/ppd/zed", "Orvex_ColorPage_7350_PS.ppd", "644"},
      {"ppd/Orvex_OfficeLine_2600_PXL.ppd.gz", "/usr/share/ppd/zed", "Orvex_OfficeLine_2600_PXL.ppd.gz",
       "644"},
  };
  for (const Item& i : items) {
    log += std::string("Kopiere Datei ") + i.source + " zu " + i.dir + ". \n";
    log += std::string("\304ndere Ausf\374hrungsrechte von '") + i.dir + "/" + i.name + "' zu  00" + i.mode + ".\n";
  }
  log +=
      "Verkn\374pfung 1: /usr/bin/zangsfilter mit /opt/zed/bin/zangsfilter verkn\374pft.\n"
      "chcon SELinux f\374r: \"/usr/bin/chcon -u system_u /usr/bin/zangsfilter 2>/dev/null\": Resultat: 0\n"
      "chcon SELinux f\374r: \"/usr/bin/chcon -t bin_t /opt/zed/bin/zangsfilter 2>/dev/null\": Resultat: 0\n";
  return log;
}

std::string infoFile(const std::string& dir) {
  return "#\n# Plix 4.0 Information File\n#\n%%ZANBLOCK_GENERAL_BEGIN\n"
         "USRDIR          " + dir + "\n"
         "HOMEDIR         $HOME\nTMPDIR          /tmp\n%%ZANBLOCK_GENERAL_END\n#\n#\n"
         "%%ZANBLOCK_PRINTERS_BEGIN\nDefault\n%%ZANBLOCK_PRINTERS_END\n#\n#\n"
         "%%ZANBLOCK_USERS_BEGIN\nroot\n%%ZANBLOCK_USERS_END\n#\n#\n"
         "%%ZANBLOCK_PRNT_BEGIN Default\nroot\n%%ZANBLOCK_PRNT_END Default\n#\n#\n%%ZANEND\n";
}

const char* const kQuestion = "M\366chten Sie Plix 4.0-0 wirklich deinstallieren? [Nein]? \n";

TEST(Installation, NewInstallFromThePackageTarballAndItsUninstallScript) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
fake_command /usr/bin/chcon 0
mkdir -p /srv/pkg && tar xzf $BUILD/product/plix-4.0-8.tar.gz -C /srv/pkg || exit 4
SETUP_CWD=/srv/pkg/plix run_setup new
rm -rf /srv/pkg
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("new.status"), "0\n");
  std::string log = r.out("new.log");
  EXPECT_EQ(section(log, "Neue Installation", "chcon SELinux f\374r: \"/usr/bin/chcon -t bin_t"),
            newInstallLog("/srv/pkg/plix"))
      << log;

  EXPECT_EQ(modes(r, {"/opt/", "/usr/bin/zangsfilter", "/usr/share/ppd/zed", "/var/tmp/"}),
            "0755 0:0 /opt/\n"
            "0755 0:0 /opt/zed/\n"
            "0755 0:0 /opt/zed/bin/\n"
            "0755 0:0 /opt/zed/bin/setup\n"
            "0755 0:0 /opt/zed/bin/zangsfilter\n"
            "0755 0:0 /opt/zed/bin/zannc\n"
            "0755 0:0 /opt/zed/etc/\n"
            "0644 0:0 /opt/zed/etc/PLIXINST.CONF\n"
            "0755 0:0 /opt/zed/etc/UNINSTALLPLIX\n"
            "0644 0:0 /opt/zed/etc/plix.pp\n"
            "0644 0:0 /opt/zed/etc/plix4.0.png\n"
            "0755 0:0 /opt/zed/plixInfo4.0\n"
            "0777 0:0 /usr/bin/zangsfilter -> /opt/zed/bin/zangsfilter\n"
            "0755 0:0 /usr/share/ppd/zed/\n"
            "0644 0:0 /usr/share/ppd/zed/Orvex_ColorPage_7350_PS.ppd\n"
            "0644 0:0 /usr/share/ppd/zed/Orvex_LaserPro_4200_PCL.ppd\n"
            "0644 0:0 /usr/share/ppd/zed/Orvex_LaserPro_4200_PS.ppd\n"
            "0644 0:0 /usr/share/ppd/zed/Orvex_OfficeLine_2600_PXL.ppd.gz\n");
  std::string product = builtProduct();
  EXPECT_EQ(r.upperFile("/usr/share/ppd/zed/Orvex_OfficeLine_2600_PXL.ppd.gz"),
            readFile(product + "/ppd/Orvex_OfficeLine_2600_PXL.ppd.gz"));
  EXPECT_EQ(r.upperFile("/opt/zed/bin/zangsfilter"), readFile(product + "/bin/zangsfilter"));
  EXPECT_EQ(r.upperFile("/opt/zed/etc/plix4.0.png"), readFile(product + "/etc/plix4.0.png"));
  EXPECT_EQ(r.upperFile("/opt/zed/plixInfo4.0"), infoFile("/opt/zed"));
  std::string script = r.upperFile("/opt/zed/etc/UNINSTALLPLIX");
  EXPECT_NE(script.find("\nif [ -f $1 ] ; then\n  /usr/bin/rm $1\nfi\n"), std::string::npos) << script;
  EXPECT_NE(script.find("\ndelDir /usr/share/ppd/zed/ppd\ndelDir /opt/zed/etc\ndelDir /opt/zed/bin\n"
                        "delDir /opt/zed\n"),
            std::string::npos)
      << script;

  // The uninstall script, run for real: "n" and an empty answer leave everything, an
  // unclear answer asks again, "ja" removes the installation.
  box.keep(r);
  SandboxResult u = box.run(R"(
printf 'n\n' | sh /opt/zed/etc/UNINSTALLPLIX >$OUT/n.out 2>$OUT/n.err; echo $? >$OUT/n.status
ls -A /opt/zed >$OUT/n.left
printf '\n' | sh /opt/zed/etc/UNINSTALLPLIX >$OUT/empty.out 2>&1
ls -A /opt/zed >$OUT/empty.left
printf 'vielleicht\nja\n' | sh /opt/zed/etc/UNINSTALLPLIX >$OUT/ja.out 2>/dev/null
ls -d /opt/zed /usr/share/ppd/zed >$OUT/ja.left 2>&1
exit 0
)");
  ASSERT_EQ(u.status, 0) << u.error;
  std::string title = "Deinstallation von 'Plix 4.0-0'\n";
  EXPECT_EQ(u.out("n.out"), title + kQuestion);
  EXPECT_EQ(u.out("n.err"), "");
  EXPECT_EQ(u.out("n.status"), "0\n");
  EXPECT_EQ(u.out("n.left"), "bin\netc\nplixInfo4.0\n");
  EXPECT_EQ(u.out("empty.out"), title + kQuestion);
  EXPECT_EQ(u.out("empty.left"), "bin\netc\nplixInfo4.0\n");
  EXPECT_EQ(u.out("ja.out"), title + kQuestion + kQuestion);
  EXPECT_EQ(u.out("ja.left"), "ls: cannot access '/opt/zed': No such file or directory\n/usr/share/ppd/zed\n");
  EXPECT_TRUE(u.deleted("/opt/zed"));
}

TEST(Installation, UpgradeOfAnInstallationFoundThroughItsOwnInfoFileLeavesTheFileAlone) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
run_setup first
sed -i 's/^Default$/Default\noffice/' /opt/zed/plixInfo4.0
cp /opt/zed/plixInfo4.0 $OUT/info.before
run_setup second
cp /opt/zed/plixInfo4.0 $OUT/info.after
ls /var/tmp/PlixPPDFiles4.0-8.tar >$OUT/vartmp 2>/dev/null; exit 0
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("second.status"), "0\n");
  EXPECT_EQ(r.out("info.after"), r.out("info.before"));
  EXPECT_NE(r.out("info.after").find("\nDefault\noffice\n"), std::string::npos);
  EXPECT_EQ(r.out("vartmp"), "");
  std::string log = r.out("second.log");
  std::string dir = builtProduct();
  EXPECT_EQ(section(log, "Vorhandene Plix", "goInstall: Anfang"),
            "Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n/opt/zed.\n"
            "Upgrade Modus = 2.\n"
            "Das Installationsverzeichnis\n\t'/opt/zed'\nexistiert und ist korrekt.\n"
            "Anzahl der gefundenen Plix-Drucker: 2.\n"
            "PLIXINST.CONF = " + dir + "/etc/PLIXINST.CONF.\n"
            "cd " + dir + ".\n"
            "setup nach RPM in: " + dir + ".\n"
            "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n"
            "Installationsverzeichnis '/opt/zed' OK. \n"
            "Erstellen der Konfigurationsdatei \374berspringen: '/opt/zed/plixInfo3.0'. \n"
            "Erstelle Deinstallationsskript: '/opt/zed/UNINSTALLPLIX'. \n"
            "Erstelltes Skript: /opt/zed/etc/UNINSTALLPLIX.\n"
            "Erstelle Drucker-Startskripte. \n"
            "goInstall: Anfang Kopiezyclus f\374r 10 items.\n")
      << log;
  // The filter link is there from the first run: no second link attempt.
  EXPECT_EQ(log.find("Verkn\374pfung 1:"), std::string::npos);
  EXPECT_NE(log.find("Kopiere Datei bin/setup zu /opt/zed/bin. \n"), std::string::npos);
}

TEST(Installation, UpgradeFromTheEarlierReleaseCarriesTheInfoFileOverAndArchivesItsPpds) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
mkdir -p /opt/zed/bin /opt/zed/etc /usr/share/ppd/zed
cp $SRC/product/ppd-old/*.ppd /usr/share/ppd/zed/
put /opt/zed/plixInfo2.0 <<'INFO'
#
# Plix 2.0 Information File
#
%%ZANBLOCK_GENERAL_BEGIN
USRDIR          /opt/zed
%%ZANBLOCK_GENERAL_END
%%ZANBLOCK_PRINTERS_BEGIN
office
%%ZANBLOCK_PRINTERS_END
%%ZANEND
INFO
run_setup upgrade
tar tf /var/tmp/PlixPPDFiles4.0-8.tar >$OUT/archive 2>&1
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("upgrade.status"), "0\n");
  std::string log = r.out("upgrade.log");
  std::string dir = builtProduct();
  EXPECT_EQ(section(log, "Vorhandene Plix", "Erstelle Deinstallationsskript"),
            "Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n/opt/zed.\n"
            "Upgrade Modus = 1.\n"
            "Das Installationsverzeichnis\n\t'/opt/zed'\nexistiert und ist korrekt.\n"
            "Anzahl der gefundenen Plix-Drucker: 1.\n"
            "PLIXINST.CONF = " + dir + "/etc/PLIXINST.CONF.\n"
            "cd " + dir + ".\n"
            "setup nach RPM in: " + dir + ".\n"
            "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n"
            "Speichern PPD Dateie von: /usr/share/ppd/zed.\n"
            "Nach: /var/tmp/PlixPPDFiles4.0-8.tar.\n"
            "Installationsverzeichnis '/opt/zed' OK. \n"
            "Kopie Datei plixInfo2.0 nach plixInfo3.0.\n"
            "Kopie von Plix Konfig Datei /opt/zed/plixInfo2.0 nach plixInfo3.0. \n"
            "Erstelle Deinstallationsskript: '/opt/zed/UNINSTALLPLIX'. \n")
      << log;
  EXPECT_EQ(r.out("archive"),
            "Orvex_ColorPage_7350_PS.ppd\nOrvex_LaserPro_4200_PCL.ppd\nOrvex_LaserPro_4200_PS.ppd\n"
            "Orvex_OfficeLine_2600_PXL.ppd\n");
  EXPECT_EQ(r.upperFile("/opt/zed/plixInfo4.0"),
            "#\n# Plix 3.0 Information File\n#\n%%ZANBLOCK_GENERAL_BEGIN\nUSRDIR          /opt/zed\n"
            "%%ZANBLOCK_GENERAL_END\n%%ZANBLOCK_PRINTERS_BEGIN\noffice\n%%ZANBLOCK_PRINTERS_END\n%%ZANEND\n");
  EXPECT_NE(r.upperFile("/opt/zed/plixInfo2.0").find("# Plix 2.0 Information File\n"), std::string::npos);
  // The new PPDs replace the archived ones.
  EXPECT_EQ(r.upperFile("/usr/share/ppd/zed/Orvex_LaserPro_4200_PS.ppd"),
            readFile(dir + "/ppd/Orvex_LaserPro_4200_PS.ppd"));
}

TEST(Installation, RunFromTheInstalledTreeCopiesNothingBeforeTheFirstPpdItem) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
run_setup first
mkdir -p /opt/zed/ppd && echo extra >/opt/zed/ppd/extra.ppd
put /opt/zed/etc/PLIXINST.CONF <<'M'
bin/zannc        ./bin     00755
etc/plix4.0.png  ./etc
ppd/extra.ppd    ?         00644
etc/plix.pp      /srv/after 00600
@@NULL
M
SETUP_CWD=/opt/zed run_setup installed
)");
  ASSERT_EQ(r.status, 0) << r.error;
  std::string log = r.out("installed.log");
  EXPECT_EQ(section(log, "PLIXINST.CONF = ", "goInstall: Anfang"),
            "PLIXINST.CONF = /opt/zed/etc/PLIXINST.CONF.\n"
            "cd /opt/zed.\n"
            "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n"
            "Installationsverzeichnis '/opt/zed' OK. \n"
            "Erstellen der Konfigurationsdatei \374berspringen: '/opt/zed/plixInfo3.0'. \n"
            "Erstelle Deinstallationsskript: '/opt/zed/UNINSTALLPLIX'. \n"
            "Erstelltes Skript: /opt/zed/etc/UNINSTALLPLIX.\n"
            "Erstelle Drucker-Startskripte. \n"
            "goInstall: Anfang Kopiezyclus f\374r 4 items.\n")
      << log;
  EXPECT_EQ(section(log, "goInstall: Anfang", "\304ndere Ausf\374hrungsrechte von '/srv/after/plix.pp'"),
            "goInstall: Anfang Kopiezyclus f\374r 4 items.\n"
            "Kopiere Datei ppd/extra.ppd zu /usr/share/ppd/zed. \n"
            "\304ndere Ausf\374hrungsrechte von '/usr/share/ppd/zed/extra.ppd' zu  00644.\n"
            "Erstelltes Verzeichnis: '/srv/after'.\n"
            "\304ndere Ausf\374hrungsrechte von '/srv/after' zu  00755.\n"
            "Kopiere Datei etc/plix.pp zu /srv/after. \n"
            "\304ndere Ausf\374hrungsrechte von '/srv/after/plix.pp' zu  00600.\n")
      << log;
  EXPECT_EQ(r.upperFile("/usr/share/ppd/zed/extra.ppd"), "extra\n");
}

TEST(Installation, DestinationFormsOfTheCopyLoop) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
rm -rf /usr/share/cups/model /usr/share/ppd
mkdir -p /srv/prod/bin /srv/prod/etc
cp $SETUP /srv/prod/bin/setup
echo nc-program >/srv/prod/nc
echo ab >/srv/prod/ab
echo x >/srv/prod/x
echo m0 >/srv/prod/mode0.txt; chmod 0600 /srv/prod/mode0.txt
for f in dot1 dot2 far q; do echo $f >/srv/prod/etc/$f.txt; done
put /srv/prod/etc/PLIXINST.CONF <<'M'
etc/dot1.txt    .         00640
mode0.txt       ./data
etc/dot2.txt    .         00640
nc              /srv/abs  00755
ab              ./bin
x               /srv/abs
etc/far.txt     /x
etc/far.txt     plainrel
etc/far.txt     ./
etc/far.txt     ?x
etc/far.txt
etc/q.txt       ?         00600
@@NULL
M
SETUP_CWD=/srv/prod run_setup forms
ls -l /tmp/q.txt | cut -c1-10 >$OUT/tmp.q
cat /tmp/q.txt >>$OUT/tmp.q
)");
  ASSERT_EQ(r.status, 0) << r.error;
  std::string log = r.out("forms.log");
  EXPECT_EQ(section(log, "goInstall: Anfang", "\304ndere Ausf\374hrungsrechte von '/tmp/q.txt'"),
            "goInstall: Anfang Kopiezyclus f\374r 12 items.\n"
            "Kopiere Datei etc/dot1.txt zu /opt/zed/etc/dot1.txt. \n"
            "\304ndere Ausf\374hrungsrechte von '/opt/zed/etc/dot1.txt/dot1.txt' zu  00640.\n"
            "Erstelltes Verzeichnis: '/opt/zed/data'.\n"
            "\304ndere Ausf\374hrungsrechte von '/opt/zed/data' zu  00755.\n"
            "Kopiere Datei mode0.txt zu /opt/zed/data. \n"
            "Erstelltes Verzeichnis: '/opt/zed/etc/dot2.txt'.\n"
            "\304ndere Ausf\374hrungsrechte von '/opt/zed/etc/dot2.txt' zu  00755.\n"
            "Kopiere Datei etc/dot2.txt zu /opt/zed/etc/dot2.txt. \n"
            "\304ndere Ausf\374hrungsrechte von '/opt/zed/etc/dot2.txt/dot2.txt' zu  00640.\n"
            "Erstelltes Verzeichnis: '/srv/abs'.\n"
            "\304ndere Ausf\374hrungsrechte von '/srv/abs' zu  00755.\n"
            "Kopiere Datei nc zu /srv/abs. \n"
            "\304ndere Ausf\374hrungsrechte von '/srv/abs/nc' zu  00755.\n"
            "Kopiere Datei etc/far.txt: unbekanntes Ziel '/x', \374bersprungen.\n"
            "Kopiere Datei etc/far.txt: unbekanntes Ziel 'plainrel', \374bersprungen.\n"
            "Kopiere Datei etc/far.txt: unbekanntes Ziel './', \374bersprungen.\n"
            "Kopiere Datei etc/far.txt: unbekanntes Ziel '?x', \374bersprungen.\n"
            "Kopiere Datei etc/far.txt: unbekanntes Ziel '', \374bersprungen.\n"
            "Kopiere Datei etc/q.txt zu /tmp. \n"
            "\304ndere Ausf\374hrungsrechte von '/tmp/q.txt' zu  00600.\n")
      << log;
  EXPECT_EQ(modes(r, {"/opt/zed/data", "/opt/zed/etc/dot", "/srv/abs", "/opt/zed/bin/"}),
            "0755 0:0 /opt/zed/bin/\n"
            "0755 0:0 /opt/zed/data/\n"
            "0600 0:0 /opt/zed/data/mode0.txt\n"
            "0644 0:0 /opt/zed/etc/dot1.txt\n"
            "0755 0:0 /opt/zed/etc/dot2.txt/\n"
            "0640 0:0 /opt/zed/etc/dot2.txt/dot2.txt\n"
            "0755 0:0 /srv/abs/\n"
            "0755 0:0 /srv/abs/nc\n");
  EXPECT_EQ(r.out("tmp.q"), "-rw-------\nq\n");
}

TEST(Installation, InstallDirectoryWithABlankIsCopiedIntoAndRemovedAlone) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
mkdir -p /srv/plix/bin /srv/plix/etc
echo keep >/srv/plix/bin/keep; echo keep >/srv/plix/etc/keep
run_setup blank -u '/srv/plix test'
ls -A '/srv/plix test' '/srv/plix test/bin' >$OUT/installed 2>&1
readlink /usr/bin/zangsfilter >$OUT/link
printf 'ja\n' | sh '/srv/plix test/etc/UNINSTALLPLIX' >/dev/null 2>$OUT/script.err
ls -A /srv /srv/plix/bin /srv/plix/etc >$OUT/left 2>&1
)");
  ASSERT_EQ(r.status, 0) << r.error;
  std::string log = r.out("blank.log");
  EXPECT_NE(log.find("Kopiere Datei bin/setup zu /srv/plix test/bin. \n"), std::string::npos) << log;
  EXPECT_EQ(log.find("FALSCH"), std::string::npos) << log;
  EXPECT_EQ(r.out("installed"), "/srv/plix test:\nbin\netc\nplixInfo4.0\n\n/srv/plix test/bin:\nsetup\nzangsfilter\nzannc\n");
  EXPECT_EQ(r.out("link"), "/srv/plix test/bin/zangsfilter\n");
  EXPECT_EQ(r.out("script.err"), "");
  EXPECT_EQ(r.out("left"), "/srv:\nplix\n\n/srv/plix/bin:\nkeep\n\n/srv/plix/etc:\nkeep\n");
}

TEST(Installation, EarlierInstallationIsLookedUpInOptZedOrThroughPlixinfo) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
mkdir -p /srv/two /srv/four /srv/env /opt/zed
found() { grep -a -A1 -e '^Vorhandene' -e '^Upgrade' -e '^Neue' -e '^Das Install' $OUT/$1.log | grep -a -v -e '^--' -e 'existiert' >$OUT/$1.found; }
echo 'USRDIR          /srv/two' >/opt/zed/plixInfo2.0
echo 'USRDIR          /srv/four' >/opt/zed/plixInfo4.0
run_setup both -i NONE; found both
echo 'HOMEDIR /root' >/opt/zed/plixInfo2.0
run_setup second -i NONE -u /srv/other; found second
echo 'USRDIR /srv/env' >/srv/env/info
PLIXINFO=/srv/env/info run_setup env -i NONE; found env
PLIXINFO=/srv/env/absent run_setup absent -i NONE; found absent
echo 'USRDIR' >/opt/zed/plixInfo4.0
run_setup empty -i NONE; found empty
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("both.found"),
            "Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n/srv/two.\n"
            "Upgrade Modus = 1.\nDas Installationsverzeichnis\n\t'/srv/two'\n");
  EXPECT_EQ(r.out("second.found"),
            "Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n/srv/four.\n"
            "Upgrade Modus = 2.\nDas Installationsverzeichnis\n\t'/srv/four'\n");
  EXPECT_EQ(r.out("env.found"),
            "Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n/srv/env.\n"
            "Upgrade Modus = 1.\nDas Installationsverzeichnis\n\t'/srv/env'\n");
  EXPECT_EQ(r.out("absent.found"), "Neue Installation\nKann Info-Datei '" + builtProduct() +
                                       "/NONE' nicht \366ffnen.\n");
  EXPECT_EQ(r.out("empty.found"),
            "Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n.\n"
            "Das Installationsverzeichnis\n\t''\n");
  EXPECT_NE(r.out("empty.log").find("Das Installationsverzeichnis\n\t''\nexistiert nicht oder ist falsch.\n"),
            std::string::npos);
}

}  // namespace

namespace {

TEST(Installation, MissingOptEndsTheRunBeforeAnythingIsCopied) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
rm -rf /opt
run_setup noopt
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("noopt.status"), "0\n");
  std::string log = r.out("noopt.log");
  std::string dir = builtProduct();
  std::string tail = section(log, "cd " + dir, "Beende Installation");
  ASSERT_NE(tail, "") << log;
  EXPECT_EQ(tail.substr(0, tail.rfind("Beende Installation")),
            "cd " + dir + ".\n"
            "setup nach RPM in: " + dir + ".\n"
            "Kein ZED Verzeichnis: '/opt/zed' m\366glich\n"
            "K\366nnte nich ZED Verzeichnis: /opt/zed finden oder herstellen\n"
            "Entschuldigung, Installation h\366rt auf.\n")
      << log;
  EXPECT_FALSE(r.changed("/opt/zed"));
  EXPECT_FALSE(r.changed("/usr/bin/zangsfilter"));
  EXPECT_FALSE(r.changed("/usr/share/ppd/zed/Orvex_LaserPro_4200_PS.ppd"));
}

}  // namespace
