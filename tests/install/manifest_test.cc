// The installation manifest read from a product directory of the test's own.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "install/manifest.h"

namespace {

// A product directory in /tmp with an etc/ folder; settings point at it.
struct ManifestTest : testing::Test {
  std::string dir;
  std::string log;  // what the last read() logged
  void SetUp() override {
    char name[] = "/tmp/plix-manifest-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
    ASSERT_EQ(mkdir((dir + "/etc").c_str(), 0755), 0);
    settings.sourceDir = dir;
    settings.manifestName = "PLIXINST.CONF";
    settings.debugLevel = 0;
  }
  void TearDown() override { (void)system(("rm -rf '" + dir + "'").c_str()); }
  int read(const std::string& text, const std::string& file = "etc/PLIXINST.CONF") {
    std::ofstream(dir + "/" + file) << text;
    testing::internal::CaptureStderr();
    int count = getInfoData();
    log = testing::internal::GetCapturedStderr();
    return count;
  }
};

// "SOURCE|DESTINATION|MODE" (mode in octal) for the first `n` items, one a line.
std::string items(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    char mode[16];
    snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(installItems[i].mode));
    out += installItems[i].source + "|" + installItems[i].destination + "|" + mode + "\n";
  }
  return out;
}

TEST_F(ManifestTest, FieldsModesAndSkippedLines) {
  int count = read(
      "# comment bin/x ./bin 00755\n"
      "\n"
      " bin/indented ./bin 00755\n"
      "\tbin/tabbed ./bin 00755\n"
      "bin/setup ./bin 00755\n"
      "bin/tabs\t\t./bin\t00700   \r\n"
      "etc/a.png ./etc 00644\n"
      "etc/b.png ./etc 0644\n"
      "etc/c.png ./etc 755\n"
      "etc/d.png ./etc 000\n"
      "etc/e.png ./etc note:100640 x\n"
      "etc/f.png ./etc 0089\n"
      "nc /usr/bin\n"
      "lonely\n"
      "ppd/x.ppd ?  00644\n"
      "bin/\xe4tsch ./bin\x01" "00711\n");  // a byte of 0x80 or more separates like a blank
  ASSERT_EQ(count, 12);
  EXPECT_EQ(items(12),
            "bin/setup|./bin|755\nbin/tabs|./bin|700\netc/a.png|./etc|644\netc/b.png|./etc|0\n"
            "etc/c.png|./etc|0\netc/d.png|./etc|755\netc/e.png|./etc|640\netc/f.png|./etc|755\n"
            "nc|/usr/bin|0\nlonely||0\nppd/x.ppd|?|644\nbin/|tsch|711\n");
}

TEST_F(ManifestTest, WhereTheManifestIsFoundAndWhereItEnds) {
  EXPECT_EQ(read("", "unused"), 0);  // none at all
  EXPECT_EQ(read("# only comments\n\n   \n"), 0);
  ASSERT_EQ(read("a/one ./bin 00755\nb/two ./bin\nc/three ./bin\n"), 3);
  // @@NULL anywhere on a line ends the list; the table is cleared each time.
  ASSERT_EQ(read("a/one ./bin 00755\nxx @@NULL yy\nb/two ./bin\n"), 1);
  EXPECT_EQ(items(3), "a/one|./bin|755\n||0\n||0\n");
  // etc/ wins over the product directory itself, which serves when etc/ has none.
  std::ofstream(dir + "/PLIXINST.CONF") << "top/file ./bin\n";
  ASSERT_EQ(read("etc/file ./etc\n"), 1);
  EXPECT_EQ(installItems[0].source, "etc/file");
  ASSERT_EQ(unlink((dir + "/etc/PLIXINST.CONF").c_str()), 0);
  ASSERT_EQ(read("top/file ./bin\n", "PLIXINST.CONF"), 1);
  EXPECT_EQ(installItems[0].source, "top/file");
  settings.manifestName = "OTHER.CONF";
  EXPECT_EQ(read("x/y ./bin\n", "OTHER.CONF"), 1);
}

TEST_F(ManifestTest, LongLinesAreReadWholeAndItemsStayInsideTheProduct) {
  // A line longer than 255 bytes is one item: its tail never becomes an item of its own.
  std::string dest = "/" + std::string(254 - 6, 'd');
  ASSERT_EQ(read("a/src " + dest + "more/item ./bin 00755\n"), 1);
  EXPECT_EQ(items(1), "a/src|" + dest + "more/item|755\n");
  // Sources outside the product directory, and "./" destinations that climb out of the
  // installation directory, are refused; a link in the product leading out too.
  ASSERT_EQ(symlink("/etc/shadow", (dir + "/shadow").c_str()), 0);
  for (auto [source, destination, inside] :
       {std::tuple{"bin/setup", "./bin", true}, {"..x/y", "./a..b", true}, {"bin/setup", "/usr/bin", true},
        {"../../../etc/shadow", "./etc", false}, {"/etc/shadow", "./bin", false}, {"shadow", "./etc", false},
        {"bin/setup", "./../../../etc/cron.d", false}, {"bin/..", "./bin", false}})
    EXPECT_EQ(itemStaysInside({source, destination, 0644}, dir), inside) << source << " " << destination;
}

TEST_F(ManifestTest, TooLongSourceOrTooManyItemsEndTheReadingWithALogLine) {
  std::string fits(47, 's'), tooLong(48, 't');
  ASSERT_EQ(read(fits + " ./bin 00755\n" + tooLong + " ./bin 00755\nlater/item ./bin\n"), 1);
  EXPECT_EQ(items(2), fits + "|./bin|755\n||0\n");
  EXPECT_NE(log.find("getInfoData: Quelle '" + tooLong + "' l\344nger als 47 Zeichen, abgelehnt; Lesen beendet.\n"),
            std::string::npos)
      << log;

  std::string text;
  for (int i = 0; i < 300; ++i) text += "bin/item" + std::to_string(i) + " ./bin 00755\n";
  ASSERT_EQ(read(text), 256);
  EXPECT_EQ(installItems[255].source, "bin/item255");
  EXPECT_NE(log.find("getInfoData: Mehr als 256 Eintr\344ge, 'bin/item256' und alle folgenden abgelehnt.\n"),
            std::string::npos)
      << log;
}

TEST(TrimLineEnd, RemovesNewlinesReturnsAndBlanksOnly) {
  for (auto [in, out] : {std::pair{"abc \r\n", "abc"}, {"abc\t\n", "abc\t"}, {" \r\n ", ""}, {"", ""}, {"a b", "a b"}}) {
    std::string text = in;
    trimLineEnd(text);
    EXPECT_EQ(text, out) << in;
  }
}

}  // namespace
