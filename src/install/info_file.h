// The information file of an installation, plixInfo4.0 in installDir: where the
// product lives and which printer queues it manages, in %%ZANBLOCK_ sections. Written
// afresh on a new installation, carried over from plixInfo2.0 of the earlier release
// on an upgrade from it. Both operations log only their failures and the carry-over.
#pragma once

// Writes installDir/plixInfo4.0 (below /opt/zed when installDir is empty) afresh,
// mode 0755, owned by userId:groupId. A file that does not open is logged (message
// 209) and left unwritten.
void writeInfoFile();

// Copies installDir/plixInfo2.0 to installDir/plixInfo4.0, its first line holding
// "Information File" replaced by the 3.0 header; logs message 22. Falls back to
// writeInfoFile (after message 209) when either file does not open.
void copyInfoFile();
