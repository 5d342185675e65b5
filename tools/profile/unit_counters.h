// The counters that instrumenting a unit gives each of its functions, as
// the profiler numbers them: what profile records of the unit must hold.
#pragma once

#include <string>
#include <vector>

struct FUNCTION_COUNTERS {
    std::string function;
    std::string key;  // the profile key: canonical unit path, "/", function
    // One name per counter: "entry", the chord's edge "L0->L2", or
    // "?: true arm" for a conditional expression's counter.
    std::vector<std::string> counters;
};

struct UNIT_COUNTERS {
    std::string unit_name;                     // as the unit's header names it
    std::string key_prefix;                    // canonical path of the unit name and "/"
    std::vector<FUNCTION_COUNTERS> functions;  // in unit order
    // The function whose key is `key`; null for none.
    const FUNCTION_COUNTERS* find(const std::string& key) const;
};

// Reads the unit; false with a message when it is not one.
bool read_unit_counters(const std::string& path, UNIT_COUNTERS& unit, std::string* error);
