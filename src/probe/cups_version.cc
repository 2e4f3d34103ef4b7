#include "probe/cups_version.h"

#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "base/util.h"

namespace {

// Catalogue entry logged when no source names the CUPS version.
// The version assumed when no source names one: CUPS 1.4.
constexpr int kDefaultVersion = 1400;
// The digit field of the server header holds 31 characters (32 with terminator).
constexpr size_t kHeaderDigitsMax = 31;

constexpr const char* kCupsConfigPlaces[] = {"/usr/bin/cups-config", "/usr/sbin/cups-config",
                                             "/sbin/cups-config"};
constexpr const char* kDataDirPlaces[] = {"/usr/share/cups", "/usr/local/share/cups", "/usr/local/cups",
                                          "/usr/cups", "/etc/share/cups"};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// True when a local source's number names a version: 100 (a "1.0.0" or "1.00") and
// numbers of 0 or less do not.
bool isAnswer(int number) { return number > 0 && number != 100; }

// Finds `phrase` in `text` in any mix of upper and lower case (ASCII); npos when absent.
size_t findCaseless(std::string_view text, std::string_view phrase) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t start = 0; start + phrase.size() <= text.size(); ++start) {
    size_t i = 0;
    while (i < phrase.size() && lower(text[start + i]) == lower(phrase[i])) ++i;
    if (i == phrase.size()) return start;
  }
  return std::string::npos;
}

// The number a header line names after its first "CUPS" ("CUPS/2.4 IPP/2.1" gives
// 240), scaled as the server query does; 0 when none fits an int.
int headerVersion(std::string_view line) {
  size_t at = line.find("CUPS") + 4;
  if (at < line.size() && line[at] == '/') ++at;
  std::string digits;
  while (at < line.size() && (isDigit(line[at]) || line[at] == '.')) {
    // A run longer than the digit field is cut to the field; the leading digits are
    // what names the version.
    if (digits.size() < kHeaderDigitsMax) digits += line[at];
    ++at;
  }
  float number = static_cast<float>(strtod(digits.c_str(), nullptr));
  if (number < 10.0f) number = number * 100.0f;
  else if (number < 100.0f) number = number * 10.0f;
  // A number beyond an int names no version (and its conversion would be undefined).
  if (!(number < 2147483648.0f)) return 0;
  return static_cast<int>(number);
}

// The digits after `phrase` and the " v" that follows it; none when the line lacks either.
std::optional<int> digitsAfterPhrase(std::string_view line, std::string_view phrase) {
  size_t at = line.find(phrase);
  if (at == std::string_view::npos) return std::nullopt;
  size_t v = line.find(" v", at + phrase.size());
  if (v == std::string_view::npos) return std::nullopt;
  return versionDigits(std::string(line.substr(v + 2)).c_str());
}

// Reads `path` line by line until a line names the version for `source`; logs and
// returns the normalized answer, or 0 when the file has no such line or it names none.
int versionFromFile(const char* path, VersionSource source, const char* logFormat) {
  FILE* file = fopen(path, "r");
  if (file == nullptr) return 0;
  std::string line;
  int result = 0;
  while (readLine(file, &line)) {
    std::optional<int> number = versionInLine(source, line);
    if (!number) continue;
    if (isAnswer(*number)) {
      result = normalizeVersion(*number);
      writeLogLine(formatText(logFormat, result, line.c_str()));
    }
    break;
  }
  fclose(file);
  return result;
}

// The version that cups-config prints; 0 when there is none.
int versionFromCupsConfig() {
  const char* program = nullptr;
  for (const char* place : kCupsConfigPlaces) {
    if (pathExists(place)) {
      program = place;
      break;
    }
  }
  if (program == nullptr) return 0;
  std::string scratch = myTmpName(scratchDirectory(), "ZAN");
  std::string command = shellWord(program) + " --version > " + formatText(" %s", shellWord(scratch).c_str());
  runShell(command);
  int version = versionFromFile(scratch.c_str(), VersionSource::CupsConfig, "CUPS Version : %d // %s");
  unlink(scratch.c_str());
  return version;
}

// A documentation directory /usr/share/doc/cups-1.m, the lowest m first.
int versionFromDocDirectory() {
  for (int m = 0; m <= 5; ++m) {
    std::string path = formatText("%s/cups-1.%d", "/usr/share/doc", m);
    if (pathExists(path)) {
      int version = 1000 + 100 * m;
      writeLogLine(formatText("CUPS Version : %d// %s", version, path.c_str()));
      return version;
    }
  }
  return 0;
}

}  // namespace

std::string myTmpName(const std::string& dir, const char* label) {
  // The caller's text is not touched: the one trailing "/" is left out of a copy.
  std::string base = dir;
  if (!base.empty() && base.back() == '/') base.pop_back();
  std::string path = makeScratchFile(base, "ZAN");
  if (path.empty()) {
    fprintf(stderr, "myTmpName(%s,%s) Failed!\n", base.c_str(), label ? label : "ZAN");
    exit(255);
  }
  return path;
}

int getCupsVersion() {
  int v = queryCupsServerVersion();
  if (v <= 0) return findCupsVersionLocally();
  v = normalizeVersion(v);
  writeLogLine(formatText("CUPS Header Version : %d//HTTP", v));
  return v;
}

int queryCupsServerVersion() {
  std::string scratch = myTmpName(scratchDirectory(), "ZAN");

  std::string netcat;
  if (!settings.sourceDir.empty() && pathExists(settings.sourceDir + "/zannc")) {
    netcat = settings.sourceDir + "/zannc";
  } else if (pathExists(kInstalledNetcat)) {
    netcat = kInstalledNetcat;
  } else {
    netcat = locateCommand("nc").value_or("nc");
  }

  runShell(formatText("#!/bin/sh\n%s localhost 631 >%s <<EOF\nHEAD / HTTP/1.1\nConnection: Close\n%c\nEOF\n",
                      shellWord(netcat).c_str(), shellWord(scratch).c_str(), '\n'));

  int result = 0;
  if (FILE* file = fopen(scratch.c_str(), "r")) {
    std::string line;
    while (readLine(file, &line)) {
      if (std::optional<int> number = versionInLine(VersionSource::ServerHeader, line)) {
        result = *number;
        break;
      }
    }
    fclose(file);
  }
  unlink(scratch.c_str());
  return result;
}

int findCupsVersionLocally() {
  if (int v = versionFromCupsConfig()) return v;
  if (int v = versionFromFile("/etc/cups/printers.conf", VersionSource::PrintersConf, "CUPS Version : %d // %s")) {
    return v;
  }
  if (int v = versionFromFile("/usr/share/cups/doc/index.html", VersionSource::DocIndex, "CUPS Version : %d// %s")) {
    return v;
  }
  if (int v = versionFromDocDirectory()) return v;
  const char* testPage = pathExists("/etc/cups/data/testprint.ps") ? "/etc/cups/data/testprint.ps"
                                                               : "/usr/share/cups/data/testprint.ps";
  if (int v = versionFromFile(testPage, VersionSource::TestPage, "CUPS Version : %d// %s")) return v;
  const char* banner = pathExists("/usr/share/cups/data/testprint") ? "/usr/share/cups/data/testprint"
                                                                   : "/etc/cups/data/testprint";
  if (int v = versionFromFile(banner, VersionSource::Banner, "CUPS Version : %d// %s")) return v;
  writeLogLine(formatText("CUPS Version : %d// %s", kDefaultVersion, catalogueText(Msg::VersionNotFound)));
  return kDefaultVersion;
}

std::optional<std::string> findCupsDataDir() {
  if (!settings.cupsBinDir.empty()) {
    std::string path = formatText("%s/share/cups", settings.cupsBinDir.c_str());
    if (pathExists(path)) return path;
  }
  for (const char* place : kDataDirPlaces) {
    if (pathExists(place)) return std::string(place);
  }
  return std::nullopt;
}

int normalizeVersion(int v) {
  if (v <= 0) return v;
  while (v <= 999) v *= 10;
  while (v > 9999) v /= 10;
  return v;
}

int versionDigits(const char* text) {
  // Digits are appended while the number still fits an int; a longer run keeps its
  // leading digits, which are the ones that name the version after normalizing.
  long long number = 0;
  bool full = false;
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    if (*p == '.') continue;
    if (!isDigit(*p)) break;
    if (full) continue;
    long long next = number * 10 + (*p - '0');
    if (next > INT_MAX) full = true;
    else number = next;
  }
  return static_cast<int>(number);
}

std::optional<int> versionInLine(VersionSource source, std::string_view line) {
  switch (source) {
    case VersionSource::ServerHeader:
      if (line.find("Server:") == std::string_view::npos || line.find("CUPS") == std::string_view::npos) break;
      return headerVersion(line);
    case VersionSource::CupsConfig:
      return versionDigits(std::string(line).c_str());
    case VersionSource::PrintersConf:
      return digitsAfterPhrase(line, "Printer configuration");
    case VersionSource::TestPage:
      return digitsAfterPhrase(line, "Printed Using CUPS");
    case VersionSource::DocIndex: {
      size_t title = line.find("<TITLE>");
      if (title == std::string_view::npos) break;
      size_t at = line.find("CUPS", title + strlen("<TITLE>"));
      if (at == std::string_view::npos) break;
      at += strlen("CUPS");
      while (at < line.size() && line[at] == ' ') ++at;
      return versionDigits(std::string(line.substr(at)).c_str());
    }
    case VersionSource::Banner: {
      size_t at = findCaseless(line, "produced by CUPS");
      if (at == std::string_view::npos) break;
      at += strlen("produced by CUPS");
      while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == 'v' || line[at] == 'V')) ++at;
      return versionDigits(std::string(line.substr(at)).c_str());
    }
  }
  return std::nullopt;
}
