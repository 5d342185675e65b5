// The records of profile data files as the profiler would read them, for
// the icode profile tools.  The files are parsed by the profiler's own
// reader (PROFILE_DATA_FILE), so that a function gets exactly the data sets
// a run would give it: records are matched by the canonical path of their
// name line's folder, taken relative to the current folder.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "profiling/data_sets.h"

// How record names are rewritten before they are matched, for data that
// was collected in another build tree: a name that starts with
// strip_prefix and "/" loses that start, and a relative name (after that)
// is taken relative to relative_to instead of the current folder.
struct PROFILE_NAME_MAP {
    std::string strip_prefix;
    std::string relative_to;
};

// The records of one function: its data sets grouped by their number of
// counters, groups in the order their first record came, sums wrapping as
// 32-bit counts do (as the profiler sums them).
struct RECORD_GROUP {
    std::size_t counters = 0;
    unsigned records = 0;
    DATA_SET sums;
};
struct FUNCTION_RECORDS {
    std::vector<RECORD_GROUP> groups;
    unsigned records() const;
    // The group of `counters` counters; null for none.
    const RECORD_GROUP* group(std::size_t counters) const;
    // The group with the most records (the first of them): the one a
    // function of the same data most likely has.
    const RECORD_GROUP& main_group() const;
};

// Per profile key (canonical path, "/", function), in byte order.
using PROFILE_RECORDS = std::map<std::string, FUNCTION_RECORDS>;

// Adds the records of a file; false with a message when it cannot be read.
bool read_profile_records(const std::string& path, const PROFILE_NAME_MAP& names,
                          PROFILE_RECORDS& records, std::string* error);

// The function part of a key (after its last "/").
std::string key_function(const std::string& key);

// Writes records as profile data: per group a name line (the key), the
// number of counters, then the values, 16 to a line.
void write_profile_records(const PROFILE_RECORDS& records, std::string& out);
