#include "base/shell.h"

#include <cstdlib>

namespace {

int systemRunner(const std::string& command) { return system(command.c_str()); }

ShellRunner currentRunner = systemRunner;

bool isPlain(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '_': case '+': case '-': case '.': case '/': case ',': case ':': case '@': case '%':
    case '=':
      return true;
    default:
      return false;
  }
}

}  // namespace

int runShell(const std::string& command) {
  fflush(nullptr);  // keep the log and console in order with what the command writes
  return currentRunner(command);
}

ShellRunner setShellRunner(ShellRunner runner) {
  ShellRunner previous = currentRunner;
  currentRunner = runner ? runner : systemRunner;
  return previous;
}

std::string shellWord(std::string_view value) {
  bool plain = !value.empty();
  for (char c : value) {
    if (!isPlain(c)) {
      plain = false;
      break;
    }
  }
  if (plain) return std::string(value);
  std::string out = "'";
  for (char c : value) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  out += '\'';
  return out;
}
