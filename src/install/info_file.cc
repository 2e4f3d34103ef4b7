#include "install/info_file.h"

// Not yet implemented: no information file is written.
void writeInfoFile() {}
void copyInfoFile() {}
