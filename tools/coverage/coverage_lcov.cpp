// icode coverage --format lcov: the report as an lcov tracefile, one record
// per source file:
//
//   TN:
//   SF:<source file, or the table's name of it when none was found>
//   FN:<line>,<function>          per function, table order
//   FNDA:<count>,<function>
//   FNF:<functions>  FNH:<functions entered>
//   BRDA:<line>,<branch on the line>,<arm>,<count or ->
//   BRF:<arms>  BRH:<arms taken>
//   DA:<line>,<count>             per line with statements
//   LF:<lines>  LH:<lines hit>
//   end_of_record
#include <ostream>

#include "tools/coverage/cmd_coverage.h"

void write_coverage_lcov(const COVERAGE_REPORT& report, std::ostream& out) {
    for (const FILE_COVERAGE& f : report.files) {
        out << "TN:\nSF:" << (f.source.empty() ? f.name : f.source) << "\n";
        for (const FUNCTION_COVERAGE& fn : f.functions)
            out << "FN:" << fn.line << "," << fn.name << "\n";
        for (const FUNCTION_COVERAGE& fn : f.functions)
            out << "FNDA:" << fn.count << "," << fn.name << "\n";
        out << "FNF:" << f.totals.functions << "\nFNH:" << f.totals.functions_hit << "\n";
        for (const auto& [n, l] : f.lines) {
            for (std::size_t b = 0; b < l.branches.size(); ++b) {
                const std::vector<BRANCH_ARM>& arms = l.branches[b]->arms;
                for (std::size_t a = 0; a < arms.size(); ++a) {
                    out << "BRDA:" << n << "," << b << "," << a << ",";
                    // "-": the branch's line never ran; a known count otherwise.
                    if (arms[a].count < 0 && !l.executed)
                        out << "-";
                    else
                        out << (arms[a].count < 0 ? 0 : arms[a].count);
                    out << "\n";
                }
            }
        }
        out << "BRF:" << f.totals.branches << "\nBRH:" << f.totals.branches_hit << "\n";
        for (const auto& [n, l] : f.lines)
            if (l.has_statement) out << "DA:" << n << "," << l.count << "\n";
        out << "LF:" << f.totals.lines << "\nLH:" << f.totals.lines_hit << "\nend_of_record\n";
    }
}
