// Bounded line reading: the same lines as std::getline up to the bound,
// a line past it refused without being held, and profile data files and
// tables that never end a line refused or skipped with the line named.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "profmgr/bounded_line.h"
#include "profmgr/profile_data_file.h"
#include "profmgr/profile_data_scan.h"
#include "tools/coverage/cmd_coverage.h"

namespace {

using std::string;

struct LINES {
    std::vector<string> lines;
    bool too_long = false;
    bool last_terminated = false;
};

LINES read_all(const string& text, std::size_t max) {
    std::istringstream in(text);
    LINES out;
    string line;
    for (;;) {
        const LINE_READ r = read_bounded_line(in, line, max, &out.last_terminated);
        if (r == LINE_READ::END) break;
        if (r == LINE_READ::TOO_LONG) {
            out.too_long = true;
            break;
        }
        out.lines.push_back(line);
    }
    return out;
}

TEST(BoundedLine, ReadsWhatGetlineReadsUpToTheBound) {
    const string piece(4095, 'p');  // the reader's piece size, less one
    const string cases[] = {"",
                            "a",
                            "a\n",
                            "a\nb",
                            "\n\n",
                            "a\r\nb\r\n",
                            piece + "\n",
                            piece + "x\n" + piece,
                            string("a\0b\n", 4)};
    for (const string& text : cases) {
        std::istringstream in(text);
        std::vector<string> expected;
        for (string l; std::getline(in, l);) expected.push_back(l);
        const LINES got = read_all(text, 10000);
        EXPECT_FALSE(got.too_long) << text.size();
        EXPECT_EQ(got.lines, expected) << text.size();
    }
}

TEST(BoundedLine, ALineBeyondTheBoundIsTooLong) {
    struct CASE {
        string text;
        std::size_t max;
        std::size_t lines_before;
        bool too_long;
    };
    const CASE cases[] = {
        {"abc\n", 3, 1, false},
        {"abcd\n", 3, 0, true},
        {"abc", 3, 1, false},
        {"abcd", 3, 0, true},
        {"ab\nabcd\n", 3, 1, true},
        {string(9000, 'z'), 8192, 0, true},
        {string(8192, 'z') + "\n", 8192, 1, false},
    };
    for (const CASE& c : cases) {
        const LINES got = read_all(c.text, c.max);
        EXPECT_EQ(got.too_long, c.too_long) << c.text.size() << " " << c.max;
        EXPECT_EQ(got.lines.size(), c.lines_before) << c.text.size() << " " << c.max;
    }
}

TEST(BoundedLine, ProfileDataFileWithALineTooLongKeepsNoRecords) {
    for (const string& before : {string(), string("x/f\n1 2\n")}) {
        auto in = std::make_unique<std::istringstream>(before + string(PROFILE_LINE_MAX + 1, '\0') +
                                                       "\n");
        PROFILE_DATA_FILE file(std::move(in), "x/", false);
        const string line = before.empty() ? "1" : "3";
        EXPECT_EQ(file.error(),
                  "line " + line + " is longer than the limit of 16777216 bytes for a line");
        DATA_SETS sets;
        file.replay("x/f", "f", sets, nullptr);
        EXPECT_TRUE(sets.empty());
    }
    // A line of the limit itself is read.
    auto in = std::make_unique<std::istringstream>("x/f\n1 2" + string(PROFILE_LINE_MAX - 3, ' '));
    PROFILE_DATA_FILE file(std::move(in), "x/", false);
    EXPECT_EQ(file.error(), "");
}

TEST(BoundedLine, CoverageTableRowTooLongIsABadLine) {
    const string header =
        "\"filename\",\"funcname\",line number,column number,frequency count,\"comment\"\n";
    const string row = "\"a.c\",\"f\",1,2,3,\"x = 1\"\n";
    std::istringstream in(header + row + string(3 << 20, '"') + "\n" + row);
    COVERAGE_TABLE table;
    ASSERT_TRUE(read_coverage_table(in, table));
    EXPECT_EQ(table.bad, std::vector<int>{3});
    EXPECT_EQ(table.rows.size(), 1u);  // the same statement twice: the later group replaces
    // A header line that goes on past the header is no header.
    std::istringstream endless(header.substr(0, header.size() - 1) + string(1000, 'x'));
    EXPECT_FALSE(read_coverage_table(endless, table));
}

}  // namespace
