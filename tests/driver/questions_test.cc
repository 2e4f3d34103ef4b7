// Console questions: the answer tables of both kinds, the reading of one answer line
// from standard input, and one question answered on standard input in a setup run.
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "driver/questions.h"
#include "sandbox/sandbox.h"

namespace {

struct Case {
  const char* answer;
  int yesNo;
  int yesNoAllBreak;
};

// Every answer of the key-word and first-letter tables, and the edge cases.
const Case kCases[] = {
    // Yes words and yes letters.
    {"j", 1, 1}, {"J", 1, 1}, {"ja", 1, 1}, {"JA", 1, 1}, {"yes", 1, 1}, {"YeS", 1, 1},
    {"oui", 1, 1}, {"si", 1, 1}, {"o", 1, 1}, {"y", 1, 1}, {"s", 1, 1}, {"Oh", 1, 1},
    {"Sure", 1, 1}, {"jawohl", 1, 1},
    // A yes word anywhere wins over a no word and over the first letter.
    {"nein ja", 1, 1}, {"Basis", 1, 1}, {"no yes", 1, 1}, {"alle, ja", 1, 1},
    // No words and the no letter.
    {"n", 0, 0}, {"N", 0, 0}, {"nein", 0, 0}, {"No", 0, 0}, {"niente", 0, 0}, {"non", 0, 0},
    {"NIENTE", 0, 0}, {"nix", 0, 0}, {"keine, no", 0, 0},
    // All words and letters: all in the four-way question, unclear in the yes/no one.
    {"a", -1, 2}, {"A", -1, 2}, {"t", -1, 2}, {"alle", -1, 2}, {"Alle", -1, 2}, {"all", -1, 2},
    {"toda", -1, 2}, {"tous", -1, 2}, {"tutti", -1, 2}, {"abbrechen", -1, 2}, {"xtut", -1, 2},
    // Break.
    {"b", -1, 3}, {"B", -1, 3}, {"break", -1, 3}, {"Bof", -1, 3},
    // Unclear.
    {"", -1, -1}, {" ", -1, -1}, {"   ", -1, -1}, {" n", -1, -1}, {"x", -1, -1}, {"\n", -1, -1},
    {"1", -1, -1}, {"?", -1, -1}, {"\344", -1, -1}, {"\352tre", -1, -1},
};

TEST(Questions, EveryAnswerIsClassifiedByWordsThenFirstLetter) {
  for (const Case& c : kCases) {
    EXPECT_EQ(classifyYesNo(c.answer), c.yesNo) << "yes/no: \"" << c.answer << "\"";
    EXPECT_EQ(classifyYesNoAllBreak(c.answer), c.yesNoAllBreak) << "yes/no/all/break: \"" << c.answer << "\"";
  }
}

// Standard input of this process replaced by a pipe holding `input`.
class StdinFrom {
 public:
  explicit StdinFrom(const std::string& input) {
    saved_ = dup(STDIN_FILENO);
    int fds[2];
    if (pipe(fds) != 0) return;
    ssize_t written = write(fds[1], input.data(), input.size());
    (void)written;
    close(fds[1]);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    clearerr(stdin);
  }
  ~StdinFrom() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
    clearerr(stdin);
  }

 private:
  int saved_ = -1;
};

TEST(Questions, AnswerLineLosesItsLineEndsButNeverItsFirstCharacter) {
  StdinFrom in("ja\r\n\n\r\r\n\rn\n");
  std::string answer;
  readAnswer(&answer);
  EXPECT_EQ(answer, "ja");
  readAnswer(&answer);
  EXPECT_EQ(answer, "\n");  // a line of only a newline keeps it
  readAnswer(&answer);
  EXPECT_EQ(answer, "\r");
  readAnswer(&answer);
  EXPECT_EQ(answer, "\rn");
  readAnswer(&answer);
  EXPECT_EQ(answer, "");  // end of input
}

TEST(Questions, LongAnswerIsReadUpTo255CharactersAndTheRestStaysUnread) {
  std::string line = "j" + std::string(299, 'x');
  StdinFrom in(line + "\nnein\n");
  std::string answer;
  readAnswer(&answer);
  EXPECT_EQ(answer, line.substr(0, 255));
  // The next read takes up where the first stopped.
  EXPECT_EQ(parseYesNo(), -1);  // "xxx...x": unclear
  EXPECT_EQ(parseYesNo(), 0);
  EXPECT_EQ(parseYesNo(), -1);  // end of input
}

TEST(Questions, QuestionAndHintGoToStandardOutputBeforeTheAnswerIsRead) {
  {
    StdinFrom in("Ja\n");
    testing::internal::CaptureStdout();
    int result = askYesNo("Weiter mit 100%s?");  // printed as plain text, never as a format
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Weiter mit 100%s?\nAntworten Sie bitte mit j[a] oder n[ein], gefolgt durch <RETURN>. ");
    EXPECT_EQ(result, 1);
  }
  {
    StdinFrom in("b\n");
    testing::internal::CaptureStdout();
    int result = askYesNoAllBreak("M\366chten Sie Drucker: Q1 upgraden? ");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "M\366chten Sie Drucker: Q1 upgraden? \n"
              "Antworten mit j[a], n[ein] oder a[lle] = 'ja' f\374r alle Drucker,\n"
              "oder b[reak] f\374r keiner, gefolgt durch <RETURN> bitte. ");
    EXPECT_EQ(result, 3);
  }
  {
    StdinFrom in("");
    testing::internal::CaptureStdout();
    EXPECT_EQ(askYesNoAllBreak("?"), -1);
    testing::internal::GetCapturedStdout();
  }
}

// The uninstall confirmation asked by a root run in the sandbox: the answer comes from
// standard input, a "no" stops the run with message 80, a "ja" goes on.
TEST(Questions, UninstallConfirmationIsAnsweredOnStandardInput) {
  Sandbox box;
  SandboxResult r = box.run(R"(
put /opt/zed/plixInfo4.0 <<'EOF'
# Plix 4.0 Information File
USRDIR          /opt/zed
EOF
export ZANLPMODE=CUPS
ANSWERS='nein\n' run_setup no -d
ANSWERS='' run_setup eof -d
)");
  ASSERT_EQ(r.status, 0) << r.error;
  const std::string question =
      "M\366chten Sie wirklich Plix und alle Plix Druckerwarteschlange l\366schen?\n"
      "\nAntworten Sie bitte mit j[a] oder n[ein], gefolgt durch <RETURN>. ";
  EXPECT_EQ(r.out("no.stdout"), question);
  EXPECT_NE(r.out("no.stderr").find("Program durch Benutzer gestopt.\n"), std::string::npos) << r.out("no.stderr");
  EXPECT_NE(r.out("no.log").find("Program durch Benutzer gestopt.\n"), std::string::npos) << r.out("no.log");
  EXPECT_EQ(r.out("eof.stdout"), question);
  EXPECT_NE(r.out("eof.log").find("Program durch Benutzer gestopt.\n"), std::string::npos);
  EXPECT_TRUE(r.upperFile("/opt/zed/plixInfo4.0").size() > 0);  // nothing removed
}

}  // namespace
