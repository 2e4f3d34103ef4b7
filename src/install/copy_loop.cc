#include "install/copy_loop.h"

// Not yet implemented: nothing is installed.
void goInstall(int) {}
void blankControlChars(std::string& text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
}
int savePpdFiles(const std::string&) { return -1; }
