// The run sequence of setup: settings and commands, the option passes, the location
// and root rules, probing, then the uninstall branch or the install/upgrade branch.
#pragma once

#include <string>

inline constexpr const char* kOptionString = "df:hi:m:nq:u:w:S:D:Z:";

// Runs setup with its command line; returns the exit status (0 on every ordinary end).
int runSetup(int argc, char** argv);

// Option pass 1 (-d, -f, -h, -n, -S) and pass 2 (-D, -Z, -i, -m, -q, -u, -w). Each
// ignores the other pass's letters, unknown letters and options that lack a value.
// Pass 1 prints the usage and exits 0 on -h.
void readOptionsPass1(int argc, char** argv);
void readOptionsPass2(int argc, char** argv);

// Writes the usage text to standard error and exits with 0.
[[noreturn]] void printUsage();

// Derives settings.sourceDir from argv[0] and logs it.
void setSourceDir(const std::string& path);

// Logs why the installation cannot go on (no CUPS daemon, no foomatic-rip).
void reportStartupProblems();
