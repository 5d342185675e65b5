// The static description of this program's options: names, value kinds,
// enumerations and the conflict matrix.
#pragma once

#include "profmgr/analysis_tables.h"

// Option numbers; every part of the system refers to options by these.
// Numbers 3, 6, 9 and 16 have no accepted name and are never set.
enum OPTION_NUMBER : int {
    OPT_ADVICE_PERFORMANCE = 0,
    OPT_ANALYZE = 1,
    OPT_ANALYZE_ONLY = 2,
    OPT_UNNAMED_3 = 3,
    OPT_CODECOV = 4,
    OPT_DEBUG = 5,
    OPT_UNNAMED_6 = 6,
    OPT_DIAG_WRAP = 7,
    OPT_DISABLE = 8,
    OPT_UNNAMED_9 = 9,
    OPT_GEN_PROFILE_INFO = 10,
    OPT_HELP = 11,
    OPT_ONLYCODECOV = 12,
    OPT_SECTION_SIZES = 13,
    OPT_TOOLVERSION = 14,
    OPT_USE_PROFILE_INFO = 15,
    OPT_UNNAMED_16 = 16,
    OPT_COUNT = 17,
};

// What values an option takes.
enum OPTION_KIND : int {
    KIND_NO_ARGS = 0,
    KIND_STRING = 1,
    KIND_NUMBER = 2,
    KIND_HEXNUM = 3,
    KIND_ENUMERATED = 4,
    KIND_STRING_LIST = 5,
    KIND_NUMBER_LIST = 6,
    KIND_ONEOF_LIST = 7,
};

// Values of the enumerated options.
enum OPTION_ENUM_VALUE : long {
    DIAG_WRAP_OFF = 3,
    DIAG_WRAP_ON = 4,
    SECTION_SIZES_OFF = 5,
    SECTION_SIZES_ON = 6,
};

// One {name, number} pair of an enumeration.  The name's first character is
// a marker ("+" for every value here) and not part of the name; a table ends
// with a null name.
// The values of --analyze are the option values of the analysis table kinds;
// this is the number each stands for.
inline long analyze_number(ANALYSIS_TABLE table) { return long(table) + 1; }

struct OPTION_ENUM {
    const char* name;
    long number;
};

struct OPTION_DESC {
    const char* name;          // accepted name after the two dashes; null when none
    const char* display_name;  // how messages name the option
    const char* param_name;    // the parameter in the missing-parameter message
    OPTION_KIND kind;
    const OPTION_ENUM* values;  // enumerated kinds only
    bool persistent;            // persistent options survive clearing
};

// The description of option `n` (0 to 16).
const OPTION_DESC& option_desc(int n);

// What applying option `row` does to an already enabled option `column`.
enum CONFLICT_ACTION : int {
    CONFLICT_NONE = 0,
    CONFLICT_CLEAR_QUIETLY = 1,
    CONFLICT_OVERRIDE = 2,
    CONFLICT_ERROR = 3,
};
CONFLICT_ACTION conflict_action(int row, int column);
