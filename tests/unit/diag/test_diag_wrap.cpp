// The wrapping rule of diagnostic texts: 79 columns, continuation lines
// indented by 3 blanks.  A warning's header "warning: " leaves 70 columns.
#include <string>

#include "diag/trelv_diags.h"
#include "diag/wrap_rule.h"
#include "test_diag_capture.h"

namespace {

using std::string;

class DiagWrap : public CAPTURED_TEST {
protected:
    // Emits a warning whose whole text is `text` and returns what it printed.
    string warn(const string& text) {
        DIAG::trelv_warn_incomplete_blk_list(TRELV_HERE, text.c_str()).emit();
        return err();
    }
};

TEST(WrapRule, BreaksOnlyAtBlanks) {
    // Shorter than the width: the whole text.
    EXPECT_EQ(DIAG::find_break("ab cd", 5, 6, true), 5);
    // Exactly the width: broken at the last blank all the same.
    EXPECT_EQ(DIAG::find_break("ab cd", 5, 5, true), 2);
    // The character after the last column is a blank: the piece fills it.
    EXPECT_EQ(DIAG::find_break("ab cd ef", 8, 5, true), 5);
    // The last column holds a blank: the run of blanks before it is dropped.
    EXPECT_EQ(DIAG::find_break("ab cdef", 7, 3, true), 2);
    // ... unless a blank follows it too: the piece then ends with blanks.
    EXPECT_EQ(DIAG::find_break("ab   cdef", 9, 4, true), 4);
    // A tab counts as a blank.
    EXPECT_EQ(DIAG::find_break("ab\tcdef", 7, 5, true), 2);
    // No blank before the width: nothing fits.
    EXPECT_EQ(DIAG::find_break("abcdef gh", 9, 4, true), -1);
    // Leading blanks only: nothing fits either.
    EXPECT_EQ(DIAG::find_break("   abcdef", 9, 5, true), -1);
    // Wrapping off or a negative width: everything.
    EXPECT_EQ(DIAG::find_break("abcdef gh", 9, 4, false), 9);
    EXPECT_EQ(DIAG::find_break("abcdef gh", 9, -3, true), 9);
}

TEST_F(DiagWrap, ShortTextIsOneLine) {
    EXPECT_EQ(warn("B1 B2 B3"), "warning: B1 B2 B3\n");
    EXPECT_EQ(out(), "");
}

TEST_F(DiagWrap, TextExactlyFillingTheColumnsIsBroken) {
    const string a60(60, 'a');
    // 69 characters after the 9 of the header: fits (78 columns).
    EXPECT_EQ(warn(a60 + " " + string(8, 'b')), "warning: " + a60 + " bbbbbbbb\n");
}

TEST_F(DiagWrap, TextOfExactlyTheColumnsLeftBreaksAtItsLastBlank) {
    const string a60(60, 'a');
    EXPECT_EQ(warn(a60 + " " + string(9, 'b')), "warning: " + a60 + "\n   bbbbbbbbb\n");
}

TEST_F(DiagWrap, PieceFollowedByBlankFillsTheWholeLine) {
    const string a60(60, 'a');
    EXPECT_EQ(warn(a60 + " " + string(9, 'b') + "  cc"), "warning: " + a60 + " bbbbbbbbb\n   cc\n");
}

TEST_F(DiagWrap, WordThatFitsOnlyAFreshLineMovesThere) {
    const string y75(75, 'y');
    EXPECT_EQ(warn("short " + y75), "warning: short\n   " + y75 + "\n");
}

TEST_F(DiagWrap, WordLongerThanALineIsCut) {
    const string x(150, 'x');
    // 70 columns after the header, then full continuation lines of 76.
    EXPECT_EQ(warn(x), "warning: " + x.substr(0, 70) + "\n   " + x.substr(70, 76) + "\n   " +
                           x.substr(146) + "\n");
}

TEST_F(DiagWrap, ContinuationLinesHoldAtMost76Characters) {
    string text;
    for (int i = 0; i < 40; ++i) text += (i ? " word" : "word") + std::to_string(i % 10);
    const string printed = warn(text);
    size_t start = 0;
    int lines = 0;
    while (start < printed.size()) {
        const size_t nl = printed.find('\n', start);
        ASSERT_NE(nl, string::npos);
        const string line = printed.substr(start, nl - start);
        EXPECT_LE(line.size(), 79u) << line;
        if (lines > 0) {
            EXPECT_EQ(line.substr(0, 3), "   ");
            EXPECT_NE(line[3], ' ');
        }
        EXPECT_NE(line.back(), ' ') << "trailing blank in: " << line;
        ++lines;
        start = nl + 1;
    }
    EXPECT_EQ(lines, 4);
}

TEST_F(DiagWrap, TabIsABreak) {
    EXPECT_EQ(warn(string(60, 'a') + "\t" + string(20, 'b')),
              "warning: " + string(60, 'a') + "\n   " + string(20, 'b') + "\n");
}

TEST_F(DiagWrap, BlankAndTabBeforeABreakAreBothDropped) {
    // 18310's text holds a blank and a tab before "successors".
    DIAG::trelv_warn_no_succ(TRELV_HERE, "f", "B1").emit();
    EXPECT_EQ(err(),
              "warning: Func f: Trying to set instrumentation index for block B1 with no\n"
              "   successors\n");
}

TEST_F(DiagWrap, TabInsideAShortTextIsKept) { EXPECT_EQ(warn("a\tb"), "warning: a\tb\n"); }

TEST_F(DiagWrap, NewlineInTextStartsAContinuationLine) {
    EXPECT_EQ(warn("first\nsecond"), "warning: first\n   second\n");
}

TEST_F(DiagWrap, BlanksAreKeptWhenTheRestFits) {
    EXPECT_EQ(warn(" B1 B2   "), "warning:  B1 B2   \n");
}

TEST_F(DiagWrap, WrappingOffPrintsEverythingOnTheHeaderLine) {
    DIAG::settings().wrap = false;
    const string text(200, 'z');
    EXPECT_EQ(warn(text + " tail"), "warning: " + text + " tail\n");
}

TEST_F(DiagWrap, EmitCountsHeaderAndFormattedText) {
    EXPECT_EQ(DIAG::trelv_warn_incomplete_blk_list(TRELV_HERE, "B1 B2").emit(), 9 + 5);
}

}  // namespace
