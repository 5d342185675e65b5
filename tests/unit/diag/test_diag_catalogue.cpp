// Every class of the catalogue prints its own text, on its own stream, with
// its own severity; and the descriptor table keeps the catalogue's rules.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "diag/catalogue.h"
#include "diag/max_errors.h"
#include "diag/optgen_diags.h"
#include "diag/trelv_diags.h"
#include "test_diag_capture.h"

namespace {

using std::string;
using namespace DIAG;

struct CASE {
    std::function<void()> raise;
    string expected;  // the whole emitted line, "\n" included
};

const std::vector<CASE>& cases() {
    static const std::vector<CASE> all = {
        {[] { trelv_fatal_empty_filename(TRELV_HERE).emit(); },
         "fatal error: Filename cannot be null\n"},
        {[] { trelv_fatal_prof_file_open(TRELV_HERE, "p.prf").emit(); },
         "fatal error: Error opening profile info file \"p.prf\"\n"},
        {[] { trelv_fatal_empty_entryblk(TRELV_HERE, "f").emit(); },
         "fatal error: Func f: Entry block cannot be null\n"},
        {[] { trelv_fatal_no_insrt_point(TRELV_HERE, "f").emit(); },
         "fatal error: Func f: Could not find a place to insert instrumentation block\n"},
        {[] { trelv_fatal_icode_file_open(TRELV_HERE, "o.ic", "Permission denied").emit(); },
         "fatal error: Error opening icode file \"o.ic\":Permission denied\n"},
        {[] { trelv_fatal_fail_edge_create("BGL_cfg.cpp", 7, "f", "B1", "B2").emit(); },
         "BGL_cfg.cpp:7:internal error #18007: (f, B1, B2)\n"},
        {[] { trelv_fatal_prof_analysis_bad_usage(TRELV_HERE).emit(); },
         "fatal error: --analyze must be accompanied by --use_profile_info option\n"},
        {[] { trelv_fatal_analysis_file_open(TRELV_HERE, "a.csv").emit(); },
         "fatal error: Error opening analysis data file \"a.csv\"\n"},
        {[] { trelv_fatal_csv_file_read_failure(TRELV_HERE, "a.csv").emit(); },
         "fatal error: Failure reading header line of analysis output file \"a.csv\"\n"},
        {[] { trelv_fatal_codecov_analysis_file_expected(TRELV_HERE, "a.csv").emit(); },
         "fatal error: Expected existing analysis file, \"a.csv\", to contain code coverage\n"
         "   information; path profiling analysis aborted\n"},
        {[] { trelv_fatal_callgraph_analysis_file_expected(TRELV_HERE, "a.csv").emit(); },
         "fatal error: Expected existing analysis file, \"a.csv\", to contain call graph\n"
         "   information; path profiling analysis aborted\n"},
        {[] { trelv_fatal_prof_file_read(TRELV_HERE, "p.prf", "read error").emit(); },
         "fatal error: Error reading profile info file \"p.prf\": read error\n"},
        {[] { trelv_fatal_icode_file_write(TRELV_HERE, "o.ic", "No space left on device").emit(); },
         "fatal error: Error writing icode file \"o.ic\":No space left on device\n"},
        {[] { trelv_inv_edge_nonexist_nodes("BGL_cfg.cpp", 9, "f", "B1", "B9").emit(); },
         "BGL_cfg.cpp:9:internal error #18101: (f, B1, B9)\n"},
        {[] { trelv_inv_edge_wt("BGL_cfg.cpp", 11, "f", -4).emit(); },
         "BGL_cfg.cpp:11:internal error #18103: (f, -4)\n"},
        {[] { trelv_error_unexpected_options("prof_common.cpp", 5, "a b c").emit(); },
         "prof_common.cpp:5:internal error #18104: (a b c)\n"},
        {[] { trelv_error_analysis_file_open(TRELV_HERE, "a.csv").emit(); },
         "error: Error opening analysis data file \"a.csv\". Skipping analysis \tdata\n"
         "   generation\n"},
        {[] { trelv_warn_incomplete_prof_info(TRELV_HERE, "f").emit(); },
         "warning: Func f: Could not complete profile info propagation: Incomplete\n"
         "   profile info for blocks:\n"},
        {[] { trelv_warn_incomplete_blk_list(TRELV_HERE, " B1 B2").emit(); }, "warning:  B1 B2\n"},
        {[] { trelv_warn_node_weight_mismatch(TRELV_HERE, "f", "B2", 5, 6).emit(); },
         "warning: Func f: Block B2: Input weight 5 does not match output weight 6\n"},
        {[] { trelv_warn_negative_edge_weight(TRELV_HERE, "f", "in", "B1", "B2", -1).emit(); },
         "warning: Func f: Attempting to set (in) weight of edge B1-->B2 to -1\n"},
        {[] { trelv_warn_bad_edge_index(TRELV_HERE, "f", 9, 4).emit(); },
         "warning: Func f: Edge index 9 larger than number of edges profiled 4\n"},
        {[] { trelv_warn_dataset_mismatch(TRELV_HERE, "f", 3, 5, 2).emit(); },
         "warning: Func f: Number of profile counters 3 does not match expected number of\n"
         "   counters 5. Skipping data set 2\n"},
        {[] { trelv_warn_missing_profinfo(TRELV_HERE, "f").emit(); },
         "warning: Func f: No profile info found in file\n"},
        {[] { trelv_warn_bad_succ(TRELV_HERE, "f", "B3", "B1").emit(); },
         "warning: Func f: Block B3 is not a successor of block B1\n"},
        {[] { trelv_warn_no_succ(TRELV_HERE, "f", "B1").emit(); },
         "warning: Func f: Trying to set instrumentation index for block B1 with no\n"
         "   successors\n"},
        {[] { trelv_rem_override_edge_wt(TRELV_HERE, "f", "B1", "B2", 3, 4).emit(); },
         "remark: Func f:  Overriding profile weight for single successor edge \tB1-->B2\n"
         "   from 3 to 4\n"},
        {[] { trelv_rem_missing_profinfo(TRELV_HERE, "f").emit(); },
         "remark: Func f: No profile info found for this function in profile input\n"
         "   file(s)\n"},
        {[] { trelv_dbg_edge_create(TRELV_HERE, "f", "B1", "B2").emit(); },
         "debug: Func f: Adding edge between nodes B1-->B2\n"},
        {[] { trelv_dbg_kvt_edge(TRELV_HERE, "f", 2, "B1", "B2").emit(); },
         "debug: Func f: KVT edge 2: B1-->B2\n"},
        {[] { trelv_dbg_instr_edge(TRELV_HERE, "f", "B1", "B2").emit(); },
         "debug: Func f: Instrumentation edge: B1-->B2\n"},
        {[] { trelv_dbg_instr_edge_info(TRELV_HERE, "f", "B1", "B2", 1).emit(); },
         "debug: Func f:  edge B1-->B2 instrumented for path-prof: Index = 1\n"},
        {[] { trelv_dbg_num_instr_edge(TRELV_HERE, "f", 4).emit(); },
         "debug: Func f: Number of edges in compl-MST = 4\n"},
        {[] { trelv_dbg_node_prof_wt(TRELV_HERE, "f", "B2", 10).emit(); },
         "debug: Func f: Node B2: PROFWT = 10\n"},
        {[] { trelv_dbg_edge_prof_wt(TRELV_HERE, "f", "B1", "B2", 3, 10).emit(); },
         "debug: Func f: Edge B1-->B2: Index = 3: PROFWT = 10\n"},
        {[] { trelv_dbg_unreach_node(TRELV_HERE, "f", "B5").emit(); },
         "debug: Func f: Node B5 is UNREACHABLE\n"},
        {[] {
             optgen_conflict_option(TRELV_HERE, "--use_profile_info", "--gen_profile_info").emit();
         },
         "error: option --use_profile_info conflicts with previous option\n"
         "   --gen_profile_info\n"},
        {[] { optgen_conflict_override_option(TRELV_HERE, "--x", "--y").emit(); },
         "warning: option --x overrides preceding option --y\n"},
        {[] { optgen_conflict_quiet_option(TRELV_HERE, "--x", "--y").emit(); },
         "remark: option --x clears preceding option --y\n"},
        {[] { optgen_unhandled_clause_in_setarg(TRELV_HERE, 12).emit(); },
         "fatal error: unhandled clause in setarg() [12]\n"},
        {[] { optgen_unhandled_option_handler(TRELV_HERE, 13).emit(); },
         "fatal error: unhandled option handler [13]\n"},
        {[] { optgen_invalid_list_handler(TRELV_HERE, 14).emit(); },
         "fatal error: list handler for non-list option [14]\n"},
        {[] { optgen_missing_parameter(TRELV_HERE, "--debug", "option").emit(); },
         "error: option --debug is missing its parameter 'option'\n"},
        {[] { optgen_bad_argument(TRELV_HERE, "--analyze", "codecov,callgraph").emit(); },
         "error: bad argument to option --analyze: should be one of {codecov,callgraph}\n"},
        {[] { optgen_case_insensitivity_deprecated(TRELV_HERE, "-ANALYZE", "-analyze").emit(); },
         "warning: Case insensitivity of options has been deprecated; -ANALYZE must be\n"
         "   written as -analyze in future releases\n"},
        {[] { optgen_unhandled_clause_in_add_hist(TRELV_HERE, 15).emit(); },
         "fatal error: unhandled clause in add_to_history() [15]\n"},
        {[] { max_errors(TRELV_HERE, 100).emit(); },
         "fatal error: error limit reached; 100 errors detected\n"},
    };
    return all;
}

class DiagCatalogue : public CAPTURED_TEST {};

TEST_F(DiagCatalogue, EveryClassPrintsItsTableText) {
    DIAG::settings().remark = true;
    DIAG::settings().debug = true;
    for (const CASE& c : cases()) {
        const size_t out_before = out().size(), err_before = err().size();
        int status = 0;
        try {
            c.raise();
        } catch (const TEST_EXIT& e) {
            status = e.status;
        }
        // Fatal errors end the run with status 1; nothing else ends it.
        const bool fatal = c.expected.rfind("fatal error:", 0) == 0;
        EXPECT_EQ(status, fatal ? 1 : 0) << c.expected;
        // Severities up to remark on the output stream, the rest on errors.
        const bool low = c.expected.rfind("remark:", 0) == 0 || c.expected.rfind("debug:", 0) == 0;
        EXPECT_EQ((low ? out() : err()).substr(low ? out_before : err_before), c.expected);
        EXPECT_EQ((low ? err() : out()).size(), low ? err_before : out_before) << c.expected;
    }
    EXPECT_EQ(cases().size(), all_descriptors().size());
}

TEST(DiagDescriptors, TableKeepsTheCatalogueRules) {
    std::set<std::uint32_t> codes;
    for (const DIAG_DESC* d : all_descriptors()) {
        EXPECT_TRUE(codes.insert(d->code).second) << d->code;
        EXPECT_EQ(d->vrb_msg, nullptr);
        EXPECT_NE(d->std_msg, nullptr);
        if (d->code >= 18000 && d->code < 19000) {
            // Fixed exactly for errors and fatal errors that are not internal.
            const bool fixed = d->severity >= SEV_ERROR && !d->internal;
            EXPECT_EQ(d->fixed != 0, fixed) << d->code;
        } else {
            EXPECT_EQ(d->fixed, 0) << d->code;
            EXPECT_EQ(d->internal, 0) << d->code;
        }
    }
    EXPECT_EQ(find_descriptor(18104), &trelv_error_unexpected_options::desc);
    EXPECT_STREQ(find_descriptor(18104)->std_msg, "PATH PROFILER: Unexpected options %s");
    EXPECT_EQ(find_descriptor(12345), nullptr);
    EXPECT_STREQ(severity_name(8), "(unknown)");
    EXPECT_STREQ(severity_name(SEV_NO_ERROR), "(no error)");
}

}  // namespace
