// Finds an earlier installation through its information file: plixInfo2.0 of the
// earlier release, then plixInfo4.0 of this one, both in /opt/zed (or the one file the
// environment variable PLIXINFO names), and the USRDIR line in it. Logs nothing.
#pragma once

#include <string>

// 1 found: *dir = the value of the first line holding "USRDIR" (appended to *dir, which
// the caller passes empty), *kind = 1 when found in the first pass (plixInfo2.0),
// 2 in the second (plixInfo4.0). 0 not found (missing or unreadable file, no USRDIR
// line): *kind = all ones. Without a dir returns 0 at once.
int findInstallation(std::string* dir, unsigned* kind);
