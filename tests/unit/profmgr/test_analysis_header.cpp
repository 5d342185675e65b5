// The header lines of the analysis tables, the check of an existing
// table's first line with its three fatal cases, and the rows' text.
#include <sstream>
#include <string>

#include "profmgr/analysis_tables_steps.h"
#include "test_diag_capture.h"

namespace {

using std::string;

const string COVERAGE_HEADER =
    "\"filename\",\"funcname\",line number,column number,frequency count,\"comment\"";
const string GRAPH_HEADER = "\"caller\",\"callee\",\"weight\"";

class AnalysisHeader : public CAPTURED_TEST {
protected:
    // The check of `text` as the file t.csv: true, or the exit status.
    int check(const string& text, ANALYSIS_TABLE table) {
        std::istringstream in(text);
        int status = -1;
        try {
            if (check_analysis_header("t.csv", in, table)) return 0;
        } catch (const TEST_EXIT& e) {
            status = e.status;
        }
        return status;
    }
};

TEST_F(AnalysisHeader, HeaderLines) {
    EXPECT_EQ(analysis_header(ANALYSIS_TABLE::CODE_COVERAGE), COVERAGE_HEADER);
    EXPECT_EQ(analysis_header(ANALYSIS_TABLE::CALL_GRAPH), GRAPH_HEADER);
}

TEST_F(AnalysisHeader, MatchingHeadersPass) {
    EXPECT_EQ(
        check(COVERAGE_HEADER + "\n\"a.c\",\"f\",1,1,1,\"x\"\n", ANALYSIS_TABLE::CODE_COVERAGE), 0);
    EXPECT_EQ(check(GRAPH_HEADER + "\nf,g,1\n", ANALYSIS_TABLE::CALL_GRAPH), 0);
    // The first line is what counts, with or without its line end.
    EXPECT_EQ(check(GRAPH_HEADER, ANALYSIS_TABLE::CALL_GRAPH), 0);
    EXPECT_EQ(err(), "");
}

TEST_F(AnalysisHeader, UnreadableFirstLine) {
    EXPECT_EQ(check("", ANALYSIS_TABLE::CODE_COVERAGE), 1);
    EXPECT_EQ(err(),
              "fatal error: Failure reading header line of analysis output file \"t.csv\"\n");
}

TEST_F(AnalysisHeader, ForeignCoverageHeader) {
    EXPECT_EQ(check(GRAPH_HEADER + "\n", ANALYSIS_TABLE::CODE_COVERAGE), 1);
    EXPECT_EQ(err(),
              "fatal error: Expected existing analysis file, \"t.csv\", to contain code coverage\n"
              "   information; path profiling analysis aborted\n");
}

TEST_F(AnalysisHeader, ForeignCallGraphHeader) {
    EXPECT_EQ(check(COVERAGE_HEADER + "\n", ANALYSIS_TABLE::CALL_GRAPH), 1);
    EXPECT_EQ(err(),
              "fatal error: Expected existing analysis file, \"t.csv\", to contain call graph\n"
              "   information; path profiling analysis aborted\n");
}

TEST_F(AnalysisHeader, EveryFieldIsComparedWhole) {
    // Each variant differs from the header in one field, or in what follows
    // the last comma.
    const string variants[] = {
        "\"filename\"x,\"funcname\",line number,column number,frequency count,\"comment\"",
        "\"filename\",\"funcnam\",line number,column number,frequency count,\"comment\"",
        "\"filename\",\"funcname\",line  number,column number,frequency count,\"comment\"",
        "\"filename\",\"funcname\",line number,Column number,frequency count,\"comment\"",
        "\"filename\",\"funcname\",line number,column number,frequency count",
        "\"filename\",\"funcname\",line number,column number,frequency count,\"comment\",",
        "\"filename\",\"funcname\",line number,column number,frequency count,\"comment\"\r",
        "\"filename\",\"funcname\",line number,column number",
        "",
    };
    for (const string& v : variants)
        EXPECT_EQ(check(v + "\n", ANALYSIS_TABLE::CODE_COVERAGE), 1) << v;
    for (const string& v :
         {string("\"caller\",\"callee\""), string("\"caller\",\"callee\",\"weight\" "),
          string("\"caller\";\"callee\";\"weight\""), string("\"callee\",\"caller\",\"weight\"")})
        EXPECT_EQ(check(v + "\n", ANALYSIS_TABLE::CALL_GRAPH), 1) << v;
}

TEST(AnalysisRows, CoverageRowQuotesNothing) {
    EXPECT_EQ(coverage_row("/s/q\"a.c", "f", 12, 7, 3, "puts(\"a,b\")"),
              "\"/s/q\"a.c\",\"f\",12,7,3,\"puts(\"a,b\")\"\n");
    EXPECT_EQ(coverage_row("a.c", "g", 1, 0, 0, ""), "\"a.c\",\"g\",1,0,0,\"\"\n");
    // The frequency is printed as a signed number.
    EXPECT_EQ(coverage_row("a.c", "g", 1, 2, -1294967296, "x"),
              "\"a.c\",\"g\",1,2,-1294967296,\"x\"\n");
}

TEST(AnalysisRows, CallGraphWeightIsUnsigned) {
    EXPECT_EQ(callgraph_row("f", "g", 7), "f,g,7\n");
    EXPECT_EQ(callgraph_row("a.c:f", "b.c:g", -1294967296), "a.c:f,b.c:g,3000000000\n");
    EXPECT_EQ(callgraph_row("f", "g", -2), "f,g,4294967294\n");
}

}  // namespace
