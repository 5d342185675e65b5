// The closed loop over generated units: instrument with the profiler, run
// with the executor, feed the counters back, and compare every weight the
// profiler writes with what the executor saw happen.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/exec/exec_machine.h"
#include "tools/exec/exec_unit.h"

namespace closed_loop {

// A scratch folder removed at destruction.
class SCRATCH_DIR {
public:
    SCRATCH_DIR();
    ~SCRATCH_DIR();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The profiler next to the test binary.
std::string profiler_path();

// Runs the profiler; returns its exit status, standard error in *err.
int run_profiler(const std::string& args, const std::string& err_file, std::string* err);

// Writes the assembled text form to a unit file.
void write_unit(const std::string& text, const std::string& path);

// Counts summed over several runs, by function name.
struct SUMMED_TRACE {
    struct FUNCTION {
        uint64_t calls = 0;
        std::map<std::pair<size_t, uint32_t>, uint64_t> jumps;
        std::map<size_t, uint64_t> falls;
        std::map<const icode::NODE*, std::pair<uint64_t, uint64_t>> arms;
    };
    std::map<std::string, FUNCTION> functions;
    void add(const exec::EXEC_UNIT& unit, const exec::EXEC_TRACE& trace);
};

// How the properties fared over a set of seeds.
struct TALLY {
    int seeds = 0;
    int runs = 0;
    int weights_checked = 0;
    int quests_checked = 0;
    int nested_quests_excluded = 0;         // ?: in a conditional operand or in a ?: condition
    int incomplete_functions_excluded = 0;  // propagation left incomplete by the pass limit
    int counters_checked = 0;
    int switch_fall_through_excluded =
        0;  // functions with a switch whose fall-through is a case target
};

// The whole loop for one generated unit and a few argument pairs; failures
// are reported through gtest with the seed in the message.
void check_seed(uint64_t seed, int functions, int size,
                const std::vector<std::pair<int, int>>& args, TALLY& tally);

// Functions holding a SWITCH without DEFAULT that is followed by the label
// of one of its cases: the profiler counts that edge on the fall-through
// only, so the case transfers into the same block go uncounted.
std::set<std::string> switch_fall_through_into_case(const exec::EXEC_UNIT& unit);

// Checks the weights of an annotated unit against the summed traces of its
// runs, as check_seed does for a generated unit (the profiler's standard
// error names the functions left out; the original unit, the switches).
void check_annotated(const exec::EXEC_UNIT& annotated, const SUMMED_TRACE& trace,
                     const std::string& profiler_stderr, const exec::EXEC_UNIT& original,
                     const std::string& what, TALLY& tally);

// The functions the profiler named in its incomplete-propagation warning.
std::set<std::string> incomplete_functions(const std::string& profiler_stderr);

}  // namespace closed_loop
