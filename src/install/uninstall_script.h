// The uninstall shell script etc/UNINSTALLPLIX below the installation directory: asks
// for confirmation in German, then deletes the product's fixed files and directories
// of this run's installDir and ppdInstallDir. Printer queues are not its business.
#pragma once

// Writes installDir/etc/UNINSTALLPLIX (below /opt/zed when installDir is empty) afresh,
// mode 0755, owned by userId:groupId, and logs message 193; a file that does not open
// is logged (message 209) and left unwritten. Every path in the script is one shell
// word whatever characters it holds.
void writeUninstallScript();
