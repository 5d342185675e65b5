// icode coverage's report model on hand-made tables: the totals every
// format prints and the missing-line ranges (the formats themselves are
// checked by the black-box tests of the analysis).
#include <gtest/gtest.h>

#include <sstream>

#include "tools/coverage/cmd_coverage.h"

namespace {

COVERAGE_REPORT report_of(const std::vector<std::pair<int, uint32_t>>& lines,  // f's lines
                          std::vector<BRANCH_COUNT> branches = {}) {
    COVERAGE_TABLE table;
    for (auto [line, count] : lines) {
        COVERAGE_ROW r;
        r.file = "/nowhere/t.c";
        r.function = line < 0 ? "g" : "f";
        r.line = line < 0 ? -line : line;
        r.count = count;
        table.rows.push_back(r);
    }
    for (BRANCH_COUNT& b : branches) b.function = "f", b.file = "/nowhere/t.c", b.line = 3;
    COVERAGE_OPTIONS options;
    options.table_name = "t.csv";
    options.with_branches = true;
    return build_coverage_report(table, branches, options);
}

TEST(CoverageReport, TotalsCountLinesFunctionsAndArms) {
    // f: line 3 twice (the larger count wins), line 4 never; g (line 8)
    // never entered.  A known arm of 0 and an arm without a count are not
    // taken.
    BRANCH_COUNT two, three;
    two.arms = {{"true", 4}, {"false", 0}};
    three.arms = {{"case 1", 2}, {"case 2", -1}, {"default", 2}};
    const COVERAGE_REPORT report = report_of({{3, 4}, {3, 9}, {4, 0}, {-8, 0}}, {two, three});
    ASSERT_EQ(report.files.size(), 1u);
    const COVERAGE_TOTALS& t = report.totals;
    EXPECT_EQ(std::vector<unsigned>({t.statements, t.statements_hit, t.lines, t.lines_hit,
                                     t.functions, t.functions_hit, t.branches, t.branches_hit}),
              std::vector<unsigned>({4, 2, 3, 1, 2, 1, 5, 3}));
    EXPECT_EQ(report.files[0].lines.at(3).count, 9u);
    EXPECT_EQ(report.files[0].functions.at(0).count, 4u) << "entries: the first row's count";
}

TEST(CoverageReport, MissingLinesComeAsRangesOfLinesWithStatements) {
    const struct {
        std::vector<std::pair<int, uint32_t>> lines;
        std::string missing;  // "" for no line
    } cases[] = {
        {{{1, 1}, {2, 1}}, ""},
        {{{1, 0}}, "missing lines 1\n"},
        // Lines without statements between two missing lines join them.
        {{{2, 0}, {5, 0}, {7, 1}, {9, 0}}, "missing lines 2-5, 9\n"},
        {{{1, 0}, {2, 1}, {3, 0}, {4, 0}, {2000000000, 0}}, "missing lines 1, 3-2000000000\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        write_coverage_text(report_of(c.lines), out);
        const std::string text = out.str();
        const std::size_t at = text.find("missing lines");
        EXPECT_EQ(at == std::string::npos ? "" : text.substr(at, text.find('\n', at) + 1 - at),
                  c.missing)
            << text;
        EXPECT_LT(text.size(), 1000u) << "one report line per line with statements";
    }
}

}  // namespace
