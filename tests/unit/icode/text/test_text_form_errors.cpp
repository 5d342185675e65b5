// The text form's failure paths: every message of the assembler with its
// "FILE:LINE: message" form, and damaged units given to the disassembler,
// which prints every byte and reports the damage.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "text_form_helpers.h"

namespace {

using namespace text_form_test;

struct BAD_LINE {
    const char* line;
    const char* message;
};

TEST(TextFormErrors, EachAssemblerErrorNamesFileAndLine) {
    const std::vector<BAD_LINE> cases = {
        // the line as a whole
        {"= 3", "expected a record keyword"},
        {"lable label=1", "unknown record keyword lable"},
        {"node opcode=1", "unknown record keyword node"},
        {"FOO type=1", "unknown opcode FOO"},
        {"OP_164 type=1", "unknown opcode OP_164"},
        {"type int", "type needs an id"},
        {"type 1 integer", "unknown type code \"integer\""},
        {"end now", "unexpected text after end"},
        {".sections", "unknown section marker .sections"},
        {".types now", "unexpected text after the section marker"},
        {"raw 123", "raw bytes are pairs of hexadecimal digits"},
        {"raw 0g", "raw bytes are pairs of hexadecimal digits"},
        {"raw 01 ,", "raw bytes are pairs of hexadecimal digits"},
        {"drop108 a=1", "drop108 needs sub=N"},
        {"drop108 sub=3", "drop108 has no layout for sub=3"},
        // fields
        {"label label=1 x", "expected name=value, found \"x\""},
        {"label lable=1", "unknown field lable for label"},
        {"type 1 int sise=16", "unknown field sise for type int"},
        {"label label=1 label=2", "field label given twice"},
        {"drop108 sub=1 sub=1", "field sub given twice"},
        {"ICON type=1 opcode=3", "field opcode is given by the record's first word"},
        {"type 1 int code=15", "field code is given by the record's first word"},
        {"label len=-1", "len needs a number from 0 to 4294967295"},
        {"label len=4294967296", "len needs a number from 0 to 4294967295"},
        {"symbol ref=1", "field ref is not present in version -72"},
        // values
        {"label label=x", "label: expected a number for label"},
        {"label label=4294967296", "label: value out of range for label"},
        {"symbol class=256", "class: value out of range for class"},
        {"symbol quals=65536", "quals: value out of range for quals"},
        {"drop64 a=-129", "a: value out of range for a"},
        {"drop124 level=2147483648", "level: value out of range for level"},
        {"text text=abc", "text: expected a string in double quotes"},
        {"text text=\"abc", "text: string without closing quote"},
        {"text text=\"\\q\"", "text: unknown escape \\q"},
        {"text text=\"\\x4\"", "text: \\x needs two hexadecimal digits"},
        {"text text=\"a\\x00\"", "text: a string field cannot hold a NUL byte"},
        {"mark pos=1:2", "pos: expected a position FILE:LINE:COLUMN or -"},
        {"mark pos=0:1:1", "pos: position out of range (the file index starts at 1)"},
        {"pragma args=\"a\"", "args: expected a list in [ ]"},
        {"pragma args=[\"a\" \"b\"]", "args: expected ',' or ']' in list"},
        {"pragma args=[\"a\\0\"]", "args: a string cannot hold a NUL byte"},
        {"drop59 values=[70000]", "values: expected a 16-bit value"},
        {"eht_catches items=[(\"a\", 1)]", "items: expected a catch item (\"text\", number, flag)"},
        {"eht_catches items=[(\"a\", 1, 256)]", "items: catch item value out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        // Line 1 sets the version that the records after it follow.
        std::string text = std::string("header version=-72\n; comment\n") + c.line + "\nend\n";
        EXPECT_EQ(assemble_error(text), std::string("t.txt:3: ") + c.message);
    }
}

TEST(TextFormErrors, FieldsAbsentInTheVersionAreRefused) {
    EXPECT_EQ(assemble_error("header version=-84 reserved=0\n"),
              "t.txt:1: field reserved is not present in version -84");
    EXPECT_EQ(assemble_error("header version=-77\nend\n.types\ntype 1 array vector=0\n"),
              "t.txt:4: field vector is not present in version -77");
    EXPECT_EQ(assemble_error("header version=-86\ntype 1 field flag2=0\n"),
              "t.txt:2: field flag2 is not present in version -86");
    EXPECT_EQ(assemble_error("header version=-82\ntype 1 enum mangled=0\n"),
              "t.txt:2: field mangled is not present in version -82");
}

TEST(TextFormErrors, ValuesThatOnlyFailWhenEncoded) {
    std::string many = "drop59 values=[0";
    for (int i = 1; i < 256; ++i) many += ", 0";
    EXPECT_EQ(assemble_error("header\n" + many + "]\n"), "t.txt:2: more than 255 values");
}

// A damaged unit: dis must fail with the message, print every byte (the
// damaged part as raw bytes), and its text must assemble to the same bytes.
struct DAMAGE {
    const char* what;
    const char* text;
    const char* error;
    const char* raw_line;  // a line the printed text must hold
};

TEST(TextFormErrors, DamagedUnitsPrintEveryByteAndReportTheDamage) {
    // The header of name="t.c" ends at offset 0x2c.
    const std::vector<DAMAGE> cases = {
        {"cut off inside the length", "header name=\"t.c\"\nraw 2a 80\n",
         "damaged record at offset 0x2c: record cut off inside its length",
         "raw 2a 80  ; undecodable 42: record cut off inside its length"},
        {"length past the end of the file", "header name=\"t.c\"\nlabel label=3 len=200\n",
         "damaged record at offset 0x2c: payload length 200 runs past the end of the unit",
         "raw 2a c8 01 03  ; undecodable 42: payload length 200 runs past the end of the unit"},
        {"payload shorter than its fields", "header name=\"t.c\"\nlabel label=300 len=1\nend\n",
         "damaged record at offset 0x2c: record ends inside a field",
         "raw 2a 01 ac  ; undecodable 42: record ends inside a field"},
        {"payload longer than its fields", "header name=\"t.c\"\nlabel label=3 len=2\nend\n",
         "damaged record at offset 0x2c: payload has 1 byte(s) after its fields",
         "raw 2a 02 03 ff  ; undecodable 42: payload has 1 byte(s) after its fields"},
        {"opcode above 163", "header name=\"t.c\"\nexpr\nraw 65 02 a4 00\nend\n",
         "damaged record at offset 0x2f: no layout for node opcode 164",
         "raw 65 02 a4 00  ; undecodable 101: no layout for node opcode 164"},
        {"type code without layout", "header name=\"t.c\"\nend\n.types\nraw 74 02 07 1a\nend\n",
         "damaged record at offset 0x2d: no layout for type code 26",
         "raw 74 02 07 1a  ; undecodable 116: no layout for type code 26"},
        {"unknown kind", "header name=\"t.c\"\nraw 07 00\nend\n",
         "damaged record at offset 0x2c: unknown record kind 7", "raw 07 00  ; unknown kind 7"},
        {"offset beyond the file", "header name=\"t.c\" types=500\nend\n",
         "section offset types=500 lies beyond the end of the unit (45 bytes)",
         "header magic=\"!<icode>\\n\" version=-71 target=700 types=500 name=\"t.c\" reserved=0"},
        {"offset into the header", "header name=\"t.c\" symbols=3\nend\n",
         "section offset symbols=3 points into the header",
         "header magic=\"!<icode>\\n\" version=-71 target=700 symbols=3 name=\"t.c\" reserved=0"},
        {"offset inside a record", "header name=\"t.c\" types=46\nlabel label=300\nend\n",
         "damaged record at offset 0x2c: a section offset points inside this record",
         "raw 2a 02  ; undecodable 42: a section offset points inside this record"},
        {"no header", "raw 01 02 03\n", "not an I-code unit: no header record at offset 0",
         "raw 01 02 03"},
        {"damaged header", "header name=\"t.c\" len=3\n",
         "damaged header record: string without terminator at offset 0",
         "raw 08 03 21 3c 69 63 6f 64 65 3e 0a 00 b9 ff bc 02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string unit = assemble_ok(c.text);
        std::ostringstream out;
        std::string error;
        EXPECT_FALSE(icode_text::disassemble(unit, out, &error));
        EXPECT_EQ(error, c.error);
        std::string printed = out.str();
        EXPECT_NE(printed.find(std::string(c.raw_line) + "\n"), std::string::npos) << printed;
        EXPECT_EQ(assemble_ok(printed), unit) << printed;
    }
}

TEST(TextFormErrors, DecodingGoesOnAfterTheDamage) {
    // Only the first damage is reported; the records after it still print.
    std::string unit = assemble_ok("header name=\"t.c\"\nraw 07 00\nlabel label=5\nraw 09\nend\n");
    std::ostringstream out;
    std::string error;
    EXPECT_FALSE(icode_text::disassemble(unit, out, &error));
    EXPECT_EQ(error, "damaged record at offset 0x2c: unknown record kind 7");
    EXPECT_EQ(out.str(),
              "header magic=\"!<icode>\\n\" version=-71 target=700 name=\"t.c\" reserved=0\n"
              "raw 07 00  ; unknown kind 7\n"
              "label label=5\n"
              "raw 09 ff  ; unknown kind 9\n");
}

TEST(TextFormErrors, LongerEncodingsAreNotDamage) {
    // A reader takes a number in a longer form than the shortest; the text
    // keeps such a record as raw bytes so that it assembles back unchanged.
    std::string unit = assemble_ok("header name=\"t.c\"\nraw 2a 02 83 00\nend\n");
    std::string printed = dis_ok(unit);
    EXPECT_NE(printed.find("\nraw 2a 02 83 00  ; kind 42, not in its shortest encoding\nend\n"),
              std::string::npos)
        << printed;
    EXPECT_EQ(assemble_ok(printed), unit);
}

TEST(TextFormErrors, AnEmptyFileIsNotAUnit) {
    std::ostringstream out;
    std::string error;
    EXPECT_FALSE(icode_text::disassemble("", out, &error));
    EXPECT_EQ(error, "not an I-code unit: no header record at offset 0");
    EXPECT_EQ(assemble_ok(out.str()), "");
}

}  // namespace
