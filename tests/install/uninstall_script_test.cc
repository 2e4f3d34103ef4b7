// The uninstall script as written into an installation directory of the test's own.
// (Running it for real is part of the sandboxed installation tests.)
#include <stdlib.h>
#include <sys/stat.h>

#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "install/uninstall_script.h"
#include "base/command_locator.h"
#include "sandbox/sandbox.h"

namespace {

struct UninstallScriptTest : testing::Test {
  std::string dir;
  std::string log;  // what the last write() logged
  void SetUp() override {
    char name[] = "/tmp/plix-script-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
    settings.ppdInstallDir = "/usr/share/ppd/zed";
    settings.userId = static_cast<int>(getuid());
    settings.groupId = static_cast<int>(getgid());
    commands.rm = "/bin/rm";
  }
  void TearDown() override { (void)system(("rm -rf '" + dir + "'").c_str()); }
  // Writes the script for `installDir` (its etc/ made first) and returns it.
  std::string write(const std::string& installDir, bool makeEtc = true) {
    if (makeEtc) {
      EXPECT_EQ(system(("mkdir -p '" + installDir + "/etc'").c_str()), 0);
    }
    settings.installDir = installDir;
    testing::internal::CaptureStderr();
    writeUninstallScript();
    log = testing::internal::GetCapturedStderr();
    return readFile(installDir + "/etc/UNINSTALLPLIX");
  }
};

// The script's lines, the date line (line 3) given apart.
std::string script(const std::string& date, const std::string& d) {
  return "#!/bin/sh\n#\n" + date +
         "#\n#Delete a file\n#Syntax : delFile $fileName\n#\n"
         "delFile()\n{\nif [ -f $1 ] ; then\n  /bin/rm $1\nfi\n}\n"
         "#\n#Delete a directory\n#Syntax : delDir $dirName\n"
         "delDir()\n{\nif [ -d $1 ] ; then\n  /bin/rm -rf $1\nfi\n}\n"
         "#\n#\n# Get a yes or no answer from the user.  Argument 1 is prompt, 2 is default.\n#\n"
         "yorn()\n{\n"
         "        if [ \"$2\" = \"\" ] ; then\n                prompt=\"$1? \"\n"
         "        else\n                prompt=\"$1 [$2]? \"\n        fi\n \n"
         "        while true ; do\n                echo \"$prompt\"\n"
         "                read input\n                parsed=$input\n \n"
         "                if [ \"$parsed\" = \"\" ] ; then\n                        answer=$2\n"
         "                else\n                        answer=$input\n                fi\n \n"
         "                case $answer in\n"
         "                [oO]|[jJ]|[jJ][aA])\n                        return 0 ; break ;;\n"
         "                [nN]|[nN][eE][iI][nN])\n                        return 1 ; break ;;\n"
         "                *)\n                        echo: Bitte mit Ja oder Nein antworten.\n"
         "                esac\n        done\n}\n#\n"
         "echo \"Deinstallation von 'Plix 4.0-0'\"\n"
         "yorn \"M\366chten Sie Plix 4.0-0 wirklich deinstallieren?\" \"Nein\"\n"
         "it_is=$?\nif [ $it_is -ne 0 ] ; then\n  exit\nfi\n"
         "delFile " + d + "/plixInfo4.0\ndelFile " + d + "/bin/zangsfilter\ndelFile " + d + "/bin/nc\n"
         "delFile /usr/bin/zangsfilter\ndelFile " + d + "/bin/setup\ndelFile " + d + "/etc/plix4.0.png\n"
         "delFile " + d + "/etc/PLIXINST.CONF\ndelFile " + d + "/PLIXINST.CONF\n"
         "delDir /usr/share/ppd/zed/ppd\ndelDir " + d + "/etc\ndelDir " + d + "/bin\ndelDir " + d + "\n";
}

TEST_F(UninstallScriptTest, OrdinaryScriptLineByLine) {
  std::string text = write(dir);
  // ctime text: "Sun Dec  6 03:00:20 2026\n"
  std::smatch date;
  ASSERT_TRUE(std::regex_search(text, date, std::regex("# Deinstallationsskript von Plix 4\\.0-0 vom: "
                                                       "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\n")));
  EXPECT_EQ(text, script(date.str(), dir));
  EXPECT_EQ(log, "Erstelltes Skript: " + dir + "/etc/UNINSTALLPLIX.\n");
  struct stat st;
  ASSERT_EQ(stat((dir + "/etc/UNINSTALLPLIX").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);

  commands.rm = "rm";  // not found: the bare name
  text = write(dir);
  EXPECT_NE(text.find("\nif [ -f $1 ] ; then\n  rm $1\nfi\n"), std::string::npos);
  EXPECT_NE(text.find("\nif [ -d $1 ] ; then\n  rm -rf $1\nfi\n"), std::string::npos);
}

TEST_F(UninstallScriptTest, PathsWithBlanksAreQuotedAndTheFunctionsQuoteTheirArgument) {
  std::string blanked = dir + "/plix test";
  std::string text = write(blanked);
  EXPECT_NE(text.find("\nif [ -f \"$1\" ] ; then\n  /bin/rm \"$1\"\nfi\n"), std::string::npos);
  EXPECT_NE(text.find("\nif [ -d \"$1\" ] ; then\n  /bin/rm -rf \"$1\"\nfi\n"), std::string::npos);
  EXPECT_NE(text.find("\ndelFile '" + blanked + "/plixInfo4.0'\n"), std::string::npos);
  EXPECT_NE(text.find("\ndelFile /usr/bin/zangsfilter\n"), std::string::npos);
  EXPECT_NE(text.find("\ndelDir /usr/share/ppd/zed/ppd\n"), std::string::npos);
  EXPECT_NE(text.find("\ndelDir '" + blanked + "'\n"), std::string::npos);
}

TEST_F(UninstallScriptTest, UnwritableScriptIsReported) {
  write(dir + "/absent", false);
  EXPECT_EQ(log, "Kann Datei nicht \366ffnen:\n\t'" + dir +
                     "/absent/etc/UNINSTALLPLIX'.\nBitte \374berpr\374fen und erneut versuchen.\n");
}

}  // namespace
