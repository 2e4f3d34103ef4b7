#include "upgrade/ppd_defaults.h"

// Not yet implemented: no defaults are collected or rewritten.
OptListEntry* newOptListEntry() { return nullptr; }
void addOptList(OptListEntry*, OptListEntry*) {}
void freeOptList(OptListEntry*) {}
int collectDefaults(const std::string&, OptListEntry*, int*) { return 0; }
OptListEntry* findOption(OptListEntry*, const std::string&) { return nullptr; }
bool parseDefaultLine(const std::string&, std::string*, std::string*) { return false; }
int processNewPPD(FILE*, FILE*, OptListEntry*, int) { return 0; }
