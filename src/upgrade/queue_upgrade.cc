#include "upgrade/queue_upgrade.h"

// Not yet implemented: no queue is touched.
int upgradeQueues(const std::string&, PListEntry*, int, int) { return 1; }
int buildNewPpd(const std::string&, OptListEntry*, int, PListEntry*, std::string*) { return 0; }
int savePpdCopy(const std::string&, const std::string&) { return 0; }
int installNewPpd(const std::string&, const std::string&) { return 0; }
int processPrinterConfig(const std::string&) { return 0; }
void copyFile(const std::string&, const std::string&) {}
