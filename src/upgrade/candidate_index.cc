#include "upgrade/candidate_index.h"

#include <dirent.h>

#include <cups/file.h>

#include <cstring>
#include <map>

#include "base/settings.h"
#include "ppdloc/ppd_dirs.h"

namespace {

// The directories read in this run, by the path they were searched under.
std::map<std::string, std::vector<Candidate>>& index() {
  static std::map<std::string, std::vector<Candidate>> directories;
  return directories;
}

}  // namespace

int readCandidateHead(const std::string& path, PpdHead* head) {
  cups_file_t* file = cupsFileOpen(path.c_str(), "r");
  if (file == nullptr) return -1;
  // cupsFileGets drops the line ending and hands a longer line over in 255-byte pieces.
  char buffer[256];
  bool done = false;
  while (!done && cupsFileGets(file, buffer, sizeof buffer) != nullptr)
    done = scanHeadLine(buffer, head);
  cupsFileClose(file);
  return head->haveModel ? 1 : 0;
}

const std::vector<Candidate>* indexedCandidates(const std::string& directory) {
  auto known = index().find(directory);
  if (known != index().end()) return &known->second;
  if (!isDirectory(directory)) return nullptr;
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return nullptr;
  std::vector<Candidate> candidates;
  while (struct dirent* d = readdir(dir)) {
    if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0) continue;
    Candidate candidate;
    candidate.path = directory + "/" + d->d_name;
    // A cut path would name another file: an entry whose path does not fit is passed over.
    if (candidate.path.size() > kTextMax) continue;
    candidate.state = readCandidateHead(candidate.path, &candidate.head);
    candidates.push_back(std::move(candidate));
  }
  closedir(dir);
  return &index().emplace(directory, std::move(candidates)).first->second;
}

void resetCandidateIndex() { index().clear(); }
