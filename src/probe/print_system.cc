#include "probe/print_system.h"

// Not yet implemented: no print system, no prefixes, no foomatic-rip.
int printSystemFromEnvironment() { return 0; }
int probePrintSystem() { return 0; }
int hasFoomaticRip() { return 0; }
int findCupsPrefixes(std::string*, std::string*) { return 0; }
std::optional<std::string> cupsPrefixFromCommand(const char*) { return std::nullopt; }
