// The installation proper: product tree, PPD directory, information file, uninstall
// script, every manifest item copied with cp, the filter link and its labels.
#pragma once

#include <string>

// Installs the first `itemCount` items of installItems. May end the run (status 0).
void goInstall(int itemCount);

// Replaces every byte below 0x20 by a blank, in place.
void blankControlChars(std::string& text);

// Archives the PPD files of `dir` into /var/tmp/PlixPPDFiles4.0-8.tar; the shell
// status, or -1 when dir does not exist.
int savePpdFiles(const std::string& dir);
