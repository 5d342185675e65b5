// icode profile check UNIT PRF...: what the profiler would do with the
// records quietly, said out loud, one line each:
//
//   stale KEY: N records of C counters; the unit's function has E
//       (the profiler reports them and leaves them out of the sums)
//   foreign KEY: N records match no function of UNIT
//       (records of other sources or functions: never read)
//   missing FUNCTION: no record
//       (the profiler warns that the function has no profile data)
//   empty PRF: no records
//
// then "N functions matched by M records" or the number of problems.
// Status 1 when there is any problem.
#include <iostream>
#include <set>

#include "tools/profile/profile_commands.h"

int check_profiles(const PROFILE_COMMAND& c) {
    UNIT_COUNTERS unit;
    PROFILE_RECORDS records;
    PROFILE_COMMAND none = c;
    none.profiles.clear();
    if (!read_inputs(none, records, &unit)) return 1;
    unsigned problems = 0;
    for (const std::string& path : c.profiles) {
        PROFILE_RECORDS one;
        PROFILE_COMMAND single = c;
        single.profiles = {path};
        if (!read_inputs(single, one, nullptr)) return 1;
        if (one.empty()) {
            std::cout << "empty " << path << ": no records\n";
            ++problems;
        }
        for (auto& [key, f] : one) {
            FUNCTION_RECORDS& all = records[key];
            for (RECORD_GROUP& g : f.groups) {
                RECORD_GROUP* same = nullptr;
                for (RECORD_GROUP& candidate : all.groups)
                    if (candidate.counters == g.counters) same = &candidate;
                if (!same) {
                    all.groups.push_back(g);
                    continue;
                }
                same->records += g.records;
                for (std::size_t i = 0; i < g.sums.size(); ++i) same->sums[i] += g.sums[i];
            }
        }
    }
    unsigned matched = 0;
    std::set<std::string> with_data;
    for (const auto& [key, f] : records) {
        const FUNCTION_COUNTERS* fn = unit.find(key);
        if (!fn) {
            std::cout << "foreign " << key << ": " << f.records()
                      << (f.records() == 1 ? " record matches" : " records match")
                      << " no function of " << c.unit << "\n";
            ++problems;
            continue;
        }
        for (const RECORD_GROUP& g : f.groups) {
            if (g.counters == fn->counters.size()) {
                matched += g.records;
                with_data.insert(key);
                continue;
            }
            std::cout << "stale " << key << ": " << g.records << " record"
                      << (g.records == 1 ? "" : "s") << " of " << g.counters
                      << " counters; the unit's function has " << fn->counters.size() << "\n";
            ++problems;
        }
    }
    for (const FUNCTION_COUNTERS& fn : unit.functions) {
        if (records.count(fn.key)) continue;
        std::cout << "missing " << fn.function << ": no record\n";
        ++problems;
    }
    if (problems) {
        std::cout << problems << (problems == 1 ? " problem" : " problems") << "\n";
        return 1;
    }
    std::cout << with_data.size() << " of " << unit.functions.size() << " functions matched by "
              << matched << " records\n";
    return 0;
}
