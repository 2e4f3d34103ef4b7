#include "install/uninstall_script.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "base/util.h"

namespace {

constexpr int kScriptMode = 0755;

// The script text. Every path is one shell word. As soon as one of them is not plain,
// delFile and delDir also quote their argument ("$1"), so that a blank in it cannot
// split it into two paths; an ordinary script keeps the bare $1.
std::string scriptText(const std::string& rm, const std::string& installDir,
                       const std::string& ppdDir, const std::string& date) {
  auto word = [](const std::string& value) { return shellWord(value); };
  std::string paths[] = {installDir + "/plixInfo4.0",      installDir + "/bin/zangsfilter",
                         installDir + "/bin/nc",           kFilterLink,
                         installDir + "/bin/setup",        installDir + "/etc/plix4.0.png",
                         installDir + "/etc/PLIXINST.CONF", installDir + "/PLIXINST.CONF"};
  std::string dirs[] = {ppdDir + "/ppd", installDir + "/etc", installDir + "/bin", installDir};
  bool quoteArgs = word(rm) != rm;
  for (const std::string& p : paths) quoteArgs = quoteArgs || word(p) != p;
  for (const std::string& d : dirs) quoteArgs = quoteArgs || word(d) != d;
  const char* arg = quoteArgs ? "\"$1\"" : "$1";

  std::string s;
  s += "#!/bin/sh\n";
  s += "#\n";
  s += formatMessage(Msg::ScriptHeader, date.c_str());
  s += "#\n";
  s += "#Delete a file\n";
  s += "#Syntax : delFile $fileName\n";
  s += "#\n";
  s += "delFile()\n";
  s += "{\n";
  s += formatText("if [ -f %s ] ; then\n", arg);
  s += formatText("  %s %s\n", word(rm).c_str(), arg);
  s += "fi\n";
  s += "}\n";
  s += "#\n";
  s += "#Delete a directory\n";
  s += "#Syntax : delDir $dirName\n";
  s += "delDir()\n";
  s += "{\n";
  s += formatText("if [ -d %s ] ; then\n", arg);
  s += formatText("  %s -rf %s\n", word(rm).c_str(), arg);
  s += "fi\n";
  s += "}\n";
  s += "#\n";
  s += "#\n";
  s += "# Get a yes or no answer from the user.  Argument 1 is prompt, 2 is default.\n";
  s += "#\n";
  s += "yorn()\n";
  s += "{\n";
  s += "        if [ \"$2\" = \"\" ] ; then\n";
  s += "                prompt=\"$1? \"\n";
  s += "        else\n";
  s += "                prompt=\"$1 [$2]? \"\n";
  s += "        fi\n";
  s += " \n";
  s += "        while true ; do\n";
  s += "                echo \"$prompt\"\n";
  s += "                read input\n";
  s += "                parsed=$input\n";
  s += " \n";
  s += "                if [ \"$parsed\" = \"\" ] ; then\n";
  s += "                        answer=$2\n";
  s += "                else\n";
  s += "                        answer=$input\n";
  s += "                fi\n";
  s += " \n";
  s += "                case $answer in\n";
  s += formatText("                %s\n", catalogueText(Msg::AnswerYesPattern));
  s += "                        return 0 ; break ;;\n";
  s += formatText("                %s\n", catalogueText(Msg::AnswerNoPattern));
  s += "                        return 1 ; break ;;\n";
  s += "                *)\n";
  s += formatText("                        %s\n", catalogueText(Msg::AskAgain));
  s += "                esac\n";
  s += "        done\n";
  s += "}\n";
  s += "#\n";
  s += formatText("echo \"%s\"\n", catalogueText(Msg::Title));
  s += formatText("yorn \"%s\" \"%s\"\n", catalogueText(Msg::Question), catalogueText(Msg::DefaultNo));
  s += "it_is=$?\n";
  s += "if [ $it_is -ne 0 ] ; then\n";
  s += "  exit\n";
  s += "fi\n";
  for (const std::string& p : paths) s += "delFile " + word(p) + "\n";
  for (const std::string& d : dirs) s += "delDir " + word(d) + "\n";
  return s;
}

}  // namespace

void writeUninstallScript() {
  // An empty installDir names /opt/zed in the script too, never "/bin" and "/etc".
  const std::string installDir = settings.installDir.empty() ? std::string(kDefaultInstallDir) : settings.installDir;
  std::string path = formatText("%s/etc/UNINSTALLPLIX", installDir.c_str());
  if (!pathFits(path)) return;
  std::string text = scriptText(commands.rm, installDir, settings.ppdInstallDir, nowText());
  // A new script beside the old one, renamed over it only when written whole: a full
  // disk never leaves a cut script that would still run.
  FileReplacer out;
  if (!out.open(path, kScriptMode)) {
    logMessage(Msg::CannotOpenFile, path.c_str());
    return;
  }
  if (!out.write(text) || !out.commit()) {
    logMessage(Msg::WriteFailed, path.c_str(), strerror(out.error()));
    return;
  }
  (void)chown(path.c_str(), static_cast<uid_t>(settings.userId), static_cast<gid_t>(settings.groupId));
  logMessage(Msg::ScriptWritten, path.c_str());
}
