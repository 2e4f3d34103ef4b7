#include "base/questions.h"

#include <cstdio>

#include "base/catalogue.h"
#include "base/text.h"

namespace {

// Key words of several languages, tested group by group as case-insensitive
// substrings; the first group that matches decides.
constexpr const char* kYesWords[] = {"yes", "oui", "ja", "si"};
constexpr const char* kNoWords[] = {"no", "nein", "niente"};
constexpr const char* kAllWords[] = {"all", "tou", "toda", "tut"};

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `text` holds `word` (lower case) in any mix of upper and lower case.
bool holdsWord(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (size_t start = 0; start + word.size() <= text.size(); ++start) {
    size_t i = 0;
    while (i < word.size() && lowerAscii(text[start + i]) == word[i]) ++i;
    if (i == word.size()) return true;
  }
  return false;
}

template <size_t N>
bool holdsAny(std::string_view text, const char* const (&words)[N]) {
  for (const char* word : words) {
    if (holdsWord(text, word)) return true;
  }
  return false;
}

// The first character of the answer in upper case; letters other than ASCII stay as
// they are, so they fall through to "unclear".
char firstLetter(std::string_view answer) {
  if (answer.empty()) return '\0';
  char c = answer.front();
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void printQuestion(const std::string& question, Msg hint) {
  fputs(question.c_str(), stdout);
  printf("\n%s ", catalogueText(hint));
  fflush(stdout);
}

}  // namespace

int askYesNo(const std::string& question) {
  printQuestion(question, Msg::HintYesNo);
  return parseYesNo();
}

int askYesNoAllBreak(const std::string& question) {
  printQuestion(question, Msg::HintYesNoAllBreak);
  return parseYesNoAllBreak();
}

void readAnswer(std::string* answer) {
  // One read of at most 255 characters: a longer line leaves its rest in the input.
  if (!readLine(stdin, answer)) answer->clear();
  while (answer->size() > 1 && (answer->back() == '\n' || answer->back() == '\r')) answer->pop_back();
}

int parseYesNo() {
  std::string answer;
  readAnswer(&answer);
  return classifyYesNo(answer);
}

int parseYesNoAllBreak() {
  std::string answer;
  readAnswer(&answer);
  return classifyYesNoAllBreak(answer);
}

int classifyYesNo(std::string_view answer) {
  if (holdsAny(answer, kYesWords)) return ANSWER_YES;
  if (holdsAny(answer, kNoWords)) return ANSWER_NO;
  switch (firstLetter(answer)) {
    case 'O': case 'S': case 'Y': case 'J': return ANSWER_YES;
    case 'N': return ANSWER_NO;
    default: return ANSWER_UNCLEAR;
  }
}

int classifyYesNoAllBreak(std::string_view answer) {
  if (holdsAny(answer, kYesWords)) return ANSWER_YES;
  if (holdsAny(answer, kNoWords)) return ANSWER_NO;
  if (holdsAny(answer, kAllWords)) return ANSWER_ALL;
  switch (firstLetter(answer)) {
    case 'O': case 'S': case 'Y': case 'J': return ANSWER_YES;
    case 'N': return ANSWER_NO;
    case 'A': case 'T': return ANSWER_ALL;
    case 'B': return ANSWER_BREAK;
    default: return ANSWER_UNCLEAR;
  }
}
