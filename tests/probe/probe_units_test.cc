// Pure parts of host probing: the cupsd command path, version digits and their
// scaling, each version source's line, the print system of a process-list line and of
// the environment; the real host probe; and the product's netcat helper against peers
// on the loopback address: one that answers after the request ends, one that accepts
// and stays silent, and none at all.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "probe/cups_version.h"
#include "probe/host_info.h"
#include "probe/print_system.h"
#include "sandbox/sandbox.h"

namespace {

TEST(CupsPrefixFromCommand, TakesThePathBeforeSbinOrBinCupsd) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {" /usr/sbin/cupsd\r\n", "/usr"}, {"/sbin/cupsd", ""}, {"/usr/local/bin/cupsd -f\n", "/usr/local"},
      {"/usr/sbin/cupsd.bin/cupsd", "/usr"},  // /sbin/cupsd is looked for first
      {"cupsd -l", {}}, {"/opt/cupsd/x", {}},
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
      {"1.5.2\n", 152}, {".4", 4}, {"2.4.2 build 7", 242}, {"v2.4", 0},
      {"2147483647", INT_MAX}, {"4294967296", 429496729},  // beyond 32 bits: the leading digits
  };
  for (const auto& [text, value] : digits) EXPECT_EQ(versionDigits(text), value) << text;
  // Texts longer than the 24-character digit field, digit runs far beyond 32 bits.
  const std::pair<int, int> scaled[] = {{14, 1400}, {9999, 9999}, {12345, 1234}, {INT_MAX, 2147},
      {versionDigits("99999999999999999999999999999999999999999"), 9999}, {versionDigits("2.4.99999999999999999999999"), 2499}};
  for (const auto& [value, version] : scaled) EXPECT_EQ(normalizeVersion(value), version) << value;
}

TEST(VersionSources, EachSourceLineNamesItsVersionOrIsPassedOver) {
  using S = VersionSource;
  const std::tuple<S, std::string, std::optional<int>> cases[] = {
      {S::ServerHeader, "Server: CUPS/2.4 IPP/2.1\r\n", 240}, {S::ServerHeader, "Server: Apache\r\n", {}},
      {S::ServerHeader, "X-Server: CUPS-ish\r\n", 0},  // "Server:" and "CUPS" anywhere: the first such line decides
      {S::ServerHeader, "Server: CUPS/" + std::string(45, '9') + "\r\n", 0},  // beyond an int: no version
      {S::CupsConfig, "1.5.2\n", 152}, {S::CupsConfig, "", 0},
      {S::PrintersConf, "# CUPS v1.4\n", {}}, {S::DocIndex, "<TITLE>Home</TITLE>\n", {}}, {S::TestPage, "%!PS\n", {}},
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
  const std::tuple<const char*, const char*, int> cases[] = {
      {"LPRNG", nullptr, 4}, {"LPD", "CUPS", 0}, {nullptr, "LP", 1}, {nullptr, "CUPS ", 0},
      {"cups", "LP", 0},  // set but invalid: PLIXLPMODE is not consulted
      {nullptr, nullptr, 0},  // last, so that neither stays set for the other tests
  };
  for (const auto& [zan, plix, result] : cases) {
    for (auto [name, value] : {std::pair{"ZANLPMODE", zan}, std::pair{"PLIXLPMODE", plix}})
      value ? setenv(name, value, 1) : unsetenv(name);
    EXPECT_EQ(printSystemFromEnvironment(), result) << (zan ? zan : "-") << " " << (plix ? plix : "-");
  }
}

// Standard output and exit status of zannc with `input` (printf %b) on its standard
// input, sent to 127.0.0.1:port; `seconds` gets how long it ran.
std::string zannc(const std::string& input, int port, double* seconds) {
  auto start = std::chrono::steady_clock::now();
  std::string command = "printf '%b' '" + input + "' | " + builtProduct() + "/bin/zannc 127.0.0.1 " +
                        std::to_string(port) + " 2>/dev/null";
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  for (int c; (c = fgetc(pipe)) != EOF;) out += static_cast<char>(c);
  out += std::to_string(WEXITSTATUS(pclose(pipe)));
  *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return out;
}

TEST(Zannc, AnswerUntilThePeerClosesGivesUpOnSilenceAndOnNoPeer) {
  // A listening socket on 127.0.0.1 with a port of the kernel's choice.
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int port = ntohs(address.sin_port);

  // A peer that reads the whole request, answers and closes.
  const std::string reply = "HTTP/1.1 200 OK\r\nServer: CUPS/2.4 IPP/2.1\r\n\r\n";
  std::string received;
  std::thread peer([&] {
    int client = accept(listener, nullptr, nullptr);
    char buffer[256];
    for (ssize_t n; (n = read(client, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
    EXPECT_EQ(write(client, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    close(client);
  });
  double seconds;
  EXPECT_EQ(zannc("HEAD / HTTP/1.1\\nConnection: Close\\n\\n\\n", port, &seconds), reply + "0");
  peer.join();
  EXPECT_EQ(received, "HEAD / HTTP/1.1\nConnection: Close\n\n\n");
  // The kernel's backlog accepts the connection; nobody ever answers.
  EXPECT_EQ(zannc("HEAD / HTTP/1.1\\n\\n", port, &seconds), "1");
  EXPECT_TRUE(seconds >= 4.0 && seconds < 10.0) << seconds;
  close(listener);
  EXPECT_EQ(zannc("x", port, &seconds), "1");
  EXPECT_LT(seconds, 3.0);
}


}  // namespace
