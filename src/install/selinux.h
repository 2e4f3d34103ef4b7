// SELinux: loads the product's policy module and relabels paths with chcon.
#pragma once

#include <string>

// Runs "semodule -i /opt/zed/etc/plix.pp"; its status, or 0 when nothing was run.
int installSelinuxModule();

// Runs "<chcon> <options> <path> 2>/dev/null"; its raw status, or -1 when no usable
// chcon is known. With `log` on, logs the command and status.
int setSelinuxContext(const std::string& path, const std::string& options, int log);
