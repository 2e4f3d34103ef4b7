// Finds system commands by name in a fixed list of directories, or below the CUPS
// prefixes, and keeps the process-wide table of the commands setup runs.
#pragma once

#include <optional>
#include <string>

// Located command paths. A command never found keeps its bare name, so the shell still
// finds it through its search path; chcon has no fallback and stays absent.
struct CommandTable {
  std::optional<std::string> chcon;
  std::string cp = "cp";
  std::string rm = "rm";
  std::string gzip = "gzip";
  std::string lpadmin = "lpadmin";
  std::string lpstat = "lpstat";
};

extern CommandTable commands;

// The first existing path of `name` in /usr/bin, /usr/sbin, /usr/ucb, /bin, /sbin,
// /usr/bsd, /etc, /usr/etc, /usr/lib, /lib, /usr/local/bin, /usr/freeware/bin
// (existence only; a directory counts). None when no candidate exists or the name
// does not fit the 128-byte candidate buffer.
std::optional<std::string> locateCommand(const std::string& name);

// The first existing of bin/, sbin/, etc/, lib/ below cupsBinDir, then below
// cupsBaseDir (when set); the bare name when none exists. With an empty cupsBinDir
// this is locateCommand(name), none included.
std::optional<std::string> locateCupsCommand(const std::string& name);
