// Whole installation runs of setup in the sandbox, as root on a CUPS host (a real
// cupsd in the sandbox): a new installation from the package tarball, an upgrade of its
// own, a run from the installed tree and its uninstall script; the upgrade from the
// earlier release and the lookup of an earlier installation, with the product's PPDs
// and filter in the scheduler; the destination forms of
// the copy loop, an installation directory with a blank, and a host without /opt.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "install/find_installation.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

// findInstallation on the sandbox's /opt/zed, with an installation directory set as
// option -u sets it (the lookup must not follow it): "RESULT DIR KIND".
SANDBOX_CASE(find_installation) {
  settings.installDir = "/srv/other";
  std::string dir;
  unsigned kind = 0;
  int result = findInstallation(&dir, &kind);
  fprintf(out, "%d %s %d\n", result, dir.c_str(), static_cast<int>(kind));
}

namespace {

// "MODE UID:GID PATH" for every path of the upper layer below one of `prefixes`, and
// "-> TARGET" for a link.
std::string modes(const SandboxResult& r, const std::vector<std::string>& prefixes) {
  std::string out;
  for (const std::string& path : r.listing()) {
    bool wanted = false;
    for (const std::string& p : prefixes) wanted = wanted || path.rfind(p, 0) == 0;
    std::string plain = path.back() == '/' ? path.substr(0, path.size() - 1) : path;
    struct stat st;
    if (!wanted || lstat(r.upperPath(plain).c_str(), &st) != 0) continue;
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

// The part of `log` from the first line that begins with `from` up to and including
// the next line that begins with `to`; "" when either is missing.
std::string section(const std::string& log, const std::string& from, const std::string& to) {
  size_t a = log.rfind(from, 0) == 0 ? 0 : log.find("\n" + from);
  if (a == std::string::npos) return "";
  if (a != 0) ++a;
  size_t b = log.find("\n" + to, a);
  if (b == std::string::npos) return "";
  size_t end = log.find('\n', b + 1);
  return log.substr(a, end == std::string::npos ? std::string::npos : end + 1 - a);
}

// Log lines of the copy loop and of the steps before it.
std::string chmodded(const std::string& path, const std::string& mode) {
  return "\304ndere Ausf\374hrungsrechte von '" + path + "' zu  00" + mode + ".\n";
}
std::string copied(const std::string& dir, const std::string& name, const std::string& to,
                   const std::string& mode) {
  return "Kopiere Datei " + dir + name + " zu " + to + ". \n" + chmodded(to + "/" + name, mode);
}
std::string made(const std::string& dir) {
  return "Erstelltes Verzeichnis: '" + dir + "'.\n" + chmodded(dir, "755");
}
std::string fromManifest(const std::string& dir) {
  return "PLIXINST.CONF = " + dir + "/etc/PLIXINST.CONF.\ncd " + dir + ".\nsetup nach RPM in: " + dir + ".\n";
}
std::string foundOptZed(int mode, int printers) {
  return "Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n/opt/zed.\n"
         "Upgrade Modus = " + std::to_string(mode) + ".\n"
         "Das Installationsverzeichnis\n\t'/opt/zed'\nexistiert und ist korrekt.\n"
         "Anzahl der gefundenen Plix-Drucker: " + std::to_string(printers) + ".\n";
}
std::string copyLoop(int items) {
  return "goInstall: Anfang Kopiezyclus f\374r " + std::to_string(items) + " items.\n";
}
const std::string kPpdDir = "PPD-Installationsverzeichnis: /usr/share/ppd/zed\n";
const std::string kDirOk = "Installationsverzeichnis '/opt/zed' OK. \n";
const std::string kInfoSkipped = "Erstellen der Konfigurationsdatei \374berspringen: '/opt/zed/plixInfo3.0'. \n";
const std::string kScripts =
    "Erstelle Deinstallationsskript: '/opt/zed/UNINSTALLPLIX'. \n"
    "Erstelltes Skript: /opt/zed/etc/UNINSTALLPLIX.\nErstelle Drucker-Startskripte. \n";
const char* const kPpds[] = {"Orvex_LaserPro_4200_PS.ppd", "Orvex_LaserPro_4200_PCL.ppd",
                             "Orvex_ColorPage_7350_PS.ppd", "Orvex_OfficeLine_2600_PXL.ppd.gz"};

// The log of a new installation into /opt/zed from `dir`, from "Neue Installation" to
// the last label of the filter (chcon faked to succeed).
std::string newInstallLog(const std::string& dir) {
  std::string chcon = "chcon SELinux f\374r: \"/usr/bin/chcon ";
  std::string log = "Neue Installation\n" + fromManifest(dir) + made("/opt/zed") + made("/opt/zed/bin") +
                    made("/opt/zed/etc") + chcon + "-R -u system_u /opt/zed/bin 2>/dev/null\": Resultat: 0\n" +
                    kPpdDir + kDirOk + "Erstelle Konfigurationsdatei: '/opt/zed/plixInfo3.0'. \n" + kScripts +
                    copyLoop(10);
  for (const char* name : {"setup", "zangsfilter", "zannc"}) log += copied("bin/", name, "/opt/zed/bin", "755");
  for (const char* name : {"plix4.0.png", "plix.pp", "PLIXINST.CONF"}) log += copied("etc/", name, "/opt/zed/etc", "644");
  for (const char* name : kPpds) log += copied("ppd/", name, "/usr/share/ppd/zed", "644");
  return log + "Verkn\374pfung 1: /usr/bin/zangsfilter mit /opt/zed/bin/zangsfilter verkn\374pft.\n" +
         chcon + "-u system_u /usr/bin/zangsfilter 2>/dev/null\": Resultat: 0\n" +
         chcon + "-t bin_t /opt/zed/bin/zangsfilter 2>/dev/null\": Resultat: 0\n";
}

TEST(Installation, NewInstallFromTheTarballThenUpgradesAndTheUninstallScript) {
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
  EXPECT_NE(r.upperFile("/opt/zed/etc/UNINSTALLPLIX").find("\n  /usr/bin/rm $1\n"), std::string::npos);

  // On top of it: an upgrade of kind 2 (found through its own information file, which
  // stays as it is), a run from the installed tree with a manifest of its own (nothing
  // is copied before the first "?" item), then the uninstall script for real: "n" and
  // an empty answer leave everything, an unclear answer asks again, "ja" removes.
  box.keep(r);
  SandboxResult u = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
sed -i 's/^Default$/Default\noffice/' /opt/zed/plixInfo4.0
cp /opt/zed/plixInfo4.0 $OUT/info.before
run_setup second
cp /opt/zed/plixInfo4.0 $OUT/info.after
mkdir -p /opt/zed/ppd && echo extra >/opt/zed/ppd/extra.ppd
put /opt/zed/etc/PLIXINST.CONF <<'M'
bin/zannc        ./bin     00755
etc/plix4.0.png  ./etc
ppd/extra.ppd    ?         00644
etc/plix.pp      /srv/after 00600
@@NULL
M
SETUP_CWD=/opt/zed run_setup installed
rm -rf /opt/zed/ppd
uninstall() { printf "$2" | sh /opt/zed/etc/UNINSTALLPLIX >$OUT/$1 2>$OUT/$1.err; echo "status $?" >>$OUT/$1; }
uninstall n 'n\n'; ls -A /opt/zed >>$OUT/n
uninstall empty '\n'; ls -A /opt/zed >>$OUT/empty
uninstall ja 'vielleicht\nja\n'; ls -d /opt/zed /usr/share/ppd/zed >>$OUT/ja 2>&1
exit 0
)");
  ASSERT_EQ(u.status, 0) << u.error;
  EXPECT_EQ(u.out("second.status"), "0\n");
  EXPECT_EQ(u.out("info.after"), u.out("info.before"));
  EXPECT_NE(u.out("info.after").find("\nDefault\noffice\n"), std::string::npos);
  log = u.out("second.log");
  EXPECT_EQ(section(log, "Vorhandene Plix", "goInstall: Anfang"),
            foundOptZed(2, 2) + fromManifest(product) + kPpdDir + kDirOk + kInfoSkipped + kScripts + copyLoop(10))
      << log;
  // The filter link is there from the first run: no second link attempt.
  EXPECT_EQ(log.find("Verkn\374pfung 1:"), std::string::npos);
  EXPECT_NE(log.find(copied("bin/", "setup", "/opt/zed/bin", "755")), std::string::npos);

  log = u.out("installed.log");
  EXPECT_EQ(section(log, "PLIXINST.CONF = ", "\304ndere Ausf\374hrungsrechte von '/srv/after/plix.pp'"),
            "PLIXINST.CONF = /opt/zed/etc/PLIXINST.CONF.\ncd /opt/zed.\n" + kPpdDir + kDirOk + kInfoSkipped +
                kScripts + copyLoop(4) + copied("ppd/", "extra.ppd", "/usr/share/ppd/zed", "644") +
                made("/srv/after") + copied("etc/", "plix.pp", "/srv/after", "600"))
      << log;
  EXPECT_EQ(u.upperFile("/usr/share/ppd/zed/extra.ppd"), "extra\n");

  std::string asked = "Deinstallation von 'Plix 4.0-0'\n"
                      "M\366chten Sie Plix 4.0-0 wirklich deinstallieren? [Nein]? \n";
  EXPECT_EQ(u.out("n"), asked + "status 0\nbin\netc\nplixInfo4.0\n");
  EXPECT_EQ(u.out("empty"), asked + "status 0\nbin\netc\nplixInfo4.0\n");
  EXPECT_EQ(u.out("ja"), asked + "M\366chten Sie Plix 4.0-0 wirklich deinstallieren? [Nein]? \nstatus 0\n"
                         "ls: cannot access '/opt/zed': No such file or directory\n/usr/share/ppd/zed\n");
  EXPECT_EQ(u.out("n.err") + u.out("empty.err"), "");
  EXPECT_TRUE(u.deleted("/opt/zed"));
  EXPECT_FALSE(u.changed("/var/tmp/PlixPPDFiles4.0-8.tar"));
}

TEST(Installation, EarlierInstallationLookupAndTheUpgradeFromTheEarlierRelease) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
look() { run_case install_tests find_installation look "$@"; cat $OUT/look.out >>$OUT/found; }
mkdir -p /opt/zed
echo 'USRDIR          /srv/two' >/opt/zed/plixInfo2.0
echo 'USRDIR          /srv/four' >/opt/zed/plixInfo4.0
look
echo 'HOMEDIR /root' >/opt/zed/plixInfo2.0
look
echo 'USRDIR /srv/env' >/srv/info
look PLIXINFO=/srv/info
look PLIXINFO=/srv/absent
echo 'USRDIR' >/opt/zed/plixInfo4.0
look
run_setup empty -i NONE
rm -f /opt/zed/plixInfo*
look

# An installation of the earlier release, with its information file and old PPDs.
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

# The real scheduler takes every PPD of the product; the installed filter passes a job
# through, from a file or from standard input, and refuses too few arguments.
n=0
for f in $PRODUCT/ppd/*; do
  n=$((n + 1))
  lpadmin -p q$n -E -v socket://127.0.0.1:9100 -P "$f" 2>&1 | grep -v 'Printer drivers are deprecated' >>$OUT/lpadmin
done
LC_ALL=C lpstat -p | cut -d' ' -f1,2 >>$OUT/lpadmin
printf '%%!PS\nshowpage\n' >/tmp/job.ps
/usr/bin/zangsfilter 1 root title 1 '' /tmp/job.ps >$OUT/filtered 2>/dev/null
/usr/bin/zangsfilter 1 root title 1 '' </tmp/job.ps >>$OUT/filtered 2>/dev/null
/usr/bin/zangsfilter 1 2>/dev/null; echo "status $?" >>$OUT/filtered
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("found"), "1 /srv/two 1\n1 /srv/four 2\n1 /srv/env 1\n0  -1\n1  2\n0  -1\n");
  EXPECT_NE(r.out("empty.log").find("Vorhandene Plix 4.0-0-Installation in folg. Verzeichnis gefunden:\n.\n"
                                    "Das Installationsverzeichnis\n\t''\nexistiert nicht oder ist falsch.\n"),
            std::string::npos)
      << r.out("empty.log");

  EXPECT_EQ(r.out("upgrade.status"), "0\n");
  std::string log = r.out("upgrade.log");
  std::string dir = builtProduct();
  EXPECT_EQ(section(log, "Vorhandene Plix", "Erstelle Deinstallationsskript"),
            foundOptZed(1, 1) + fromManifest(dir) + kPpdDir +
                "Speichern PPD Dateie von: /usr/share/ppd/zed.\nNach: /var/tmp/PlixPPDFiles4.0-8.tar.\n" + kDirOk +
                "Kopie Datei plixInfo2.0 nach plixInfo3.0.\n"
                "Kopie von Plix Konfig Datei /opt/zed/plixInfo2.0 nach plixInfo3.0. \n"
                "Erstelle Deinstallationsskript: '/opt/zed/UNINSTALLPLIX'. \n")
      << log;
  EXPECT_EQ(r.out("archive"), "Orvex_ColorPage_7350_PS.ppd\nOrvex_LaserPro_4200_PCL.ppd\n"
                              "Orvex_LaserPro_4200_PS.ppd\nOrvex_OfficeLine_2600_PXL.ppd\n");
  EXPECT_EQ(r.upperFile("/opt/zed/plixInfo4.0"),
            "#\n# Plix 3.0 Information File\n#\n%%ZANBLOCK_GENERAL_BEGIN\nUSRDIR          /opt/zed\n"
            "%%ZANBLOCK_GENERAL_END\n%%ZANBLOCK_PRINTERS_BEGIN\noffice\n%%ZANBLOCK_PRINTERS_END\n%%ZANEND\n");
  EXPECT_NE(r.upperFile("/opt/zed/plixInfo2.0").find("# Plix 2.0 Information File\n"), std::string::npos);
  EXPECT_EQ(r.out("lpadmin"), "printer q1\nprinter q2\nprinter q3\nprinter q4\n");
  EXPECT_EQ(r.out("filtered"), "%!PS\nshowpage\n%!PS\nshowpage\nstatus 1\n");
  // The new PPDs replace the archived ones.
  EXPECT_EQ(r.upperFile("/usr/share/ppd/zed/Orvex_LaserPro_4200_PS.ppd"),
            readFile(dir + "/ppd/Orvex_LaserPro_4200_PS.ppd"));
}

TEST(Installation, MissingOptThenABlankInTheInstallDirThenTheDestinationForms) {
  Sandbox box;
  SandboxResult r = box.run(R"(
start_cupsd || exit 3
rm -f /usr/bin/chcon
rm -rf /opt
run_setup noopt
ls -d /opt /usr/bin/zangsfilter /usr/share/ppd/zed/* >$OUT/noopt.left 2>/dev/null
mkdir -m 0755 /opt

# A sibling /srv/plix survives the uninstall script of "/srv/plix test".
mkdir -p /srv/plix/bin /srv/plix/etc
echo keep >/srv/plix/bin/keep; echo keep >/srv/plix/etc/keep
run_setup blank -u '/srv/plix test'
ls -A '/srv/plix test' '/srv/plix test/bin' >$OUT/installed 2>&1
readlink /usr/bin/zangsfilter >$OUT/link
printf 'ja\n' | sh '/srv/plix test/etc/UNINSTALLPLIX' >/dev/null 2>$OUT/script.err
ls -A /srv /srv/plix/bin /srv/plix/etc >$OUT/left 2>&1

# A product of the test's own, with no PPD directory on the host.
rm -rf /usr/share/cups/model /usr/share/ppd
mkdir -p /srv/prod/bin /srv/prod/etc && cp $SETUP /srv/prod/bin/setup
for f in nc ab x mode0.txt etc/dot1.txt etc/dot2.txt etc/far.txt etc/q.txt; do echo $f >/srv/prod/$f; done
chmod 0600 /srv/prod/mode0.txt
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
  EXPECT_EQ(r.out("noopt.status"), "0\n");
  std::string log = r.out("noopt.log");
  std::string dir = builtProduct();
  std::string tail = section(log, "cd " + dir, "Beende Installation");
  EXPECT_EQ(tail.substr(0, tail.rfind("Beende Installation")),
            "cd " + dir + ".\nsetup nach RPM in: " + dir + ".\n"
            "Kein ZED Verzeichnis: '/opt/zed' m\366glich\n"
            "K\366nnte nich ZED Verzeichnis: /opt/zed finden oder herstellen\n"
            "Entschuldigung, Installation h\366rt auf.\n")
      << log;
  EXPECT_EQ(r.out("noopt.left"), "");

  log = r.out("blank.log");
  EXPECT_NE(log.find("Kopiere Datei bin/setup zu /srv/plix test/bin. \n"), std::string::npos) << log;
  EXPECT_EQ(log.find("FALSCH"), std::string::npos) << log;
  EXPECT_EQ(r.out("installed"),
            "/srv/plix test:\nbin\netc\nplixInfo4.0\n\n/srv/plix test/bin:\nsetup\nzangsfilter\nzannc\n");
  EXPECT_EQ(r.out("link"), "/srv/plix test/bin/zangsfilter\n");
  EXPECT_EQ(r.out("script.err"), "");
  EXPECT_EQ(r.out("left"), "/srv:\nplix\n\n/srv/plix/bin:\nkeep\n\n/srv/plix/etc:\nkeep\n");

  log = r.out("forms.log");
  std::string skipped;
  for (const char* to : {"/x", "plainrel", "./", "?x", ""})
    skipped += "Kopiere Datei etc/far.txt: unbekanntes Ziel '" + std::string(to) + "', \374bersprungen.\n";
  EXPECT_EQ(section(log, "goInstall: Anfang", "\304ndere Ausf\374hrungsrechte von '/tmp/q.txt'"),
            copyLoop(12) + copied("etc/", "dot1.txt", "/opt/zed/etc/dot1.txt", "640") + made("/opt/zed/data") +
                "Kopiere Datei mode0.txt zu /opt/zed/data. \n" + made("/opt/zed/etc/dot2.txt") +
                copied("etc/", "dot2.txt", "/opt/zed/etc/dot2.txt", "640") + made("/srv/abs") +
                copied("", "nc", "/srv/abs", "755") + skipped + copied("etc/", "q.txt", "/tmp", "600"))
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
  EXPECT_EQ(r.out("tmp.q"), "-rw-------\netc/q.txt\n");
}

}  // namespace
