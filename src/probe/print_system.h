// Which print system the host runs: from ZANLPMODE/PLIXLPMODE, else from the process
// list and `lpd -V`. When cupsd is found, also the CUPS prefixes (cupsBinDir,
// cupsBaseDir). And whether the foomatic-rip filter exists.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// 8, 4, 2 or 1 for "CUPS", "LPRNG", "LPR", "LP" in ZANLPMODE (or, when that is not
// set, PLIXLPMODE); 0 otherwise.
int printSystemFromEnvironment();

// Probes the process list and lpd; returns a print-system value or 0.
int probePrintSystem();

// What one line of the process list says in search attempt `attempt` (0 cupsd, 1
// lpsched, 2 lpd, 3 cupsd again): the print system whose program it names, or 0 for a
// line that names none, and for the grep of the search itself.
int printSystemInLine(std::string_view line, int attempt);

// 1 when a foomatic-rip program exists in one of its usual places, else 0.
int hasFoomaticRip();

// Reads prefix= and exec_prefix= of the CUPS start script, with fallbacks.
// 1 on success, 0 on failure. Both outputs hold at most 255 characters.
int findCupsPrefixes(std::string* prefix, std::string* execPrefix);

// The part of a cupsd command path before "/sbin/cupsd" or "/bin/cupsd"; none when the
// text is no such path.
std::optional<std::string> cupsPrefixFromCommand(const char* command);
