// The queue upgrade: for each product queue, save the old PPD, build the new PPD with
// the queue's defaults, install it, mark the queue's configuration; restart CUPS.
// Working files in /tmp are created exclusively (a name planted by another user is
// never written through) and removed by the step that made them.
#pragma once

#include <string>

#include "upgrade/ppd_defaults.h"
#include "upgrade/printer_list.h"

// Upgrades `count` queues of the list from the head on, asking first when `ask` is set,
// then restarts CUPS. Returns 1 when the run ended or the user broke it off (no restart
// then), 0 when the option list could not be allocated (nothing touched). Logs.
int upgradeQueues(const std::string& ppdDir, PListEntry* head, int count, int ask);

// Finds the new PPD for `entry` and writes it, rewritten with the collected defaults, to
// a new working file whose name goes to *outName. *outName stays empty when no complete
// file was made (no new PPD, decompression, open or write failure). Returns 0. Logs.
int buildNewPpd(const std::string& ppdDir, OptListEntry* options, int optionCount,
                PListEntry* entry, std::string* outName);

// The saved copy of a queue PPD: "Q.ppd.rpmsave" in the directory above the PPD's own
// for the queue's own PPD "Q.ppd", "<file name>.rpmsave" there for any other entry.
std::string savedPpdPath(const std::string& ppdPath, const std::string& queueName);

// Copies the queue PPD to its saved copy with cp. 1 when cp succeeded, else 0. Logs.
int savePpdCopy(const std::string& ppdPath, const std::string& queueName);

// Copies `newFile` over the queue PPD with cp. 1 when cp succeeded, else 0. Logs.
int installNewPpd(const std::string& ppdPath, const std::string& newFile);

// Marks the queue's plixConfig with the new version. 1 rewritten, 0 otherwise (no file,
// no working copy, or copying back failed, when the working copy is kept). Logs.
int processPrinterConfig(const std::string& queueName);

// Copies `source` over `destination` (created or emptied). Returns 1 copied, 0 when the
// source cannot be opened (nothing written), -1 when the destination cannot be opened or
// a write failed (the destination may then be incomplete). Never logs.
int copyFile(const std::string& source, const std::string& destination);
