// Diagnostics: streams and visibility by severity, error counting and its
// limit, the fatal end, the internal-error header, the wrapping rule (79
// columns, continuation lines indented by 3 blanks) and the named flag
// levels of --debug: and --disable: values.
#include <string>

#include "diag/optgen_diags.h"
#include "diag/trelv_diags.h"
#include "test_diag_capture.h"

namespace {

using std::string;

using Diag = CAPTURED_TEST;

TEST_F(Diag, SeveritiesStreamsAndCounts) {
    // Start values: warnings shown, remarks and debug traces not.
    DIAG::trelv_rem_override_edge_wt(TRELV_HERE, "f", "B1", "B2", 1, 2).emit();
    DIAG::trelv_dbg_unreach_node(TRELV_HERE, "f", "B3").emit();
    DIAG::optgen_conflict_override_option(TRELV_HERE, "--a", "--b").emit();
    DIAG::settings().remark = DIAG::settings().debug = true;
    DIAG::optgen_conflict_quiet_option(TRELV_HERE, "--a", "--b").emit();
    DIAG::trelv_dbg_unreach_node(TRELV_HERE, "f", "B3").emit();
    DIAG::trelv_error_unexpected_options("prof_common.cpp", 36, "a b c").emit();
    EXPECT_EQ(out(),
              "remark: option --a clears preceding option --b\n"
              "debug: Func f: Node B3 is UNREACHABLE\n");
    EXPECT_EQ(err(),
              "warning: option --a overrides preceding option --b\n"
              "prof_common.cpp:36:internal error #18104: (a b c)\n");
    EXPECT_EQ(DIAG::settings().error_count, 1u);  // neither remarks nor warnings count
    // A hidden diagnostic prints nothing and is not counted.
    const size_t shown = err().size();
    DIAG::settings().warning = false;
    EXPECT_EQ(DIAG::trelv_warn_no_succ(TRELV_HERE, "f", "B1").emit(), 0);
    EXPECT_EQ(err().size(), shown);
    // A fatal error ends the run after its line.
    EXPECT_EQ(
        exit_status_of([] { DIAG::trelv_fatal_icode_file_open(TRELV_HERE, "in.ic", "").emit(); }),
        1);
    EXPECT_EQ(err().substr(shown), "fatal error: Error opening icode file \"in.ic\":\n");
}

TEST_F(Diag, HundredthErrorPrintsAndHundredFirstEndsTheRun) {
    for (int i = 0; i < 100; ++i) DIAG::trelv_inv_edge_wt("BGL_cfg.cpp", 10, "f", -i).emit();
    EXPECT_EQ(DIAG::settings().error_count, 100u);
    const string before = err();
    EXPECT_EQ(before.substr(before.size() - 47),
              "BGL_cfg.cpp:10:internal error #18103: (f, -99)\n");
    EXPECT_EQ(exit_status_of([] { DIAG::trelv_inv_edge_wt("BGL_cfg.cpp", 10, "f", 7).emit(); }), 1);
    EXPECT_EQ(err().substr(before.size()),
              "BGL_cfg.cpp:10:internal error #18103: (f, 7)\n"
              "fatal error: error limit reached; 100 errors detected\n");
}

TEST_F(Diag, WarningTextsWrapAt79Columns) {
    const string a60(60, 'a'), x(150, 'x'), y75(75, 'y');
    const struct {
        string text, want;  // the text after "warning: "
    } cases[] = {
        {"B1 B2 B3", "B1 B2 B3\n"},
        {" B1 B2   ", " B1 B2   \n"},  // blanks kept when the rest fits
        {"first\nsecond", "first\n   second\n"},
        {a60 + " bbbbbbbb", a60 + " bbbbbbbb\n"},  // 78 columns: fits
        {a60 + " bbbbbbbbb", a60 + "\n   bbbbbbbbb\n"},
        {a60 + " bbbbbbbbb  cc", a60 + " bbbbbbbbb\n   cc\n"},
        {a60 + "\t" + string(20, 'b'), a60 + "\n   " + string(20, 'b') + "\n"},
        {"short " + y75, "short\n   " + y75 + "\n"},
        // A word longer than a line is cut: 70 columns, then 76.
        {x, x.substr(0, 70) + "\n   " + x.substr(70, 76) + "\n   " + x.substr(146) + "\n"},
    };
    for (const auto& c : cases) {
        reset_all();
        DIAG::trelv_warn_incomplete_blk_list(TRELV_HERE, c.text.c_str()).emit();
        EXPECT_EQ(err(), "warning: " + c.want);
    }
    // A blank and a tab before a break are both dropped.
    reset_all();
    DIAG::trelv_warn_no_succ(TRELV_HERE, "f", "B1").emit();
    EXPECT_EQ(err(),
              "warning: Func f: Trying to set instrumentation index for block B1 with no\n"
              "   successors\n");
    reset_all();
    DIAG::settings().wrap = false;
    DIAG::trelv_warn_incomplete_blk_list(TRELV_HERE, (x + " tail").c_str()).emit();
    EXPECT_EQ(err(), "warning: " + x + " tail\n");
}

TEST_F(Diag, FlagLevels) {
    add_flags("debug", "profile,hex=0x10,HEX=0X1f,oct=010,neg=-2,junk=3junk,none=,,");
    add_flags("debug", "twice=3,twice=4");
    add_flags("disable", "canon,ft_ubr");
    add_flags("debug", (string(600, 'n') + "=4").c_str());  // too long: nothing
    const struct {
        const char* name;
        int want;
    } cases[] = {{"debug:profile", 1}, {"debug:hex", 16},     {"debug:HEX", 31},
                 {"debug:oct", 8},     {"debug:neg", -2},     {"debug:junk", 3},
                 {"debug:none", 0},    {"debug:twice", 4},    {"disable:canon", 1},
                 {"debug:canon", 0},   {"disable:profile", 0}};
    for (const auto& c : cases) EXPECT_EQ(flag_level(FLAG_KEY(c.name)), c.want) << c.name;
    EXPECT_EQ(flag_level(disable_ft_ubr_key()), 1);
    EXPECT_EQ(flag_levels().size(), 10u);
    add_flags("disable", "ft_ubr=0");
    EXPECT_EQ(flag_level(disable_ft_ubr_key()), 0);
}

}  // namespace
