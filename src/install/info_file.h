// The information file of an installation (plixInfo4.0): written afresh on a new
// installation, carried over from plixInfo2.0 on an upgrade from the earlier release.
#pragma once

void writeInfoFile();
void copyInfoFile();
