// setup: the command-line installer of Plix 4.0.
#include <csignal>

#include "driver/run.h"

int main(int argc, char** argv) {
  // A write beyond the file-size limit must fail like any other failed write, so that
  // the writer keeps the old file and reports it; by default the signal kills setup.
  signal(SIGXFSZ, SIG_IGN);
  return runSetup(argc, argv);
}
