#include "probe/print_system.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/files.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "base/util.h"

namespace {

// Process-list attempts: cupsd first, then the System V scheduler, then lpd, then
// cupsd once more for a scheduler that was still starting up.
constexpr const char* kSearchWords[] = {"cupsd", "lpsched", "lpd", "cupsd"};
constexpr int kAttempts = 4;

// Places of the CUPS start script, in the order they are tried.
constexpr const char* kStartScripts[] = {
    "/etc/init.d/cups",        "/etc/init.d/cupsys",        "/etc/rc.d/init.d/cups",
    "/sbin/init.d/cups",       "/etc/rc.d/init.d/cupsys",   "/sbin/init.d/cupsys",
    "/etc/cups/cups",
};

constexpr const char* kFoomaticRipPlaces[] = {
    "/usr/bin/foomatic-rip",
    "/bin/foomatic-rip",
    "/sbin/foomatic-rip",
    "/usr/local/bin/foomatic-rip",
    "/opt/bin/foomatic-rip",
    "/usr/lib/cups/filter/foomatic-rip",
    "/usr/local/lib/cups/filter/foomatic-rip",
    "/opt/lib/cups/filter/foomatic-rip",
    "/lib/cups/filter/foomatic-rip",
};

// A new empty scratch file "/tmp/<prefix><pid>XXXXXX", made exclusively; the shell
// redirection that fills it later opens this file of ours. "" when none could be made.
std::string pidScratchFile(const char* prefix) {
  return makeScratchFile(scratchDirectory(), formatText("%s%d", prefix, static_cast<int>(getpid())));
}

// Removes one trailing newline.
void dropNewline(std::string* text) {
  if (!text->empty() && text->back() == '\n') text->pop_back();
}

// The LPRng test: asks `lpd -V` for its version on its error output. Returns 4 when a
// line mentions "LPRng", else `result`.
int testForLprng(int result) {
  std::string scratch = pidScratchFile("ZANLPRNG");
  if (scratch.empty()) return result;
  runShell(formatText("lpd -V 2> %s", shellWord(scratch).c_str()));
  FILE* file = fopen(scratch.c_str(), "r");
  if (file != nullptr) {
    std::string line;
    while (readLine(file, &line)) {
      if (contains(line, "LPRng")) {
        result = PRINT_LPRNG;
        break;
      }
    }
    fclose(file);
  }
  unlink(scratch.c_str());
  return result;
}

// The CUPS prefixes from a cupsd found in the process list: `line` holds the match
// of "cupsd" at `match`.
void takeCupsPrefixes(const std::string& line, size_t match) {
  size_t blank = line.rfind(' ', match);
  std::string token = blank == std::string::npos ? line : line.substr(blank + 1);
  if (std::optional<std::string> prefix = cupsPrefixFromCommand(token.c_str())) {
    settings.cupsBinDir = *prefix;
  }
  std::string prefix;
  std::string execPrefix;
  if (findCupsPrefixes(&prefix, &execPrefix) == 1) {
    if (!prefix.empty() && prefix != settings.cupsBaseDir) settings.cupsBaseDir = prefix;
    if (!execPrefix.empty() && execPrefix != settings.cupsBinDir) settings.cupsBinDir = execPrefix;
  }
}

// Copies what follows `key` in `line` (one trailing newline dropped) to `value`.
void takeValue(const std::string& line, size_t keyAt, size_t keyLength, std::string* value) {
  *value = line.substr(keyAt + keyLength);
  dropNewline(value);
}

}  // namespace

int printSystemFromEnvironment() {
  const char* value = getenv("ZANLPMODE");
  if (value == nullptr) value = getenv("PLIXLPMODE");
  if (value == nullptr) return PRINT_NONE;
  if (strcmp(value, "CUPS") == 0) return PRINT_CUPS;
  if (strcmp(value, "LPRNG") == 0) return PRINT_LPRNG;
  if (strcmp(value, "LPR") == 0) return PRINT_LPR;
  if (strcmp(value, "LP") == 0) return PRINT_LP;
  return PRINT_NONE;
}

int probePrintSystem() {
  std::string scratch = pidScratchFile("ZANLPD");
  int result = PRINT_NONE;

  for (int i = 0; i < kAttempts; ++i) {
    const char* word = kSearchWords[i];
    std::string command =
        formatText("ps -ef | grep %s > %s", word,
                   shellWord(scratch.empty() ? formatText("%s/ZANLPD%d", scratchDirectory().c_str(), static_cast<int>(getpid()))
                                             : scratch)
                       .c_str());
    FILE* file = nullptr;
    if (!scratch.empty()) {
      runShell(command);
      sleep(1);
      file = fopen(scratch.c_str(), "r");
    }
    if (file == nullptr) {
      fprintf(stderr, "Cannot open file(cmd=%s) i=%d\n", command.c_str(), i);
      break;
    }

    std::string line;
    while (result == PRINT_NONE && readLine(file, &line)) {
      trace("STRING=(%s) i=%d\n", line.c_str(), i);
      result = printSystemInLine(line, i);
      if (i == 0 && result == PRINT_CUPS) takeCupsPrefixes(line, line.find(word));
    }
    fclose(file);
    if (result != PRINT_NONE) break;
  }
  if (!scratch.empty()) unlink(scratch.c_str());

  // Only lpd, or nothing at all, leaves the question whether LPRng runs.
  return (result == PRINT_NONE || result == PRINT_LPR) ? testForLprng(result) : result;
}

int hasFoomaticRip() {
  for (const char* place : kFoomaticRipPlaces) {
    if (pathExists(place)) return 1;
  }
  return 0;
}

int findCupsPrefixes(std::string* prefix, std::string* execPrefix) {
  prefix->clear();
  execPrefix->clear();

  FILE* script = nullptr;
  for (const char* place : kStartScripts) {
    script = fopen(place, "r");
    if (script != nullptr) break;
  }

  if (script != nullptr) {
    bool execFound = false;
    std::string line;
    while (readLine(script, &line)) {
      size_t at = line.find("exec_prefix=");
      if (at != std::string::npos) {
        takeValue(line, at, strlen("exec_prefix="), execPrefix);
        execFound = true;
        break;
      }
    }
    rewind(script);
    while (readLine(script, &line)) {
      if (contains(line, "exec_prefix=")) continue;
      size_t at = line.find("prefix=");
      if (at != std::string::npos) {
        takeValue(line, at, strlen("prefix="), prefix);
        fclose(script);
        return 1;
      }
    }
    fclose(script);
    if (execFound) return 1;
  }

  // No start script, or neither key in it: judge by the directories CUPS uses.
  if (!settings.cupsBinDir.empty()) {
    if (!pathExists(settings.cupsBinDir)) return 0;
    *execPrefix = settings.cupsBinDir;
    if (settings.cupsBinDir != "/usr") return 0;
  } else {
    if (!pathExists("/usr/share/cups")) return 0;
    *execPrefix = "/usr";
  }
  if (!pathExists("/etc/cups")) return 0;
  prefix->assign(1, '/');  // not = "/", on which GCC 12 warns falsely (-Wrestrict)
  return 1;
}

std::optional<std::string> cupsPrefixFromCommand(const char* command) {
  if (command == nullptr) return std::nullopt;
  std::string text = command;
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  if (text.empty() || text.front() != '/') return std::nullopt;
  for (int n = 0; n < 2 && !text.empty() && (text.back() == '\n' || text.back() == '\r'); ++n) {
    text.pop_back();
  }
  if (!contains(text, "cupsd")) return std::nullopt;
  size_t at = text.find("/sbin/cupsd");
  if (at == std::string::npos) at = text.find("/bin/cupsd");
  if (at == std::string::npos) return std::nullopt;
  // A prefix that does not fit a 256-byte field is no prefix: it is not cut to another.
  if (at > kTextMax) return std::nullopt;
  text.resize(at);
  return text;
}

int printSystemInLine(std::string_view line, int attempt) {
  if (attempt < 0 || attempt >= kAttempts) return PRINT_NONE;
  if (line.find("grep") != std::string_view::npos) return PRINT_NONE;
  if (line.find(kSearchWords[attempt]) == std::string_view::npos) return PRINT_NONE;
  switch (attempt) {
    case 1: return PRINT_LP;
    case 2: return PRINT_LPR;
    default: return PRINT_CUPS;
  }
}
