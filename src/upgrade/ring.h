// The two lists of the queue upgrade (printers, options) are circular doubly linked
// rings of records with `next` and `prev` links around a head record. These are their
// shared link operations; each list keeps its own rule for what the head holds.
#pragma once

// Appends `entry` at the tail of the ring of `head` (inserted before the head). A head
// never linked yet is first made a ring of its own.
template <typename Entry>
void ringAppend(Entry* head, Entry* entry) {
  if (head->next == nullptr || head->prev == nullptr) head->next = head->prev = head;
  Entry* tail = head->prev;
  entry->prev = tail;
  entry->next = head;
  tail->next = entry;
  head->prev = entry;
}

// Deletes every record of the ring but the head and links the head to itself.
template <typename Entry>
void ringFreeTail(Entry* head) {
  Entry* e = head->next;
  while (e != nullptr && e != head) {
    Entry* next = e->next;
    delete e;
    e = next;
  }
  head->next = head->prev = head;
}
