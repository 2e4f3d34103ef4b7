// Carries a queue's chosen defaults into a new PPD: collects the old PPD's defaults
// into an option list, then rewrites the default lines of the new PPD's option blocks.
#pragma once

#include <cstdio>
#include <string>

struct OptListEntry {
  std::string keyword;  // at most 40 characters, without the asterisk
  std::string choice;   // at most 42 characters
  int index = 0;
  OptListEntry* prev = nullptr;
  OptListEntry* next = nullptr;
};

OptListEntry* newOptListEntry();
void addOptList(OptListEntry* head, OptListEntry* entry);
void freeOptList(OptListEntry* head);

// Fills the list from the PPD at `path`; the number of entries (also written to *count).
int collectDefaults(const std::string& path, OptListEntry* head, int* count);

OptListEntry* findOption(OptListEntry* head, const std::string& keyword);

// The keyword with its leading asterisk of a "*Default..." line (false when none);
// the value goes to `value`.
bool parseDefaultLine(const std::string& line, std::string* keyword, std::string* value);

// Copies `in` to `out`, rewriting the default lines inside option blocks. Returns 0.
int processNewPPD(FILE* in, FILE* out, OptListEntry* head, int count);
