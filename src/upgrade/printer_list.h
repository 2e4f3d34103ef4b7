// The printer list: a circular doubly linked ring of queues whose head record is
// itself the first queue. An empty list is the head linked to itself; the number of
// entries travels beside the list as a separate count.
#pragma once

#include <cstdio>
#include <string>

struct PListEntry {
  std::string modelName;   // *ModelName value (at most 255 characters)
  std::string ppdPath;     // the queue's PPD in the CUPS ppd directory (at most 255)
  std::string queueName;   // at most kQueueNameMax characters, never cut
  int modelId = 0;
  int index = 0;
  int pdlKind = 0;
  PListEntry* next = nullptr;
  PListEntry* prev = nullptr;
};

// The longest queue name CUPS accepts. A longer name is no queue's name: it is refused,
// never cut to another queue's name.
inline constexpr size_t kQueueNameMax = 127;

// True when `name`, read from the information file's printers block, can be taken whole
// as a queue name: no NUL, no "/", at most kQueueNameMax bytes. Otherwise logs that the
// line is passed over (the logged text cut short, the name itself never) and returns false.
bool takeInfoQueueName(const std::string& name);

// Links `head` to itself (an empty list) without freeing anything.
void initPList(PListEntry* head);

// Appends `entry` at the tail of the ring (inserted before the head). Called without
// a head it writes "addPList(NULL,...) Error!\n" to standard error and exits with 1.
void addPList(PListEntry* head, PListEntry* entry);

// The queues of this run: the head of the ring, and its number of entries.
extern PListEntry printerList;
extern int printerCount;

// Frees every entry but the head and links the head to itself.
void freePListTail(PListEntry* head);

// freePListTail, then clears every field of the head and links it to itself.
void resetPList(PListEntry* head);
