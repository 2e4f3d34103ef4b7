// The uninstall shell script etc/UNINSTALLPLIX below the installation directory.
#pragma once

void writeUninstallScript();
