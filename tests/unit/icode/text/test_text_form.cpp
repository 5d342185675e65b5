// The text form's assembler errors, each with its "FILE:LINE: message".  (The
// round trip through the text form is part of the writer tests; the printed
// form and damaged units are black-box tests.)
#include <gtest/gtest.h>

#include <string>

#include "text_form_helpers.h"

namespace {

using namespace text_form_test;

TEST(TextForm, EachAssemblerErrorNamesFileAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"lable label=1", "unknown record keyword lable"},
        {"OP_164 type=1", "unknown opcode OP_164"},
        {"raw 0g", "raw bytes are pairs of hexadecimal digits"},
        {"drop108 sub=3", "drop108 has no layout for sub=3"},
        {"label label=1 x", "expected name=value, found \"x\""},
        {"symbol ref=1", "field ref is not present in version -72"},
        {"label label=4294967296", "label: value out of range for label"},
        {"text text=\"a\\x00\"", "text: a string field cannot hold a NUL byte"},
        {"mark pos=0:1:1", "pos: position out of range (the file index starts at 1)"},
        {"drop59 values=[70000]", "values: expected a 16-bit value"},
    };
    for (const auto& [line, message] : cases)
        EXPECT_EQ(assemble_error(std::string("header version=-72\n; comment\n") + line + "\nend\n"),
                  std::string("t.txt:3: ") + message);
    std::string many = "header\ndrop59 values=[0";
    for (int i = 1; i < 256; ++i) many += ", 0";
    EXPECT_EQ(assemble_error(many + "]\n"), "t.txt:2: more than 255 values");
}

}  // namespace
