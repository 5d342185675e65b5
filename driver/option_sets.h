// The options of a run once the input unit is open: the option sets built
// from the unit's string lists and the command line, the flag levels
// recorded from them, and, once the output unit is open too, the diagnostic
// visibility that the profile debug level selects.
#pragma once

#include <vector>

#include "driver/optobj.h"
#include "driver/unit_run.h"

// One option set per string list (one in all when there are none): the
// list's strings parsed in order, then the command line re-applied on top so
// that its options win.  Every set takes its next-word source and program
// name from the command-line set.
std::vector<OPTION_OBJ> build_option_sets(const OPTION_OBJ& command_line,
                                          const STRING_LISTS& lists);

// Parses the command line's re-application texts into `target`.
void reapply(const OPTION_OBJ& command_line, OPTION_OBJ& target);

// add_flags for every --debug: value, then every --disable: value, of `set`.
void record_flags(const OPTION_OBJ& set);

// Debug diagnostics shown above level 2, warnings above level 1 (hidden
// otherwise), remarks switched on above level 0, where the level is that of
// "debug:profile".
void set_visibility_from_debug_level();
