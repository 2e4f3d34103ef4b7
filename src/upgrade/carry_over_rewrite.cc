// The decisions of the carry-over: which old choice each option of the new PPD takes,
// and the new PPD's text with those choices in its default lines. The new PPD is read
// with the PPD library, as the scheduler reads it, so options, choices, custom values
// and keywords compare as CUPS compares them (keywords and choices case-insensitively).
#include "upgrade/carry_over.h"

// The CUPS PPD library is deprecated upstream but is what the scheduler still uses.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/cups.h>
#include <cups/ppd.h>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr std::string_view kCustomPrefix = "Custom.";

// Case-insensitive ordering of option keywords, as ppdFindOption compares them.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

// One physical line: its bytes and its own ending ("\n", "\r\n", "\r" or "" at the end).
struct Line {
  std::string_view body;
  std::string_view ending;
};

std::vector<Line> splitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back({text.substr(pos), {}});
      break;
    }
    size_t after = end + 1;
    if (text[end] == '\r' && after < text.size() && text[after] == '\n') ++after;
    lines.push_back({text.substr(pos, end - pos), text.substr(end, after - end)});
    pos = after;
  }
  return lines;
}

// What a line is, read as the PPD library reads statements: a comment ("*%"), a line
// inside a quoted value that an earlier line opened, or a statement.
struct Statement {
  bool live = false;        // a statement, neither a comment nor inside a quoted value
  bool opensQuote = false;  // its value opens a quote that goes on past this line
  std::string_view keyword;  // main keyword without the asterisk
  std::string_view option;   // the option keyword of *OpenUI/*JCLOpenUI, without asterisk
  std::string_view value;    // after the colon and blanks, trailing blanks cut
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Reads one line. `inQuote` says whether a quoted value is open before it, and is
// updated for the next line.
Statement readStatement(std::string_view body, bool* inQuote) {
  Statement s;
  if (*inQuote) {
    if (body.find('"') != std::string_view::npos) *inQuote = false;
    return s;
  }
  if (body.size() < 2 || body[0] != '*' || body[1] == '%') return s;
  size_t end = body.find_first_of(" \t:", 1);
  s.keyword = body.substr(1, (end == std::string_view::npos ? body.size() : end) - 1);
  size_t colon = body.find(':');
  if (colon == std::string_view::npos) {
    s.live = true;
    return s;
  }
  size_t start = colon + 1;
  while (start < body.size() && isBlank(body[start])) ++start;
  size_t stop = body.size();
  while (stop > start && isBlank(body[stop - 1])) --stop;
  s.value = body.substr(start, stop - start);
  if (!s.value.empty() && s.value[0] == '"' && s.value.find('"', 1) == std::string_view::npos) {
    s.opensQuote = true;
    *inQuote = true;
  }
  if (s.keyword == "OpenUI" || s.keyword == "JCLOpenUI") {
    std::string_view rest = end == std::string_view::npos ? std::string_view() : body.substr(end);
    size_t star = rest.find('*');
    if (star != std::string_view::npos) {
      rest.remove_prefix(star + 1);
      s.option = rest.substr(0, rest.find_first_of("/: \t"));
    }
  }
  s.live = true;
  return s;
}

// The new PPD, read by the PPD library from memory (an anonymous memory file, since the
// library reads through a file descriptor); null when it is no PPD.
ppd_file_t* openPpdText(std::string_view text) {
  int fd = memfd_create("carry-over", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  std::string_view rest = text;
  while (!rest.empty()) {
    ssize_t n = write(fd, rest.data(), rest.size());
    if (n <= 0) {
      close(fd);
      return nullptr;
    }
    rest.remove_prefix(static_cast<size_t>(n));
  }
  ppd_file_t* ppd = nullptr;
  if (lseek(fd, 0, SEEK_SET) == 0) {
    if (cups_file_t* file = cupsFileOpenFd(fd, "r")) {
      ppd = ppdOpen2(file);
      cupsFileClose(file);  // closes fd
      return ppd;
    }
  }
  close(fd);
  return nullptr;
}

bool isCustomValue(std::string_view choice) {
  return choice.size() > kCustomPrefix.size() &&
         strncasecmp(choice.data(), kCustomPrefix.data(), kCustomPrefix.size()) == 0;
}

}  // namespace

CarryPlan planCarryOver(std::string_view queue, const std::vector<OldDefault>& old,
                        std::string_view newText) {
  CarryPlan plan;
  plan.queue = std::string(queue);
  plan.text = std::string(newText);
  ppd_file_t* ppd = openPpdText(newText);
  plan.newPpdRead = ppd != nullptr;

  // The choice each option of the new PPD is to have: its own default unless an old
  // choice is carried.
  std::map<std::string, std::string, NoCase> carried;
  std::map<std::string, std::string, NoCase> seen;
  for (const OldDefault& d : old) {
    if (!seen.emplace(d.keyword, d.choice).second) continue;
    CarryRow row{std::string(queue), d.keyword, d.choice, "-", CarryOutcome::OptionGone, {}};
    ppd_option_t* option = ppd ? ppdFindOption(ppd, d.keyword.c_str()) : nullptr;
    if (option != nullptr) {
      row.nowChoice = option->defchoice[0] ? option->defchoice : "-";
      std::string carry;
      if (isCustomValue(d.choice)) {
        row.outcome = CarryOutcome::CustomNotOffered;
        if (ppdFindChoice(option, "Custom") != nullptr) carry = d.choice;
      } else {
        row.outcome = CarryOutcome::ChoiceGone;
        if (ppd_choice_t* choice = ppdFindChoice(option, d.choice.c_str())) carry = choice->choice;
      }
      if (!carry.empty()) {
        row.outcome = CarryOutcome::Carried;
        row.nowChoice = carry;
        carried[option->keyword] = carry;
      }
    }
    plan.rows.push_back(std::move(row));
  }
  if (ppd != nullptr) {
    for (ppd_option_t* o = ppdFirstOption(ppd); o != nullptr; o = ppdNextOption(ppd)) {
      auto it = carried.find(o->keyword);
      std::string choice = it != carried.end() ? it->second : o->defchoice;
      if (!choice.empty()) plan.intended.push_back({o->keyword, choice});
    }
  }
  if (carried.empty()) {
    if (ppd != nullptr) ppdClose(ppd);
    return plan;
  }

  // Options whose default lines stand in the new PPD (so that one without any gets a
  // line of its own after its *OpenUI).
  std::vector<Line> lines = splitLines(newText);
  std::map<std::string, bool, NoCase> hasDefaultLine;
  bool inQuote = false;
  for (const Line& line : lines) {
    Statement s = readStatement(line.body, &inQuote);
    if (s.live && !s.opensQuote && s.keyword.starts_with("Default") && s.keyword.size() > 7)
      hasDefaultLine[std::string(s.keyword.substr(7))] = true;
  }

  std::string out;
  out.reserve(newText.size() + 64);
  std::map<std::string, bool, NoCase> logged;
  auto setting = [&](std::string_view keyword, const std::string& choice) {
    if (logged.emplace(std::string(keyword), true).second)
      plan.settings.emplace_back("*" + std::string(keyword), choice);
  };
  inQuote = false;
  for (const Line& line : lines) {
    Statement s = readStatement(line.body, &inQuote);
    std::string_view ending = line.ending.empty() ? std::string_view("\n") : line.ending;
    if (s.live && !s.opensQuote && s.keyword.starts_with("Default") && s.keyword.size() > 7) {
      std::string_view keyword = s.keyword.substr(7);
      auto it = carried.find(std::string(keyword));
      if (it != carried.end()) {
        setting(keyword, it->second);
        if (s.value != it->second) {
          out.append("*Default").append(keyword).append(": ").append(it->second).append(line.ending.empty() ? "" : line.ending);
          continue;
        }
      }
    }
    out.append(line.body).append(line.ending);
    if (s.live && !s.option.empty()) {
      auto it = carried.find(std::string(s.option));
      if (it != carried.end() && !hasDefaultLine.count(it->first)) {
        if (line.ending.empty()) out.append(ending);
        setting(s.option, it->second);
        out.append("*Default").append(s.option).append(": ").append(it->second);
        if (!line.ending.empty()) out.append(line.ending);
        hasDefaultLine[it->first] = true;
      }
    }
  }
  plan.text = std::move(out);
  ppdClose(ppd);
  return plan;
}
