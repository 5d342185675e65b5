// icode coverage's report model and its exports on hand-made tables: the
// totals every format prints, the missing-line ranges, and the lcov and
// Cobertura records of a file whose source is not found.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/coverage/cmd_coverage.h"

namespace {

COVERAGE_ROW row(const std::string& function, int line, uint32_t count) {
    COVERAGE_ROW r;
    r.file = "/nowhere/t.c";
    r.function = function;
    r.line = line;
    r.column = 5;
    r.count = count;
    return r;
}

BRANCH_COUNT branch(const std::string& function, int line, std::vector<BRANCH_ARM> arms) {
    BRANCH_COUNT b;
    b.function = function;
    b.file = "/nowhere/t.c";
    b.line = line;
    b.column = 5;
    b.condition = "x";
    b.arms = std::move(arms);
    return b;
}

struct REPORT {
    COVERAGE_TABLE table;
    std::vector<BRANCH_COUNT> branches;
    COVERAGE_REPORT build() const {
        COVERAGE_OPTIONS options;
        options.table_name = "t.csv";
        options.with_branches = true;
        return build_coverage_report(table, branches, options);
    }
};

std::string text_of(const REPORT& r) {
    std::ostringstream out;
    write_coverage_text(r.build(), out);
    return out.str();
}

}  // namespace

TEST(CoverageReport, TotalsCountLinesFunctionsAndArms) {
    REPORT r;
    // f: lines 3 (twice: the larger count wins), 4 never; g never entered.
    r.table.rows = {row("f", 3, 4), row("f", 3, 9), row("f", 4, 0), row("g", 8, 0)};
    // A known arm of 0 and an arm without a count are not taken.
    r.branches = {branch("f", 3, {{"true", 4}, {"false", 0}}),
                  branch("f", 3, {{"case 1", 2}, {"case 2", -1}, {"default", 2}})};
    COVERAGE_REPORT report = r.build();
    ASSERT_EQ(report.files.size(), 1u);
    const COVERAGE_TOTALS& t = report.totals;
    EXPECT_EQ(t.statements, 4u);
    EXPECT_EQ(t.statements_hit, 2u);
    EXPECT_EQ(t.lines, 3u);
    EXPECT_EQ(t.lines_hit, 1u);
    EXPECT_EQ(t.functions, 2u);
    EXPECT_EQ(t.functions_hit, 1u);
    EXPECT_EQ(t.branches, 5u);
    EXPECT_EQ(t.branches_hit, 3u);
    EXPECT_EQ(report.files[0].lines.at(3).count, 9u);
    EXPECT_EQ(report.files[0].functions.at(0).count, 4u) << "entries: the first row's count";
}

TEST(CoverageReport, MissingLinesComeAsRangesOfLinesWithStatements) {
    struct CASE {
        std::vector<std::pair<int, uint32_t>> rows;  // line, count
        std::string missing;                         // "" for no line
    };
    const CASE cases[] = {
        {{{1, 1}, {2, 1}}, ""},
        {{{1, 0}}, "missing lines 1\n"},
        // Lines without statements between two missing lines join them.
        {{{2, 0}, {5, 0}, {7, 1}, {9, 0}}, "missing lines 2-5, 9\n"},
        {{{1, 0}, {2, 1}, {3, 0}, {4, 0}, {2000000000, 0}}, "missing lines 1, 3-2000000000\n"},
    };
    for (const CASE& c : cases) {
        REPORT r;
        for (auto [line, count] : c.rows) r.table.rows.push_back(row("f", line, count));
        std::string text = text_of(r);
        std::size_t at = text.find("missing lines");
        std::string missing =
            at == std::string::npos ? "" : text.substr(at, text.find('\n', at) + 1 - at);
        EXPECT_EQ(missing, c.missing) << text;
    }
}

TEST(CoverageReport, ALineFarBeyondTheRestAddsOneReportLine) {
    REPORT r;
    r.table.rows = {row("f", 1, 1), row("f", 2000000000, 1)};
    std::string text = text_of(r);
    EXPECT_LT(text.size(), 1000u) << text;
    EXPECT_NE(text.find("         1 2000000000  f\n"), std::string::npos) << text;
}

TEST(CoverageReport, LcovAndCoberturaCarryTheSameTotals) {
    REPORT r;
    r.table.rows = {row("f", 3, 4), row("f", 4, 0), row("g", 8, 2)};
    r.branches = {branch("f", 3, {{"true", 4}, {"false", 0}})};
    COVERAGE_REPORT report = r.build();
    std::ostringstream lcov;
    write_coverage_lcov(report, lcov);
    EXPECT_EQ(lcov.str(),
              "TN:\nSF:/nowhere/t.c\nFN:3,f\nFN:8,g\nFNDA:4,f\nFNDA:2,g\nFNF:2\nFNH:2\n"
              "BRDA:3,0,0,4\nBRDA:3,0,1,0\nBRF:2\nBRH:1\n"
              "DA:3,4\nDA:4,0\nDA:8,2\nLF:3\nLH:2\nend_of_record\n");
    std::ostringstream xml;
    write_coverage_cobertura(report, xml);
    EXPECT_NE(
        xml.str().find("<coverage line-rate=\"0.6667\" branch-rate=\"0.5\" lines-covered=\"2\" "
                       "lines-valid=\"3\" branches-covered=\"1\" branches-valid=\"2\""),
        std::string::npos)
        << xml.str();
    EXPECT_NE(xml.str().find("<line number=\"3\" hits=\"4\" branch=\"true\" "
                             "condition-coverage=\"50% (1/2)\"/>"),
              std::string::npos);
}
