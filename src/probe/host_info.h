// Host facts recorded once per run: node name, IPv4 address text, system family code.
#pragma once

#include <string>

// Fills settings.hostName and settings.hostAddress (or leaves them empty) and returns
// the operating-system code.
int probeHostInfo();

// The operating-system code for a uname system name and release text.
int osKindFor(const std::string& sysname, const std::string& release);
