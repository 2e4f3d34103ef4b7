// Console questions: the answer tables of both kinds, the reading of one answer line
// from standard input, and what a question prints before its answer is read.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "base/questions.h"

namespace {

TEST(Questions, EveryAnswerIsClassifiedByWordsThenFirstLetter) {
  // The yes/no result, the yes/no/all/break result, and the answers that give them.
  const std::tuple<int, int, std::vector<std::string>> groups[] = {
      {1, 1, {"j", "J", "ja", "JA", "yes", "YeS", "oui", "si", "o", "y", "s", "Oh", "Sure", "jawohl",
              // A yes word anywhere wins over a no word and over the first letter.
              "nein ja", "Basis", "no yes", "alle, ja"}},
      {0, 0, {"n", "N", "nein", "No", "niente", "non", "NIENTE", "nix", "keine, no"}},
      // All: all in the four-way question, unclear in the yes/no one.
      {-1, 2, {"a", "A", "t", "alle", "Alle", "all", "toda", "tous", "tutti", "abbrechen", "xtut"}},
      {-1, 3, {"b", "B", "break", "Bof"}},
      {-1, -1, {"", " ", "   ", " n", "x", "\n", "1", "?", "\344", "\352tre"}},
  };
  for (const auto& [yesNo, yesNoAllBreak, answers] : groups) {
    for (const std::string& answer : answers) {
      EXPECT_EQ(classifyYesNo(answer), yesNo) << "yes/no: \"" << answer << "\"";
      EXPECT_EQ(classifyYesNoAllBreak(answer), yesNoAllBreak) << "yes/no/all/break: \"" << answer << "\"";
    }
  }
}

// Standard input of this process replaced by a pipe holding `input` while it lives.
struct StdinFrom {
  int saved = dup(STDIN_FILENO);
  explicit StdinFrom(const std::string& input) {
    int fds[2];
    if (pipe(fds) != 0) return;
    EXPECT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(fds[1]);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    clearerr(stdin);
  }
  ~StdinFrom() {
    dup2(saved, STDIN_FILENO);
    close(saved);
    clearerr(stdin);
  }
};

TEST(Questions, AnswerLinesLoseTheirLineEndsButNeverTheFirstCharacter) {
  std::string answer;
  {
    StdinFrom in("ja\r\n\n\r\r\n\rn\n");
    // A line of only a newline keeps it; end of input gives "".
    for (const char* expected : {"ja", "\n", "\r", "\rn", ""}) {
      readAnswer(&answer);
      EXPECT_EQ(answer, expected);
    }
  }
  // An answer of 300 characters is one answer: its tail is never read as the next one.
  std::string line = "j" + std::string(299, 'x');
  StdinFrom in(line + "\nnein\n");
  readAnswer(&answer);
  EXPECT_EQ(answer, line);
  EXPECT_EQ(parseYesNo(), 0);
  EXPECT_EQ(parseYesNo(), -1);  // end of input
}

TEST(Questions, QuestionAndHintGoToStandardOutputBeforeTheAnswerIsRead) {
  // The question is printed as plain text, never as a format; end of input is unclear.
  const char* const fourWay =
      "Antworten mit j[a], n[ein] oder a[lle] = 'ja' f\374r alle Drucker,\n"
      "oder b[reak] f\374r keiner, gefolgt durch <RETURN> bitte. ";
  const std::tuple<int (*)(const std::string&), const char*, const char*, int, const char*> cases[] = {
      {askYesNo, "Ja\n", "Weiter mit 100%s?", 1,
       "Antworten Sie bitte mit j[a] oder n[ein], gefolgt durch <RETURN>. "},
      {askYesNoAllBreak, "b\n", "M\366chten Sie Drucker: Q1 upgraden? ", 3, fourWay},
      {askYesNoAllBreak, "", "?", -1, fourWay},
  };
  for (const auto& [ask, input, question, result, hint] : cases) {
    StdinFrom in(input);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ask(question), result) << question;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(question) + "\n" + hint);
  }
}

}  // namespace
