#include "install/uninstall_script.h"

// Not yet implemented: no script is written.
void writeUninstallScript() {}
