// The installation manifest read from a product directory of the test's own.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "install/manifest.h"

namespace {

void writeFile(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr) << path;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

// A product directory in /tmp with an etc/ folder; settings point at it.
struct ManifestTest : testing::Test {
  std::string dir;
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
  int read(const std::string& text) {
    writeFile(dir + "/etc/PLIXINST.CONF", text);
    return getInfoData();
  }
};

void expectItem(int n, const char* source, const char* destination, int mode) {
  SCOPED_TRACE(n);
  EXPECT_EQ(installItems[n].source, source);
  EXPECT_EQ(installItems[n].destination, destination);
  EXPECT_EQ(installItems[n].mode, mode);
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
      "bin/\xe4tsch ./bin\x01" "00711\n");
  ASSERT_EQ(count, 12);
  expectItem(0, "bin/setup", "./bin", 0755);
  expectItem(1, "bin/tabs", "./bin", 0700);
  expectItem(2, "etc/a.png", "./etc", 0644);
  expectItem(3, "etc/b.png", "./etc", 0);
  expectItem(4, "etc/c.png", "./etc", 0);
  expectItem(5, "etc/d.png", "./etc", 0755);
  expectItem(6, "etc/e.png", "./etc", 0640);
  expectItem(7, "etc/f.png", "./etc", 0755);
  expectItem(8, "nc", "/usr/bin", 0);
  expectItem(9, "lonely", "", 0);
  expectItem(10, "ppd/x.ppd", "?", 0644);
  // A byte of 0x80 or more separates tokens like a blank.
  expectItem(11, "bin/", "tsch", 0711);
}

TEST_F(ManifestTest, AtNullEndsTheListAndTheTableIsClearedEachTime) {
  ASSERT_EQ(read("a/one ./bin 00755\nb/two ./bin\nc/three ./bin\n"), 3);
  ASSERT_EQ(read("a/one ./bin 00755\nxx @@NULL yy\nb/two ./bin\n"), 1);
  expectItem(0, "a/one", "./bin", 0755);
  EXPECT_EQ(installItems[1].source, "");
  EXPECT_EQ(installItems[2].source, "");
}

TEST_F(ManifestTest, EtcWinsOverTheProductDirectoryItself) {
  writeFile(dir + "/PLIXINST.CONF", "top/file ./bin\n");
  ASSERT_EQ(read("etc/file ./etc\n"), 1);
  EXPECT_EQ(installItems[0].source, "etc/file");
  ASSERT_EQ(unlink((dir + "/etc/PLIXINST.CONF").c_str()), 0);
  ASSERT_EQ(getInfoData(), 1);
  EXPECT_EQ(installItems[0].source, "top/file");
}

TEST_F(ManifestTest, MissingOrEmptyManifestGivesNoItems) {
  EXPECT_EQ(getInfoData(), 0);
  EXPECT_EQ(read("# only comments\n\n   \n"), 0);
  settings.manifestName = "OTHER.CONF";
  writeFile(dir + "/OTHER.CONF", "x/y ./bin\n");
  EXPECT_EQ(getInfoData(), 1);
}

TEST_F(ManifestTest, LongLinesAreReadInPiecesOf255) {
  // The destination ends exactly at the piece limit: the rest of the line is read as
  // a line of its own, whose first token becomes a source.
  std::string dest = "/" + std::string(254 - 6, 'd');
  std::string line = "a/src " + dest + "more/item ./bin 00755\n";
  ASSERT_EQ(read(line), 2);
  expectItem(0, "a/src", dest.c_str(), 0);
  expectItem(1, "more/item", "./bin", 0755);
}

TEST_F(ManifestTest, SourceLongerThan47EndsTheReadingThere) {
  std::string fits(47, 's');
  std::string tooLong(48, 't');
  testing::internal::CaptureStderr();
  int count = read(fits + " ./bin 00755\n" + tooLong + " ./bin 00755\nlater/item ./bin\n");
  std::string log = testing::internal::GetCapturedStderr();
  ASSERT_EQ(count, 1);
  EXPECT_NE(log.find("getInfoData: Quelle '" + tooLong +
                     "' l\344nger als 47 Zeichen, abgelehnt; Lesen beendet.\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(installItems[0].source, fits);
  EXPECT_EQ(installItems[1].source, "");
}

TEST_F(ManifestTest, MoreThan256ItemsStopAtTheLimit) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "bin/item" + std::to_string(i) + " ./bin 00755\n";
  testing::internal::CaptureStderr();
  int count = read(text);
  std::string log = testing::internal::GetCapturedStderr();
  ASSERT_EQ(count, kInstallItemsMax);
  EXPECT_NE(log.find("getInfoData: Mehr als 256 Eintr\344ge, 'bin/item256' und alle folgenden "
                     "abgelehnt.\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(installItems[255].source, "bin/item255");
}

TEST(TrimLineEnd, RemovesNewlinesReturnsAndBlanksOnly) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"abc \r\n", "abc"}, {"abc\t\n", "abc\t"}, {" \r\n ", ""}, {"", ""}, {"a b", "a b"}};
  for (const Case& c : cases) {
    std::string text = c.in;
    trimLineEnd(text);
    EXPECT_EQ(text, c.out) << c.in;
  }
}

}  // namespace
