// The information file: carried over from the earlier release's, then its printers block
// read back from both; every queue name taken is one CUPS could hold.
#include "fuzz/support.h"
#include "base/settings.h"
#include "install/info_file.h"
#include "upgrade/printer_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  settings.installDir = fuzz::dir();
  settings.userId = static_cast<int>(geteuid());
  settings.groupId = static_cast<int>(getegid());
  fuzz::writeFile(settings.installDir + "/plixInfo2.0", {reinterpret_cast<const char*>(data), size});
  copyInfoFile();
  for (unsigned kind : {1u, 4u}) {
    PListEntry head;
    initPList(&head);
    if (readInfoPrinters(kind, &head) == 1) {
      PListEntry* entry = &head;
      for (int i = 0; i < printerCount; ++i, entry = entry->next)
        if (entry->queueName.size() > kQueueNameMax || entry->queueName.find_first_of(std::string("/\0", 2)) != std::string::npos)
          fuzz::finding("queue name taken: " + entry->queueName);
    }
    freePListTail(&head);
  }
  return 0;
}
