// Pure parts of host probing: the cupsd command path, version digits and their
// scaling, each version source's line, the print system of a process-list line and of
// the environment, and the real host probe. The product's netcat helper is tried
// against its peers in the sandbox (probe_sandbox_test).
#include <arpa/inet.h>
#include <stdlib.h>
#include <sys/utsname.h>

#include <climits>
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
      // /sbin/cupsd is looked for first; only one leading blank is skipped; a prefix beyond
      // 255 characters is not cut.
      {" /usr/sbin/cupsd\r\n", "/usr"}, {"/sbin/cupsd", ""}, {"/usr/local/bin/cupsd -f\n", "/usr/local"},
      {"/usr/sbin/cupsd.bin/cupsd", "/usr"}, {"cupsd -l", {}}, {"/opt/cupsd/x", {}}, {"  /usr/sbin/cupsd", {}},
      {"/" + std::string(300, 'x') + "/sbin/cupsd", std::nullopt},
  };
  for (const auto& [command, prefix] : cases) EXPECT_EQ(cupsPrefixFromCommand(command.c_str()), prefix) << command;
  EXPECT_EQ(cupsPrefixFromCommand(nullptr), std::nullopt);
}

TEST(VersionNumbers, DigitsScaledToFourDigitsWithoutOverflow) {
  // "1.5.2\n" is the cups-config row of the version sources below. Beyond 32 bits: the leading digits.
  const std::pair<const char*, int> digits[] = {
      {".4", 4}, {"2.4.2 build 7", 242}, {"v2.4", 0}, {"2147483647", INT_MAX}, {"4294967296", 429496729},
  };
  for (const auto& [text, value] : digits) EXPECT_EQ(versionDigits(text), value) << text;
  const std::pair<int, int> scaled[] = {{14, 1400}, {9999, 9999}, {12345, 1234}, {INT_MAX, 2147}};
  for (const auto& [value, version] : scaled) EXPECT_EQ(normalizeVersion(value), version) << value;
}

TEST(VersionSources, EachSourceLineNamesItsVersionOrIsPassedOver) {
  using S = VersionSource;
  const std::tuple<S, std::string, std::optional<int>> cases[] = {
      // A header line with "Server:" and "CUPS" anywhere names a version, 0 when it has none or
      // its digits go beyond an int. The sandbox reads a version from a header line ("Server:
      // CUPS/2.2 IPP/2.1") and from each source's line, and gets 0 from a reply whose first
      // such line is "X-Server: CUPS-ish" after "Server: Apache". A line without its source's
      // phrase is shown once, for printers.conf (the test page's takes the same branch).
      {S::ServerHeader, "Server: Apache\r\n", {}}, {S::ServerHeader, "Server: CUPS/" + std::string(45, '9'), 0},
      {S::CupsConfig, "1.5.2\n", 152}, {S::PrintersConf, "# CUPS v1.4\n", {}}, {S::DocIndex, "<TITLE>Home</TITLE>", {}},
      {S::Banner, "produced by cups\n", 0}, {S::Banner, "made by CUPS 1.2\n", {}},
  };
  for (const auto& [source, line, version] : cases)
    EXPECT_EQ(versionInLine(source, line), version) << static_cast<int>(source) << " " << line;
}

TEST(PrintSystemInLine, EachAttemptsProgramAndNeverTheGrepItself) {
  const std::tuple<const char*, int, int> cases[] = {
      {"root 1 0 /usr/sbin/cupsd -l\n", 3, 8}, {"root 2 1 grep cupsd\n", 0, 0}, {"lp 3 1 /usr/lib/lp/lpsched\n", 1, 1},
      {"lp 3 1 /usr/lib/lp/lpsched\n", 0, 0}, {"root 4 1 /usr/sbin/lpd\n", 2, 2}, {"cupsd", 4, 0},
  };
  for (const auto& [line, attempt, system] : cases) EXPECT_EQ(printSystemInLine(line, attempt), system) << line << attempt;
}

TEST(HostInfo, RealProbeRecordsNodeNameAndDottedAddress) {
  utsname info;
  ASSERT_EQ(uname(&info), 0);
  settings.hostName = settings.hostAddress = "stale";
  EXPECT_EQ(probeHostInfo(), 6);
  EXPECT_EQ(settings.hostName, std::string(info.nodename).substr(0, 63));
  in_addr address;
  EXPECT_EQ(inet_aton(settings.hostAddress.c_str(), &address), 1) << settings.hostAddress;
}

TEST(PrintSystemFromEnvironment, ZanlpmodeFirstThenPlixlpmodeExactNamesOnly) {
  // ZANLPMODE=CUPS and ZANLPMODE=LPRNG name their print systems in whole runs (the probe
  // sandbox, setup_run_test). "LPD" is set but invalid: PLIXLPMODE is not consulted. Neither
  // set comes last, so that neither stays set for the other tests.
  const std::tuple<const char*, const char*, int> cases[] = {
      {"LPD", "CUPS", 0}, {nullptr, "LP", 1}, {nullptr, "CUPS ", 0}, {nullptr, nullptr, 0},
  };
  for (const auto& [zan, plix, result] : cases) {
    for (auto [name, value] : {std::pair{"ZANLPMODE", zan}, std::pair{"PLIXLPMODE", plix}})
      value ? setenv(name, value, 1) : unsetenv(name);
    EXPECT_EQ(printSystemFromEnvironment(), result) << (zan ? zan : "-") << " " << (plix ? plix : "-");
  }
}

}  // namespace
