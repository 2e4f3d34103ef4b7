// Carrying a queue's defaults into a new PPD over small PPD texts, each result read back
// with the PPD library; the carry-over report.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "upgrade/carry_over.h"

namespace {

// `text` with its `from` (which must occur) replaced by `to`.
std::string edited(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// `text` with each `$` as `ending`.
std::string withEnding(const std::string& text, const std::string& ending) {
  return std::regex_replace(text, std::regex("\\$"), ending);
}

// Options of the new PPDs below, after a minimal head.
const char kHead[] = "*PPD-Adobe: \"4.3\"$";
const std::string kTray = "*OpenUI *Tray/Tray: PickOne$*DefaultTray: A$*Tray A: \"a\"$*Tray B: \"b\"$*CloseUI: *Tray$";
const std::string kSize =
    "*OpenUI *PageSize: PickOne$*DefaultPageSize: A4$*PageSize A4: \"a\"$*PageSize Letter: \"l\"$*CloseUI: *PageSize$";

TEST(CarryOver, EveryChoiceTheNewPpdOffersIsCarriedAndNothingElseChanges) {
  const std::string trayB = edited(kTray, "Tray: A", "Tray: B"), custom = kSize + "*CustomPageSize True: \"pop\"$";
  const std::string customSet = edited(custom, "Size: A4", "Size: Custom.402x773");
  const std::string jcl = "*JCLOpenUI *JCLToner: PickOne$*DefaultJCLToner: Off$*JCLToner Off: \"o\"$"
                          "*JCLToner On: \"n\"$*JCLCloseUI: *JCLToner$";
  const std::string sub = "*OpenGroup: G$*OpenSubGroup: S$*OpenUI *Sub: Boolean$*DefaultSub: True$*Sub True: \"\"$"
                          "*Sub False: \"\"$*CloseUI: *Sub$*CloseSubGroup: S$*CloseGroup: G$";
  const std::string comments =
      "*%*OpenUI *Tray: PickOne$*%*DefaultTray: A$*% *DefaultTray: A$*Note: \"x$*DefaultTray: A$\"$";
  const std::string nul("*% a\0b$", 7), longLine = "*% " + std::string(300, 'x') + "$";
  // What a case shows, the old defaults, the new PPD (after kHead), the new PPD expected after the carry-over,
  // and the rows "option old now outcome" once the result is read back.
  using Rows = std::vector<std::string>;
  const std::vector<std::tuple<const char*, std::vector<OldDefault>, std::string, std::string, Rows>> cases = {
      {"custom size offered; a choice and an option gone",
       {{"PageSize", "Custom.402x773"}, {"Tray", "C"}, {"Gone", "X"}}, custom + kTray, customSet + kTray,
       {"PageSize Custom.402x773 Custom.402x773 carried", "Tray C A kept-new-default:choice-gone",
        "Gone X - kept-new-default:option-gone"}},
      // Default lines before and after the block, case of keyword and choice; comments and quoted values are never
      // statements, an option of a sub-group is one, so is a JCL block.
      {"defaults around the block, keyword case, comments, sub-group, JCL",
       {{"tray", "b"}, {"Tray", "A"}, {"Sub", "False"}, {"JCLToner", "On"}},
       "*DefaultTray: A$" + comments + kTray + sub + jcl + "*DefaultTRAY: A trailing words$",
       "*DefaultTray: B$" + comments + trayB + edited(sub, "Sub: True", "Sub: False") +
           edited(jcl, "JCLToner: Off", "JCLToner: On") + "*DefaultTRAY: B$",
       {"tray b B carried", "Sub False False carried", "JCLToner On On carried"}},
      {"an option without a default line gets one; a NUL in a comment stays; custom size not offered",
       {{"Tray", "B"}, {"PageSize", "Custom.402x773"}}, nul + edited(kTray, "*DefaultTray: A$", "") + kSize,
       nul + trayB + kSize, {"Tray B B carried", "PageSize Custom.402x773 A4 kept-new-default:custom-not-offered"}},
      {"a line too long for the PPD library: nothing is rewritten", {{"Tray", "B"}}, longLine + kTray, longLine + kTray,
       {"Tray B - kept-new-default:option-gone"}},
  };
  std::vector<CarryRow> mismatches;  // none until the last check below
  const std::string file = testing::TempDir() + "carry_over." + std::to_string(getpid()) + ".ppd";
  for (const auto& [what, old, in, out, wantRows] : cases)
    for (const std::string ending : {"\n", "\r\n", "\r"}) {
      CarryPlan plan = planCarryOver("q", old, withEnding(kHead + in, ending));
      EXPECT_EQ(plan.text, withEnding(kHead + out, ending)) << what;
      std::ofstream(file) << plan.text;
      EXPECT_EQ(verifyCarryOver(file, &plan, &mismatches), plan.newPpdRead ? 0 : -1) << what;
      Rows rows;
      for (const CarryRow& r : plan.rows)
        rows.push_back(r.option + " " + r.oldChoice + " " + r.nowChoice + " " + outcomeText(r));
      EXPECT_EQ(rows, wantRows) << what;
    }
  // An old custom value the option takes, and an option of a sub-group, are chosen defaults.
  std::vector<OldDefault> old;
  std::ofstream(file) << withEnding(kHead + customSet + sub, "\n");
  ASSERT_TRUE(readOldDefaults(file, &old) && old.size() == 2) << old.size();
  EXPECT_EQ(old[0].keyword + "=" + old[0].choice + " " + old[1].keyword + "=" + old[1].choice,
            "PageSize=Custom.402x773 Sub=True");

  // An installed PPD that does not have the intended choice in effect, and the report.
  CarryPlan plan = planCarryOver("q", {{"Tray", "B"}}, withEnding(kHead + kTray + kSize, "\n"));
  std::ofstream(file) << edited(plan.text, "PageSize: A4", "PageSize: Gone");
  EXPECT_EQ(verifyCarryOver(file, &plan, &mismatches), 1);
  EXPECT_EQ(mismatches.size(), 1u);
  plan.rows.push_back(notUpgradedRow("a\tb", "no-new-ppd"));
  EXPECT_EQ(formatCarryReport(plan.rows),
            "queue\toption\told\tnow\toutcome\nq\tTray\tB\tB\tcarried\nq\tPageSize\t-\t-\tmismatch\n"
            "a\\tb\t-\t-\t-\tnot-upgraded:no-new-ppd\n"
            "summary\trows=3\tcarried=1\tkept-new-default:choice-gone=0\tkept-new-default:option-gone=0\t"
            "kept-new-default:custom-not-offered=0\tmismatch=1\tnot-upgraded=1\n");
  std::remove(file.c_str());
}

}  // namespace
