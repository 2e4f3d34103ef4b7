// Carrying a queue's defaults into a new PPD, over small PPD texts in memory and in a
// private scratch directory; the model-line and marker rules of the scan; the
// printers block of an information file; where saved copies go.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "upgrade/model_table.h"
#include "upgrade/ppd_defaults.h"
#include "upgrade/printer_scan.h"
#include "upgrade/queue_upgrade.h"

namespace {

// A scratch directory of this test process (below $TMPDIR), removed at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::string base = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
    std::string pattern = base + "/upgrade_test.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
  }
  ~ScratchDir() {
    if (!path_.empty()) {
      std::string command = "rm -rf '" + path_ + "'";
      if (system(command.c_str()) != 0) perror("rm");
    }
  }
  std::string file(const std::string& name, const std::string& text) const {
    std::string p = path_ + "/" + name;
    FILE* f = fopen(p.c_str(), "w");
    if (f != nullptr) {
      fputs(text.c_str(), f);
      fclose(f);
    }
    return p;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct OptionList {
  OptListEntry head;
  int count = 0;
  OptionList(std::initializer_list<std::pair<const char*, const char*>> options) {
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
  OptionList options({{"PageSize", "Letter"},
                      {"ImageableArea", "Letter"},
                      {"ColorModel", "CMYK"},
                      {"JCLToner", "On"},
                      {"PageSize", "Legal"},    // the first of two decides
                      {"Duplex", "Fantasy"}});  // the last one, and not offered
  EXPECT_EQ(rewrite(kNewPpd, options),
            "*PPD-Adobe: \"4.3\"\n"
            "*DefaultPageSize: A4\n"
            "*OpenUI *PageSize/Media Size: PickOne\n"
            "*DefaultPageSize: Letter\n"
            "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
            "*CloseUI: *PageSize\n"
            "*DefaultImageableArea: A4\n"
            "*OpenUI *ColorModel/Color: PickOne\n"
            "*DefaultColorSep: ProcessBlack.Dot\n"
            "*DefaultColorModel: CMYK\n"
            "*ColorModel Default/Printer Default: \"\"\n"
            "*CloseUI: *ColorModel\n"
            "*JCLOpenUI *JCLToner/Toner Save: PickOne\n"
            "*DefaultJCLToner: Off\n"
            "*JCLCloseUI: *JCLToner\n"
            "*OpenUI *Resolution/Resolution: PickOne\n"
            "*DefaultResolution: 600dpi\n"
            "*CloseUI: *Resolution\n"
            "*OpenUI *Duplex/2-Sided: PickOne\n"
            "*DefaultDuplex: Fantasy\n"
            "*CloseUI: *Duplex\n");
}

TEST(ProcessNewPpd, WithoutOldDefaultsBlockDefaultsAreNormalisedToTheirOwnValues) {
  OptionList none({});
  std::string out = rewrite(kNewPpd, none);
  EXPECT_NE(out.find("*OpenUI *PageSize/Media Size: PickOne\n*DefaultPageSize: A4\n"),
            std::string::npos);
  EXPECT_NE(out.find("*DefaultColorModel: Gray\n"), std::string::npos);
  EXPECT_NE(out.find("*DefaultResolution: 600dpi\n"), std::string::npos);
  EXPECT_NE(out.find("*DefaultDuplex: None\n"), std::string::npos);
}

TEST(ProcessNewPpd, AnEmptyChoiceKeepsTheNewValue) {
  OptionList options({{"Duplex", ""}});
  EXPECT_NE(rewrite(kNewPpd, options).find("*DefaultDuplex: None\n"), std::string::npos);
}

TEST(ParseDefaultLine, SplitsKeywordAndValueAsTheRewriteNeedsThem) {
  struct Case {
    const char* line;
    bool found;
    const char* keyword;
    const char* value;
  } cases[] = {
      {"*DefaultResolution:600dpi\n", true, "*Resolution", "600dpi"},
      {"*DefaultPageSize: Letter more words\n", true, "*PageSize", "Letter"},
      {"*DefaultPageSize:   A4\r\n", true, "*PageSize", "A4"},
      {"*DefaultDuplex: \tNone\n", true, "*Duplex", "\tNone"},
      {"*DefaultDuplex:\n", true, "*Duplex", ""},
      {"*DefaultDuplex\n", true, "*Duplex\n", ""},
      {"*DefaultColorSep: ProcessBlack.Dot\n", false, "", ""},
      {"*PageSize Default/Printer Default: \"\"\n", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string keyword, value;
    EXPECT_EQ(parseDefaultLine(c.line, &keyword, &value), c.found) << c.line;
    if (!c.found) continue;
    EXPECT_EQ(keyword, c.keyword) << c.line;
    EXPECT_EQ(value, c.value) << c.line;
  }
}

TEST(ParseDefaultLine, OverlongKeywordAndValueStopAtTheirBuffers) {
  std::string keyword, value;
  std::string line = "*Default" + std::string(120, 'K') + ": " + std::string(120, 'V') + "\n";
  ASSERT_TRUE(parseDefaultLine(line, &keyword, &value));
  EXPECT_EQ(keyword, "*" + std::string(78, 'K'));
  EXPECT_EQ(value, std::string(79, 'V'));
}

const char kOldPpd[] =
    "*PPD-Adobe: \"4.3\"\n"
    "*FormatVersion: \"4.3\"\n"
    "*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n"
    "*PCFileName: \"TEST.PPD\"\n"
    "*Manufacturer: \"Orvex\"\n"
    "*Product: \"(Test)\"\n"
    "*ModelName: \"Orvex LaserPro 4200 PS\"\n"
    "*ShortNickName: \"Test\"\n"
    "*NickName: \"Test\"\n"
    "*PSVersion: \"(3010.000) 0\"\n"
    "*OpenUI *PageSize/Media Size: PickOne\n"
    "*DefaultPageSize: Letter\n"
    "*PageSize A4/A4: \"a4\"\n"
    "*PageSize Letter/Letter: \"letter\"\n"
    "*CloseUI: *PageSize\n"
    "*OpenUI *Duplex/Duplex: PickOne\n"
    "*DefaultDuplex: Unknown\n"  // names none of its choices
    "*Duplex None/Off: \"off\"\n"
    "*Duplex DuplexNoTumble/On: \"on\"\n"
    "*CloseUI: *Duplex\n"
    "*OpenUI *InputSlot/Source: PickOne\n"
    "*DefaultInputSlot: Tray2\n"
    "*InputSlot Tray1/Tray 1: \"t1\"\n"
    "*InputSlot Tray2/Tray 2: \"t2\"\n"
    "*CloseUI: *InputSlot\n";

TEST(CollectDefaults, TakesEachOptionWhoseDefaultNamesOneOfItsChoicesInOrder) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  std::string path = dir.file("old.ppd", kOldPpd);
  OptionList list({});
  int count = -5;
  EXPECT_EQ(collectDefaults(path, &list.head, &count), 2);
  EXPECT_EQ(count, 2);
  std::vector<std::string> got;
  for (OptListEntry* e = list.head.next; e != &list.head; e = e->next)
    got.push_back(e->keyword + "=" + e->choice + "#" + std::to_string(e->index));
  EXPECT_EQ(got, (std::vector<std::string>{"PageSize=Letter#1", "InputSlot=Tray2#2"}));

  // The last one collected is carried over like the first.
  list.count = count;
  std::string out = rewrite(
      "*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n*CloseUI: *PageSize\n"
      "*OpenUI *InputSlot: PickOne\n*DefaultInputSlot: Auto\n*CloseUI: *InputSlot\n",
      list);
  EXPECT_EQ(out,
            "*OpenUI *PageSize: PickOne\n*DefaultPageSize: Letter\n*CloseUI: *PageSize\n"
            "*OpenUI *InputSlot: PickOne\n*DefaultInputSlot: Tray2\n*CloseUI: *InputSlot\n");
}

TEST(CollectDefaults, AFileThatIsNoPpdGivesAnEmptyListAndLeavesTheCount) {
  ScratchDir dir;
  std::string path = dir.file("broken.ppd", "this is not a PPD\n");
  OptionList list({});
  int count = 7;
  testing::internal::CaptureStderr();
  EXPECT_EQ(collectDefaults(path, &list.head, &count), 0);
  EXPECT_EQ(collectDefaults(dir.path() + "/missing.ppd", &list.head, &count), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count, 7);
  EXPECT_EQ(list.head.next, &list.head);
  EXPECT_EQ(err, "K\366nnte '" + path + "' nicht alsPPD Datei \366ffnen!\n" + "K\366nnte '" +
                     dir.path() + "/missing.ppd' nicht alsPPD Datei \366ffnen!\n");
}

TEST(ModelLine, KindFromTheEightCharactersBeforeTheLineEndAndIdFromTheTable) {
  int row = findModelRow("Orvex LaserPro 4200 PCL");
  ASSERT_GE(row, 0);
  int id = modelTable[row].id;
  struct Case {
    const char* line;
    bool found;
    int kind;
    const char* model;
  } cases[] = {
      {"*ModelName: \"Orvex LaserPro 4200 PCL\"\n", true, 2, "\"Orvex LaserPro 4200 PCL\""},
      {"*ModelName:   \"Orvex LaserPro 4200 PS\"\r\n", true, 1, "\"Orvex LaserPro 4200 PS\""},
      {"*ModelName: \"Orvex LaserPro 4200 PXL\"\n", true, 3, "\"Orvex LaserPro 4200 PXL\""},
      {"*ModelName: \"Orvex LaserPro 4200 PCL 6 Series\"\n", true, 0,
       "\"Orvex LaserPro 4200 PCL 6 Series\""},
      {"*ModelName: \"Orvex LaserPro 4200 PS\"", true, 1, "\"Orvex LaserPro 4200 PS\""},
      {"*NickName: \"Orvex LaserPro 4200 PS\"\n", false, -1, ""},
  };
  for (const Case& c : cases) {
    int kind = -1, modelId = -1;
    std::string model;
    EXPECT_EQ(parseModelNameLine(c.line, &kind, &modelId, &model), c.found) << c.line;
    EXPECT_EQ(kind, c.kind) << c.line;
    if (c.found) {
      EXPECT_EQ(modelId, id) << c.line;
      EXPECT_EQ(model, c.model) << c.line;
    }
  }
  // An unknown model: the kind is still worked out, the id is not written.
  int kind = -1, modelId = -1;
  std::string model;
  EXPECT_FALSE(parseModelNameLine("*ModelName: \"Zeta Writer 9 PCL\"\n", &kind, &modelId, &model));
  EXPECT_EQ(kind, 2);
  EXPECT_EQ(modelId, -1);
}

TEST(VersionMarker, DigitAfterTheMarkerOrMinusOne) {
  EXPECT_EQ(ppdVersionDigit("*% Plix version: 1\n"), 1);
  EXPECT_EQ(ppdVersionDigit("*% Plix version:1.5 beta\n"), 1);
  EXPECT_EQ(ppdVersionDigit("*% Plix version: 2\n"), 2);
  EXPECT_EQ(ppdVersionDigit("*% Plix version: 0\n"), 0);
  EXPECT_EQ(ppdVersionDigit("*% Plix version: x\n"), -1);
  EXPECT_EQ(ppdVersionDigit("*% Plix version:\n"), -1);
  EXPECT_EQ(ppdVersionDigit("*% Plix Version: 1\n"), -1);
}

TEST(InfoPrinters, PrintersBlockOfOneThreeAndNoLines) {
  ScratchDir dir;
  settings.installDir = dir.path();
  PListEntry& head = settings.printerList;
  resetPList(&head);

  dir.file("plixInfo4.0", "USRDIR /opt/zed\n%%ZANBLOCK_PRINTERS_BEGIN  \nonly\n%%ZANBLOCK_PRINTERS_END\n");
  settings.printerCount = -1;
  EXPECT_EQ(readInfoPrinters(2, &head), 1);
  EXPECT_EQ(settings.printerCount, 1);
  EXPECT_EQ(head.queueName, "only");
  EXPECT_EQ(head.next, &head);

  dir.file("plixInfo4.0", "%%ZANBLOCK_PRINTERS_BEGIN\nfirst \n\nthird\r\n%%ZANBLOCK_PRINTERS_END\nx\n");
  EXPECT_EQ(readInfoPrinters(2, &head), 1);
  EXPECT_EQ(settings.printerCount, 3);
  std::vector<std::string> names;
  std::vector<int> indexes;
  PListEntry* e = &head;
  for (int i = 0; i < 3; ++i, e = e->next) {
    names.push_back(e->queueName);
    indexes.push_back(e->index);
  }
  EXPECT_EQ(e, &head);  // a ring of exactly three
  EXPECT_EQ(names, (std::vector<std::string>{"first", "", "third\r"}));
  EXPECT_EQ(indexes, (std::vector<int>{0, 1, 2}));

  // The earlier kind reads plixInfo2.0; an empty block gives 0 entries.
  dir.file("plixInfo2.0", "%%ZANBLOCK_PRINTERS_BEGIN\n%%ZANBLOCK_PRINTERS_END\n");
  EXPECT_EQ(readInfoPrinters(1, &head), 1);
  EXPECT_EQ(settings.printerCount, 0);
  EXPECT_EQ(head.next, &head);

  // No block: list and count stay.
  dir.file("plixInfo4.0", "USRDIR /opt/zed\n");
  EXPECT_EQ(readInfoPrinters(2, &head), 0);
  EXPECT_EQ(settings.printerCount, 0);
  unlink((dir.path() + "/plixInfo4.0").c_str());
  EXPECT_EQ(readInfoPrinters(2, &head), 0);
  resetPList(&head);
}

TEST(SavedCopy, QueuePpdSavesAsQueueNameOtherEntriesAsTheirOwnFileName) {
  EXPECT_EQ(savedPpdPath("/etc/cups/ppd/office.ppd", "office"), "/etc/cups/office.ppd.rpmsave");
  EXPECT_EQ(savedPpdPath("/etc/cups/ppd/office.ppd.O", "office"),
            "/etc/cups/office.ppd.O.rpmsave");
  EXPECT_EQ(savedPpdPath("/etc/cups/ppd/a.ppd.ppd", "a"), "/etc/cups/a.ppd.ppd.rpmsave");
  EXPECT_EQ(savedPpdPath("/usr/local/etc/cups/ppd/q.ppd", "q"),
            "/usr/local/etc/cups/q.ppd.rpmsave");
}

}  // namespace
