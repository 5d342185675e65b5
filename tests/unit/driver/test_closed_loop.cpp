// The closed loop over many generated units: instrumenting changes no
// result, every counter counts a transfer, and every weight written from
// the summed counters of several runs equals what those runs did.
// TRELV_LONG=1 runs many more seeds and larger units.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "test_closed_loop_support.h"

namespace {

using closed_loop::TALLY;

bool long_mode() {
    const char* v = std::getenv("TRELV_LONG");
    return v && *v && std::string(v) != "0";
}

std::vector<std::pair<int, int>> argument_sets(uint64_t seed) {
    int a = int(seed % 23) - 11, b = int(seed % 7);
    return {{a, b}, {b * 3 - 5, -a}, {int(seed % 101), int(seed % 13) - 6}};
}

void report(const char* name, const TALLY& t) {
    std::cout << name << ": " << t.seeds << " seeds, " << t.runs << " runs, " << t.weights_checked
              << " branch weights, " << t.quests_checked << " ?: weights, " << t.counters_checked
              << " counters; excluded: " << t.nested_quests_excluded
              << " ?: inside a conditional operand or a ?: condition, "
              << t.incomplete_functions_excluded << " functions with incomplete propagation, "
              << t.switch_fall_through_excluded
              << " functions with a switch falling through into a case\n";
}

class ClosedLoop : public ::testing::TestWithParam<int> {};

TEST_P(ClosedLoop, WeightsEqualWhatHappened) {
    const int block = GetParam();
    const int per_block = long_mode() ? 500 : 40;
    TALLY tally;
    for (int i = 0; i < per_block && !HasFailure(); ++i) {
        uint64_t seed = uint64_t(block) * 100000 + uint64_t(i);
        int functions = 2 + int(seed % 4);
        int size = 6 + int(seed % 17) + (long_mode() ? int(seed % 40) : 0);
        closed_loop::check_seed(seed, functions, size, argument_sets(seed), tally);
    }
    report("closed loop", tally);
    EXPECT_GT(tally.weights_checked, 0);
    EXPECT_GT(tally.quests_checked, 0);
}

INSTANTIATE_TEST_SUITE_P(SeedBlocks, ClosedLoop, ::testing::Range(0, 6));

}  // namespace
