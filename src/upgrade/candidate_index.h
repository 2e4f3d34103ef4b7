// The candidate index: what the head of every file in a PPD directory says, read once
// per run. A queue upgrade searches the product's PPD directories for each queue twice
// (the lookup for the log and the build); reading the candidates' heads anew each time
// made a run grow with queues times candidates. The index reads a directory on its first
// search and keeps it in memory for the rest of the run; the product's PPD directories
// are not changed while queues are upgraded.
#pragma once

#include <string>
#include <vector>

#include "upgrade/ppd_head.h"

// One entry of a PPD directory, in directory order.
struct Candidate {
  std::string path;  // "dir/name"
  int state = 0;     // 1 a known model was read, 0 none, -1 the file could not be opened
  PpdHead head;      // model, pdlKind and modelId when state is 1
};

// Reads the head of the candidate PPD `path` (plain or gzip) up to its first known
// *ModelName line. Returns 1 model found, 0 none, -1 not opened. Logs nothing.
int readCandidateHead(const std::string& path, PpdHead* head);

// The entries of `directory` other than "." and "..", in the order the system returns
// them, each head read once; entries whose path does not fit a 255-character path are
// left out. Null when `directory` is no directory or cannot be read (asked again on the
// next call). Built on the first call for a directory in a run, then kept.
const std::vector<Candidate>* indexedCandidates(const std::string& directory);

// Forgets every directory read (for tests that change a directory between searches).
void resetCandidateIndex();
