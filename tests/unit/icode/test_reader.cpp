// The I-code reader: what every record kind hands to the client, scopes and
// symbol tables, positions, the header check, unknown kinds, leaf data and the
// floating-comparison rewrite, symbols, pragmas and the reference state, types
// and the type map's fatal errors, and damaged units, which end the run with
// a fixed text and never crash.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "reader_support.h"
#include "rich_unit.h"

namespace {

using namespace reader_test;

const std::string HEAD = "header version=-71 target=700 name=\"t.c\"\n";
// One int type, one file, two globals f and g.
const std::string SECTIONS =
    ".types\ntype 1 int explicit_sign=1 size=16 align=16\ntype 3 double size=32 align=16\n"
    "type 5 typedef name=\"real\" base=3 size=32 align=16\nend\n.files\nfile_name "
    "name=\"t.c\"\nend\n.symbols\nsymbol name=\"f\" type=1\n"
    "symbol name=\"g\" type=1\nend\n";

std::string error_at(size_t offset) {
    char line[64];
    std::snprintf(line, sizeof line, "\n///ERROR @0x%zx\n\n", offset);
    return line;
}

TEST(Reader, EveryRecordKindReachesItsCall) {
    READER_RUN run;
    run.read(RICH_UNIT);
    run.expect_clean();
    // The tree of the top level, the type and the file name of the function
    // stream call nothing.
    EXPECT_EQ(lines(run.client.calls), R"(unit_header -71 700
string_list 1 ["-O2", "--x"]
string_list 4 []
symbol f level=0
symbol g level=0
symbol h level=0
init g [ICON 3, PLUS(ICON 4, ICON -1), ENDINIT]
init h [ENDINIT]
function_begin f t.c:2:3
symbol p level=1
pragma p SYM_IS_REFERENCED ["x"]
body_begin t.c:3:1
symbol b level=2
block_begin t.c:4:1
block_begin -
symbol c level=4
mark -
dropped 34
text 36 "line" t.c:4:3
text 47 "plain" -
dropped 38
dropped 45
dropped 58
dropped 59
dropped 64
dropped 108
dropped 108
dropped 108
dropped 124
block_end -
label 7
expr ASG(NAME p@1, ICON -5) t.c:5:6
expr LABEL 4294967295 -
expr SCON "a\x00b" -
expr ICON 4294967295 -
expr ICON -32768 -
expr FCON "1.5e3" -
expr LCON "12345678901" -
expr FIELD -1/2:b -
expr SWITCH 4(ICON 0, DEFAULT(LABEL 9)) -
expr CALL 1/2(NAME g@0, ICON 7) -
expr UCALL 3(NAME -) -
expr EPVAL -1(EPVAL 12(ICON 1)) -
expr SKIP 3 -
expr DDNODE 1/2/255(VREG -7) -
expr ICALL "f"(UICALL "g") -
expr MCALL "m"(UMCALL "") -
expr CBRANCH(FNEQN(NAME c@4, ICON 0), LABEL 7) -
expr MINUS(UMINUS(NOP), NAME b@2) -
pragma - FUNC_IS_PURE ["y"]
eht [1/1/2/0 NOP, 3/2/0/1 ("int" 3 1)]
block_end -
function_end t.c:9:1
dropped 123
dropped 125
)");
}

TEST(Reader, RichUnitLeafDataSymbolsAndTables) {
    READER_RUN run;
    run.read(RICH_UNIT);
    const auto& trees = run.client.trees;
    ASSERT_EQ(trees.size(), 18u);
    // int -5 is sign-extended to 64 bits, unsigned 4294967295 is not.
    EXPECT_EQ(trees[0]->right()->value(), uint64_t(-5));
    EXPECT_EQ(trees[3]->value_high(), 0u);
    EXPECT_EQ(print_type(trees[2]->type()), "int *");
    // Every field of a global, its position in the last file of the table.
    const SYMTAB* g = run.client.symbol("g");
    EXPECT_EQ(
        std::make_tuple(g->size(), g->value(), int(g->storage_class()), g->qualifiers(),
                        g->alignment(), g->definition_offset(), g->opt(), g->index()),
        std::make_tuple(32u, 4294967295u, 200, uint16_t(0xFFFE), uint16_t(65535), 1234u, 99u, 1));
    EXPECT_EQ(print_type(g->type()) + print_type(g->second_type()), "int *unsigned ");
    EXPECT_EQ(show_pos(g->position()), "u.h:7:9");
    // Globals with a position intern their file name after the table's own;
    // the file name of the function stream does not join.
    EXPECT_EQ(run.file->file_names(), (std::vector<std::string>{"t.c", "u.h", "t.c", "u.h"}));
    EXPECT_EQ(run.file->local_symbols().size(), 0u);
}

TEST(Reader, UnknownKindsAreReportedAndTheNextByteIsTheNextKind) {
    // The reader prints the offset after the kind and its one-byte length
    // and takes the first payload byte as the next kind (here a label).  A
    // string list outside its section is unknown too; a kind at the very
    // end has no length.
    const size_t h = text_form_test::assemble_ok(HEAD).size();
    READER_RUN run;
    run.read(HEAD + "raw 07 03\nlabel label=5\nraw 08 00\nraw 6f 00\nraw fe\n");
    EXPECT_EQ(run.status, -1);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, error_at(h + 2) + error_at(h + 7) + error_at(h + 9) + error_at(h + 10));
    EXPECT_EQ(run.client.calls, (Calls{"unit_header -71 700", "label 5"}));
}

TEST(Reader, HeaderChecks) {
    const std::pair<const char*, bool> cases[] = {
        {"header version=-71 target=700 name=\"u\" reserved=5", true},
        {"header version=-86 target=700 name=\"u\"", true},
        {"header version=-87 target=700 name=\"u\"", false},
        {"header version=-70 target=700 name=\"u\"", false},
        {"header version=-71 target=699 name=\"u\"", false},
        {"header magic=\"!<icodE>\\n\" version=-71 target=700 name=\"u\"", false},
        {"header len=100000 version=-71 target=700 name=\"u\" reserved=5", true},
        {"label label=8", false},
    };
    for (const auto& [header, accepted] : cases) {
        SCOPED_TRACE(header);
        READER_RUN run;
        run.read(std::string(header) + "\nlabel label=1\nend\n");
        EXPECT_EQ(run.opened, accepted);
        EXPECT_EQ(run.status, -1);
        EXPECT_EQ(run.out + run.err, "");
        if (accepted) {
            EXPECT_EQ(run.client.calls.back(), "label 1");
            EXPECT_EQ(run.file->unit_name(), "u");
            EXPECT_EQ(run.file->reserved(), run.file->version() >= -83 ? 5u : 0u);
        } else {
            EXPECT_LE(run.client.calls.size(), 1u);
        }
    }
}

TEST(Reader, ComparisonsWithAFloatingOperandBecomeFloating) {
    const std::pair<const char*, const char*> cases[] = {
        {"EQ", "FEQ"}, {"NEQ", "FNEQN"}, {"LE", "FLE"},    {"ULE", "FLE"},
        {"LT", "FLT"}, {"ULT", "FLT"},   {"GE", "FGE"},    {"UGE", "FGE"},
        {"GT", "FGT"}, {"UGT", "FGT"},   {"PLUS", "PLUS"},
    };
    // Either operand may be the floating one, through typedefs; the node's
    // own type (int here, double in the last row) does not count.
    const char* const operands[][3] = {{"3", "1", "1"}, {"1", "5", "1"}, {"1", "1", "3"}};
    for (const auto& [opcode, rewritten] : cases)
        for (const auto& ops : operands) {
            std::string text = HEAD + "expr pos=-\n  " + opcode + " type=" + ops[2] +
                               "\n    ICON type=" + ops[0] + " value=1\n    ICON type=" + ops[1] +
                               " value=2\nend\n" + SECTIONS;
            READER_RUN run;
            run.read(text);
            ASSERT_EQ(run.client.trees.size(), 1u) << text;
            bool floating = ops[2][0] != '3';
            EXPECT_EQ(opcode_name(run.client.trees[0]->opcode()), floating ? rewritten : opcode)
                << text;
        }
}

TEST(Reader, DeepTreesAreReadWithoutRecursion) {
    const int depth = 100000;
    std::string text = HEAD + "expr pos=-\n";
    for (int i = 0; i < depth; ++i) text += "UMINUS type=1\n";
    READER_RUN run;
    run.read(text + "ICON type=1 value=1\nend\n" + SECTIONS);
    run.expect_clean();
    ASSERT_EQ(run.client.trees.size(), 1u);
    int seen = 0;
    const NODE* n = run.client.trees[0].get();
    for (; n->opcode() == UMINUS; n = n->left()) ++seen;
    EXPECT_EQ(seen, depth);
    EXPECT_EQ(n->opcode(), ICON);
}

TEST(Reader, NodeFieldsNotTheirLengthsDelimitNodeRecords) {
    // A node's fields are what counts: a length shorter than them has them
    // read on past it, a longer one is not skipped.  The longest length
    // here still ends within the file.
    const char* const lengths[][3] = {{"", "", ""},
                                      {"len=0 ", "", ""},
                                      {"", "len=1 ", "len=0 "},
                                      {"len=9 ", "len=20 ", "len=3 "},
                                      {"", "", "len=12 "}};
    for (const auto& len : lengths) {
        std::string text = HEAD + "expr pos=-\n  PLUS " + len[0] + "type=1\n    NAME " + len[1] +
                           "type=1 level=0 index=1\n    ICON " + len[2] +
                           "type=1 value=-300\nlabel label=7\nend\n" + SECTIONS;
        READER_RUN run;
        run.read(text);
        run.expect_clean();
        ASSERT_EQ(run.client.trees.size(), 1u) << text;
        EXPECT_EQ(show_tree(run.client.trees[0].get()), "PLUS(NAME g@0, ICON -300)") << text;
        EXPECT_EQ(lines(run.client.calls_of("label")), "label 7\n") << text;
    }
}

TEST(Reader, RecordsAcrossTheReadingBlocksEnd) {
    // The unit is read a megabyte at a time: node records run across the
    // ends of the first two blocks, and the records after each must be read
    // from the next block.  The strings' bytes would read as node records
    // (0x65 is the kind of a node record) if the reader went on from a
    // stale place.
    const std::string text_bytes(997, '\x65');
    const int statements = 2200;
    std::string text = HEAD;
    for (int i = 0; i < statements; ++i)
        text += "expr pos=-\n  COMMA type=0\n    SCON type=0 bytes=\"" + text_bytes +
                "\"\n    ICON type=1 value=" + std::to_string(i) + "\n";
    READER_RUN run;
    run.read(text + "end\n" + SECTIONS);
    run.expect_clean();
    ASSERT_EQ(run.client.trees.size(), size_t(statements));
    for (int i = 0; i < statements; ++i) {
        const NODE* t = run.client.trees[size_t(i)].get();
        ASSERT_EQ(show_node(t->right()), "ICON " + std::to_string(i));
        ASSERT_EQ(t->left()->text_string()->size(), text_bytes.size());
    }
}

TEST(Reader, ReferenceState) {
    // The record's field (version -71 only) gives the start; then the
    // pragmas in file order, the last of FUNC_EXT_CALLED (23),
    // SYM_IS_REFERENCED (52) and SYM_IS_DEAD (59) winning.
    struct CASE {
        int version, field;
        std::vector<int> kinds;
        int state;
    };
    const CASE cases[] = {
        {-71, 3, {}, 3},       {-71, 1, {7}, 1},      {-71, 0, {59, 52}, 1},
        {-71, 0, {52, 59}, 3}, {-71, 3, {23, 1}, 1},  {-71, 0, {22, 24, 51, 53, 58, 60}, 0},
        {-72, 0, {59}, 3},     {-72, 0, {59, 52}, 1},
    };
    for (const CASE& c : cases) {
        std::string text =
            "header version=" + std::to_string(c.version) +
            " target=700 name=\"o\"\nsymbol name=\"s\" pragmas=" + std::to_string(c.kinds.size()) +
            (c.version == -71 ? " ref=" + std::to_string(c.field) : "") + "\n";
        for (int k : c.kinds) text += "pragma kind=" + std::to_string(k) + "\n";
        READER_RUN run;
        // At -72 the record ends with its position: a reader taking a
        // reference field would eat the label's kind.
        run.read(text + "label label=5\nend\n");
        run.expect_clean();
        ASSERT_EQ(run.client.symbols.size(), 1u) << text;
        EXPECT_EQ(run.client.symbols[0]->reference_state(), c.state) << text;
        EXPECT_EQ(run.client.calls.back(), "label 5") << text;
    }
}

TEST(Reader, AnInitializerEndsAtTheFirstEndinitRoot) {
    READER_RUN run;
    run.read(HEAD +
             "init sym=0\n  UMINUS type=1\n    ENDINIT type=1\n  ENDINIT type=1\n"
             "  ENDINIT type=1\nend\n" +
             SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("init"), Calls{"init f [UMINUS(ENDINIT), ENDINIT]"});
}

const TYPE* type_of(const READER_RUN& run, int id) {
    const SYMTAB* s = run.client.symbol("t" + std::to_string(id));
    return s ? s->type() : nullptr;
}

TEST(ReaderTypes, EveryTypeCode) {
    READER_RUN run;
    run.read(every_type_unit());
    run.expect_clean();
    std::string all;
    for (int id : EVERY_TYPE_IDS) all += print_type(type_of(run, id)) + "|";
    EXPECT_EQ(all,
              "bool |char |int |unsigned |float |double |long double |"
              " [FxtPt:int] |myint |int *|int &|const volatile int |int [10]|<[float [4]]>|"
              "class C |int C::*|int (int, int *)|enum E |enum U |cfloat |void |union K |");
    const FieldMember& m = type_of(run, 23)->csu_part().fields.at(0);
    EXPECT_EQ(std::make_tuple(int(m.byte1), m.offset, int(m.byte2), m.bit_width, m.is_bit_field),
              std::make_tuple(5, int64_t(16), 6, 3u, true));
    EXPECT_EQ(show_pos(m.position), "t.c:5:9");
    // Enumerator values take the sign of the underlying type.
    EXPECT_EQ(type_of(run, 26)->enum_part().enumerators.at(0).value, -1);
    EXPECT_EQ(type_of(run, 27)->enum_part().enumerators.at(0).value, 4294967295LL);
    // Each attribute list of a class reaches its member list; completion
    // renumbers the fields 1, 2 whatever the file said.
    const TYPE* k = type_of(run, 30);
    const CsuPart& p = k->csu_part();
    EXPECT_EQ(p.class_number, 77u);
    ASSERT_EQ(p.bases.size(), 1u);
    EXPECT_EQ(
        std::make_tuple(p.bases[0].type, p.bases[0].offset, int(p.bases[0].byte), p.bases[0].flag),
        std::make_tuple(type_of(run, 23), int64_t(-8), 1, true));
    EXPECT_EQ(p.list3.at(0).byte, 2);
    EXPECT_EQ(p.list4.at(0).name, "n4");
    EXPECT_EQ(print_type(p.list5.at(0).type), "int ");
    EXPECT_EQ(print_type(p.list6.at(0).type), "union K *");
    EXPECT_EQ(p.list8.at(0).byte, 3);
    EXPECT_EQ(p.list9.at(0).number, -5);
    EXPECT_EQ(p.list9.at(0).flags, (std::array<bool, 4>{true, false, true, false}));
    EXPECT_EQ(p.list0.at(0).name, "p0");
    ASSERT_EQ(p.fields.size(), 2u);
    EXPECT_EQ(p.fields[1].number, 2u);
    EXPECT_EQ(p.fields[1].type->pointer_part().pointee, k);
}

TEST(ReaderTypes, EachTypeMapErrorEndsTheRun) {
    const std::pair<const char*, const char*> cases[] = {
        {"type 1 pointer pointee=2\ntype 2 int\n", "invalid forward reference"},
        {"type 1 csu name=\"S\" has_fields=1\ntype 1 open list=7\ntype 1 field type=9\n",
         "invalid forward reference"},
        {"type 5 param type=0 name=\"a\"\n", "invalid forward reference"},
        {"type 1 int\ntype 3 pointer pointee=1\ntype 3 pointer pointee=1\n", "read type twice"},
        {"type 1 int\ntype 1 open list=0\n", "Unexpected type attribute"},
        {"type 1 csu name=\"S\" has_fields=0\ntype 1 open list=7\n", "Unexpected type attribute"},
        {"type 1 function ret=0\ntype 1 open list=0\ntype 1 close list=0\ntype 1 open list=0\n",
         "Unexpected type attribute"},
        {"type 1 int\ntype 2 function ret=1\ntype 2 open list=0\ntype 2 param type=1\n"
         "type 2 open list=0\n",
         "Duplicate function parameters"},
        {"type 1 int\ntype 2 enum name=\"E\" base=1\ntype 2 open list=1\n"
         "type 2 enumerator name=\"A\" value=1\ntype 2 open list=1\n",
         "Duplicate enumerator attributes"},
        {"type 1 int\ntype 2 csu_lists name=\"K\" list2=1 list7=1\ntype 2 open list=7\n"
         "type 2 field type=1\ntype 2 close list=7\ntype 2 open list=7\n",
         "Duplicate CSU attributes"},
    };
    for (const auto& [types, message] : cases) {
        SCOPED_TRACE(types);
        READER_RUN run;
        run.read(unit_with_types(-71, types, {}));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string("TP>> internal error: ") + message + "\n");
    }
    // The type of a node not defined before it.
    READER_RUN run;
    run.read(HEAD + "expr pos=-\n  NOP type=4\nend\n");
    EXPECT_EQ(run.err, "TP>> internal error: invalid forward reference\n");
}

TEST(ReaderDamage, EveryUndecodableRecordEndsTheRunWithTheFixedText) {
    // After the header (and before SECTIONS when the stream ends); whether
    // the exception-table text is the one expected.
    const std::pair<const char*, bool> cases[] = {
        // cut off by the end of the file
        {"raw 23 05 61 62\n", false},
        {"raw 2a 80\n", false},
        {"expr pos=-\nraw 65 02 04 01\n", false},
        {"expr pos=-\nPLUS type=0\nICON type=0 value=1\n", false},
        {"expr pos=-\nUMINUS type=0\nmark pos=-\nend\n", false},
        {"init sym=0\nICON type=1 value=1\nlabel label=1\nend\n", false},
        {"symbol name=\"s\" pragmas=2\npragma kind=1\nlabel label=1\nend\n", false},
        // lengths and counts past the end of the file
        {"label len=4294967295 label=1\nend\n", false},
        {"raw 5e 07 01 ff ff ff ff 0f 00\nend\n", false},
        {"expr pos=-\nraw 65 05 03 00 ff ff 03\nend\n", false},
        {"eht count=4000000000\n", true},
        {"eht count=1\neht_entry kind=2 count=4294967295\neht_catches items=[]\nend\n", true},
        // indexes beyond their tables, codes without a layout
        {"func_begin pos=- sym=2\nend\n", false},
        {"expr pos=-\nPLUS type=1\nICON type=1 value=1\nNAME type=1 level=0 index=2\nend\n", false},
        {"func_begin pos=- sym=0\nsymbol name=\"x\" type=1\ndrop123 sym=0 pos=-\nexpr pos=-\n"
         "NAME type=1 level=1 index=0\nend\n",
         false},
        {"expr pos=-\nUMINUS type=0\nraw 65 02 a4 00\nend\n", false},
        {"raw 6c 02 00 03\nend\n", false},
        // exception-table records out of place
        {"eht count=2\neht_entry kind=1\nexpr pos=-\nICON type=1 value=1\nlabel label=1\nend\n",
         true},
        {"eht count=1\neht_entry kind=2 count=0\nexpr pos=-\nNOP type=0\nend\n", true},
        {"eht count=1\neht_entry kind=1\nexpr pos=-\nlabel label=1\nend\n", false},
    };
    for (const auto& [text, eht] : cases) {
        SCOPED_TRACE(text);
        READER_RUN run;
        std::string t = text;
        run.read(HEAD + t + (t.size() > 4 && t.substr(t.size() - 4) == "end\n" ? SECTIONS : ""));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, eht ? INVALID_EHT : INVALID_RECORD);
        EXPECT_EQ(run.err, "");
    }
}

TEST(ReaderDamage, MutationsOfAValidUnitNeverCrash) {
    // Each variant: damage at a place chosen by a fixed seed.  A variant may
    // read cleanly, report unknown kinds, be refused at open, or end with
    // one of the fixed texts (or a type-map error) and status 1.
    const std::string unit = text_form_test::assemble_ok(RICH_UNIT);
    std::mt19937 random(20240611);
    int ended = 0, refused = 0, clean = 0;
    auto ends_with = [](const std::string& s, const std::string& tail) {
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    };
    for (int variant = 0; variant < 400; ++variant) {
        std::string bytes = unit;
        size_t at = random() % bytes.size();
        switch (variant % 5) {
            case 0: bytes[at] = char(random() & 0xff); break;
            case 1: bytes[at] = char(bytes[at] ^ (1 << (random() % 8))); break;
            case 2: bytes.resize(at); break;
            case 3: bytes.erase(at, 1 + random() % 4); break;
            case 4: bytes[at] = char(0x80 | bytes[at]); break;  // a LEB128 that goes on
        }
        SCOPED_TRACE("variant " + std::to_string(variant) + " at " + std::to_string(at));
        READER_RUN run;
        run.read_bytes(bytes);
        if (run.status == -1) {
            EXPECT_EQ(run.err, "");
            run.opened ? ++clean : ++refused;
            continue;
        }
        ++ended;
        EXPECT_EQ(run.status, 1);
        bool fixed_text = ends_with(run.out, INVALID_RECORD) || ends_with(run.out, INVALID_EHT);
        bool type_error = run.err.rfind("TP>> internal error: ", 0) == 0;
        EXPECT_TRUE(fixed_text != type_error) << "stdout: " << run.out << "\nstderr: " << run.err;
    }
    EXPECT_GT(ended, 0);
    EXPECT_GT(refused, 0);
    EXPECT_GT(clean, 0);
}

}  // namespace
