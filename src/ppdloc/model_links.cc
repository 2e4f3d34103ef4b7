#include "ppdloc/model_links.h"

// Not yet implemented: no links recorded or made.
void scanModelLinks(int* count) { *count = 0; }
void choosePpdInstallDir(const std::string&, int) {}
int makeLink(const std::string&, const std::string&) { return -1; }
