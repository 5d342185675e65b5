// The line and number reader under the profile data file parser.
#include "profmgr/profile_data_scan.h"

#include <limits>

LINE_READ read_profile_line(std::istream& in, std::string& line, bool* terminated) {
    return read_bounded_line(in, line, PROFILE_LINE_MAX, terminated);
}

bool PROFILE_DATA_SCANNER::next_line() {
    const LINE_READ r = too_long_ ? LINE_READ::END : read_profile_line(in_, line_);
    if (r != LINE_READ::LINE) {
        if (r == LINE_READ::TOO_LONG && !too_long_) {
            too_long_ = true;
            too_long_line_ = started_ ? number_ + 1 : 0;
        }
        line_.clear();
        column_ = 0;
        return false;
    }
    if (started_) ++number_;
    started_ = true;
    column_ = 0;
    return true;
}

PROFILE_DATA_SCANNER::NUMBER_RESULT PROFILE_DATA_SCANNER::read_signed(int32_t& value) {
    bool negative = false;
    uint64_t magnitude = 0;
    // The negative range reaches one further than the positive one; the
    // sign is only known once read, so the wider limit applies here and the
    // positive side is checked below.
    const uint64_t limit = uint64_t{std::numeric_limits<int32_t>::max()} + 1;
    const NUMBER_RESULT r = read_number(true, negative, limit, magnitude);
    if (r != NUMBER) return r;
    if (!negative && magnitude == limit) return NOT_A_NUMBER;
    value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                     : static_cast<int32_t>(magnitude);
    return NUMBER;
}
