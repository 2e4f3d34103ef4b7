// Answers to the console questions, classified directly and read from standard input.
#include "fuzz/support.h"
#include "base/questions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  int yesNo = classifyYesNo(text), four = classifyYesNoAllBreak(text);
  if (yesNo < -1 || yesNo > 1 || four < -1 || four > 3) fuzz::finding("classified as " + std::to_string(yesNo) + " " + std::to_string(four));
  static const std::string input = fuzz::dir() + "/answer";
  fuzz::writeFile(input, text);
  if (freopen(input.c_str(), "r", stdin) == nullptr) fuzz::refuse("cannot read the answer file");
  (void)parseYesNoAllBreak();
  (void)parseYesNo();
  return 0;
}
