// Cases that call library functions inside the sandbox. Functions that read or write
// fixed system paths may only run there, so a test's script starts the test program
// itself inside the sandbox with `run_case PROGRAM CASE NAME [VAR=VALUE...]` (scripts/sandbox-lib.sh):
// the program then runs the one case instead of its tests and exits. A case writes its
// results to `out` ($OUT/NAME.out); what it logs goes to standard error ($OUT/NAME.log,
// since no Update log is open); its exit status lands in $OUT/NAME.status. A case
// refuses to run anywhere but inside the sandbox.
#pragma once

#include <cstdio>

using SandboxCaseFunction = void (*)(FILE* out);

// Registers `function` under `name`; returns true (for static registration).
bool addSandboxCase(const char* name, SandboxCaseFunction function);

// Defines and registers a case:  SANDBOX_CASE(scan) { fprintf(out, ...); }
#define SANDBOX_CASE(name)                                                                  \
  static void sandboxCase_##name(FILE* out);                                                \
  [[maybe_unused]] static const bool sandboxCaseAdded_##name =                              \
      addSandboxCase(#name, sandboxCase_##name);                                            \
  static void sandboxCase_##name(FILE* out)
