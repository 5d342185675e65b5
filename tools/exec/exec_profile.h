// Writing the counters arrays of an executed unit as profile data, in the
// form the profiler reads with --use_profile_info: per array a name line
// "CANONICAL-UNIT-PATH/FUNCTION", then the number of counters, then the
// values, separated by blanks.  The file is opened for appending, so the
// records of several runs collect in one file and the profiler sums them.
#pragma once

#include <string>

#include "tools/exec/exec_machine.h"
#include "tools/exec/exec_unit.h"

namespace exec {

// The records as text, arrays in symbol order.
std::string profile_records(const EXEC_UNIT& unit, const EXEC_MACHINE& machine);

// Appends the records to a file; false with a message when it cannot.
bool append_profile(const std::string& path, const EXEC_UNIT& unit, const EXEC_MACHINE& machine,
                    std::string* error);

}  // namespace exec
