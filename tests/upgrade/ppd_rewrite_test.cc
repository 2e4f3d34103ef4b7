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
  int count = 0;
  explicit OptionList(std::initializer_list<std::pair<const char*, const char*>> options = {}) {
    head.next = head.prev = &head;
    for (auto& [keyword, choice] : options) {
      OptListEntry* e = newOptListEntry();
      e->keyword = keyword;
      e->choice = choice;
      e->index = ++count;
      addOptList(&head, e);
    }
  }
  ~OptionList() { freeOptList(&head); }
};

std::string rewrite(const std::string& ppd, OptionList& options) {
  FILE* in = fmemopen(const_cast<char*>(ppd.data()), ppd.size(), "r");
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  processNewPPD(in, out, &options.head, options.count);
  fclose(in);
  fclose(out);
  std::string result(text, size);
  free(text);
  return result;
}

// `text` with each `from` replaced by its `to` (each must occur once).
std::string edited(std::string text, std::vector<std::pair<std::string, std::string>> edits) {
  for (auto& [from, to] : edits) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

const char kNewPpd[] =
    "*PPD-Adobe: \"4.3\"\n"
    "*DefaultPageSize: A4\n"                                  // before any block
    "*OpenUI *PageSize/Media Size: PickOne\n"
    "*DefaultPageSize: A4\n"
    "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
    "*CloseUI: *PageSize\n"
    "*DefaultImageableArea: A4\n"                             // between blocks
    "*OpenUI *ColorModel/Color: PickOne\n"
    "*DefaultColorSep: ProcessBlack.Dot\n"
    "*DefaultColorModel: Gray trailing words\n"
    "*ColorModel Default/Printer Default: \"\"\n"             // a choice named Default
    "*CloseUI: *ColorModel\n"
    "*JCLOpenUI *JCLToner/Toner Save: PickOne\n"
    "*DefaultJCLToner: Off\n"
    "*JCLCloseUI: *JCLToner\n"
    "*OpenUI *Resolution/Resolution: PickOne\n"
    "*DefaultResolution:600dpi\n"
    "*CloseUI: *Resolution\n"
    "*OpenUI *Duplex/2-Sided: PickOne\n"
    "*DefaultDuplex: None\n"
    "*CloseUI: *Duplex\n";

TEST(ProcessNewPpd, BlockDefaultsTakeTheOldChoicesAndEverythingElsePassesThrough) {
  // Without old choices (or with an empty one) the block defaults keep their own values.
  std::string own = edited(kNewPpd, {{"Gray trailing words", "Gray"}, {":600dpi", ": 600dpi"}});
  OptionList none, empty({{"Duplex", ""}});
  EXPECT_EQ(rewrite(kNewPpd, none), own);
  EXPECT_EQ(rewrite(kNewPpd, empty), own);
  OptionList options({{"PageSize", "Letter"},
                      {"ImageableArea", "Letter"},
                      {"ColorModel", "CMYK"},
                      {"JCLToner", "On"},
                      {"PageSize", "Legal"},    // the first of two decides
                      {"Duplex", "Fantasy"}});  // the last one, and not offered
  EXPECT_EQ(rewrite(kNewPpd, options),
            edited(own, {{"PickOne\n*DefaultPageSize: A4", "PickOne\n*DefaultPageSize: Letter"},
                         {"ColorModel: Gray", "ColorModel: CMYK"},
                         {"Duplex: None", "Duplex: Fantasy"}}));
}

TEST(ParseDefaultLine, SplitsKeywordAndValueAsTheRewriteNeedsThem) {
  auto parse = [](const std::string& line) {
    std::string keyword, value;
    return parseDefaultLine(line, &keyword, &value) ? keyword + "=" + value : "-";
  };
  EXPECT_EQ(parse("*DefaultResolution:600dpi\n"), "*Resolution=600dpi");
  EXPECT_EQ(parse("*DefaultPageSize: Letter more words\n"), "*PageSize=Letter");
  EXPECT_EQ(parse("*DefaultPageSize:   A4\r\n"), "*PageSize=A4");
  EXPECT_EQ(parse("*DefaultDuplex: \tNone\n"), "*Duplex=\tNone");
  EXPECT_EQ(parse("*DefaultDuplex:\n"), "*Duplex=");
  EXPECT_EQ(parse("*DefaultDuplex\n"), "*Duplex\n=");
  EXPECT_EQ(parse("*DefaultColorSep: ProcessBlack.Dot\n"), "-");
  EXPECT_EQ(parse("*PageSize Default/Printer Default: \"\"\n"), "-");
  // Overlong keyword and value stop at their buffers.
  EXPECT_EQ(parse("*Default" + std::string(120, 'K') + ": " + std::string(120, 'V') + "\n"),
            "*" + std::string(78, 'K') + "=" + std::string(79, 'V'));
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
