// The uninstall script as written into an installation directory of the test's own.
// (Running it for real is part of the sandboxed installation tests.)
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "probe/command_locator.h"
#include "install/uninstall_script.h"
#include "sandbox/sandbox.h"

namespace {

struct UninstallScriptTest : testing::Test {
  std::string dir;
  void SetUp() override {
    char name[] = "/tmp/plix-script-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
    ASSERT_EQ(mkdir((dir + "/etc").c_str(), 0700), 0);
    settings.installDir = dir;
    settings.ppdInstallDir = "/usr/share/ppd/zed";
    settings.userId = static_cast<int>(getuid());
    settings.groupId = static_cast<int>(getgid());
    commands.rm = "/bin/rm";
  }
  void TearDown() override { (void)system(("rm -rf '" + dir + "'").c_str()); }
  // The script with its date line (line 3) cut out, and that line apart.
  std::string written(std::string* dateLine) {
    std::string text = readFile(dir + "/etc/UNINSTALLPLIX");
    size_t a = text.find('\n', text.find('\n') + 1) + 1;
    size_t b = text.find('\n', a) + 1;
    *dateLine = text.substr(a, b - a);
    return text.substr(0, a) + text.substr(b);
  }
};

// Lines 1-62 of every script (the date line left out).
const char* const kScriptHead =
    "#!/bin/sh\n"
    "#\n"
    "#\n"
    "#Delete a file\n"
    "#Syntax : delFile $fileName\n"
    "#\n"
    "delFile()\n"
    "{\n"
    "if [ -f $1 ] ; then\n"
    "  /bin/rm $1\n"
    "fi\n"
    "}\n"
    "#\n"
    "#Delete a directory\n"
    "#Syntax : delDir $dirName\n"
    "delDir()\n"
    "{\n"
    "if [ -d $1 ] ; then\n"
    "  /bin/rm -rf $1\n"
    "fi\n"
    "}\n"
    "#\n"
    "#\n"
    "# Get a yes or no answer from the user.  Argument 1 is prompt, 2 is default.\n"
    "#\n"
    "yorn()\n"
    "{\n"
    "        if [ \"$2\" = \"\" ] ; then\n"
    "                prompt=\"$1? \"\n"
    "        else\n"
    "                prompt=\"$1 [$2]? \"\n"
    "        fi\n"
    " \n"
    "        while true ; do\n"
    "                echo \"$prompt\"\n"
    "                read input\n"
    "                parsed=$input\n"
    " \n"
    "                if [ \"$parsed\" = \"\" ] ; then\n"
    "                        answer=$2\n"
    "                else\n"
    "                        answer=$input\n"
    "                fi\n"
    " \n"
    "                case $answer in\n"
    "                [oO]|[jJ]|[jJ][aA])\n"
    "                        return 0 ; break ;;\n"
    "                [nN]|[nN][eE][iI][nN])\n"
    "                        return 1 ; break ;;\n"
    "                *)\n"
    "                        echo: Bitte mit Ja oder Nein antworten.\n"
    "                esac\n"
    "        done\n"
    "}\n"
    "#\n"
    "echo \"Deinstallation von 'Plix 4.0-0'\"\n"
    "yorn \"M\366chten Sie Plix 4.0-0 wirklich deinstallieren?\" \"Nein\"\n"
    "it_is=$?\n"
    "if [ $it_is -ne 0 ] ; then\n"
    "  exit\n"
    "fi\n";

std::string tail(const std::string& d, const std::string& ppd) {
  return "delFile " + d + "/plixInfo4.0\n" + "delFile " + d + "/bin/zangsfilter\n" + "delFile " + d +
         "/bin/nc\n" + "delFile /usr/bin/zangsfilter\n" + "delFile " + d + "/bin/setup\n" +
         "delFile " + d + "/etc/plix4.0.png\n" + "delFile " + d + "/etc/PLIXINST.CONF\n" +
         "delFile " + d + "/PLIXINST.CONF\n" + "delDir " + ppd + "/ppd\n" + "delDir " + d + "/etc\n" +
         "delDir " + d + "/bin\n" + "delDir " + d + "\n";
}

TEST_F(UninstallScriptTest, OrdinaryScriptLineByLine) {
  testing::internal::CaptureStderr();
  writeUninstallScript();
  std::string log = testing::internal::GetCapturedStderr();
  std::string date;
  EXPECT_EQ(written(&date), kScriptHead + tail(dir, "/usr/share/ppd/zed"));
  // ctime text: "Sun Dec  6 03:00:20 2026\n"
  ASSERT_EQ(date.size(), std::string("# Deinstallationsskript von Plix 4.0-0 vom: ").size() + 25);
  EXPECT_EQ(date.substr(0, 44), "# Deinstallationsskript von Plix 4.0-0 vom: ");
  EXPECT_EQ(date[44 + 24], '\n');
  EXPECT_EQ(log, "Erstelltes Skript: " + dir + "/etc/UNINSTALLPLIX.\n");
  struct stat st;
  ASSERT_EQ(stat((dir + "/etc/UNINSTALLPLIX").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST_F(UninstallScriptTest, RmNotFoundIsTheBareName) {
  commands.rm = "rm";
  writeUninstallScript();
  std::string date;
  std::string text = written(&date);
  EXPECT_NE(text.find("\nif [ -f $1 ] ; then\n  rm $1\nfi\n"), std::string::npos);
  EXPECT_NE(text.find("\nif [ -d $1 ] ; then\n  rm -rf $1\nfi\n"), std::string::npos);
}

TEST_F(UninstallScriptTest, PathsWithBlanksAreQuotedAndTheFunctionsQuoteTheirArgument) {
  std::string blanked = dir + "/plix test";
  ASSERT_EQ(mkdir(blanked.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((blanked + "/etc").c_str(), 0755), 0);
  settings.installDir = blanked;
  writeUninstallScript();
  std::string date;
  std::string text = readFile(blanked + "/etc/UNINSTALLPLIX");
  EXPECT_NE(text.find("\nif [ -f \"$1\" ] ; then\n  /bin/rm \"$1\"\nfi\n"), std::string::npos);
  EXPECT_NE(text.find("\nif [ -d \"$1\" ] ; then\n  /bin/rm -rf \"$1\"\nfi\n"), std::string::npos);
  EXPECT_NE(text.find("\ndelFile '" + blanked + "/plixInfo4.0'\n"), std::string::npos);
  EXPECT_NE(text.find("\ndelFile /usr/bin/zangsfilter\n"), std::string::npos);
  EXPECT_NE(text.find("\ndelDir /usr/share/ppd/zed/ppd\n"), std::string::npos);
  EXPECT_NE(text.find("\ndelDir '" + blanked + "'\n"), std::string::npos);
}

TEST_F(UninstallScriptTest, UnwritableScriptIsReported) {
  settings.installDir = dir + "/absent";
  testing::internal::CaptureStderr();
  writeUninstallScript();
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log, "Kann Datei nicht \366ffnen:\n\t'" + dir +
                     "/absent/etc/UNINSTALLPLIX'.\nBitte \374berpr\374fen und erneut versuchen.\n");
}

}  // namespace
