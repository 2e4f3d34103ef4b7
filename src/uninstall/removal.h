// The uninstallation: the product's queues with their per-queue files, then the
// product's fixed files and directories below the installation directory.
#pragma once

#include <string>

void removeProductQueues();
int removeQueue(const std::string& name);
int removeQueueFiles(const std::string& name);
int removeTree(const std::string& path);
void removeProductFiles();
