#include "upgrade/ppd_defaults.h"

// The old PPD's defaults are read with the CUPS PPD library, which CUPS marks as
// deprecated; this file is its only user.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/catalogue.h"
#include "base/settings.h"
#include "base/text.h"
#include "base/update_log.h"
#include "install/manifest.h"
#include "upgrade/ring.h"

namespace {

// Field limits of an option record: the PPD keyword limit and the choice field.
constexpr size_t kKeywordMax = 40;
constexpr size_t kChoiceMax = 42;

// Working buffers of the rewrite hold 80 bytes: the keyword with its asterisk, and
// the value.
constexpr size_t kLineKeywordMax = 79;
constexpr size_t kLineValueMax = 79;

constexpr const char* kDefaultKey = "*Default";

}  // namespace

OptListEntry* newOptListEntry() { return new (std::nothrow) OptListEntry(); }

void addOptList(OptListEntry* head, OptListEntry* entry) {
  if (head == nullptr) {
    fputs("addOptList(NULL,...) Error!\n", stderr);
    exit(1);
  }
  if (entry != nullptr) ringAppend(head, entry);
}

void freeOptList(OptListEntry* head) {
  if (head != nullptr) ringFreeTail(head);
}

int collectDefaults(const std::string& path, OptListEntry* head, int* count) {
  ppd_file_t* ppd = ppdOpenFile(path.c_str());
  if (ppd == nullptr) {
    fputs(formatMessage(Msg::NotAPpd, path.c_str()).c_str(), stderr);
    fflush(stderr);
    return 0;
  }
  int n = 0;
  for (int g = 0; g < ppd->num_groups; ++g) {
    const ppd_group_t& group = ppd->groups[g];
    for (int o = 0; o < group.num_options; ++o) {
      const ppd_option_t& option = group.options[o];
      for (int c = 0; c < option.num_choices; ++c) {
        if (strcmp(option.choices[c].choice, option.defchoice) != 0) continue;
        OptListEntry* entry = newOptListEntry();
        if (entry == nullptr) break;
        entry->keyword = fitText(option.keyword, kKeywordMax);
        entry->choice = fitText(option.choices[c].choice, kChoiceMax);
        entry->index = n + 1;
        addOptList(head, entry);
        ++n;
      }
    }
  }
  ppdClose(ppd);
  *count = n;
  return n;
}

OptListEntry* findOption(OptListEntry* head, const std::string& keyword) {
  if (head == nullptr || keyword.empty()) return nullptr;
  std::string_view name = keyword;
  name.remove_prefix(1);
  for (OptListEntry* e = head->next; e != nullptr && e != head; e = e->next)
    if (e->keyword == name) return e;
  return nullptr;
}

bool parseDefaultLine(const std::string& line, std::string* keyword, std::string* value) {
  if (contains(line, "*DefaultColorSep")) return false;
  size_t key = line.find(kDefaultKey);
  if (key == std::string::npos) return false;

  size_t pos = key + strlen(kDefaultKey);
  size_t end = line.find_first_of(" :", pos);
  if (end == std::string::npos) end = line.size();
  // A keyword or value longer than its buffer is kept only as far as the buffer holds.
  *keyword = "*" + line.substr(pos, std::min(end - pos, kLineKeywordMax - 1));
  pos = end;
  if (pos < line.size() && line[pos] == ':') ++pos;
  while (pos < line.size() && line[pos] == ' ') ++pos;
  end = line.find_first_of(" \r\n", pos);
  if (end == std::string::npos) end = line.size();
  *value = line.substr(pos, std::min(end - pos, kLineValueMax));
  return true;
}

int processNewPPD(FILE* in, FILE* out, OptListEntry* head, int count) {
  writeLogLine(formatText("processNewPPD(nOptions=%d)\n", count));
  bool inBlock = false;
  std::string line;
  while (readPiece(in, &line)) {
    bool blockLine = inBlock ? !contains(line, "*CloseUI") : contains(line, "*OpenUI");
    if (!blockLine) {
      fputs(line.c_str(), out);
      inBlock = false;
      continue;
    }
    inBlock = true;
    std::string keyword;
    std::string value;
    if (!contains(line, "Default") || !parseDefaultLine(line, &keyword, &value)) {
      fputs(line.c_str(), out);
      continue;
    }
    trimLineEnd(keyword);
    if (settings.debugLevel > 0) writeLogLine(formatText("processNewPPD(%s).\n", keyword.c_str()));
    if (OptListEntry* option = findOption(head, keyword)) {
      logMessage(Msg::SettingOption, keyword.c_str(), option->choice.c_str());
      if (!option->choice.empty()) value = option->choice;
    }
    fprintf(out, "*Default%s: %s\n", keyword.c_str() + 1, value.c_str());
    fflush(out);
  }
  return 0;
}
