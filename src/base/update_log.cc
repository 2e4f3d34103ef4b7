#include "base/paths.h"
#include "base/update_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/util.h"

namespace {

FILE* logFile = nullptr;

// The log's mode, whatever the umask.
constexpr mode_t kLogMode = 0644;

// Set once a failed write has been reported: the report goes to standard error once.
bool lossReported = false;

// Opens the log for writing (truncating), never through a link, with exactly kLogMode.
FILE* openLogFile(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, kLogMode);
  if (fd < 0) return nullptr;
  FILE* file = fchmod(fd, kLogMode) == 0 ? fdopen(fd, "w") : nullptr;
  if (file == nullptr) close(fd);
  return file;
}

// Says once, on standard error, that lines of the log are being lost.
void reportLoss(int error) {
  if (lossReported) return;
  lossReported = true;
  std::string text = formatMessage(Msg::LogLinesLost, settings.logPath.c_str(), strerror(error));
  fputs(text.c_str(), stderr);
  fflush(stderr);
}

// The labelling command is built in a 264-byte buffer by the product: a chcon path
// and log path that do not fit are not run at all rather than run cut short.
constexpr size_t kLabelCommandMax = 263;

}  // namespace

int openUpdateLog(int userId) {
  if (settings.logPath.empty()) settings.logPath = kUpdateLogPath;
  if (userId != 0) settings.logPath += formatText("_%d", userId);
  logFile = openLogFile(settings.logPath);
  lossReported = false;
  if (logFile == nullptr) return 0;
  if (commands.chcon) {
    std::string command = formatText("%s -u system_u %s 2>/dev/null", commands.chcon->c_str(),
                                     shellWord(settings.logPath).c_str());
    if (command.size() <= kLabelCommandMax) {
      int status = runShell(command);
      fputs(catalogueText(Msg::PreparingLog), logFile);
      fputs(formatMessage(Msg::CommandResult, command.c_str(), status).c_str(), logFile);
      fputs("=======================================\n", logFile);
      fflush(logFile);
    }
  }
  return 1;
}

int writeLogLine(const std::string& text) {
  if (text.empty()) return 1;
  FILE* target = logFile ? logFile : stderr;
  errno = 0;
  bool written = fwrite(text.data(), 1, text.size(), target) == text.size();
  if (written && text.back() != '\n') written = fputc('\n', target) != EOF;
  if (fflush(target) != 0) written = false;
  if (!written && logFile != nullptr) {
    reportLoss(errno != 0 ? errno : EIO);
    clearerr(logFile);
  }
  return 1;
}

void closeUpdateLog() {
  if (logFile == nullptr) return;
  std::string line = formatMessage(Msg::InstallationEnds, nowText().c_str());
  bool written = fputs(line.c_str(), logFile) != EOF;
  if (fclose(logFile) != 0) written = false;
  if (!written) reportLoss(errno != 0 ? errno : EIO);
  logFile = nullptr;
}

bool updateLogIsOpen() { return logFile != nullptr; }

void logMessage(Msg number, ...) {
  va_list args;
  va_start(args, number);
  char small[1];
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(small, sizeof small, catalogueText(number), copy);
  va_end(copy);
  std::string text;
  if (n > 0) {
    text.assign(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(text.data(), text.size(), catalogueText(number), args);
    text.resize(static_cast<size_t>(n));
  }
  va_end(args);
  writeLogLine(text);
}

void trace(const char* format, ...) {
  if (settings.debugLevel <= 0) return;
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  fflush(stderr);
}
