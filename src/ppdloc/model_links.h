// Settles the product's PPD installation directory and, for CUPS before 1.3, links it
// into the CUPS model directory as "zed".
#pragma once

#include <string>
#include <utility>
#include <vector>

// Records (at most 8) entries of cupsModelDir that lead to the PPD tree chosen by
// ppdDirFlags and logs each; writes their number to `count`, except when cupsModelDir
// does not exist (then nothing is written or logged).
void scanModelLinks(int* count);

// Settles settings.ppdInstallDir from `existing` (reused when not empty), ppdDirFlags,
// cupsVersion and the `count` recorded links; creates it (mode 0755) when needed and,
// for CUPS before 1.3 without recorded links, links it into cupsModelDir as "zed".
// Logs the decision.
void choosePpdInstallDir(const std::string& existing, int count);

// What the choice of the product's PPD directory rests on.
struct PpdDirFacts {
  std::string existing;   // an existing product PPD directory, reused when not empty
  int flags = 0;          // PpdDirFlag bits of the discovery
  int cupsVersion = 0;
  std::string proposal;   // the discovery's proposal
  std::string modelDir;   // the CUPS model directory
  std::vector<std::pair<std::string, std::string>> links;  // recorded entries: path, link target
};

// What is done with the chosen directory: reused as found; settled (logged, created
// when missing); linked into the model directory as "zed" (CUPS before 1.3); or only
// named.
enum class PpdDirAction { Reuse, Settle, LinkIntoModelDir, Name };

struct PpdDirChoice {
  std::string dir;
  PpdDirAction action;
};

// The product's PPD directory for these facts; touches nothing.
PpdDirChoice decidePpdInstallDir(const PpdDirFacts& facts);

// Makes the symbolic link `linkPath` -> `target`. 0 when made; -1 when the target is
// missing ("No file: %s" logged), the link path exists (message 54 logged) or symlink
// fails (nothing logged).
int makeLink(const std::string& target, const std::string& linkPath);
