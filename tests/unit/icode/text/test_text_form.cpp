// The text form through text -> unit -> text: every record kind, every node
// leaf and every type code in the form that `icode dis` prints, the
// version-dependent fields at each version, and units with and without each
// optional section.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "icode/record_kinds.h"
#include "text_form_helpers.h"

namespace {

using namespace text_form_test;

// Every record kind, with every field spelled out and the comments that
// name symbols, types, files and attribute kinds.  Kind 123 empties the
// local table as a function begin does, so the NAME after it names nothing.
const char* const EVERY_KIND =
    R"(header magic="!<icode>\n" version=-71 target=700 name="all.c" reserved=7
func_begin pos=1:2:3 sym=0  ; f, all.c
symbol name="p" size=16 value=1 class=1 quals=-2 type=2 type2=0 align=16 pragmas=1 defoff=0 opt=5 pos=1:2:9 ref=1  ; int, all.c
pragma kind=52 args=[]  ; SYM_IS_REFERENCED
body_begin pos=1:3:1  ; all.c
block_begin pos=1:4:1  ; all.c
mark pos=-
opaque pos=1:4:2 bytes="\x01\x02"  ; all.c
text_at text="line\t1" pos=1:4:3  ; all.c
text text="plain"
drop38 a=1 b=2 c=3 d=4 e=5 s=-6
drop45 a=1 b=2 c=3 d=4 e=5
drop58 a=1 b=2 c=3
drop59 a=1 b=2 values=[3, 65535]
drop64 a=-1
drop108 a=1 sub=0 b=2 c=-3 type=2 d=-4 e=5  ; int
drop108 a=1 sub=1 b=2 c=3 type=0 d=4 e=5
drop108 a=1 sub=2 b=2
drop123 sym=0 a=-1 b=2 c=3 pos=-
drop124 a=1 level=-1 index=2 b=3
drop125 pos=-
label label=7
expr pos=1:5:6  ; all.c
  ASG type=2  ; int
    NAME type=2 level=1 index=0  ; int
    ICON type=2 value=-5  ; int
eht count=2
eht_entry first=1 kind=1 third=2 count=0
expr pos=-
  NOP type=0
eht_entry first=3 kind=2 third=0 count=1
eht_catches items=[("int", 3, 1)]
  NOP type=2  ; int
type 9 pointer pointee=2 size=16 align=16  ; int
file_name name="ignored.c"
block_end pos=-
func_end pos=1:9:1  ; all.c
end
.init
init sym=1  ; g
  ENDINIT type=0
end
.strings
string_list id=1 strings=["-O2", "--x"]
end
.types
type 2 int explicit_sign=1 size=16 align=16 flag1=0 flag2=0
end
.files
file_name name="all.c"
end
.symbols
symbol name="f" size=0 value=0 class=0 quals=0 type=2 type2=0 align=0 pragmas=0 defoff=0 opt=0 pos=- ref=0  ; int
symbol name="g" size=0 value=0 class=0 quals=0 type=2 type2=0 align=0 pragmas=0 defoff=0 opt=0 pos=- ref=0  ; int
end
)";

// Every kind of node leaf data, and the indentation of operands: SKIP and
// the other leaf opcodes read no operand, UICALL and UMCALL have none.
const char* const EVERY_LEAF =
    R"(header magic="!<icode>\n" version=-71 target=700 name="leaf.c" reserved=0
expr pos=-
  CALL type=2 extra=1 eht=2  ; int
    UAND type=3  ; int*
      NAME type=4 level=0 index=0  ; f, int()
    COMMA type=2  ; int
      COMMA type=2  ; int
        SCON type=3 bytes="a\x00b"  ; int*
        FCON type=5 text="1.5e3"  ; double
      LCON type=2 text="12345678901"  ; int
expr pos=-
  UCALL type=0 eht=3
    FIELD type=2 byte=-1 member=2 class=6  ; int, struct S
expr pos=-
  SWITCH type=2 number=4  ; int
    EPVAL type=2 weight=4294967295  ; int
      NAME type=2 level=4294967295 index=0  ; int
    DEFAULT type=2  ; int
      LABEL type=2 label=9  ; int
expr pos=-
  SKIP type=2 number=3  ; int
expr pos=-
  DDNODE type=2 id=1 locale=2 flags=255  ; int
    VREG type=2 reg=-7  ; int
expr pos=-
  ICALL type=2 name="f"  ; int
    UICALL type=2 name="g"  ; int
expr pos=-
  MCALL type=2 name="m"  ; int
    UMCALL type=2 name=""  ; int
expr pos=-
  OP_28 type=0
end
.types
type 2 int explicit_sign=0 size=16 align=16 flag1=0 flag2=0
type 3 pointer pointee=2 size=16 align=16  ; int
type 4 function ret=2 flag1=0 flag2=0 byte=0 flag3=0  ; int
type 4 open list=0
type 4 close list=0
type 5 double size=32 align=16
type 6 csu csu=0 name="S" flag1=0 flag2=0 size=16 align=16 has_fields=1 flag3=0 mangled=0 pos=-
type 6 open list=7
type 6 field member=1 name="a" type=2 byte1=0 offset=0 byte2=0 width=0 is_bitfield=0 flag1=0 flag2=0 pos=-  ; int
type 6 field member=2 name="b" type=2 byte1=0 offset=16 byte2=0 width=0 is_bitfield=0 flag1=0 flag2=0 pos=-  ; int
type 6 close list=7
end
.symbols
symbol name="f" size=0 value=0 class=0 quals=0 type=4 type2=0 align=0 pragmas=0 defoff=0 opt=0 pos=- ref=0  ; int()
end
)";

// Every type code, and a member record of each attribute list.
const char* const EVERY_TYPE =
    R"(header magic="!<icode>\n" version=-71 target=700 name="types.c" reserved=0
end
.types
type 1 bool explicit_sign=0 size=8 align=8 flag1=1 flag2=0
type 2 char explicit_sign=1 size=8 align=8 flag1=0 flag2=0
type 3 uchar explicit_sign=0 size=8 align=8 flag1=0 flag2=0
type 4 wchar explicit_sign=0 size=16 align=16 flag1=0 flag2=0
type 5 short explicit_sign=0 size=16 align=16 flag1=0 flag2=0
type 6 ushort explicit_sign=0 size=16 align=16 flag1=0 flag2=0
type 7 int explicit_sign=0 size=16 align=16 flag1=0 flag2=0
type 8 uint explicit_sign=0 size=16 align=16 flag1=0 flag2=0
type 9 long explicit_sign=0 size=32 align=16 flag1=0 flag2=0
type 10 ulong explicit_sign=0 size=32 align=16 flag1=0 flag2=0
type 11 llong explicit_sign=0 size=64 align=16 flag1=0 flag2=0
type 12 ullong explicit_sign=0 size=64 align=16 flag1=0 flag2=1
type 13 float size=32 align=16
type 14 double size=32 align=16
type 15 ldouble size=32 align=16
type 16 fixed byte1=-3 byte2=200 base=7 size=16 align=16  ; int
type 17 typedef name="size_t" base=8 size=16 align=16 flag1=1 flag2=0 pos=1:3:4  ; uint
type 18 pointer pointee=7 size=16 align=16  ; int
type 19 reference target=7 size=16 align=16  ; int
type 20 qualified base=7 quals=3 size=16 align=16  ; int
type 21 array elem=7 count=10 size=160 align=16 flag1=0 flag2=0 vector=1  ; int
type 22 function ret=7 flag1=1 flag2=0 byte=9 flag3=1  ; int
type 22 open list=0
type 22 param type=7 flag=1 number=2 name="x"  ; int
type 22 close list=0
type 23 enum name="E" size=16 align=16 base=7 mangled=1 pos=1:5:1  ; int
type 23 open list=1
type 23 enumerator name="A" value=-1 pos=1:5:10
type 23 close list=1
type 24 enum name="U" size=16 align=16 base=8 mangled=0 pos=-  ; uint
type 24 open list=1
type 24 enumerator name="B" value=65535 pos=-
type 24 close list=1
type 25 csu csu=1 name="un" flag1=0 flag2=0 size=16 align=16 has_fields=0 flag3=0 mangled=0 pos=-
type 26 csu_lists csu=2 name="C" flag1=0 flag2=0 size=32 align=16 extra=4 list2=1 list3=1 list4=1 list5=1 list6=1 list7=1 list8=1 list9=1 list0=1 flag3=0 mangled=0 pos=-
type 27 ptrmem pointee=7 class=26 size=16 align=16  ; int, struct C
type 26 open list=2
type 26 base_class type=25 offset=-16 byte=1 flag=1  ; struct un
type 26 close list=2
type 26 open list=3
type 26 member3 type=0 byte=2
type 26 close list=3
type 26 open list=4
type 26 member4 name="m4" type=7  ; int
type 26 close list=4
type 26 open list=5
type 26 member5 type=18  ; int*
type 26 close list=5
type 26 open list=6
type 26 member6 type=27  ; ptrmem
type 26 close list=6
type 26 open list=7
type 26 field member=1 name="f" type=7 byte1=1 offset=8 byte2=2 width=3 is_bitfield=1 flag1=1 flag2=1 pos=1:9:2  ; int
type 26 close list=7
type 26 open list=8
type 26 member8 name="m8" type=7 byte=3  ; int
type 26 close list=8
type 26 open list=9
type 26 member9 name="m9" type=22 byte=4 number=-5 flag1=1 flag2=0 flag3=1 flag4=0  ; int()
type 26 close list=9
type 26 open list=0
type 26 param type=7 flag=0 number=0 name="p0"  ; int
type 26 close list=0
type 28 complex size=32 align=16 part=13  ; float
type 29 void
end
)";

TEST(TextForm, EveryRecordKindPrintsAsWritten) { EXPECT_EQ(round_trip(EVERY_KIND), EVERY_KIND); }

TEST(TextForm, EveryNodeLeafPrintsAsWritten) { EXPECT_EQ(round_trip(EVERY_LEAF), EVERY_LEAF); }

TEST(TextForm, EveryTypeCodePrintsAsWritten) { EXPECT_EQ(round_trip(EVERY_TYPE), EVERY_TYPE); }

TEST(TextForm, OmittedFieldsTakeTheirDefaults) {
    // Fields left out are 0, "", [] or no position; the header defaults to
    // the newest version and target 700.
    std::string text = round_trip(
        "header\n"
        "symbol\n"
        "pragma\n"
        "mark\n");
    EXPECT_EQ(text,
              "header magic=\"!<icode>\\n\" version=-71 target=700 name=\"\" reserved=0\n"
              "symbol name=\"\" size=0 value=0 class=0 quals=0 type=0 type2=0 align=0 "
              "pragmas=0 defoff=0 opt=0 pos=- ref=0\n"
              "pragma kind=0 args=[]  ; INVALID\n"
              "mark pos=-\n");
}

TEST(TextForm, FieldsInAnyOrderCommentsAndBlankLines) {
    std::string unit = assemble_ok(
        "; a unit\n"
        "\n"
        "   header name=\"a;b\" target = 700   ; the ; inside the string is text\n"
        "\tlabel   label=0x10\n"
        "drop108 e=5 sub=1 a=1\n"
        "text_at pos=1:2:3 text=\"q\\\"\\\\\\x01\"\n");
    EXPECT_EQ(dis_ok(unit),
              "header magic=\"!<icode>\\n\" version=-71 target=700 name=\"a;b\" reserved=0\n"
              "label label=16\n"
              "drop108 a=1 sub=1 b=0 c=0 type=0 d=0 e=5\n"
              "text_at text=\"q\\\"\\\\\\x01\" pos=1:2:3\n");
}

TEST(TextForm, IntegerConstantBytesFollowTheSignOfTheType) {
    // int -1 is the single byte 7F after the type; unsigned 4294967295 is
    // FF FF FF FF 0F.
    std::string unit = assemble_ok(
        "header\n"
        "expr\n"
        "  ICON type=1 value=-1\n"
        "expr\n"
        "  ICON type=2 value=4294967295\n"
        "end\n"
        ".types\n"
        "type 1 int size=16 align=16\n"
        "type 2 uint size=16 align=16\n"
        "end\n");
    EXPECT_NE(unit.find(std::string("\x65\x03\x04\x01\x7f", 5)), std::string::npos);
    EXPECT_NE(unit.find(std::string("\x65\x07\x04\x02\xff\xff\xff\xff\x0f", 9)), std::string::npos);
    std::string text = round_trip(dis_ok(unit));
    EXPECT_NE(text.find("ICON type=1 value=-1  ; int\n"), std::string::npos);
    EXPECT_NE(text.find("ICON type=2 value=4294967295  ; uint\n"), std::string::npos);
}

TEST(TextForm, LenWritesTheGivenPayloadLength) {
    std::string unit = assemble_ok("label label=3 len=5\nlabel label=3 len=0x1\n");
    EXPECT_EQ(unit, std::string("\x2a\x05\x03\x2a\x01\x03", 6));
}

TEST(TextForm, RawBytesStandAsWritten) {
    std::string unit = assemble_ok("raw 01 ff\nraw 7F00 ; two at once\nraw\nend\n");
    EXPECT_EQ(unit, std::string("\x01\xff\x7f\x00\xff", 5));
}

// The sections in file order, with the header field that names each and the
// kind of the record that starts it.
struct SECTION {
    const char* marker;
    const char* records;
    size_t header_at;  // offset of the section's u32 in a short header
    uint8_t kind;
};

const std::vector<SECTION> SECTIONS = {
    {".init", "init sym=0\n  ENDINIT\n", 20, icode::REC_INIT},
    {".strings", "string_list id=1 strings=[\"-g\"]\n", 16, icode::REC_STRING_LIST},
    {".types", "type 1 int size=16 align=16\n", 24, icode::REC_TYPE},
    {".files", "file_name name=\"a.c\"\n", 28, icode::REC_FILE_NAME},
    {".symbols", "symbol name=\"x\" type=1\n", 32, icode::REC_SYMBOL},
};

TEST(TextForm, UnitsWithAndWithoutEachOptionalSection) {
    for (unsigned mask = 0; mask < 32; ++mask) {
        SCOPED_TRACE(mask);
        std::string text = "header name=\"s.c\"\nmark\nend\n";
        for (size_t s = 0; s < SECTIONS.size(); ++s)
            if (mask & (1u << s))
                text += std::string(SECTIONS[s].marker) + "\n" + SECTIONS[s].records + "end\n";
        std::string unit = assemble_ok(text);
        ASSERT_GT(unit.size(), 36u);
        for (size_t s = 0; s < SECTIONS.size(); ++s) {
            uint32_t offset = u32_at(unit, SECTIONS[s].header_at);
            if (mask & (1u << s)) {
                ASSERT_LT(offset, unit.size()) << SECTIONS[s].marker;
                EXPECT_EQ(uint8_t(unit[offset]), SECTIONS[s].kind) << SECTIONS[s].marker;
            } else {
                EXPECT_EQ(offset, 0u) << SECTIONS[s].marker;
            }
        }
        std::string printed = round_trip(text);
        for (size_t s = 0; s < SECTIONS.size(); ++s)
            EXPECT_EQ(printed.find(std::string(SECTIONS[s].marker) + "\n") != std::string::npos,
                      (mask & (1u << s)) != 0)
                << SECTIONS[s].marker;
    }
}

TEST(TextForm, AnOffsetGivenInTheHeaderWinsOverTheMarker) {
    std::string unit = assemble_ok(
        "header name=\"s.c\" types=0 files=45\n"
        "end\n"
        ".types\n"
        "type 1 int\n"
        "end\n"
        ".files\n"
        "end\n");
    EXPECT_EQ(u32_at(unit, 24), 0u);
    EXPECT_EQ(u32_at(unit, 28), 45u);
    // The file's own offsets show as markers where they meet a record, and
    // as numbers otherwise.
    std::string printed = round_trip(dis_ok(unit));
    EXPECT_EQ(printed.substr(0, printed.find('\n')),
              "header magic=\"!<icode>\\n\" version=-71 target=700 name=\"s.c\" reserved=0");
    EXPECT_NE(printed.find("end\n.files\ntype 1 int"), std::string::npos);
}

TEST(TextForm, SectionsMayShareAnOffset) {
    std::string printed = round_trip(
        "header\n"
        "end\n"
        ".types\n"
        ".symbols\n"
        "end\n");
    EXPECT_NE(printed.find("end\n.types\n.symbols\nend\n"), std::string::npos);
}

// One unit holding a record of each kind whose fields depend on the version.
std::string versioned_unit(int version) {
    return "header version=" + std::to_string(version) + " name=\"v.c\"\n" +
           "end\n"
           ".types\n"
           "type 1 int size=16 align=16\n"
           "type 2 array elem=1 count=2 size=32 align=16\n"
           "type 3 enum name=\"E\" size=16 align=16 base=1\n"
           "type 3 open list=1\n"
           "type 3 close list=1\n"
           "type 4 csu name=\"S\" size=16 align=16 has_fields=1\n"
           "type 4 open list=7\n"
           "type 4 field member=1 name=\"f\" type=1 width=3 is_bitfield=1 flag1=1\n"
           "type 4 close list=7\n"
           "type 5 csu_lists name=\"T\" size=16 align=16\n"
           "end\n"
           ".symbols\n"
           "symbol name=\"x\" type=1\n"
           "end\n";
}

std::string line_starting(const std::string& text, const std::string& prefix) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) return line;
    ADD_FAILURE() << "no line starts with " << prefix;
    return "";
}

bool has_field(const std::string& line, const std::string& name) {
    return line.find(" " + name + "=") != std::string::npos;
}

TEST(TextForm, VersionDependentFieldsAtEachVersion) {
    for (int v = -86; v <= -71; ++v) {
        SCOPED_TRACE(v);
        std::string text = round_trip(versioned_unit(v));
        EXPECT_EQ(has_field(line_starting(text, "header"), "reserved"), v >= -83);
        EXPECT_EQ(has_field(line_starting(text, "symbol"), "ref"), v == -71);

        std::string array = line_starting(text, "type 2 array");
        EXPECT_EQ(has_field(array, "vector"), v >= -76);
        EXPECT_EQ(has_field(array, "ignored"), v >= -75 && v < -73);

        EXPECT_EQ(has_field(line_starting(text, "type 3 enum"), "mangled"), v >= -81);
        for (const char* csu : {"type 4 csu", "type 5 csu_lists"}) {
            std::string line = line_starting(text, csu);
            EXPECT_EQ(has_field(line, "flag3"), v >= -84) << csu;
            EXPECT_EQ(has_field(line, "mangled"), v >= -81) << csu;
        }

        std::string field = line_starting(text, "type 4 field");
        EXPECT_EQ(has_field(field, "byte2"), v >= -74);
        EXPECT_EQ(has_field(field, "flag2"), v > -86);
        bool oldest_order = field.find("is_bitfield=1 width=3 flag1=1 pos=") != std::string::npos;
        bool newer_order = field.find("width=3 is_bitfield=1 flag1=1") != std::string::npos;
        EXPECT_EQ(oldest_order, v == -86) << field;
        EXPECT_EQ(newer_order, v != -86) << field;
    }
}

TEST(TextForm, VersionsOutsideTheReadRangeStillAssemble) {
    // Units that a reader must refuse are built all the same.
    for (int v : {-87, -70, 0}) {
        std::string text = round_trip("header version=" + std::to_string(v) + " target=699\nend\n");
        EXPECT_NE(text.find(" version=" + std::to_string(v) + " target=699 "), std::string::npos);
    }
}

}  // namespace
