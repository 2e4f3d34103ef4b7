// Pure parts of host probing: the cupsd command path, version digits and their
// scaling, the system-family table, the environment's print system, the scratch-file
// maker on a directory of the test's own, and the real host probe.
#include <arpa/inet.h>
#include <stdlib.h>
#include <sys/utsname.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "probe/cups_version.h"
#include "probe/host_info.h"
#include "probe/print_system.h"

namespace {

TEST(CupsPrefixFromCommand, TakesThePathBeforeSbinOrBinCupsd) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"/usr/sbin/cupsd -l\n", "/usr"}, {" /usr/sbin/cupsd\r\n", "/usr"}, {"/sbin/cupsd", ""},
      {"/usr/local/bin/cupsd -f\n", "/usr/local"}, {"/opt/cups/sbin/cupsd\n\n", "/opt/cups"},
      {"/usr/sbin/cupsd.bin/cupsd", "/usr"},  // /sbin/cupsd is looked for first
      {"cupsd -l", {}}, {"/usr/sbin/lpd", {}}, {"/opt/cupsd/x", {}}, {"", {}},
      {"  /usr/sbin/cupsd", {}},  // only one leading blank is skipped
      // A text beyond the 255-character line is cut to it, never overflows.
      {"/" + std::string(300, 'x') + "/sbin/cupsd", std::nullopt},
      {"/usr/sbin/cupsd " + std::string(400, 'y'), "/usr"},
  };
  for (const auto& [command, prefix] : cases) EXPECT_EQ(cupsPrefixFromCommand(command.c_str()), prefix) << command;
  EXPECT_EQ(cupsPrefixFromCommand(nullptr), std::nullopt);
}

TEST(VersionNumbers, DigitsScaledToFourDigitsWithoutOverflow) {
  const std::pair<const char*, int> digits[] = {
      {"2.4.7", 247}, {"1.5.2\n", 152}, {".4", 4}, {"2.4.2 build 7", 242}, {"v2.4", 0}, {"", 0},
      {"2147483647", INT_MAX}, {"4294967296", 429496729},  // beyond 32 bits: the leading digits
  };
  for (const auto& [text, value] : digits) EXPECT_EQ(versionDigits(text), value) << text;
  const std::pair<int, int> scaled[] = {
      {14, 1400}, {143, 1430}, {1, 1000}, {9999, 9999}, {12345, 1234}, {INT_MAX, 2147}};
  for (const auto& [value, version] : scaled) EXPECT_EQ(normalizeVersion(value), version) << value;
  // Texts longer than the 24-character digit field, digit runs far beyond 32 bits.
  EXPECT_EQ(normalizeVersion(versionDigits("1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.18.19.20")), 1234);
  EXPECT_EQ(normalizeVersion(versionDigits("99999999999999999999999999999999999999999")), 9999);
  EXPECT_EQ(normalizeVersion(versionDigits("2.4.99999999999999999999999")), 2499);
}

TEST(VersionSources, EachSourceLineNamesItsVersionOrIsPassedOver) {
  using S = VersionSource;
  const std::tuple<S, std::string, std::optional<int>> cases[] = {
      {S::ServerHeader, "Server: CUPS/2.4 IPP/2.1\r\n", 240}, {S::ServerHeader, "Server: CUPS/14\r\n", 140},
      {S::ServerHeader, "Server: CUPS\r\n", 0}, {S::ServerHeader, "Server: Apache\r\n", {}},
      {S::ServerHeader, "X-Server: CUPS-ish\r\n", 0},  // "Server:" and "CUPS" anywhere: the first such line decides
      {S::ServerHeader, "Server: CUPS/" + std::string(45, '9') + "\r\n", 0},  // beyond an int: no version
      {S::CupsConfig, "1.5.2\n", 152}, {S::CupsConfig, "", 0},
      {S::PrintersConf, "# Printer configuration file for CUPS v1.4.3\n", 143},
      {S::PrintersConf, "# Printer configuration, no number\n", {}}, {S::PrintersConf, "# CUPS v1.4\n", {}},
      {S::DocIndex, "<HEAD><TITLE>Home - CUPS   1.3.9</TITLE>\n", 139}, {S::DocIndex, "<TITLE>Home</TITLE>\n", {}},
      {S::TestPage, "%!PS Printed Using CUPS v1.2.2\n", 122}, {S::TestPage, "%!PS\n", {}},
      {S::Banner, "This page was PRODUCED BY CUPS \tvV 1.2.7 today\n", 127}, {S::Banner, "produced by cups\n", 0},
      {S::Banner, "made by CUPS 1.2\n", {}},
  };
  for (const auto& [source, line, version] : cases) {
    EXPECT_EQ(versionInLine(source, line), version) << static_cast<int>(source) << " " << line;
  }
}

TEST(PrintSystemInLine, EachAttemptsProgramAndNeverTheGrepItself) {
  const std::tuple<const char*, int, int> cases[] = {
      {"root 1 0 /usr/sbin/cupsd -l\n", 0, 8}, {"root 1 0 /usr/sbin/cupsd -l\n", 3, 8},
      {"root 2 1 grep cupsd\n", 0, 0}, {"lp 3 1 /usr/lib/lp/lpsched\n", 1, 1}, {"lp 3 1 /usr/lib/lp/lpsched\n", 0, 0},
      {"root 4 1 /usr/sbin/lpd\n", 2, 2}, {"root 4 1 /usr/sbin/lpd\n", 1, 0}, {"", 0, 0}, {"cupsd", 4, 0},
  };
  for (const auto& [line, attempt, system] : cases) EXPECT_EQ(printSystemInLine(line, attempt), system) << line << attempt;
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

// Sets (or, for null, unsets) the variable.
void setVariable(const char* name, const char* value) {
  if (value != nullptr) setenv(name, value, 1);
  else unsetenv(name);
}

TEST(PrintSystemFromEnvironment, ZanlpmodeFirstThenPlixlpmodeExactNamesOnly) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {nullptr, nullptr, 0}, {"CUPS", nullptr, 8}, {"LPRNG", nullptr, 4}, {"LPR", nullptr, 2},
      {"LP", nullptr, 1},    {"LPD", "CUPS", 0},   {"", "CUPS", 0},       {nullptr, "LP", 1},
      {nullptr, "CUPS", 8},  {nullptr, "CUPS ", 0},
      {"cups", "LP", 0},  // set but invalid: PLIXLPMODE is not consulted
  };
  for (const auto& [zan, plix, result] : cases) {
    setVariable("ZANLPMODE", zan);
    setVariable("PLIXLPMODE", plix);
    EXPECT_EQ(printSystemFromEnvironment(), result) << (zan ? zan : "-") << " " << (plix ? plix : "-");
  }
  setVariable("ZANLPMODE", nullptr);
  setVariable("PLIXLPMODE", nullptr);
}

TEST(MyTmpName, MakesANewEmptyFileWithOneSlash) {
  char dirTemplate[] = "/tmp/plix-mytmpname-XXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::string dir = std::string(dirTemplate) + "/";
  std::string first = myTmpName(dir, "ZAN");
  EXPECT_EQ(first.substr(0, dir.size() + 3), dir + "ZAN");
  EXPECT_EQ(first.size(), dir.size() + 9);
  EXPECT_NE(myTmpName(dir, nullptr), first);
  EXPECT_EQ(std::filesystem::symlink_status(first).type(), std::filesystem::file_type::regular);
  EXPECT_EQ(std::filesystem::file_size(first), 0u);
  std::filesystem::remove_all(dirTemplate);
}

}  // namespace
