// Restarts the CUPS scheduler with systemctl, service or the init scripts.
#pragma once

// Returns the raw status of the last command run, or -1 when none could be run.
int restartCups();
