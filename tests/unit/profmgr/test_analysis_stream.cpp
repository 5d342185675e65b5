// The run's analysis stream: opened at the first row with the header
// written or checked, appended to, left failed for the rest of the run when
// it cannot be opened, closed and forgotten.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "profmgr/analysis_tables_steps.h"
#include "test_diag_capture.h"

namespace {

namespace fs = std::filesystem;
using std::string;

const string GRAPH_HEADER = "\"caller\",\"callee\",\"weight\"\n";

class AnalysisStream : public CAPTURED_TEST {
protected:
    void SetUp() override {
        CAPTURED_TEST::SetUp();
        reset_analysis_table();
        string pattern = (fs::temp_directory_path() / "trelv_table_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        for (const char* v : {"ZK_ANALYSIS_DIR", "ZK_COVDIR", "ZK_COVDATA", "ZK_WCGDATA"})
            unsetenv(v);
        setenv("ZK_ANALYSIS_DIR", (dir_ + "/").c_str(), 1);
    }
    void TearDown() override {
        reset_analysis_table();
        for (const char* v : {"ZK_ANALYSIS_DIR", "ZK_COVDIR", "ZK_COVDATA", "ZK_WCGDATA"})
            unsetenv(v);
        std::error_code ec;
        fs::remove_all(dir_, ec);
        CAPTURED_TEST::TearDown();
    }
    string contents(const string& name) {
        std::ifstream in(dir_ + "/" + name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void write(const string& name, const string& text) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    }
    std::ostream* graph_stream(bool analyze_only = false) {
        return analysis_stream(ANALYSIS_TABLE::CALL_GRAPH, "src/u.c", analyze_only);
    }

    string dir_;
};

TEST_F(AnalysisStream, CreatedWithHeaderOnceAndClosed) {
    EXPECT_FALSE(fs::exists(dir_ + "/u.csv")) << "nothing before the first row";
    std::ostream* out = graph_stream();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(contents("u.csv"), GRAPH_HEADER) << "the header is flushed at once";
    put_analysis_row(*out, callgraph_row("f", "g", 1));
    EXPECT_EQ(contents("u.csv"), GRAPH_HEADER + "f,g,1\n") << "each row is flushed";
    EXPECT_EQ(graph_stream(), out) << "one stream for the run";
    put_analysis_row(*graph_stream(), callgraph_row("f", "h", 2));
    close_analysis_table();
    EXPECT_EQ(contents("u.csv"), GRAPH_HEADER + "f,g,1\nf,h,2\n");
    EXPECT_EQ(err(), "");
}

TEST_F(AnalysisStream, ExistingTableIsAppendedTo) {
    write("u.csv", GRAPH_HEADER + "a,b,1\n");
    put_analysis_row(*graph_stream(), callgraph_row("f", "g", 5));
    close_analysis_table();
    EXPECT_EQ(contents("u.csv"), GRAPH_HEADER + "a,b,1\nf,g,5\n");
    // The next run opens it again and appends after.
    put_analysis_row(*graph_stream(), callgraph_row("f", "g", 6));
    close_analysis_table();
    EXPECT_EQ(contents("u.csv"), GRAPH_HEADER + "a,b,1\nf,g,5\nf,g,6\n");
}

TEST_F(AnalysisStream, ForeignTableIsLeftAlone) {
    const string coverage =
        "\"filename\",\"funcname\",line number,column number,frequency count,\"comment\"\n";
    write("u.csv", coverage);
    EXPECT_EQ(exit_status_of([&] { graph_stream(); }), 1);
    EXPECT_EQ(contents("u.csv"), coverage);
}

TEST_F(AnalysisStream, CannotOpenIsAnErrorOnceForTheRun) {
    // The temporary folder's name decides where a wrap would fall.
    DIAG::settings().wrap = false;
    setenv("ZK_ANALYSIS_DIR", (dir_ + "/missing").c_str(), 1);
    EXPECT_EQ(graph_stream(), nullptr);
    EXPECT_EQ(graph_stream(), nullptr) << "the failed stream stays";
    EXPECT_EQ(err(), "error: Error opening analysis data file \"" + dir_ +
                         "/missing/u.csv\". Skipping analysis \tdata generation\n");
    EXPECT_EQ(DIAG::settings().error_count, 1u);
    EXPECT_FALSE(fs::exists(dir_ + "/missing"));
}

TEST_F(AnalysisStream, CannotOpenWithAnalyzeOnlyIsFatal) {
    DIAG::settings().wrap = false;
    setenv("ZK_ANALYSIS_DIR", "", 1);
    setenv("ZK_WCGDATA", (dir_ + "/missing/g.csv").c_str(), 1);
    EXPECT_EQ(exit_status_of([&] { graph_stream(true); }), 1);
    EXPECT_EQ(err(),
              "fatal error: Error opening analysis data file \"" + dir_ + "/missing/g.csv\"\n");
}

TEST_F(AnalysisStream, ResetForgetsTheFailedStream) {
    setenv("ZK_ANALYSIS_DIR", (dir_ + "/missing").c_str(), 1);
    EXPECT_EQ(graph_stream(), nullptr);
    reset_analysis_table();
    setenv("ZK_ANALYSIS_DIR", dir_.c_str(), 1);
    EXPECT_NE(graph_stream(), nullptr);
    close_analysis_table();
    EXPECT_EQ(contents("u.csv"), GRAPH_HEADER);
}

}  // namespace
