// Entry point of the path profiler and the order of one run.
#pragma once

#include "driver/unit_run.h"

// Runs the profiler on a command line; returns the exit status of a complete
// run (failures end the process from inside the failing step).
int trelv_main(int argc, char** argv);

// The same run with the I-code steps taken from `run`.  The run state, flag
// table and diagnostic settings are process-wide; reset them between runs
// in one process.
int trelv_run(int argc, char** argv, UNIT_RUN& run);

// The first thing a run does: scans the command line into the command-line
// option set and the positional file names of the run state.
void scan_command_line(int argc, char** argv);
