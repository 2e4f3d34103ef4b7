// Carrying a queue's defaults into a new PPD, over small PPD texts in memory and in a
// private scratch directory; the model-line and marker rules of the scan; the
// printers block of an information file; where saved copies go.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "sandbox/sandbox.h"
#include "upgrade/carry_over.h"
#include "upgrade/model_table.h"
#include "upgrade/ppd_defaults.h"
#include "upgrade/printer_scan.h"
#include "upgrade/queue_upgrade.h"

namespace {

// A scratch directory of this test process (below $TMPDIR), removed at the end.
struct ScratchDir {
  std::string path = [] {
    std::string pattern = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/upgrade_test.XXXXXX";
    return std::string(mkdtemp(pattern.data()) ? pattern : "");
  }();
  ~ScratchDir() { std::filesystem::remove_all(path); }
  std::string file(const std::string& name, const std::string& text) const {
    std::ofstream(path + "/" + name) << text;
    return path + "/" + name;
  }
};

struct OptionList {
  OptListEntry head;
  OptionList() { head.next = head.prev = &head; }
  ~OptionList() { freeOptList(&head); }
};

// `text` with each `from` replaced by its `to` (each must occur once).
std::string edited(std::string text, std::vector<std::pair<std::string, std::string>> edits) {
  for (auto& [from, to] : edits) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

// Options of the new PPDs below, after a minimal head; `$` stands for the line ending.
const char kHead[] = "*PPD-Adobe: \"4.3\"$";
const char kTray[] = "*OpenUI *Tray/Tray: PickOne$*DefaultTray: A$*Tray A: \"a\"$*Tray B: \"b\"$*CloseUI: *Tray$";
const char kSize[] =
    "*OpenUI *PageSize: PickOne$*DefaultPageSize: A4$*PageSize A4: \"a\"$*PageSize Letter: \"l\"$"
    "*CloseUI: *PageSize$";

std::string withEnding(std::string text, const std::string& ending) {
  for (size_t at; (at = text.find('$')) != std::string::npos;) text.replace(at, 1, ending);
  return text;
}

// Each case: the old defaults, the new PPD (after kHead), the new PPD expected after the
// carry-over, and the rows "option old now outcome".
struct RewriteCase {
  const char* what;
  std::vector<OldDefault> old;
  std::string in, out;
  std::vector<std::string> rows;
};

TEST(CarryOver, EveryChoiceTheNewPpdOffersIsCarriedAndNothingElseChanges) {
  const std::string tray = kTray, size = kSize;
  const std::string trayB = edited(tray, {{"Tray: A", "Tray: B"}});
  const std::string custom = size + "*CustomPageSize True: \"pop\"$";
  const std::vector<RewriteCase> cases = {
      {"JCL block",
       {{"JCLToner", "On"}},
       "*JCLOpenUI *JCLToner: PickOne$*DefaultJCLToner: Off$*JCLToner Off: \"o\"$*JCLToner On: \"n\"$*JCLCloseUI: *JCLToner$",
       "*JCLOpenUI *JCLToner: PickOne$*DefaultJCLToner: On$*JCLToner Off: \"o\"$*JCLToner On: \"n\"$*JCLCloseUI: *JCLToner$",
       {"JCLToner On On carried"}},
      {"default lines before and after the block, case of keyword and choice",
       {{"tray", "b"}, {"Tray", "A"}},
       "*DefaultTray: A$" + tray + "*DefaultTRAY: A trailing words$",
       "*DefaultTray: B$" + trayB + "*DefaultTRAY: B$",
       {"tray b B carried"}},
      {"custom size offered, not offered; a choice and an option gone",
       {{"PageSize", "Custom.402x773"}, {"Tray", "C"}, {"Gone", "X"}},
       custom + tray, edited(custom, {{"Size: A4", "Size: Custom.402x773"}}) + tray,
       {"PageSize Custom.402x773 Custom.402x773 carried", "Tray C A kept-new-default:choice-gone",
        "Gone X - kept-new-default:option-gone"}},
      {"custom size not offered", {{"PageSize", "Custom.402x773"}}, size, size,
       {"PageSize Custom.402x773 A4 kept-new-default:custom-not-offered"}},
      {"comments and quoted values are never statements, a sub-group option is one",
       {{"Tray", "B"}, {"Sub", "False"}},
       "*%*OpenUI *Tray: PickOne$*%*DefaultTray: A$*% *DefaultTray: A$*Note: \"x$*DefaultTray: A$\"$" + tray +
           "*OpenGroup: G$*OpenSubGroup: S$*OpenUI *Sub: Boolean$*DefaultSub: True$*Sub True: \"\"$"
           "*Sub False: \"\"$*CloseUI: *Sub$*CloseSubGroup: S$*CloseGroup: G$",
       "*%*OpenUI *Tray: PickOne$*%*DefaultTray: A$*% *DefaultTray: A$*Note: \"x$*DefaultTray: A$\"$" + trayB +
           "*OpenGroup: G$*OpenSubGroup: S$*OpenUI *Sub: Boolean$*DefaultSub: False$*Sub True: \"\"$"
           "*Sub False: \"\"$*CloseUI: *Sub$*CloseSubGroup: S$*CloseGroup: G$",
       {"Tray B B carried", "Sub False False carried"}},
      {"an option without a default line gets one; a NUL in a comment stays",
       {{"Tray", "B"}},
       std::string("*% a\0b$", 7) + edited(tray, {{"*DefaultTray: A$", ""}}),
       std::string("*% a\0b$", 7) + edited(tray, {{"PickOne$*DefaultTray: A$", "PickOne$*DefaultTray: B$"}}),
       {"Tray B B carried"}},
      {"a line too long for the PPD library: nothing is rewritten", {{"Tray", "B"}},
       "*% " + std::string(300, 'x') + "$" + tray, "*% " + std::string(300, 'x') + "$" + tray,
       {"Tray B - kept-new-default:option-gone"}},
  };
  ScratchDir dir;
  for (const RewriteCase& c : cases) {
    for (const std::string ending : {"\n", "\r\n", "\r"}) {
      std::string in = withEnding(kHead + c.in, ending);
      CarryPlan plan = planCarryOver("q", c.old, in);
      EXPECT_EQ(plan.text, withEnding(kHead + c.out, ending)) << c.what;
      std::vector<CarryRow> mismatches;
      EXPECT_EQ(verifyCarryOver(dir.file("v.ppd", plan.text), &plan, &mismatches), plan.newPpdRead ? 0 : -1) << c.what;
      std::vector<std::string> rows;
      for (const CarryRow& r : plan.rows) rows.push_back(r.option + " " + r.oldChoice + " " + r.nowChoice + " " + outcomeText(r));
      EXPECT_EQ(rows, c.rows) << c.what;
    }
  }
  // An installed PPD that does not have the intended choice in effect.
  CarryPlan plan = planCarryOver("q", {{"Tray", "B"}}, withEnding(kHead + tray + size, "\n"));
  std::vector<CarryRow> mismatches;
  EXPECT_EQ(verifyCarryOver(dir.file("m.ppd", edited(plan.text, {{"PageSize: A4", "PageSize: Gone"}})), &plan,
                            &mismatches), 1);
  ASSERT_EQ(mismatches.size(), 1u);
  EXPECT_EQ(mismatches[0].option + " " + mismatches[0].nowChoice + " " + outcomeText(mismatches[0]), "PageSize - mismatch");

  // The report: header, rows with escaped fields, summary.
  plan.rows.push_back(notUpgradedRow("a\tb", "no-new-ppd"));
  EXPECT_EQ(formatCarryReport(plan.rows),
            "queue\toption\told\tnow\toutcome\n"
            "q\tTray\tB\tB\tcarried\n"
            "q\tPageSize\t-\t-\tmismatch\n"
            "a\\tb\t-\t-\t-\tnot-upgraded:no-new-ppd\n"
            "summary\trows=3\tcarried=1\tkept-new-default:choice-gone=0\tkept-new-default:option-gone=0\t"
            "kept-new-default:custom-not-offered=0\tmismatch=1\tnot-upgraded=1\n");
}

TEST(CollectDefaults, TakesEachOptionWhoseDefaultNamesOneOfItsChoicesInOrder) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path.empty());
  // An older product PPD whose Duplex default names none of its choices.
  std::string old = readFile(std::string(PLIX_SOURCE_DIR) + "/product/ppd-old/Orvex_LaserPro_4200_PS.ppd");
  std::string path = dir.file("old.ppd", edited(old, {{"*DefaultPageSize: A4", "*DefaultPageSize: Letter"},
                                                      {"*DefaultDuplex: None", "*DefaultDuplex: Unknown"}}));
  OptionList list;
  int count = -5;
  EXPECT_EQ(collectDefaults(path, &list.head, &count), 3);
  EXPECT_EQ(count, 3);
  std::vector<std::string> got;
  for (OptListEntry* e = list.head.next; e != &list.head; e = e->next)
    got.push_back(e->keyword + "=" + e->choice + "#" + std::to_string(e->index));
  EXPECT_EQ(got, (std::vector<std::string>{"PageSize=Letter#1", "PageRegion=A4#2", "Resolution=600dpi#3"}));
  // Custom values the option takes, and options of sub-groups, are chosen defaults too.
  std::vector<OldDefault> defaults;
  ASSERT_TRUE(readOldDefaults(dir.file("sub.ppd", withEnding(kHead + edited(kSize, {{"Size: A4", "Size: Custom.402x773"}}) +
      "*CustomPageSize True: \"pop\"$*OpenGroup: G$*OpenSubGroup: S$" + kTray + "*CloseSubGroup: S$*CloseGroup: G$",
      "\n")), &defaults));
  std::string all;
  for (const OldDefault& d : defaults) all += d.keyword + "=" + d.choice + " ";
  EXPECT_EQ(all, "PageSize=Custom.402x773 Tray=A ");

  // A file that is no PPD, and a missing one: an empty list, the count left as it was.
  std::string broken = dir.file("broken.ppd", "this is not a PPD\n");
  OptionList empty;
  testing::internal::CaptureStderr();
  EXPECT_EQ(collectDefaults(broken, &empty.head, &count), 0);
  EXPECT_EQ(collectDefaults(dir.path + "/missing.ppd", &empty.head, &count), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "K\366nnte '" + broken + "' nicht alsPPD Datei \366ffnen!\n" +
                                                        "K\366nnte '" + dir.path + "/missing.ppd' nicht alsPPD Datei \366ffnen!\n");
  EXPECT_EQ(count, 3);
  EXPECT_EQ(empty.head.next, &empty.head);
}

// The kinds and models of plain lines are tested through the scan on files.
TEST(ModelLine, KindFromTheEightCharactersBeforeTheLineEndAndIdFromTheTable) {
  auto parse = [](const char* line) {
    int kind = -1, id = -1;
    std::string model;
    bool found = parseModelNameLine(line, &kind, &id, &model);
    return std::to_string(found) + " " + std::to_string(kind) + " " + std::to_string(id) + " " + model;
  };
  std::string laser = std::to_string(modelTable[findModelRow("Orvex LaserPro 4200")].id);
  EXPECT_EQ(parse("*ModelName:   \"Orvex LaserPro 4200 PS\"\r\n"), "1 1 " + laser + " \"Orvex LaserPro 4200 PS\"");
  EXPECT_EQ(parse("*ModelName: \"Orvex LaserPro 4200 PXL\"\n"), "1 3 " + laser + " \"Orvex LaserPro 4200 PXL\"");
  EXPECT_EQ(parse("*NickName: \"Orvex LaserPro 4200 PS\"\n"), "0 -1 -1 ");
  // An unknown model: the kind is still worked out, the id is not written.
  EXPECT_EQ(parse("*ModelName: \"Zeta Writer 9 PCL\"\n"), "0 2 -1 ");
  // The marker's digit (the scan's choice among 1, 2, 0 and none is tested on files).
  EXPECT_EQ(ppdVersionDigit("*% Plix version:1.5 beta\n"), 1);
  EXPECT_EQ(ppdVersionDigit("*% Plix version:\n"), -1);
  EXPECT_EQ(ppdVersionDigit("*% Plix Version: 1\n"), -1);
}

TEST(InfoPrinters, PrintersBlockOfOneThreeAndNoLines) {
  ScratchDir dir;
  settings.installDir = dir.path;
  PListEntry& head = printerList;
  resetPList(&head);
  printerCount = -1;
  // Writes `text` (when given) as the information file of `kind` and reads it: the result,
  // the count, and each queue name and index of the ring from the head on (at most five).
  auto read = [&](unsigned kind, const char* text) {
    if (text != nullptr) dir.file(kind == 1 ? "plixInfo2.0" : "plixInfo4.0", text);
    std::string got = std::to_string(readInfoPrinters(kind, &head));
    got += " " + std::to_string(printerCount);
    PListEntry* e = &head;
    for (int n = 0; n < 5 && (n == 0 || e != &head); ++n, e = e->next)
      got += " " + e->queueName + "#" + std::to_string(e->index);
    return got;
  };
  EXPECT_EQ(read(2, "USRDIR /opt/zed\n%%ZANBLOCK_PRINTERS_BEGIN  \nonly\n%%ZANBLOCK_PRINTERS_END\n"), "1 1 only#0");
  EXPECT_EQ(read(2, "%%ZANBLOCK_PRINTERS_BEGIN\nfirst \n\nthird\r\n%%ZANBLOCK_PRINTERS_END\nx\n"),
            "1 3 first#0 #1 third\r#2");
  // The earlier kind reads plixInfo2.0; an empty block gives 0 entries.
  EXPECT_EQ(read(1, "%%ZANBLOCK_PRINTERS_BEGIN\n%%ZANBLOCK_PRINTERS_END\n"), "1 0 first#0");
  // No block, or no file: list and count stay.
  EXPECT_EQ(read(2, "USRDIR /opt/zed\n"), "0 0 first#0");
  std::filesystem::remove(dir.path + "/plixInfo4.0");
  EXPECT_EQ(read(2, nullptr), "0 0 first#0");
  resetPList(&head);
}

TEST(SavedCopy, QueuePpdSavesAsQueueNameOtherEntriesAsTheirOwnFileName) {
  EXPECT_EQ(savedPpdPath("/etc/cups/ppd/office.ppd", "office"), "/etc/cups/office.ppd.rpmsave");
  EXPECT_EQ(savedPpdPath("/etc/cups/ppd/a.ppd.ppd", "a"), "/etc/cups/a.ppd.ppd.rpmsave");
  EXPECT_EQ(savedPpdPath("/usr/local/etc/cups/ppd/q.ppd", "q"), "/usr/local/etc/cups/q.ppd.rpmsave");
}

}  // namespace
