// Bounded line reading: the same lines as std::getline up to the bound,
// and a line past it refused without being held (the profile data files
// and tables that use it are checked by the black-box safety tests).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "profmgr/bounded_line.h"

TEST(BoundedLine, ReadsWhatGetlineReadsUpToTheBound) {
    const std::string piece(4095, 'p');  // the reader's piece size, less one
    const struct {
        std::string text;
        std::size_t max;
        const char* too_long_after;  // null: getline's lines, else the lines before
    } cases[] = {
        {"", 10000, nullptr},
        {"a\nb", 10000, nullptr},
        {"\n\n", 10000, nullptr},
        {"a\r\nb\r\n", 10000, nullptr},
        {piece + "x\n" + piece, 10000, nullptr},
        {std::string("a\0b\n", 4), 10000, nullptr},
        {"abc\n", 3, nullptr},
        {"abc", 3, nullptr},
        {"abcd\n", 3, ""},
        {"ab\nabcd\nab\n", 3, "ab|"},
        {std::string(9000, 'z'), 8192, ""},
        {std::string(8192, 'z') + "\n", 8192, nullptr},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text), again(c.text);
        std::string got, want, line;
        for (LINE_READ r; (r = read_bounded_line(in, line, c.max, nullptr)) != LINE_READ::END;) {
            if (r == LINE_READ::TOO_LONG) break;
            got += line + "|";
        }
        if (c.too_long_after)
            want = c.too_long_after;
        else
            while (std::getline(again, line)) want += line + "|";
        EXPECT_EQ(got, want) << c.text.size() << " " << c.max;
    }
}
