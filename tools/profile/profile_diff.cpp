// icode profile diff A B [--unit UNIT]: how two profile data files differ.
//
//   function KEY: total 120 -> 150 (+30)
//     2 L0->L3: 5 -> 7 (+2)            the counters that changed; their
//                                      edges named with --unit
//   function KEY: 4 counters in A, 5 in B
//   only in A: KEY
//   only in B: KEY
//   overlap 93.4%
//
// A function's counters are the group of records with the most records
// (with --unit: the group with the function's number of counters).  The
// overlap is the sum, over the counters of the functions in both, of the
// smaller of the counter's share of all counters of A and of B: 100% for
// files that differ only in scale, 0% for files with nothing in common.
#include <iostream>

#include "tools/profile/profile_commands.h"

namespace {

const RECORD_GROUP* chosen_group(const FUNCTION_RECORDS& f, const FUNCTION_COUNTERS* fn) {
    if (fn) return f.group(fn->counters.size());
    return &f.main_group();
}

uint64_t total(const DATA_SET& values) {
    uint64_t sum = 0;
    for (uint32_t v : values) sum += v;
    return sum;
}

std::string signed_text(int64_t delta) { return (delta >= 0 ? "+" : "") + std::to_string(delta); }

}  // namespace

int diff_profiles(const PROFILE_COMMAND& c) {
    UNIT_COUNTERS unit;
    PROFILE_RECORDS a, b;
    PROFILE_COMMAND first = c, second = c;
    first.profiles = {c.profiles[0]};
    second.profiles = {c.profiles[1]};
    second.unit.clear();
    if (!read_inputs(first, a, c.unit.empty() ? nullptr : &unit) ||
        !read_inputs(second, b, nullptr))
        return 1;
    auto find = [&](const std::string& key) { return c.unit.empty() ? nullptr : unit.find(key); };
    uint64_t sum_a = 0, sum_b = 0;
    for (const auto& [key, f] : a)
        if (const RECORD_GROUP* g = chosen_group(f, find(key))) sum_a += total(g->sums);
    for (const auto& [key, f] : b)
        if (const RECORD_GROUP* g = chosen_group(f, find(key))) sum_b += total(g->sums);
    double overlap = 0;
    for (const auto& [key, fa] : a) {
        auto it = b.find(key);
        if (it == b.end()) continue;
        const FUNCTION_COUNTERS* fn = find(key);
        const RECORD_GROUP* ga = chosen_group(fa, fn);
        const RECORD_GROUP* gb = chosen_group(it->second, fn);
        if (!ga || !gb) {
            std::cout << "function " << key << ": no records of the unit's " << fn->counters.size()
                      << " counters in " << (ga ? "B" : "A") << "\n";
            continue;
        }
        if (ga->counters != gb->counters) {
            std::cout << "function " << key << ": " << ga->counters << " counters in A, "
                      << gb->counters << " in B\n";
            continue;
        }
        uint64_t ta = total(ga->sums), tb = total(gb->sums);
        std::cout << "function " << key << ": total " << ta << " -> " << tb << " ("
                  << signed_text(int64_t(tb) - int64_t(ta)) << ")\n";
        for (std::size_t i = 0; i < ga->sums.size(); ++i) {
            uint32_t va = ga->sums[i], vb = gb->sums[i];
            if (sum_a && sum_b)
                overlap += std::min(double(va) / double(sum_a), double(vb) / double(sum_b));
            if (va == vb) continue;
            std::cout << "  " << i;
            if (fn) std::cout << " " << fn->counters[i];
            std::cout << ": " << va << " -> " << vb << " ("
                      << signed_text(int64_t(vb) - int64_t(va)) << ")\n";
        }
    }
    for (const auto& [key, f] : a)
        if (!b.count(key)) std::cout << "only in A: " << key << "\n";
    for (const auto& [key, f] : b)
        if (!a.count(key)) std::cout << "only in B: " << key << "\n";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f%%", 100.0 * overlap);
    std::cout << "overlap " << buf << "\n";
    return 0;
}
