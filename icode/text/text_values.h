// Printing and parsing of field values in the I-code text form.
//
//   numbers    decimal, or hexadecimal with 0x
//   strings    "..." with \" \\ \n \t \r and \xHH for other bytes
//   positions  FILE:LINE:COLUMN (file index 1-based), or - for none
//   lists      [a, b, ...]; catch items are ("text", number, flag)
#pragma once

#include <string>

#include "icode/record_codec.h"

namespace icode_text {

std::string quote(const std::string& bytes);
std::string format_value(const icode::FIELD_DESC& d, const icode::FIELD_VALUE& v);

// A cursor over one line of text.
class LINE_SCANNER {
public:
    explicit LINE_SCANNER(const std::string& line) : s_(line) {}
    void skip_blanks();
    bool at_end();
    // A bare word: letters, digits, '_', '.', '-' (stops at '=' and blanks).
    bool word(std::string& out);
    bool consume(char c);
    bool peek(char c);
    bool number(int64_t& out);
    bool string(std::string& out, std::string* error);
    // Parses the value of a field of the given encoding; false with a
    // message on error.
    bool value(const icode::FIELD_DESC& d, icode::FIELD_VALUE& v, std::string* error);
    size_t offset() const { return i_; }

private:
    const std::string& s_;
    size_t i_ = 0;
};

// Range of values an encoding accepts in the text form.
bool value_in_range(icode::ENC enc, int64_t v);

}  // namespace icode_text
