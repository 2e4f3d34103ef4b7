// Pure parts of host probing: the cupsd command path, version digits and their
// scaling, the system-family table, the environment's print system, the scratch-file
// maker on a directory of the test's own, and the real host probe.
#include <arpa/inet.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "driver/settings.h"
#include "probe/cups_version.h"
#include "probe/host_info.h"
#include "probe/print_system.h"

namespace {

TEST(CupsPrefixFromCommand, TakesThePathBeforeSbinOrBinCupsd) {
  struct Case {
    const char* command;
    std::optional<std::string> prefix;
  };
  const Case cases[] = {
      {"/usr/sbin/cupsd -l", "/usr"},
      {"/usr/sbin/cupsd -l\n", "/usr"},
      {" /usr/sbin/cupsd\r\n", "/usr"},
      {"/sbin/cupsd", ""},
      {"/usr/local/bin/cupsd -f\n", "/usr/local"},
      {"/opt/cups/sbin/cupsd\n\n", "/opt/cups"},
      {"/usr/sbin/cupsd.bin/cupsd", "/usr"},  // /sbin/cupsd is looked for first
      {"cupsd -l", std::nullopt},             // started without a path
      {"  /usr/sbin/cupsd", std::nullopt},     // only one leading blank is skipped
      {"/usr/sbin/lpd", std::nullopt},
      {"/opt/cupsd/x", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(cupsPrefixFromCommand(c.command), c.prefix) << c.command;
  EXPECT_EQ(cupsPrefixFromCommand(nullptr), std::nullopt);
  // A text beyond the 255-character line is cut to it, never overflows.
  std::string longPath = "/" + std::string(300, 'x') + "/sbin/cupsd";
  EXPECT_EQ(cupsPrefixFromCommand(longPath.c_str()), std::nullopt);
  std::string longArgs = "/usr/sbin/cupsd " + std::string(400, 'y');
  EXPECT_EQ(cupsPrefixFromCommand(longArgs.c_str()), "/usr");
}

TEST(VersionNumbers, DigitsOfTheTextScaledToFourDigits) {
  EXPECT_EQ(versionDigits("2.4.7"), 247);
  EXPECT_EQ(versionDigits("1.5.2\n"), 152);
  EXPECT_EQ(versionDigits("1.0.0"), 100);
  EXPECT_EQ(versionDigits(".4"), 4);
  EXPECT_EQ(versionDigits("2.4.2 build 7"), 242);
  EXPECT_EQ(versionDigits("v2.4"), 0);
  EXPECT_EQ(versionDigits(""), 0);
  EXPECT_EQ(normalizeVersion(14), 1400);
  EXPECT_EQ(normalizeVersion(143), 1430);
  EXPECT_EQ(normalizeVersion(1), 1000);
  EXPECT_EQ(normalizeVersion(1000), 1000);
  EXPECT_EQ(normalizeVersion(9999), 9999);
  EXPECT_EQ(normalizeVersion(12345), 1234);
  EXPECT_EQ(normalizeVersion(INT_MAX), 2147);
}

TEST(VersionNumbers, LongTextsAndDigitRunsBeyond32BitsKeepTheirLeadingDigits) {
  // Longer than the 24-character digit field.
  EXPECT_EQ(normalizeVersion(versionDigits("1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.18.19.20")), 1234);
  // Digit runs beyond a 32-bit number.
  EXPECT_EQ(versionDigits("4294967296"), 429496729);
  EXPECT_EQ(versionDigits("2147483647"), INT_MAX);
  EXPECT_EQ(normalizeVersion(versionDigits("99999999999999999999999999999999999999999")), 9999);
  EXPECT_EQ(normalizeVersion(versionDigits("2.4.99999999999999999999999")), 2499);
}

TEST(HostInfo, SystemNameAndReleaseGiveTheFamilyCode) {
  struct Case {
    const char* sysname;
    const char* release;
    int kind;
  };
  const Case cases[] = {
      {"SunOS", "5.10", 1},   {"SunOS", "5.0", 1},      {"SunOS", "4.1.4", 2},    {"SunOS", "", 2},
      {"SunOS", "x5.10", 2},  {"Linux", "6.1.0", 6},     {"Linux", "", 6},         {"OSF1", "V4.0", 7},
      {"SCO_SV", "3.2", 9},   {"UnixWare", "5", 10},     {"Linux2", "6.1", 0},     {"linux", "6.1", 0},
      {"SunOS5", "5.10", 0},  {"FreeBSD", "14.0", 0},    {"", "", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(osKindFor(c.sysname, c.release), c.kind) << c.sysname << " " << c.release;
}

TEST(HostInfo, RealProbeRecordsNodeNameAndDottedAddress) {
  utsname info;
  ASSERT_EQ(uname(&info), 0);
  settings.hostName = "stale";
  settings.hostAddress = "stale";
  EXPECT_EQ(probeHostInfo(), 6);
  EXPECT_EQ(settings.hostName, std::string(info.nodename).substr(0, 63));
  in_addr address;
  EXPECT_EQ(inet_aton(settings.hostAddress.c_str(), &address), 1) << settings.hostAddress;
}

// The print system named by the environment; restores both variables afterwards.
class Environment : public testing::Test {
 protected:
  void SetUp() override {
    save("ZANLPMODE", &zan_);
    save("PLIXLPMODE", &plix_);
  }
  void TearDown() override {
    restore("ZANLPMODE", zan_);
    restore("PLIXLPMODE", plix_);
  }
  static int with(const char* zan, const char* plix) {
    restore("ZANLPMODE", zan ? std::optional<std::string>(zan) : std::nullopt);
    restore("PLIXLPMODE", plix ? std::optional<std::string>(plix) : std::nullopt);
    return printSystemFromEnvironment();
  }

 private:
  static void save(const char* name, std::optional<std::string>* value) {
    const char* v = getenv(name);
    if (v) *value = v;
  }
  static void restore(const char* name, const std::optional<std::string>& value) {
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  std::optional<std::string> zan_, plix_;
};

TEST_F(Environment, ZanlpmodeFirstThenPlixlpmodeExactNamesOnly) {
  EXPECT_EQ(with(nullptr, nullptr), 0);
  EXPECT_EQ(with("CUPS", nullptr), 8);
  EXPECT_EQ(with("LPRNG", nullptr), 4);
  EXPECT_EQ(with("LPR", nullptr), 2);
  EXPECT_EQ(with("LP", nullptr), 1);
  EXPECT_EQ(with("cups", "LP"), 0);  // set but invalid: PLIXLPMODE is not consulted
  EXPECT_EQ(with("LPD", "CUPS"), 0);
  EXPECT_EQ(with("", "CUPS"), 0);
  EXPECT_EQ(with(nullptr, "LP"), 1);
  EXPECT_EQ(with(nullptr, "CUPS"), 8);
  EXPECT_EQ(with(nullptr, "CUPS "), 0);
}

TEST(MyTmpName, MakesAnEmptyFileWithOneSlashAndLeavesTheDirectoryText) {
  char dirTemplate[] = "/tmp/plix-mytmpname-XXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  std::string dir = std::string(dirTemplate) + "/";
  std::string first = myTmpName(dir, "ZAN");
  std::string second = myTmpName(dir, nullptr);
  EXPECT_EQ(dir, std::string(dirTemplate) + "/");
  EXPECT_EQ(first.substr(0, dir.size() + 3), dir + "ZAN");
  EXPECT_EQ(first.size(), dir.size() + 9);
  EXPECT_NE(first, second);
  struct stat st;
  ASSERT_EQ(lstat(first.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_size, 0);
  unlink(first.c_str());
  unlink(second.c_str());
  rmdir(dirTemplate);
}

TEST(MyTmpName, EndsWith255OnlyWhenNoFileCanBeMade) {
  EXPECT_EXIT(myTmpName("/nonexistent-plix-dir/", "LBL"), testing::ExitedWithCode(255),
              "^myTmpName\\(/nonexistent-plix-dir,LBL\\) Failed!\n$");
  EXPECT_EXIT(myTmpName("/proc/self/status", nullptr), testing::ExitedWithCode(255),
              "^myTmpName\\(/proc/self/status,ZAN\\) Failed!\n$");
}

}  // namespace
