// The pieces of icode profile, shared by its subcommands.
#pragma once

#include <string>
#include <vector>

#include "tools/profile/profile_records.h"
#include "tools/profile/unit_counters.h"

struct PROFILE_COMMAND {
    std::vector<std::string> profiles;
    std::string unit;    // --unit, or check's UNIT; empty for none
    std::string output;  // merge's -o
    PROFILE_NAME_MAP names;
};

// Reads the unit (when `unit` is given) and every profile file; false
// after a message on standard error.
bool read_inputs(const PROFILE_COMMAND& c, PROFILE_RECORDS& records, UNIT_COUNTERS* unit);

int check_profiles(const PROFILE_COMMAND& c);
int diff_profiles(const PROFILE_COMMAND& c);
