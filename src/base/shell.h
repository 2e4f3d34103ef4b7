// The one way setup runs a command: through /bin/sh with system(), waited for.
// Values put into a command go through shellWord() so that the shell reads them as
// one plain word whatever they hold.
#pragma once

#include <string>
#include <string_view>

// Runs `command` with system(); returns the raw wait status (0 on success).
int runShell(const std::string& command);

// Replaces the runner for tests; returns the previous one. nullptr restores system().
using ShellRunner = int (*)(const std::string& command);
ShellRunner setShellRunner(ShellRunner runner);

// `value` unchanged when it holds only characters the shell takes literally
// (letters, digits and _ + - . / , : @ % =), otherwise single-quoted with every '
// written as '\''. The empty text becomes ''.
std::string shellWord(std::string_view value);
