// Reads a profile data file as its two kinds of content need it: whole lines
// (the name lines and everything between records) and numbers that may run
// over line ends (the count and the values of a record).
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

#include "profmgr/bounded_line.h"

// The longest line a profile data file may hold, line end excluded.  Name
// lines are a path and a function name, and a record's values may share one
// line; this leaves room for millions of values on a line while a file that
// never ends a line (a device, a binary file) stops here instead of filling
// the memory.
constexpr std::size_t PROFILE_LINE_MAX = std::size_t{16} << 20;

// Reads one line of a profile data file (see read_bounded_line).
LINE_READ read_profile_line(std::istream& in, std::string& line, bool* terminated = nullptr);

class PROFILE_DATA_SCANNER {
public:
    enum NUMBER_RESULT { NUMBER, NOT_A_NUMBER, END_OF_FILE };

    explicit PROFILE_DATA_SCANNER(std::istream& in) : in_(in) {}

    // Moves to the next line (without its line end); false at the end of
    // the file, and at a line longer than PROFILE_LINE_MAX, which too_long
    // then tells.  Numbers are read from the start of the new line.
    bool next_line();
    bool too_long() const { return too_long_; }
    // The number of the line that was too long, counted as line_number.
    std::size_t too_long_line() const { return too_long_line_; }
    const std::string& line() const { return line_; }
    // Lines are numbered from 0 in file order.
    std::size_t line_number() const { return number_; }

    // Marks the whole current line as read, so that the next number is
    // looked for on the following lines: a record's numbers start after its
    // name line.
    void skip_rest_of_line() { column_ = line_.size(); }

    // Reads one number after any white space, line ends included.  A number
    // is an optional sign ("-" only for the signed form) and at least one
    // digit; it ends before the first character that is not a digit.  A
    // number outside the 32-bit range counts as no number.
    NUMBER_RESULT read_signed(int32_t& value);
    NUMBER_RESULT read_unsigned(uint32_t& value);

    // What follows the last number read on its line.
    std::string rest_of_line() const { return line_.substr(column_); }

private:
    bool skip_space();
    NUMBER_RESULT read_number(bool allow_minus, bool& negative, uint64_t limit, uint64_t& value);

    std::istream& in_;
    std::string line_;
    std::size_t number_ = 0;
    std::size_t column_ = 0;
    bool started_ = false;
    bool too_long_ = false;
    std::size_t too_long_line_ = 0;
};

// The reading of numbers, inline: a profile-using run reads every value of
// the file twice (see PROFILE_DATA_FILE), millions of them.

namespace profile_scan_detail {

inline bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Digits beyond this magnitude cannot make a 32-bit number any more; the
// sum stops growing there so that a long run of digits cannot overflow it.
constexpr uint64_t SATURATED = uint64_t{1} << 33;

}  // namespace profile_scan_detail

inline bool PROFILE_DATA_SCANNER::skip_space() {
    using profile_scan_detail::is_space;
    for (;;) {
        while (column_ < line_.size() && is_space(line_[column_])) ++column_;
        if (column_ < line_.size()) return true;
        // The line end is white space as well: go on with the next line.
        if (!next_line()) return false;
    }
}

inline PROFILE_DATA_SCANNER::NUMBER_RESULT PROFILE_DATA_SCANNER::read_number(bool allow_minus,
                                                                             bool& negative,
                                                                             uint64_t limit,
                                                                             uint64_t& value) {
    using profile_scan_detail::is_digit;
    using profile_scan_detail::SATURATED;
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

inline PROFILE_DATA_SCANNER::NUMBER_RESULT PROFILE_DATA_SCANNER::read_unsigned(uint32_t& value) {
    bool negative = false;
    uint64_t magnitude = 0;
    const NUMBER_RESULT r = read_number(false, negative, UINT32_MAX, magnitude);
    if (r == NUMBER) value = static_cast<uint32_t>(magnitude);
    return r;
}
