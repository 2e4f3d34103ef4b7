#include "upgrade/printer_scan.h"

// Not yet implemented: no model rows, no queues found.
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
