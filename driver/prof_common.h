// Entry point of the path profiler and the order of one run.
#pragma once

// Runs the profiler on a command line; returns the exit status of a complete
// run (failures end the process from inside the failing step).
int trelv_main(int argc, char** argv);
