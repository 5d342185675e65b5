// The text form: text -> unit -> text -> unit keeps every byte for every
// record kind, node leaf and type code; defaults and free layout of the
// text; section offsets; each assembler error with its "FILE:LINE: message";
// and damaged units, which the disassembler prints in full as raw bytes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../rich_unit.h"
#include "icode/record_kinds.h"
#include "text_form_helpers.h"

namespace {

using namespace text_form_test;

uint32_t u32_at(const std::string& unit, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= uint32_t(uint8_t(unit.at(at + i))) << (8 * i);
    return v;
}

TEST(TextForm, EveryRecordLeafAndTypeCodeRoundTrips) {
    for (const std::string& text :
         {std::string(reader_test::RICH_UNIT), reader_test::every_type_unit()}) {
        std::string printed = round_trip(text);
        // Nothing printed as raw bytes: every record was decoded.
        EXPECT_EQ(printed.find("raw "), std::string::npos) << printed;
    }
}

TEST(TextForm, DefaultsCommentsAndFieldsInAnyOrder) {
    EXPECT_EQ(round_trip("; a unit\n\n   header name=\"a;b\" target = 700  ; the ; in a string\n"
                         "symbol\npragma\n\tlabel   label=0x10\ndrop108 e=5 sub=1 a=1\n"
                         "text_at pos=1:2:3 text=\"q\\\"\\\\\\x01\"\n"),
              "header magic=\"!<icode>\\n\" version=-71 target=700 name=\"a;b\" reserved=0\n"
              "symbol name=\"\" size=0 value=0 class=0 quals=0 type=0 type2=0 align=0 "
              "pragmas=0 defoff=0 opt=0 pos=- ref=0\n"
              "pragma kind=0 args=[]  ; INVALID\n"
              "label label=16\n"
              "drop108 a=1 sub=1 b=0 c=0 type=0 d=0 e=5\n"
              "text_at text=\"q\\\"\\\\\\x01\" pos=1:2:3\n");
    // len writes the given payload length; raw bytes stand as written.
    EXPECT_EQ(assemble_ok("label label=3 len=5\nraw 01 ff\nraw 7F00 ; two\n"),
              std::string("\x2a\x05\x03\x01\xff\x7f\x00", 7));
}

TEST(TextForm, SectionOffsetsPointAtTheirFirstRecord) {
    // The sections in file order, the header offset of each, and the kind
    // of the record that starts it.
    const std::vector<std::tuple<const char*, const char*, size_t, uint8_t>> sections = {
        {".init", "init sym=0\n  ENDINIT\n", 20, icode::REC_INIT},
        {".strings", "string_list id=1 strings=[\"-g\"]\n", 16, icode::REC_STRING_LIST},
        {".types", "type 1 int size=16 align=16\n", 24, icode::REC_TYPE},
        {".files", "file_name name=\"a.c\"\n", 28, icode::REC_FILE_NAME},
        {".symbols", "symbol name=\"x\" type=1\n", 32, icode::REC_SYMBOL},
    };
    for (unsigned mask : {0u, 5u, 10u, 31u}) {
        std::string text = "header name=\"s.c\"\nmark\nend\n";
        for (size_t s = 0; s < sections.size(); ++s)
            if (mask & (1u << s))
                text += std::get<0>(sections[s]) + std::string("\n") + std::get<1>(sections[s]) +
                        "end\n";
        std::string unit = assemble_ok(text);
        for (size_t s = 0; s < sections.size(); ++s) {
            uint32_t offset = u32_at(unit, std::get<2>(sections[s]));
            if (mask & (1u << s))
                EXPECT_EQ(uint8_t(unit.at(offset)), std::get<3>(sections[s])) << mask << " " << s;
            else
                EXPECT_EQ(offset, 0u) << mask << " " << s;
        }
        round_trip(text);
    }
    // An offset given in the header wins over the marker.
    std::string unit =
        assemble_ok("header types=0 files=45\nend\n.types\ntype 1 int\nend\n.files\nend\n");
    EXPECT_EQ(u32_at(unit, 24), 0u);
    EXPECT_EQ(u32_at(unit, 28), 45u);
}

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

TEST(TextForm, DamagedUnitsPrintEveryByteAndReportTheFirstDamage) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"header name=\"t.c\"\nlabel label=300 len=1\nend\n",
         "damaged record at offset 0x2c: record ends inside a field",
         "raw 2a 01 ac  ; undecodable 42: record ends inside a field"},
        {"header name=\"t.c\" types=46\nlabel label=300\nend\n",
         "damaged record at offset 0x2c: a section offset points inside this record",
         "raw 2a 02  ; undecodable 42: a section offset points inside this record"},
        {"header name=\"t.c\"\nraw 2a 02 83 00\nend\n", "",
         "raw 2a 02 83 00  ; kind 42, not in its shortest encoding"},
    };
    for (const auto& [text, error, raw] : cases) {
        std::string unit = assemble_ok(text), why;
        std::ostringstream out;
        EXPECT_EQ(icode_text::disassemble(unit, out, &why), *error == '\0');
        EXPECT_EQ(why, error);
        EXPECT_NE(out.str().find(std::string(raw) + "\n"), std::string::npos) << out.str();
        EXPECT_EQ(assemble_ok(out.str()), unit) << out.str();
    }
}

}  // namespace
