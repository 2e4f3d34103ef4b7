// The queue upgrade: for each product queue, save the old PPD, build the new PPD with
// the queue's defaults, install it, mark the queue's configuration; restart CUPS.
#pragma once

#include <string>

#include "upgrade/ppd_defaults.h"
#include "upgrade/printer_list.h"

int upgradeQueues(const std::string& ppdDir, PListEntry* head, int count, int ask);
int buildNewPpd(const std::string& ppdDir, OptListEntry* options, int optionCount,
                PListEntry* entry, std::string* outName);
int savePpdCopy(const std::string& ppdPath, const std::string& queueName);
int installNewPpd(const std::string& ppdPath, const std::string& newFile);
int processPrinterConfig(const std::string& queueName);
void copyFile(const std::string& source, const std::string& destination);
