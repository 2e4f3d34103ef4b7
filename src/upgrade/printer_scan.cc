#include "upgrade/printer_scan.h"

#include <dirent.h>

#include <cups/file.h>

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

namespace {

// The scan looks for the marker and the model line in the first lines of a queue PPD only.
constexpr int kScanLines = 30;

constexpr const char* kModelKey = "*ModelName:";
constexpr const char* kVersionKey = "*% Plix version:";

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

void trimSpacesAndNewlines(std::string* text) {
  while (!text->empty() && (text->back() == ' ' || text->back() == '\n')) text->pop_back();
}

}  // namespace

bool parseModelNameLine(const std::string& line, int* pdlKind, int* modelId, std::string* model) {
  size_t key = line.find(kModelKey);
  if (key == std::string::npos) return false;

  // The PDL window: the eight characters before the line's last one (its newline when
  // the reader keeps it). The key alone is longer than nine characters.
  std::string window = line.substr(line.size() - 9, 8);

  size_t start = key + strlen(kModelKey);
  while (start < line.size() && line[start] == ' ') ++start;
  std::string text = line.substr(start);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();

  if (contains(window, " PCL")) *pdlKind = 2;
  else if (contains(window, " PXL")) *pdlKind = 3;
  else if (contains(window, " PS")) *pdlKind = 1;
  else *pdlKind = 0;

  int row = findModelRow(text);
  if (row < 0) return false;
  *modelId = modelTable[row].id;
  *model = fitText(text);
  return true;
}

int ppdVersionDigit(const std::string& line) {
  size_t key = line.find(kVersionKey);
  if (key == std::string::npos) return -1;
  size_t pos = key + strlen(kVersionKey);
  while (pos < line.size() && line[pos] == ' ') ++pos;
  if (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') return line[pos] - '0';
  return -1;
}

bool readPpdModel(const std::string& path, int* pdlKind, int* modelId, std::string* model) {
  cups_file_t* file = cupsFileOpen(path.c_str(), "r");
  if (file == nullptr) {
    fputs(formatMessage(Msg::CannotOpenPpd, path.c_str()).c_str(), stderr);
    fflush(stderr);
    return false;
  }
  char buffer[256];
  bool found = false;
  while (!found && cupsFileGets(file, buffer, sizeof buffer) != nullptr)
    found = parseModelNameLine(buffer, pdlKind, modelId, model);
  cupsFileClose(file);
  return found;
}

int findNewPpd(const std::string& directory, const PListEntry* entry, int pdlKind, int modelId,
               std::string* path) {
  logMessage(Msg::PpdDirectory, directory.c_str());
  if (!isDirectory(directory)) return 0;
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return 0;
  int found = 0;
  while (struct dirent* d = readdir(dir)) {
    if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0) continue;
    std::string candidate;
    if (!joinPath(directory, d->d_name, &candidate)) continue;
    int kind = 0;
    int id = 0;
    std::string model;
    if (!readPpdModel(candidate, &kind, &id, &model)) continue;
    if (startsWith(model, entry->modelName) && id == modelId && kind == pdlKind) {
      *path = candidate;
      found = 1;
      break;
    }
  }
  closedir(dir);
  return found;
}

int scanInstalledPrinters(PListEntry* head, int* count) {
  *count = 0;
  std::string directory = kCupsPpdDir;
  if (!settings.cupsBaseDir.empty() && settings.cupsBaseDir != "/")
    directory = formatText("%s%s", settings.cupsBaseDir.c_str(), kCupsPpdDir);
  if (!isDirectory(directory)) return 0;

  if (DIR* dir = opendir(directory.c_str())) {
    while (struct dirent* d = readdir(dir)) {
      if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0) continue;
      std::string path;
      if (!joinPath(directory, d->d_name, &path)) continue;
      FILE* file = fopen(path.c_str(), "r");
      if (file == nullptr) continue;

      std::string line;
      std::string model;
      bool haveModel = false;
      int pdlKind = 0;
      int modelId = 0;
      int version = -1;
      for (int n = 0; n < kScanLines && !(haveModel && version > 0) && readPiece(file, &line); ++n) {
        if (!haveModel) {
          int kind = 0;
          haveModel = parseModelNameLine(line, &kind, &modelId, &model);
          if (haveModel) pdlKind = kind;
        }
        if (version <= 0) {
          int digit = ppdVersionDigit(line);
          if (digit > 0) version = digit;
        }
      }
      fclose(file);
      if (!haveModel || version != 1 || pdlKind == 0) continue;

      PListEntry* entry = head;
      if (*count > 0) {
        entry = new (std::nothrow) PListEntry();
        if (entry == nullptr) break;
      }
      std::string name = d->d_name;
      entry->modelName = model;
      entry->ppdPath = path;
      entry->queueName = fitText(name.substr(0, name.find(".ppd")), kQueueNameMax);
      entry->modelId = modelId;
      entry->pdlKind = pdlKind;
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
  while (!begun && readPiece(file, &line)) {
    trimSpacesAndNewlines(&line);
    begun = line == "%%ZANBLOCK_PRINTERS_BEGIN";
  }
  if (!begun) {
    fclose(file);
    return 0;
  }

  freePListTail(head);
  int taken = 0;
  while (readPiece(file, &line)) {
    trimSpacesAndNewlines(&line);
    if (line == "%%ZANBLOCK_PRINTERS_END") break;
    PListEntry* entry = head;
    if (taken > 0) {
      entry = new (std::nothrow) PListEntry();
      if (entry == nullptr) break;
    }
    entry->queueName = fitText(line, kQueueNameMax);
    entry->index = taken;
    entry->pdlKind = 0;
    if (taken > 0) addPList(head, entry);
    ++taken;
  }
  fclose(file);
  printerCount = taken;
  return 1;
}
