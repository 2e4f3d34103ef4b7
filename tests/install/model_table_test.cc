// The maker's model table: its shape, and the lookup of the first matching row.
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "install/copy_loop.h"
#include "upgrade/model_table.h"

namespace {

TEST(ModelTable, ShapeOfTheRows) {
  ASSERT_EQ(modelTableSize, 344);
  std::map<int, int> idCount;
  std::map<std::string, int> nameCount;
  for (int i = 0; i < modelTableSize; ++i) {
    std::string name = modelTable[i].name;
    EXPECT_GE(name.size(), 10u) << name;
    EXPECT_LE(name.size(), 28u) << name;
    EXPECT_GE(modelTable[i].id, 1);
    EXPECT_LE(modelTable[i].id, 343);
    ++idCount[modelTable[i].id];
    ++nameCount[name];
  }
  EXPECT_EQ(idCount.size(), 342u);  // one id of 1..343 on no row
  int doubledIds = 0, doubledNames = 0;
  for (auto& [id, n] : idCount) doubledIds += n == 2;
  for (auto& [name, n] : nameCount) doubledNames += n == 2;
  EXPECT_EQ(doubledIds, 2);
  EXPECT_EQ(doubledNames, 1);
  // Ids are not in row order.
  bool ascending = true;
  for (int i = 1; i < modelTableSize; ++i) ascending = ascending && modelTable[i - 1].id <= modelTable[i].id;
  EXPECT_FALSE(ascending);
}

TEST(ModelTable, LongerNamesComeBeforeTheNamesTheyContain) {
  for (int i = 0; i < modelTableSize; ++i) {
    for (int j = i + 1; j < modelTableSize; ++j) {
      std::string earlier = modelTable[i].name, later = modelTable[j].name;
      if (earlier == later) continue;
      EXPECT_EQ(later.find(earlier), std::string::npos) << earlier << " shadows " << later;
    }
  }
}

TEST(ModelTable, SampleModelsFindTheirRows) {
  struct Case {
    const char* model;
    const char* row;
  } cases[] = {
      {"\"Orvex LaserPro 4200 PS\"", "LaserPro 4200"},
      {"\"Orvex LaserPro 4200 PCL\"", "LaserPro 4200"},
      {"\"Orvex ColorPage 7350 PS\"", "ColorPage 7350"},
      {"\"Orvex OfficeLine 2600 PXL\"", "OfficeLine 2600"},
      {"Orvex LaserPro 4200 DN PS", "LaserPro 4200 DN"},
  };
  for (const Case& c : cases) {
    int row = findModelRow(c.model);
    ASSERT_GE(row, 0) << c.model;
    EXPECT_STREQ(modelTable[row].name, c.row);
  }
  EXPECT_EQ(findModelRow("\"Acme Jet 1\""), -1);
  EXPECT_EQ(findModelRow(""), -1);
  // A queue's old PPD and the new one pair through the id of the same row.
  EXPECT_EQ(modelTable[findModelRow("Orvex LaserPro 4200 PS")].id,
            modelTable[findModelRow("Orvex LaserPro 4200 PCL")].id);
}

TEST(BlankControlChars, EveryByteBelowBlankBecomesABlank) {
  std::string text = "a\n\tb\x01\x1f\x20\x7f\xe4\n";
  blankControlChars(text);
  EXPECT_EQ(text, "a  b   \x7f\xe4 ");
}

}  // namespace
