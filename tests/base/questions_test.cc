// Console questions: the answer tables of both kinds, the reading of one answer line
// from standard input, and what a question prints before its answer is read.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/questions.h"

namespace {

TEST(Questions, EveryAnswerIsClassifiedByWordsThenFirstLetter) {
  // The yes/no result, the yes/no/all/break result, and the answers that give them. A yes
  // word anywhere wins over a no word and over the first letter. All: all in the four-way
  // question, unclear in the yes/no one.
  const std::tuple<int, int, std::vector<std::string>> groups[] = {
      {1, 1, {"J", "YeS", "oui", "si", "Oh", "nein ja", "Basis", "alle, ja"}}, {0, 0, {"N", "NIENTE", "nix", "keine, no"}},
      {-1, 2, {"A", "t", "tous", "abbrechen", "xtut"}}, {-1, 3, {"b", "Bof"}}, {-1, -1, {"", " n", "x", "\n", "\352tre"}},
  };
  for (const auto& [yesNo, yesNoAllBreak, answers] : groups)
    for (const std::string& answer : answers)
      EXPECT_EQ(std::pair(classifyYesNo(answer), classifyYesNoAllBreak(answer)), std::pair(yesNo, yesNoAllBreak))
          << "\"" << answer << "\"";
}

// Standard input of this process replaced by a file holding `input`.
void feedStdin(const std::string& input) {
  FILE* file = tmpfile();
  ASSERT_TRUE(file != nullptr && fputs(input.c_str(), file) >= 0);
  rewind(file);
  dup2(fileno(file), STDIN_FILENO);
  fclose(file);
  clearerr(stdin);
}

TEST(Questions, AnswerLinesKeepTheirFirstCharacterAndTheQuestionIsPrintedAsPlainText) {
  std::string answer;
  // A line of only a newline keeps it; end of input gives "". An answer of 300
  // characters is one answer: its tail is never read as the next one.
  std::string line = "j" + std::string(299, 'x');
  feedStdin("ja\r\n\n\r\r\n\rn\n" + line + "\nnein\n");
  for (std::string expected : {"ja", "\n", "\r", "\rn", line.c_str()}) EXPECT_EQ((readAnswer(&answer), answer), expected);
  EXPECT_EQ(parseYesNo(), 0);
  EXPECT_EQ(parseYesNo(), -1);  // end of input
  const char* const fourWay =
      "Antworten mit j[a], n[ein] oder a[lle] = 'ja' f\374r alle Drucker,\n"
      "oder b[reak] f\374r keiner, gefolgt durch <RETURN> bitte. ";
  const std::tuple<int (*)(const std::string&), const char*, const char*, int, const char*> cases[] = {
      {askYesNo, "Ja\n", "Weiter mit 100%s?", 1, "Antworten Sie bitte mit j[a] oder n[ein], gefolgt durch <RETURN>. "},
      {askYesNoAllBreak, "b\n", "M\366chten Sie Drucker: Q1 upgraden? ", 3, fourWay},
      {askYesNoAllBreak, "", "?", -1, fourWay},
  };
  for (const auto& [ask, input, question, result, hint] : cases) {
    feedStdin(input);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ask(question), result) << question;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(question) + "\n" + hint);
  }
}

}  // namespace
