// The I-code side of one run, as the entry point sees it: open the input
// unit, create the type package, open the output unit, read the unit, write
// the initializers, close both units.  Each step is a hook so that the I-code
// reader and writer plug in here, and tests can drive the entry point with
// string lists of their own.  A step without a hook is not part of the run.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "icode/symtab.h"

// One string list of the input unit (options stored with the unit), as the
// reader gives it; its id is not used by the run.
using STRING_LIST = icode::StringListEntry;
using STRING_LISTS = std::vector<STRING_LIST>;

struct UNIT_RUN {
    // Returns the input unit's string lists; failures end the process.
    std::function<STRING_LISTS(const std::string& input_name)> open_input;
    std::function<void()> create_type_package;
    std::function<void(const std::string& output_name)> open_output;
    std::function<void()> read_unit;
    std::function<void()> write_initializers;
    std::function<void()> close_units;
};

// Opens the input file for reading in binary mode.  On failure prints
// "\n>> Cannot Open Input icode File, <reason> : <name>, Aborting\n" on the
// error stream and ends the process with status 1.
std::FILE* open_input_file(const std::string& name);

// The steps of this program: the I-code reader and writer with the profile
// manager (defined with them, in icode_unit_run.cpp).
UNIT_RUN& unit_run();

// Releases the units of a run and restores the default steps.
void reset_unit_run();
