// The carry-over of a queue's defaults: the old PPD read with the PPD library, the new
// one rewritten. Input: old PPD, a line "@@NEW@@", new PPD. The rewrite keeps every line
// (ended by LF, CR or CRLF) but the default lines byte for byte and in order.
#include "fuzz/support.h"
#include "upgrade/carry_over.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t at = input.find("\n@@NEW@@\n");
  if (at == std::string_view::npos) return 0;
  static const std::string oldPath = fuzz::dir() + "/old.ppd";
  fuzz::writeFile(oldPath, input.substr(0, at + 1));
  std::string_view newText = input.substr(at + 9);
  std::vector<OldDefault> old;
  (void)readOldDefaults(oldPath, &old);
  CarryPlan plan = planCarryOver("q", old, newText);
  // The lines other than default lines, ended by LF, CR or CRLF.
  auto others = [](std::string_view text) {
    std::vector<std::string> kept;
    for (const std::string& piece : fuzz::split(text, "\n"))
      for (std::string& line : fuzz::split(piece, "\r"))
        if (!line.starts_with("*Default")) kept.push_back(std::move(line));
    return kept;
  };
  std::vector<std::string> before = others(newText), after = others(plan.text);
  for (size_t i = 0; i < std::min(before.size(), after.size()); ++i)
    if (before[i] != after[i]) fuzz::finding("[" + before[i] + "] became [" + after[i] + "]");
  if (before.size() != after.size())
    fuzz::finding(std::to_string(before.size()) + " other lines became " + std::to_string(after.size()));
  return 0;
}
