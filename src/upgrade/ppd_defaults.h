// Carries a queue's chosen defaults into a new PPD: collects the old PPD's defaults
// into an option list, then rewrites the new PPD's default lines so that each option
// keeps the old choice where the new PPD offers it (the decisions are in carry_over.h).
#pragma once

#include <string>
#include <string_view>

#include "upgrade/carry_over.h"

struct OptListEntry {
  std::string keyword;  // the option keyword as the old PPD spells it, without asterisk
  std::string choice;   // the old default: a choice name or a custom value "Custom.<...>"
  int index = 0;
  OptListEntry* prev = nullptr;
  OptListEntry* next = nullptr;
};

OptListEntry* newOptListEntry();
void addOptList(OptListEntry* head, OptListEntry* entry);
void freeOptList(OptListEntry* head);

// Fills the list from the PPD at `path` (readOldDefaults); the number of entries (also
// written to *count). A file that is no PPD: message 12 on standard error, 0, and
// *count left as it was.
int collectDefaults(const std::string& path, OptListEntry* head, int* count);

// The entry whose keyword equals `keyword` (with its leading asterisk), compared
// without regard to case as the PPD library compares keywords; null when none.
OptListEntry* findOption(OptListEntry* head, const std::string& keyword);

// Plans the carry-over of the list's choices into the new PPD `newText` for `queue`
// (planCarryOver) and logs it: "processNewPPD(nOptions=<count>)" and message 11 for
// each option carried. The rewritten text is the plan's.
CarryPlan processNewPPD(std::string_view queue, std::string_view newText, OptListEntry* head, int count);
