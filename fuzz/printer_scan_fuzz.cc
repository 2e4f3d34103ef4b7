// The printer scan: a queue PPD's head in the scheduler's PPD directory, and the same
// file as a candidate in the product's PPD directory.
#include "fuzz/support.h"
#include "base/settings.h"
#include "upgrade/candidate_index.h"
#include "upgrade/printer_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool made = std::filesystem::create_directories((settings.cupsBaseDir = fuzz::dir()) + "/etc/cups/ppd") &&
                           std::filesystem::create_directories(settings.ppdInstallDir = fuzz::dir() + "/new");
  (void)made;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  fuzz::writeFile(fuzz::dir() + "/etc/cups/ppd/q.ppd", text);
  fuzz::writeFile(settings.ppdInstallDir + "/q.ppd", text);
  resetCandidateIndex();
  PListEntry head;
  initPList(&head);
  int count = 0, pdlKind = 0, modelId = 0;
  (void)scanInstalledPrinters(&head, &count);
  freePListTail(&head);
  std::string model;
  (void)readPpdModel(settings.ppdInstallDir + "/q.ppd", &pdlKind, &modelId, &model);
  return 0;
}
