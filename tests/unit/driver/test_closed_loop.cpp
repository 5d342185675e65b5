// The closed loop over many generated units and over the C programs of
// tests/c: instrumenting (and lowering) changes no result, and every
// weight written from the summed counters of several runs equals what
// those runs did.  TRELV_LONG=1 runs many more seeds and larger units.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "test_closed_loop_support.h"
#include "tools/cc/cc_compile.h"
#include "tools/gen/gen_program.h"

namespace {

using closed_loop::TALLY;

bool long_mode() {
    const char* v = std::getenv("TRELV_LONG");
    return v && *v && std::string(v) != "0";
}

void report(const char* name, const TALLY& t) {
    std::cout << name << ": " << t.units << " units, " << t.runs << " runs, " << t.weights
              << " branch weights, " << t.quests << " ?: weights, " << t.excluded << " left out\n";
}

class ClosedLoop : public ::testing::TestWithParam<int> {};

TEST_P(ClosedLoop, GeneratedUnits) {
    const int per_block = long_mode() ? 500 : 40;
    TALLY tally;
    for (int i = 0; i < per_block && !HasFailure(); ++i) {
        const uint64_t seed = uint64_t(GetParam()) * 100000 + uint64_t(i);
        const int a = int(seed % 23) - 11, b = int(seed % 7);
        const std::pair<int, int> args[] = {
            {a, b}, {b * 3 - 5, -a}, {int(seed % 101), int(seed % 13) - 6}};
        SCRATCH_DIR dir;
        gen::GEN_OPTIONS options;
        options.seed = seed;
        options.functions = 2 + int(seed % 4);
        options.size = 6 + int(seed % 17) + (long_mode() ? int(seed % 40) : 0);
        options.unit_name = dir.file("gen.c");  // absolute: the profile keys match from anywhere
        std::string text;
        gen::generate_text(options, text);
        closed_loop::write_unit(text, dir.file("g.icode"));
        closed_loop::check_unit(
            dir, "seed " + std::to_string(seed), 3,
            [&](exec::EXEC_MACHINE& m, int run) {
                return m.call("main", {args[run].first, args[run].second}).text();
            },
            tally);
    }
    report("closed loop", tally);
    EXPECT_GT(tally.weights, 0);
    EXPECT_GT(tally.quests, 0);
}

INSTANTIATE_TEST_SUITE_P(SeedBlocks, ClosedLoop, ::testing::Range(0, 6));

TEST(ClosedLoopC, Programs) {
    if (!cc::front_end_available()) GTEST_SKIP() << "no C front end in this build";
    std::vector<std::string> sources;
    for (const auto& e :
         std::filesystem::directory_iterator(std::string(TRELV_SOURCE_DIR) + "/tests/c"))
        if (e.path().extension() == ".c") sources.push_back(e.path().string());
    std::sort(sources.begin(), sources.end());
    const std::vector<std::string> words[] = {{"prog"}, {"prog", "12", "-7"}, {"prog", "abc"}};
    TALLY tally;
    for (const std::string& source : sources) {
        SCRATCH_DIR dir;
        cc::CC_OPTIONS options;
        options.source = source;
        options.output = dir.file("g.icode");
        ASSERT_EQ(cc::compile(options), 0) << source;
        closed_loop::check_unit(
            dir, source, 3,
            [&](exec::EXEC_MACHINE& m, int run) {
                std::ostringstream out, err;
                std::istringstream in;
                m.set_streams(&out, &err, &in);
                const int status = m.run_program(words[run]);
                return out.str() + err.str() + "status " + std::to_string(status);
            },
            tally);
    }
    report("closed loop on C", tally);
    EXPECT_GE(tally.units, 7);
    EXPECT_GT(tally.weights, 100);
}

}  // namespace
