#include "upgrade/model_table.h"

// Not yet implemented: the rows of the maker's models.
const ModelRow modelTable[] = {{"", 0}};
const int modelTableSize = 0;

int findModelRow(const std::string&) { return -1; }
