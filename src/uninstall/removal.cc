#include "uninstall/removal.h"

// Not yet implemented: nothing is removed.
void removeProductQueues() {}
int removeQueue(const std::string&) { return 0; }
int removeQueueFiles(const std::string&) { return -1; }
int removeTree(const std::string&) { return -1; }
void removeProductFiles() {}
