// Console questions: a yes/no question and a yes/no/all/break question. Each prints
// the question and a hint line on standard output and reads one answer line.
#pragma once

#include <string>
#include <string_view>

enum Answer : int {
  ANSWER_UNCLEAR = -1,
  ANSWER_NO = 0,
  ANSWER_YES = 1,
  ANSWER_ALL = 2,
  ANSWER_BREAK = 3,
};

// Asks `question` (printed as plain text) with the hint of entry 95; 1 yes, 0 no, -1 unclear.
int askYesNo(const std::string& question);

// Asks `question` with the hint of entry 94; 1 yes, 0 no, 2 all, 3 break, -1 unclear.
int askYesNoAllBreak(const std::string& question);

// Reads one answer line (at most 255 characters) from standard input into `answer`;
// trailing newlines and carriage returns are removed, but never the first character.
void readAnswer(std::string* answer);

// Read one answer with readAnswer() and classify it: 1 yes, 0 no, -1 unclear; the
// four-way one also 2 all, 3 break. End of input is unclear.
int parseYesNo();
int parseYesNoAllBreak();

// The classifications of one answer text, without reading: key words of several
// languages as case-insensitive substrings (yes, then no, then all), else the first
// letter.
int classifyYesNo(std::string_view answer);
int classifyYesNoAllBreak(std::string_view answer);
