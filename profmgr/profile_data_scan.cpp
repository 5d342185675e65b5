// The line and number reader under the profile data file parser.
#include "profmgr/profile_data_scan.h"

#include <limits>

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Digits beyond this magnitude cannot make a 32-bit number any more; the
// sum stops growing there so that a long run of digits cannot overflow it.
constexpr uint64_t SATURATED = uint64_t{1} << 33;

}  // namespace

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

bool PROFILE_DATA_SCANNER::skip_space() {
    for (;;) {
        while (column_ < line_.size() && is_space(line_[column_])) ++column_;
        if (column_ < line_.size()) return true;
        // The line end is white space as well: go on with the next line.
        if (!next_line()) return false;
    }
}

PROFILE_DATA_SCANNER::NUMBER_RESULT PROFILE_DATA_SCANNER::read_number(bool allow_minus,
                                                                      bool& negative,
                                                                      uint64_t limit,
                                                                      uint64_t& value) {
    if (!skip_space()) return END_OF_FILE;
    negative = false;
    std::size_t at = column_;
    if (line_[at] == '+' || (allow_minus && line_[at] == '-')) {
        negative = line_[at] == '-';
        ++at;
    }
    if (at >= line_.size() || !is_digit(line_[at])) return NOT_A_NUMBER;
    value = 0;
    for (; at < line_.size() && is_digit(line_[at]); ++at)
        if (value < SATURATED) value = value * 10 + static_cast<uint64_t>(line_[at] - '0');
    column_ = at;
    return value <= limit ? NUMBER : NOT_A_NUMBER;
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

PROFILE_DATA_SCANNER::NUMBER_RESULT PROFILE_DATA_SCANNER::read_unsigned(uint32_t& value) {
    bool negative = false;
    uint64_t magnitude = 0;
    const NUMBER_RESULT r =
        read_number(false, negative, std::numeric_limits<uint32_t>::max(), magnitude);
    if (r == NUMBER) value = static_cast<uint32_t>(magnitude);
    return r;
}
