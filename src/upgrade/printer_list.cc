#include "upgrade/printer_list.h"

#include <cstdio>
#include <cstdlib>

void initPList(PListEntry* head) {
  head->next = head;
  head->prev = head;
}

void addPList(PListEntry* head, PListEntry* entry) {
  if (head == nullptr) {
    fputs("addPList(NULL,...) Error!\n", stderr);
    exit(1);
  }
  if (entry == nullptr) return;
  if (head->next == nullptr || head->prev == nullptr) initPList(head);
  PListEntry* tail = head->prev;
  entry->prev = tail;
  entry->next = head;
  tail->next = entry;
  head->prev = entry;
}

void freePListTail(PListEntry* head) {
  if (head == nullptr) return;
  if (head->next != nullptr) {
    PListEntry* e = head->next;
    while (e != nullptr && e != head) {
      PListEntry* next = e->next;
      delete e;
      e = next;
    }
  }
  initPList(head);
}

void resetPList(PListEntry* head) {
  if (head == nullptr) return;
  freePListTail(head);
  *head = PListEntry{};
  initPList(head);
}
