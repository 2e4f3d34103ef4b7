// The maker's model table: its shape, and the lookup of the first matching row.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "install/copy_loop.h"
#include "upgrade/model_table.h"

namespace {

TEST(ModelTable, ShapeOfTheRows) {
  ASSERT_EQ(modelTableSize, 344);
  std::map<int, int> idCount;
  std::map<std::string, int> nameCount;
  bool ascending = true;
  for (int i = 0; i < modelTableSize; ++i) {
    std::string name = modelTable[i].name;
    EXPECT_TRUE(name.size() >= 10 && name.size() <= 28) << name;
    EXPECT_TRUE(modelTable[i].id >= 1 && modelTable[i].id <= 343) << name;
    ++idCount[modelTable[i].id];
    ++nameCount[name];
    ascending = ascending && (i == 0 || modelTable[i - 1].id <= modelTable[i].id);
    // Longer names come before the names they contain.
    for (int j = i + 1; j < modelTableSize; ++j) {
      std::string later = modelTable[j].name;
      EXPECT_TRUE(later == name || later.find(name) == std::string::npos) << name << " shadows " << later;
    }
  }
  EXPECT_FALSE(ascending);
  EXPECT_EQ(idCount.size(), 342u);  // one id of 1..343 on no row
  int doubledIds = 0, doubledNames = 0;
  for (auto& [id, n] : idCount) doubledIds += n == 2;
  for (auto& [name, n] : nameCount) doubledNames += n == 2;
  EXPECT_EQ(doubledIds, 2);
  EXPECT_EQ(doubledNames, 1);
}

// The sample PPDs' own models are looked up in product_package_test.
TEST(ModelTable, FirstMatchingRowOfAQuotedOrLongerName) {
  auto row = [](const char* model) {
    int i = findModelRow(model);
    return i < 0 ? std::string("none") : std::string(modelTable[i].name);
  };
  EXPECT_EQ(row("\"Orvex LaserPro 4200 PS\""), "LaserPro 4200");
  EXPECT_EQ(row("Orvex LaserPro 4200 DN PS"), "LaserPro 4200 DN");
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
