#include "upgrade/ppd_defaults.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "base/catalogue.h"
#include "base/text.h"
#include "base/update_log.h"
#include "upgrade/ring.h"

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
  std::vector<OldDefault> defaults;
  if (!readOldDefaults(path, &defaults)) {
    fputs(formatMessage(Msg::NotAPpd, path.c_str()).c_str(), stderr);
    fflush(stderr);
    return 0;
  }
  int n = 0;
  for (OldDefault& d : defaults) {
    OptListEntry* entry = newOptListEntry();
    if (entry == nullptr) break;
    entry->keyword = std::move(d.keyword);
    entry->choice = std::move(d.choice);
    entry->index = ++n;
    addOptList(head, entry);
  }
  *count = n;
  return n;
}

OptListEntry* findOption(OptListEntry* head, const std::string& keyword) {
  if (head == nullptr || keyword.size() < 2) return nullptr;
  for (OptListEntry* e = head->next; e != nullptr && e != head; e = e->next)
    if (strcasecmp(e->keyword.c_str(), keyword.c_str() + 1) == 0) return e;
  return nullptr;
}

CarryPlan processNewPPD(std::string_view queue, std::string_view newText, OptListEntry* head, int count) {
  writeLogLine(formatText("processNewPPD(nOptions=%d)\n", count));
  std::vector<OldDefault> old;
  for (OptListEntry* e = head ? head->next : nullptr; e != nullptr && e != head; e = e->next)
    old.push_back({e->keyword, e->choice});
  CarryPlan plan = planCarryOver(queue, old, newText);
  for (const auto& [keyword, choice] : plan.settings)
    logMessage(Msg::SettingOption, keyword.c_str(), choice.c_str());
  return plan;
}
