// The installation proper (goInstall): source directory, product tree, the product's
// PPD directory (with an archive of the old PPDs on an upgrade from the earlier
// release), installation directory, information file, uninstall script, every manifest
// item copied with cp and given its mode, the filter link in /usr/bin and its labels.
#pragma once

#include <string>

// Installs the first `itemCount` items of installItems, logging every step. Ends the
// run itself (Update log closed, exit status 0) when the product tree or the
// installation directory cannot be had.
void goInstall(int itemCount);

// Replaces every byte below 0x20 by a blank, in place, so that a message becomes one
// log line.
void blankControlChars(std::string& text);

// Archives every entry of `dir` into /var/tmp/PlixPPDFiles4.0-8.tar with tar run in
// `dir` (nothing is archived when dir cannot be entered). Returns the shell status, or
// -1 when dir does not exist (logged, message 15). Logs messages 14 and 13.
int savePpdFiles(const std::string& dir);
