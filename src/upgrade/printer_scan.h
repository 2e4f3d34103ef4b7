// The installed printer scan: which CUPS queues use one of the product's PPDs, and
// which new PPD replaces each; and the queue names an information file records.
#pragma once

#include <string>

#include "upgrade/model_table.h"
#include "upgrade/ppd_head.h"
#include "upgrade/printer_list.h"

// Fills the list from the CUPS ppd directory; 1 when at least one queue was found.
int scanInstalledPrinters(PListEntry* head, int* count);

// The model of a PPD file (plain or gzip); false when none or not readable (message 45
// on standard error).
bool readPpdModel(const std::string& path, int* pdlKind, int* modelId, std::string* model);

// The new PPD in `directory` for `entry`; 1 found (path set), 0 not found. Logs message
// 44; a candidate that cannot be opened before the match gives message 45 on standard
// error. Answers from the candidate index, so each candidate is read once per run.
int findNewPpd(const std::string& directory, const PListEntry* entry, int pdlKind, int modelId,
               std::string* path);

void logPrinterList(PListEntry* head, int count);
void logNewPpdCandidates(const std::string& directory, PListEntry* head, int count);

// Reads the printers block of the information file below installDir into the list;
// 1 when the block was found. Sets printerCount.
int readInfoPrinters(unsigned kind, PListEntry* head);
