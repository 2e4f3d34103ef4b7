// Settles the product's PPD installation directory and, for CUPS before 1.3, links it
// into the CUPS model directory as "zed".
#pragma once

#include <string>

// Records entries of cupsModelDir that lead to a known PPD tree; writes their number.
void scanModelLinks(int* count);

// Decides settings.ppdInstallDir; may create it and the model-directory link.
void choosePpdInstallDir(const std::string& existing, int count);

// Makes the symbolic link `linkPath` -> `target`. 0 when made, -1 otherwise.
int makeLink(const std::string& target, const std::string& linkPath);
