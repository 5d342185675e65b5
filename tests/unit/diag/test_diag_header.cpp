// Headers, streams, visibility, error counting and the fatal end.
#include <memory>
#include <string>

#include "diag/max_errors.h"
#include "diag/optgen_diags.h"
#include "diag/trelv_diags.h"
#include "test_diag_capture.h"

namespace {

using std::string;

using DiagHeader = CAPTURED_TEST;

TEST(DiagBaseName, RaisingFileIsTheBaseName) {
    EXPECT_STREQ(trelv_base_name("/src/trelv/driver/prof_common.cpp"), "prof_common.cpp");
    EXPECT_STREQ(trelv_base_name("prof_common.cpp"), "prof_common.cpp");
    auto file_of = [](const char* file, unsigned) { return string(file); };
    EXPECT_EQ(file_of(TRELV_HERE), "test_diag_header.cpp");
}

TEST_F(DiagHeader, NormalHeaderIsTheSeverityName) {
    DIAG::trelv_warn_missing_profinfo(TRELV_HERE, "main").emit();
    DIAG::trelv_fatal_empty_filename fatal(TRELV_HERE);
    EXPECT_EQ(exit_status_of([&] { fatal.emit(); }), 1);
    EXPECT_EQ(err(),
              "warning: Func main: No profile info found in file\n"
              "fatal error: Filename cannot be null\n");
    EXPECT_EQ(out(), "");
}

TEST_F(DiagHeader, InternalHeaderShowsTheRaisingLocationAndNumber) {
    DIAG::trelv_error_unexpected_options("prof_common.cpp", 36, "a.ic b.ic extra").emit();
    EXPECT_EQ(err(), "prof_common.cpp:36:internal error #18104: (a.ic b.ic extra)\n");
    EXPECT_EQ(DIAG::settings().error_count, 1u);
}

TEST_F(DiagHeader, LowSeveritiesGoToStandardOutputWhenSwitchedOn) {
    // Start values: warnings shown, remarks and debug traces not.
    DIAG::trelv_rem_override_edge_wt(TRELV_HERE, "f", "B1", "B2", 1, 2).emit();
    DIAG::trelv_dbg_unreach_node(TRELV_HERE, "f", "B3").emit();
    EXPECT_EQ(out(), "");
    DIAG::settings().remark = true;
    DIAG::settings().debug = true;
    DIAG::trelv_rem_override_edge_wt(TRELV_HERE, "f", "B1", "B2", 1, 2).emit();
    DIAG::trelv_dbg_unreach_node(TRELV_HERE, "f", "B3").emit();
    EXPECT_EQ(out(),
              "remark: Func f:  Overriding profile weight for single successor edge \tB1-->B2\n"
              "   from 1 to 2\n"
              "debug: Func f: Node B3 is UNREACHABLE\n");
    EXPECT_EQ(err(), "");
}

TEST_F(DiagHeader, InvisibleDiagnosticPrintsNothingAndIsNotCounted) {
    DIAG::settings().warning = false;
    DIAGNOSTIC* d = new DIAG::trelv_warn_no_succ(TRELV_HERE, "f", "B1");
    EXPECT_FALSE(d->visible());
    EXPECT_EQ(d->emit(), 0);
    EXPECT_EQ(d->columns_left(), 79);
    delete d;
    EXPECT_EQ(err(), "");
}

TEST_F(DiagHeader, HundredthErrorPrintsAndHundredFirstEndsTheRun) {
    for (int i = 0; i < 100; ++i) DIAG::trelv_inv_edge_wt("BGL_cfg.cpp", 10, "f", -i).emit();
    EXPECT_EQ(DIAG::settings().error_count, 100u);
    const string before = err();
    const string last = "BGL_cfg.cpp:10:internal error #18103: (f, -99)\n";
    EXPECT_EQ(before.substr(before.size() - last.size()), last);
    const int status =
        exit_status_of([] { DIAG::trelv_inv_edge_wt("BGL_cfg.cpp", 10, "f", 7).emit(); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err().substr(before.size()),
              "BGL_cfg.cpp:10:internal error #18103: (f, 7)\n"
              "fatal error: error limit reached; 100 errors detected\n");
}

TEST_F(DiagHeader, FatalEndsTheRunAfterItsLine) {
    const int status =
        exit_status_of([] { DIAG::trelv_fatal_icode_file_open(TRELV_HERE, "in.ic", "").emit(); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err(), "fatal error: Error opening icode file \"in.ic\":\n");
}

TEST_F(DiagHeader, RemarkAndWarningNeverCount) {
    DIAG::settings().remark = true;
    DIAG::optgen_conflict_quiet_option(TRELV_HERE, "--a", "--b").emit();
    DIAG::optgen_conflict_override_option(TRELV_HERE, "--a", "--b").emit();
    EXPECT_EQ(DIAG::settings().error_count, 0u);
    EXPECT_EQ(out(), "remark: option --a clears preceding option --b\n");
    EXPECT_EQ(err(), "warning: option --a overrides preceding option --b\n");
}

TEST_F(DiagHeader, CloneCopiesArgumentsAndStartsOnAFreshLine) {
    DIAG::trelv_warn_bad_succ original(TRELV_HERE, "f", "B2", "B1");
    original.set_source(std::make_unique<DIAG_SRCINFO_DATA>("a.c", 3, 4));
    std::unique_ptr<DIAGNOSTIC> copy(original.clone());
    EXPECT_TRUE(copy->same_as(original));
    EXPECT_NE(copy->source(), original.source());
    EXPECT_EQ(copy->columns_left(), 79);
    EXPECT_STREQ(static_cast<DIAG::trelv_warn_bad_succ&>(*copy).arg<1>(), "B2");
    EXPECT_FALSE(copy->bool_query());

    // Another code, or another source position, is not the same.
    DIAG::trelv_warn_no_succ other(TRELV_HERE, "f", "B1");
    EXPECT_FALSE(other.same_as(original));
    DIAG::trelv_warn_bad_succ moved(TRELV_HERE, "f", "B2", "B1");
    EXPECT_FALSE(moved.same_as(original));
    moved.set_source(std::make_unique<DIAG_SRCINFO_DATA>("a.c", 3, 5));
    EXPECT_FALSE(moved.same_as(original));

    copy->emit();
    // The source position comes before the severity.
    EXPECT_EQ(err(), "a.c:3:4: warning: Func f: Block B2 is not a successor of block B1\n");
}

TEST_F(DiagHeader, DumpShowsDescriptorAndPosition) {
    DIAG::trelv_dbg_num_instr_edge plain(TRELV_HERE, "f", 3);
    plain.dump();
    EXPECT_EQ(out(),
              "Code : 18705\n"
              "std_msg : Func %s: Number of edges in compl-MST = %d\n"
              "vrb_msg : (null)\n");
    DIAG::max_errors with_pos(TRELV_HERE, 100);
    with_pos.set_source(std::make_unique<DIAG_SRCINFO_DATA>("x.c", 12, 7));
    with_pos.dump();
    EXPECT_NE(out().find("Code : 99900\nstd_msg : error limit reached; %u errors detected\n"
                         "vrb_msg : (null)\nFile : x.c\nLine : 12\nColumn: 7\n"),
              string::npos);
}

TEST_F(DiagHeader, ResetRestoresTheStartValues) {
    DIAG::settings().wrap = false;
    DIAG::settings().remark = true;
    DIAG::settings().warning = false;
    DIAG::settings().error_count = 50;
    DIAG::reset();
    const DIAG::SETTINGS fresh;
    EXPECT_TRUE(DIAG::settings().wrap);
    EXPECT_FALSE(DIAG::settings().remark);
    EXPECT_TRUE(DIAG::settings().warning);
    EXPECT_EQ(DIAG::settings().error_count, 0u);
    EXPECT_EQ(DIAG::settings().diag_cols, fresh.diag_cols);
}

}  // namespace
