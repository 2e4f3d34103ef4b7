// setup: the command-line installer of Plix 4.0.
#include "driver/run.h"

int main(int argc, char** argv) { return runSetup(argc, argv); }
