// The closed loop on real C: each program of tests/c is compiled with
// icode cc, instrumented, run with the executor (its output kept aside)
// and annotated from the summed counters; every weight the profiler writes
// must equal the transfers the annotated unit makes on the same runs.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <sstream>

#include "../test_closed_loop_support.h"
#include "tools/cc/cc_compile.h"
#include "tools/exec/exec_profile.h"

namespace {

using closed_loop::SCRATCH_DIR;
using closed_loop::TALLY;

std::vector<std::string> c_programs() {
    std::vector<std::string> out;
    const std::string dir = std::string(TRELV_SOURCE_DIR) + "/tests/c";
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 2 && n.compare(n.size() - 2, 2, ".c") == 0) out.push_back(dir + "/" + n);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Runs main once per argument set; the program's output is kept out of the
// test's own.
bool run_all(const exec::EXEC_UNIT& unit, const std::vector<std::vector<std::string>>& runs,
             const std::string& what, const std::function<void(exec::EXEC_MACHINE&)>& after) {
    for (const auto& words : runs) {
        exec::EXEC_MACHINE m(unit, 50000000);
        std::ostringstream out, err;
        std::istringstream in;
        m.set_streams(&out, &err, &in);
        try {
            m.run_program(words);
        } catch (const exec::EXEC_ERROR& e) {
            ADD_FAILURE() << what << ": " << e.what();
            return false;
        }
        after(m);
    }
    return true;
}

TEST(ClosedLoopC, WeightsEqualWhatHappened) {
    if (!cc::front_end_available()) GTEST_SKIP() << "no C front end in this build";
    const std::vector<std::vector<std::string>> runs = {
        {"prog"}, {"prog", "12", "-7"}, {"prog", "abc"}};
    TALLY tally;
    for (const std::string& source : c_programs()) {
        SCRATCH_DIR dir;
        const std::string original = dir.file("c.icode"), instrumented = dir.file("i.icode"),
                          annotated = dir.file("a.icode"), profile = dir.file("p.prf"),
                          err_file = dir.file("err.txt");
        cc::CC_OPTIONS options;
        options.source = source;
        options.output = original;
        ASSERT_EQ(cc::compile(options), 0) << source;
        std::string err, error;
        ASSERT_EQ(closed_loop::run_profiler(original + " " + instrumented + " --gen_profile_info",
                                            err_file, &err),
                  0)
            << source << "\n"
            << err;
        exec::EXEC_UNIT orig, inst;
        ASSERT_TRUE(orig.load(original, &error)) << error;
        ASSERT_TRUE(inst.load(instrumented, &error)) << error;
        ASSERT_TRUE(run_all(inst, runs, source, [&](exec::EXEC_MACHINE& m) {
            EXPECT_TRUE(exec::append_profile(profile, inst, m, &error)) << error;
            ++tally.runs;
        }));
        ASSERT_EQ(closed_loop::run_profiler(original + " " + annotated + " --use_profile_info=" +
                                                profile + " --debug:profile=2",
                                            err_file, &err),
                  0)
            << source << "\n"
            << err;
        exec::EXEC_UNIT ann;
        ASSERT_TRUE(ann.load(annotated, &error)) << error;
        closed_loop::SUMMED_TRACE summed;
        ASSERT_TRUE(
            run_all(ann, runs, source, [&](exec::EXEC_MACHINE& m) { summed.add(ann, m.trace()); }));
        closed_loop::check_annotated(ann, summed, err, orig, source, tally);
        ++tally.seeds;
    }
    EXPECT_GE(tally.seeds, 7);
    EXPECT_GT(tally.weights_checked, 100);
    std::cout << "closed loop on C: " << tally.seeds << " programs, " << tally.runs << " runs, "
              << tally.weights_checked << " branch weights, " << tally.quests_checked
              << " ?: weights; excluded: " << tally.nested_quests_excluded << " nested ?:, "
              << tally.incomplete_functions_excluded << " incomplete functions\n";
}

}  // namespace
