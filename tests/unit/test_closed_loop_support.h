// The closed loop: instrument a unit with the profiler, run it with the
// executor, feed the counters back, and compare every weight the profiler
// writes with what the executor saw happen.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "test_scratch_dir.h"
#include "tools/exec/exec_machine.h"
#include "tools/exec/exec_unit.h"

namespace closed_loop {

// Runs the profiler next to the test binary; returns its exit status, its
// standard error in *err.
int run_profiler(const std::string& args, const std::string& err_file, std::string* err);

// Writes the assembled text form to a unit file.
void write_unit(const std::string& text, const std::string& path);

// How the properties fared.
struct TALLY {
    int units = 0, runs = 0, weights = 0, quests = 0;
    int excluded = 0;  // ?: under a condition, incomplete functions, switches into cases
};

// One run of a loaded unit; returns what the run gave (its result, its
// output), which instrumenting and lowering must not change.
using RUN = std::function<std::string(exec::EXEC_MACHINE&, int run)>;

// The whole loop on dir/g.icode for `runs` runs; failures are reported
// through gtest with `what` in the message.
void check_unit(const SCRATCH_DIR& dir, const std::string& what, int runs, const RUN& run,
                TALLY& tally);

}  // namespace closed_loop
