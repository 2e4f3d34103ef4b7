// Finds an earlier installation through its information file in /opt/zed (or the
// file PLIXINFO names) and the USRDIR line in it.
#pragma once

#include <string>

// 1 found (dir = the USRDIR value, kind = 1 for plixInfo2.0, 2 for plixInfo4.0),
// 0 not found (kind = all ones). Without a dir buffer returns 0 at once.
int findInstallation(std::string* dir, unsigned* kind);
