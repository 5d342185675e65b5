#include "tools/exec/exec_profile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "profmgr/profile_data_path.h"

namespace exec {

std::string profile_records(const EXEC_UNIT& unit, const EXEC_MACHINE& machine) {
    std::string out;
    const std::string path = canonical_path(unit.unit_name());
    for (const EXEC_COUNTERS& c : unit.counters_arrays()) {
        std::vector<uint32_t> values = machine.counter_values(c);
        out += path + "/" + c.function + "\n" + std::to_string(values.size()) + "\n";
        for (size_t i = 0; i < values.size(); ++i) {
            out += std::to_string(values[i]);
            out += (i + 1 == values.size() || i % 16 == 15) ? "\n" : " ";
        }
    }
    return out;
}

bool append_profile(const std::string& path, const EXEC_UNIT& unit, const EXEC_MACHINE& machine,
                    std::string* error) {
    std::string text = profile_records(unit, machine);
    FILE* f = std::fopen(path.c_str(), "a");
    if (!f) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) *error = path + ": write failed";
    return ok;
}

}  // namespace exec
