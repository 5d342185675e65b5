// What icode coverage --unit warns about: a unit that does not belong to the
// table.  The profiler writes the table and the unit's weights in the same
// run from the same counts, so that every branch of an annotated function
// has rows in the table, and a branch's arms add up (as 32-bit counts) to
// the count of the statement that branches, a row of the same function,
// line and column.  A unit of another run, another build or another
// source does not: its branches are named here, one line each.
#include <map>
#include <set>
#include <tuple>

#include "tools/coverage/cmd_coverage.h"

std::vector<std::string> coverage_mismatches(const COVERAGE_TABLE& table,
                                             const std::vector<BRANCH_COUNT>& branches) {
    std::set<std::string> functions;
    std::map<std::tuple<std::string, int, int>, std::set<uint32_t>> counts;
    for (const COVERAGE_ROW& r : table.rows) {
        functions.insert(r.function);
        counts[{r.function, r.line, r.column}].insert(r.count);
    }
    std::vector<std::string> out;
    std::set<std::string> foreign;
    for (const BRANCH_COUNT& b : branches) {
        if (!functions.count(b.function)) {
            if (foreign.insert(b.function).second)
                out.push_back("function " + b.function + " has counts but no rows in the table");
            continue;
        }
        uint32_t sum = 0;
        bool known = true;
        for (const BRANCH_ARM& arm : b.arms) {
            known = known && arm.count >= 0;
            sum += uint32_t(arm.count);
        }
        if (!known) continue;
        const std::string where =
            b.function + " line " + std::to_string(b.line) + ":" + std::to_string(b.column);
        auto rows = counts.find({b.function, b.line, b.column});
        if (rows == counts.end())
            out.push_back(where + ": a branch with no row in the table");
        else if (!rows->second.count(sum))
            out.push_back(where + ": the branch's arms add up to " + std::to_string(sum) +
                          ", which no row of the table counts");
    }
    return out;
}
