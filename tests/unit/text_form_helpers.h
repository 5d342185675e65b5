// Helpers for tests that build units from the I-code text form.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "icode/text/text_form.h"

namespace text_form_test {

// Assembles text that must be valid.
inline std::string assemble_ok(const std::string& text) {
    std::string unit, error;
    EXPECT_TRUE(icode_text::assemble(text, "t.txt", unit, &error)) << error;
    return unit;
}

// The "FILE:LINE: message" of text that must be refused.
inline std::string assemble_error(const std::string& text) {
    std::string unit, error;
    EXPECT_FALSE(icode_text::assemble(text, "t.txt", unit, &error)) << "assembled:\n" << text;
    return error;
}

// Disassembles a unit that must be intact.
inline std::string dis_ok(const std::string& unit) {
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(icode_text::disassemble(unit, out, &error)) << error;
    return out.str();
}

}  // namespace text_form_test
