// Fuzz target of the analysis table readers: the code-coverage table as
// icode coverage reads it, and the header check the profiler makes before
// it appends to an existing code-coverage or call-graph table.
#include <sstream>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "profmgr/analysis_tables_steps.h"
#include "tools/coverage/cmd_coverage.h"

namespace fuzz {

void table(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::istringstream in(input);
        COVERAGE_TABLE t;
        read_coverage_table(in, t);
    }
    for (ANALYSIS_TABLE kind : {ANALYSIS_TABLE::CODE_COVERAGE, ANALYSIS_TABLE::CALL_GRAPH}) {
        // A header that does not match is a fatal error of the profiler.
        run_in_process([&] {
            std::istringstream in(input);
            check_analysis_header("table.csv", in, kind);
            return 0;
        });
    }
}

}  // namespace fuzz
