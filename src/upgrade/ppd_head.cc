#include "upgrade/ppd_head.h"

#include <cstring>

#include "base/settings.h"
#include "base/text.h"
#include "upgrade/model_table.h"

namespace {

constexpr const char* kModelKey = "*ModelName:";
constexpr const char* kVersionKey = "*% Plix version:";

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

bool scanHeadLine(const std::string& line, PpdHead* head) {
  if (!head->haveModel) {
    int kind = 0;
    head->haveModel = parseModelNameLine(line, &kind, &head->modelId, &head->model);
    if (head->haveModel) head->pdlKind = kind;
  }
  if (head->wantVersion && head->version <= 0) {
    int digit = ppdVersionDigit(line);
    if (digit > 0) head->version = digit;
  }
  return head->haveModel && (!head->wantVersion || head->version > 0);
}
