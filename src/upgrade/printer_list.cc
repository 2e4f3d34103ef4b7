#include "upgrade/printer_list.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/text.h"
#include "base/update_log.h"
#include "upgrade/ring.h"

PListEntry printerList;
int printerCount = 0;

void initPList(PListEntry* head) {
  head->next = head;
  head->prev = head;
}

void addPList(PListEntry* head, PListEntry* entry) {
  if (head == nullptr) {
    fputs("addPList(NULL,...) Error!\n", stderr);
    exit(1);
  }
  if (entry != nullptr) ringAppend(head, entry);
}

void freePListTail(PListEntry* head) {
  if (head != nullptr) ringFreeTail(head);
}

void resetPList(PListEntry* head) {
  if (head == nullptr) return;
  freePListTail(head);
  *head = PListEntry{};
  initPList(head);
}

bool takeInfoQueueName(const std::string& name) {
  if (name.size() <= kQueueNameMax && name.find('\0') == std::string::npos &&
      name.find('/') == std::string::npos)
    return true;
  std::string shown = name.substr(0, std::min(name.find('\0'), kQueueNameMax));
  if (shown.size() < name.size()) shown += "...";
  logMessage(Msg::InfoLinePassedOver, shown.c_str());
  return false;
}
