#include "upgrade/printer_scan.h"

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "base/catalogue.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/text.h"
#include "base/update_log.h"
#include "install/manifest.h"
#include "ppdloc/ppd_dirs.h"
#include "upgrade/candidate_index.h"

namespace {

// The scan looks for the marker and the model line in the first lines of a queue PPD only.
constexpr int kScanLines = 30;

const char* pdlLabel(int kind) {
  switch (kind) {
    case 0: return "\tPDL     : Unknown.\n";
    case 1: return "\tPDL     : PostScript.\n";
    case 2: return "\tPDL     : PCL.\n";
    case 3: return "\tPDL     : PXL.\n";
    case 4: return "\tPDL     : QOLA.\n";
    case 5: return "\tPDL     : Raw.\n";
    case 6: return "\tPDL     : Special.\n";
    default: return "";
  }
}

// "dir/name" when it fits a 256-byte path field; a cut path would name another file,
// so an entry whose path does not fit is passed over.
bool joinPath(const std::string& dir, const char* name, std::string* path) {
  std::string joined = dir + "/" + name;
  if (joined.size() > kTextMax) return false;
  *path = std::move(joined);
  return true;
}

void reportUnreadable(const std::string& path) {
  fputs(formatMessage(Msg::CannotOpenPpd, path.c_str()).c_str(), stderr);
  fflush(stderr);
}

void trimSpacesAndNewlines(std::string* text) {
  while (!text->empty() && (text->back() == ' ' || text->back() == '\n')) text->pop_back();
}

}  // namespace

bool readPpdModel(const std::string& path, int* pdlKind, int* modelId, std::string* model) {
  PpdHead head;
  int state = readCandidateHead(path, &head);
  if (state < 0) reportUnreadable(path);
  if (state <= 0) return false;
  *pdlKind = head.pdlKind;
  *modelId = head.modelId;
  *model = head.model;
  return true;
}

int findNewPpd(const std::string& directory, const PListEntry* entry, int pdlKind, int modelId,
               std::string* path) {
  logMessage(Msg::PpdDirectory, directory.c_str());
  const std::vector<Candidate>* candidates = indexedCandidates(directory);
  if (candidates == nullptr) return 0;
  // As a search that opens the candidates in turn: each one not opened up to the first
  // match is reported, every time.
  for (const Candidate& candidate : *candidates) {
    if (candidate.state < 0) reportUnreadable(candidate.path);
    if (candidate.state <= 0) continue;
    const PpdHead& head = candidate.head;
    if (startsWith(head.model, entry->modelName) && head.modelId == modelId && head.pdlKind == pdlKind) {
      *path = candidate.path;
      return 1;
    }
  }
  return 0;
}

int scanInstalledPrinters(PListEntry* head, int* count) {
  *count = 0;
  std::string directory = kCupsPpdDir;
  if (!settings.cupsBaseDir.empty() && settings.cupsBaseDir != "/")
    directory = formatText("%s%s", settings.cupsBaseDir.c_str(), kCupsPpdDir);
  if (!isDirectory(directory)) return 0;

  if (DIR* dir = opendir(directory.c_str())) {
    while (struct dirent* d = readdir(dir)) {
      // The queue is the name up to its first ".ppd"; one longer than CUPS allows is no
      // queue's, and is passed over rather than cut to another queue's name.
      const std::string name = d->d_name;
      const std::string queue = name.substr(0, name.find(".ppd"));
      if (queue.size() > kQueueNameMax) continue;
      std::string path;
      if (!joinPath(directory, d->d_name, &path)) continue;
      FILE* file = fopen(path.c_str(), "r");
      if (file == nullptr) continue;

      std::string line;
      PpdHead facts;
      facts.wantVersion = true;
      bool done = false;
      for (int n = 0; n < kScanLines && !done && readLine(file, &line); ++n)
        done = scanHeadLine(line, &facts);
      fclose(file);
      if (!facts.haveModel || facts.version != 1 || facts.pdlKind == 0) continue;

      PListEntry* entry = head;
      if (*count > 0) {
        entry = new (std::nothrow) PListEntry();
        if (entry == nullptr) break;
      }
      entry->modelName = facts.model;
      entry->ppdPath = path;
      entry->queueName = queue;
      entry->modelId = facts.modelId;
      entry->pdlKind = facts.pdlKind;
      entry->index = *count;
      if (*count > 0) addPList(head, entry);
      ++*count;
    }
    closedir(dir);
  }

  logPrinterList(head, *count);
  logNewPpdCandidates(settings.ppdInstallDir, head, *count);
  return *count > 0 ? 1 : 0;
}

void logPrinterList(PListEntry* head, int count) {
  logMessage(Msg::PrinterList, count);
  PListEntry* entry = head;
  for (int i = 0; i < count && entry != nullptr; ++i, entry = entry->next) {
    if (entry->queueName.empty()) logMessage(Msg::PrinterUnknown);
    else logMessage(Msg::Printer, entry->queueName.c_str());
    logMessage(Msg::PpdFile, entry->ppdPath.c_str());
    trimLineEnd(entry->modelName);
    logMessage(Msg::Model, entry->modelName.c_str());
    writeLogLine(formatText("\tOrvex ID: %d.\n", entry->modelId));
    writeLogLine(pdlLabel(entry->pdlKind));
  }
}

void logNewPpdCandidates(const std::string& directory, PListEntry* head, int count) {
  logMessage(Msg::CandidateList, count);
  PListEntry* entry = head;
  for (int i = 0; i < count && entry != nullptr; ++i, entry = entry->next) {
    std::string path;
    if (findNewPpd(directory, entry, entry->pdlKind, entry->modelId, &path) == 0 &&
        findNewPpd(kFixedPpdDir, entry, entry->pdlKind, entry->modelId, &path) == 0) {
      logMessage(Msg::NewPpdNotFound);
      continue;
    }
    writeLogLine(formatText("PPD = %s.\n", path.c_str()));
  }
}

int readInfoPrinters(unsigned kind, PListEntry* head) {
  std::string path = formatText(kind == 1 ? "%s/plixInfo2.0" : "%s/plixInfo4.0",
                                settings.installDir.c_str());
  FILE* file = fopen(path.c_str(), "r");
  if (file == nullptr) return 0;

  std::string line;
  bool begun = false;
  while (!begun && readLine(file, &line)) {
    trimSpacesAndNewlines(&line);
    begun = line == "%%ZANBLOCK_PRINTERS_BEGIN";
  }
  if (!begun) {
    fclose(file);
    return 0;
  }

  freePListTail(head);
  int taken = 0;
  while (readLine(file, &line)) {
    trimSpacesAndNewlines(&line);
    if (line == "%%ZANBLOCK_PRINTERS_END") break;
    if (!takeInfoQueueName(line)) continue;
    PListEntry* entry = head;
    if (taken > 0) {
      entry = new (std::nothrow) PListEntry();
      if (entry == nullptr) break;
    }
    entry->queueName = line;
    entry->index = taken;
    entry->pdlKind = 0;
    if (taken > 0) addPList(head, entry);
    ++taken;
  }
  fclose(file);
  printerCount = taken;
  return 1;
}
