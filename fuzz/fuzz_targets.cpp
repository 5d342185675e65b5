// The table of fuzz targets, by name.
#include "fuzz/fuzz_targets.h"

namespace fuzz {

const TARGET* find_target(const std::string& name) {
    static const TARGET targets[] = {
        {"reader", reader, true}, {"instrument", instrument, true}, {"profile", profile, false},
        {"text", text, false},    {"table", table, false},          {"run", run, true},
    };
    for (const TARGET& t : targets)
        if (name == t.name) return &t;
    return nullptr;
}

}  // namespace fuzz
