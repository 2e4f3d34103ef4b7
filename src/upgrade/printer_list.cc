#include "upgrade/printer_list.h"

#include <cstdio>
#include <cstdlib>

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
