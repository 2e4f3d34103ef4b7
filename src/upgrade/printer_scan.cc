#include "upgrade/printer_scan.h"

// Not yet implemented: no model rows, no queues found.
const ModelRow modelTable[] = {{"", 0}};
const int modelTableSize = 0;
int findModelId(const std::string&) { return 0; }
int scanInstalledPrinters(PListEntry*, int* count) {
  *count = 0;
  return 0;
}
bool parseModelNameLine(const std::string&, int*, int*, std::string*) { return false; }
int ppdVersionDigit(const std::string&) { return -1; }
bool readPpdModel(const std::string&, int*, int*, std::string*) { return false; }
int findNewPpd(const std::string&, const PListEntry*, int, int, std::string*) { return 0; }
void logPrinterList(PListEntry*, int) {}
void logNewPpdCandidates(const std::string&, PListEntry*, int) {}
int readInfoPrinters(unsigned, PListEntry*) { return 0; }
