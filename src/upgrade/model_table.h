// The maker's printer models (344 rows): which model-table row a *ModelName value
// names. Row order matters: the first row whose name occurs in the value wins.
#pragma once

#include <string>

struct ModelRow {
  const char* name;  // 10 to 28 characters
  int id;            // 1..343; pairs a queue's PPD with the new PPD of the same model
};

extern const ModelRow modelTable[];
extern const int modelTableSize;

// The index of the first row whose name occurs anywhere in `model`, or -1.
int findModelRow(const std::string& model);
