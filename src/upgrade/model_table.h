// The maker's printer models: which model-table row a *ModelName value names.
#pragma once

#include <string>

struct ModelRow {
  const char* name;  // 10 to 28 characters
  int id;
};

extern const ModelRow modelTable[];
extern const int modelTableSize;

// The index of the first row whose name occurs anywhere in `model`, or -1.
int findModelRow(const std::string& model);
