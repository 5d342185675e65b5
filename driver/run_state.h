// The run-wide state of the entry point: the command line, the cursor that
// the scan and next_argument share, the file names and the option sets.
#pragma once

#include <string>
#include <vector>

#include "driver/optobj.h"

struct RUN_STATE {
    int argc = 0;
    char** argv = nullptr;
    int cursor = 1;  // index of the next command-line word
    std::string program_name = "<toolname>";
    // Names are kept whole: a name longer than the system accepts fails
    // when the file is opened, with the system's own reason, instead of
    // being cut to another, possibly existing, name.
    std::string input_name;
    std::string output_name;
    OPTION_OBJ command_line;
    std::vector<OPTION_OBJ> option_sets;  // one per string list of the unit
};

// The one run state of the process, and its reset (back to a fresh run).
RUN_STATE& run_state();
void reset_run_state();

// The command-line word at the cursor, advancing it; null at the end.
const char* next_argument();

// The option set that governs the run (the first of the option sets); an
// empty set until the sets are built.
const OPTION_OBJ& current_options();

// Makes `sets` the run's option sets; the first becomes the current one.
void install_option_sets(std::vector<OPTION_OBJ> sets);
