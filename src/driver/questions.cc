#include "driver/questions.h"

// Not yet implemented: every answer is unclear.
int askYesNo(const std::string&) { return ANSWER_UNCLEAR; }
int askYesNoAllBreak(const std::string&) { return ANSWER_UNCLEAR; }
void readAnswer(std::string* answer) { answer->clear(); }
int parseYesNo() { return ANSWER_UNCLEAR; }
int parseYesNoAllBreak() { return ANSWER_UNCLEAR; }
int classifyYesNo(std::string_view) { return ANSWER_UNCLEAR; }
int classifyYesNoAllBreak(std::string_view) { return ANSWER_UNCLEAR; }
