// Line reading with a bound on the line length.
#include "profmgr/bounded_line.h"

#include <algorithm>

LINE_READ read_bounded_line(std::istream& in, std::string& line, std::size_t max,
                            bool* terminated) {
    line.clear();
    if (terminated) *terminated = false;
    if (!in) return LINE_READ::END;
    // Read in pieces: a piece that fills the buffer without a line end sets
    // the fail state, which only means that the line goes on.
    char piece[4096];
    bool any = false;
    for (;;) {
        const std::size_t room = max + 1 - line.size();  // one more shows a line too long
        in.getline(piece, std::streamsize(std::min(sizeof piece, room + 1)));
        const std::streamsize got = in.gcount();
        any = any || got > 0;
        if (in.fail() && !in.eof() && !in.bad()) {
            line.append(piece, std::size_t(got));
            in.clear();
        } else if (!in.fail() && !in.eof()) {
            // The line end was read and counted, not stored.
            line.append(piece, std::size_t(got - 1));
            if (terminated) *terminated = true;
            return line.size() > max ? LINE_READ::TOO_LONG : LINE_READ::LINE;
        } else {
            line.append(piece, std::size_t(got));
            if (line.size() > max) return LINE_READ::TOO_LONG;
            return any ? LINE_READ::LINE : LINE_READ::END;
        }
        if (line.size() > max) return LINE_READ::TOO_LONG;
    }
}
