// Choosing the analysis table file: the joining rule, the base name of the
// unit, which variable serves which table, and values far beyond the
// 500-character buffer the table format was laid out with.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <optional>
#include <string>

#include "profmgr/analysis_tables_steps.h"

namespace {

using std::nullopt;
using std::string;

TEST(AnalysisPath, JoiningRule) {
    // Without a directory the name stands alone, with its extension.
    EXPECT_EQ(join_analysis_path(nullopt, "main", ".csv"), "main.csv");
    EXPECT_EQ(join_analysis_path(string(""), "main", ".csv"), "main.csv");
    // A separator only when the directory does not end in one; "/" when the
    // directory holds a "/", "\" otherwise.
    EXPECT_EQ(join_analysis_path(string("out"), "cov.txt", ""), "out\\cov.txt");
    EXPECT_EQ(join_analysis_path(string("a/out"), "cov.txt", ""), "a/out/cov.txt");
    EXPECT_EQ(join_analysis_path(string("a\\b/out"), "cov.txt", ""), "a\\b/out/cov.txt");
    EXPECT_EQ(join_analysis_path(string("out/"), "cov.txt", ""), "out/cov.txt");
    EXPECT_EQ(join_analysis_path(string("out\\"), "cov.txt", ""), "out\\cov.txt");
    EXPECT_EQ(join_analysis_path(string("C:"), "cov.txt", ""), "C:cov.txt");
    // An extension without its dot gets one.
    EXPECT_EQ(join_analysis_path(string("d/"), "main", "csv"), "d/main.csv");
}

TEST(AnalysisPath, BaseNameOfTheUnit) {
    // canonical_path gives an absolute name; only its last part counts.
    EXPECT_EQ(analysis_base_name("C:\\work\\src\\main.c"), "main");
    EXPECT_EQ(analysis_base_name("src/lib.test.c"), "lib.test");
    EXPECT_EQ(analysis_base_name("noext"), "noext");
}

TEST(AnalysisPath, VariablesByTable) {
    const string unit = "C:\\work\\src\\main.c";
    const auto cov = ANALYSIS_TABLE::CODE_COVERAGE;
    const auto cg = ANALYSIS_TABLE::CALL_GRAPH;
    ANALYSIS_ENVIRONMENT none;
    EXPECT_EQ(analysis_file_path(cov, unit, none), "main.csv");
    EXPECT_EQ(analysis_file_path(cg, unit, none), "main.csv");

    ANALYSIS_ENVIRONMENT e;
    e.analysis_dir = "out";
    e.variables["ZK_COVDATA"] = "cov.txt";
    EXPECT_EQ(analysis_file_path(cov, unit, e), "out\\cov.txt");
    EXPECT_EQ(analysis_file_path(cg, unit, e), "out\\main.csv")
        << "ZK_COVDATA is for coverage only";
    e.variables["ZK_WCGDATA"] = "graph";
    EXPECT_EQ(analysis_file_path(cg, unit, e), "out\\graph");

    ANALYSIS_ENVIRONMENT covdir;
    covdir.variables["ZK_COVDIR"] = "cov/";
    EXPECT_EQ(analysis_file_path(cov, unit, covdir), "cov/main.csv");
    EXPECT_EQ(analysis_file_path(cg, unit, covdir), "main.csv") << "ZK_COVDIR is for coverage only";
    covdir.analysis_dir = "ad/";
    EXPECT_EQ(analysis_file_path(cov, unit, covdir), "ad/main.csv");
    covdir.analysis_dir = "";
    EXPECT_EQ(analysis_file_path(cov, unit, covdir), "main.csv")
        << "set but empty, ZK_ANALYSIS_DIR still wins";
}

TEST(AnalysisPath, LongValuesAreNeitherCutNorOverflowing) {
    const string dir(3000, 'd');
    const string name(2000, 'n');
    ANALYSIS_ENVIRONMENT e;
    e.analysis_dir = dir + "/";
    e.variables["ZK_WCGDATA"] = name;
    EXPECT_EQ(analysis_file_path(ANALYSIS_TABLE::CALL_GRAPH, "u.c", e), dir + "/" + name);
    e.variables.erase("ZK_WCGDATA");
    EXPECT_EQ(analysis_file_path(ANALYSIS_TABLE::CALL_GRAPH, "u.c", e), dir + "/u.csv");
}

// The process environment, as the profiler reads it at the first row.
class AnalysisEnvironment : public ::testing::Test {
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() {
        for (const char* v : {"ZK_ANALYSIS_DIR", "ZK_COVDIR", "ZK_COVDATA", "ZK_WCGDATA"})
            unsetenv(v);
    }
};

TEST_F(AnalysisEnvironment, SetUnsetAndEmpty) {
    ANALYSIS_ENVIRONMENT e = ANALYSIS_ENVIRONMENT::current();
    EXPECT_FALSE(e.analysis_dir);
    EXPECT_TRUE(e.variables.empty());
    setenv("ZK_ANALYSIS_DIR", "", 1);
    setenv("ZK_COVDIR", "c", 1);
    setenv("ZK_COVDATA", "d", 1);
    setenv("ZK_WCGDATA", "w", 1);
    e = ANALYSIS_ENVIRONMENT::current();
    EXPECT_EQ(e.analysis_dir, std::optional<string>(""));
    EXPECT_EQ(e.value("ZK_COVDIR"), std::optional<string>("c"));
    EXPECT_EQ(e.value("ZK_COVDATA"), std::optional<string>("d"));
    EXPECT_EQ(e.value("ZK_WCGDATA"), std::optional<string>("w"));
}

}  // namespace
