// The reader's function stream and unit layout: every record kind reaching
// its client call, function depth and local tables, the unknown-kind
// recovery, the header check, the order of the sections, and the end of
// the file where a record kind is expected.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_reader_recording.h"

namespace {

using namespace reader_test;
using Calls = std::vector<std::string>;

const std::string HEAD = "header version=-71 target=700 name=\"t.c\"\n";

// Sections shared by the stream tests: one int type, one file, two globals.
const std::string SECTIONS = R"(
.types
type 1 int explicit_sign=1 size=16 align=16
end
.files
file_name name="t.c"
end
.symbols
symbol name="f" type=1
symbol name="g" type=1
end
)";

TEST(ReaderStream, EveryRecordKindReachesItsCall) {
    // The opaque record's bytes look like a label record (kind 42, length 1,
    // label 5): skipped by its length, they never reach the client.
    READER_RUN run;
    run.read(HEAD + R"(
func_begin pos=1:2:3 sym=0
symbol name="p" class=1 type=1 pos=1:2:9
body_begin pos=1:3:1
block_begin pos=1:4:1
mark pos=-
opaque pos=1:4:2 bytes="\x2a\x01\x05"
text_at text="line" pos=1:4:3
text text="plain"
drop38 a=1 b=2 c=3 d=4 e=5 s=-6
drop45 a=1 b=2 c=3 d=4 e=5
drop58 a=1 b=2 c=3
drop59 a=1 b=2 values=[3, 65535]
drop64 a=-1
drop108 a=1 sub=0 b=2 c=-3 type=1 d=-4 e=5
drop108 a=1 sub=1 b=2 c=3 type=0 d=4 e=5
drop108 a=1 sub=2 b=2
drop124 a=1 level=-1 index=2 b=3
label label=7
expr pos=1:5:6
  ASG type=1
    NAME type=1 level=1 index=0
    ICON type=1 value=-5
pragma kind=7 args=["x"]
eht count=2
eht_entry first=1 kind=1 third=2 count=0
expr pos=-
  NOP type=0
eht_entry first=3 kind=2 third=0 count=1
eht_catches items=[("int", 3, 1)]
PLUS type=1
  ICON type=1 value=9
  ICON type=1 value=10
type 9 pointer pointee=1 size=16 align=16
file_name name="ignored.c"
init sym=1
  ENDINIT type=0
block_end pos=-
func_end pos=1:9:1
drop123 sym=0 a=-1 b=2 c=3 pos=-
drop125 pos=-
end
)" + SECTIONS);
    run.expect_clean();
    const Calls expected = {
        "unit_header -71 700",
        "symbol f level=0",
        "symbol g level=0",
        "function_begin f t.c:2:3",
        "symbol p level=1",
        "body_begin t.c:3:1",
        "block_begin t.c:4:1",
        "mark -",
        "dropped 34",
        "text 36 \"line\" t.c:4:3",
        "text 47 \"plain\" -",
        "dropped 38",
        "dropped 45",
        "dropped 58",
        "dropped 59",
        "dropped 64",
        "dropped 108",
        "dropped 108",
        "dropped 108",
        "dropped 124",
        "label 7",
        "expr ASG(NAME p@1, ICON -5) t.c:5:6",
        "pragma - FUNC_IS_PURE [\"x\"]",
        "eht [1/1/2/0 NOP, 3/2/0/1 (\"int\" 3 1)]",
        // the top-level tree (read whole, operands and all), the type and
        // the file name call nothing
        "init g [ENDINIT]",
        "block_end -",
        "function_end t.c:9:1",
        "dropped 123",
        "dropped 125",
    };
    EXPECT_EQ(run.client.calls, expected);
    // The depth the reader keeps, as each call sees it.
    const std::vector<int> depths = {-1, 0, 0, 1, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3,
                                     3,  3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 0, 1, 0};
    EXPECT_EQ(run.client.depths, depths);
    // The file name in the function stream did not join the table; the
    // two global symbols' positions are absent, so nothing was interned.
    EXPECT_EQ(run.file->file_names(), std::vector<std::string>{"t.c"});
    // The pointer type of the function stream was defined with the package.
    EXPECT_EQ(run.types.type_count(), 18u + 2u);
}

TEST(ReaderStream, PositionsResolveAgainstTheFileTable) {
    // Index 0 is no position; an index beyond the table is a position
    // without a file name.
    READER_RUN run;
    run.read(HEAD + R"(
mark pos=-
mark pos=1:0:0
mark pos=2:4294967295:7
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("mark"), (Calls{"mark -", "mark t.c:0:0", "mark :4294967295:7"}));
}

TEST(ReaderStream, NestedBlocksGiveSymbolsTheirDepth) {
    // REC_BLOCK_BEGIN twice after REC_BODY_BEGIN is depth 4; a NAME finds a
    // local with any non-zero level, whatever level the symbol has.
    READER_RUN run;
    run.read(HEAD + R"(
func_begin pos=- sym=0
symbol name="a" class=1 type=1
body_begin pos=-
symbol name="b" class=2 type=1
block_begin pos=-
block_begin pos=-
symbol name="c" class=2 type=1
expr pos=-
  ASG type=1
    NAME type=1 level=4 index=2
    NAME type=1 level=1 index=1
block_end pos=-
symbol name="d" class=2 type=1
block_end pos=-
body_begin pos=-
symbol name="e" class=2 type=1
func_end pos=-
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("symbol"),
              (Calls{"symbol f level=0", "symbol g level=0", "symbol a level=1", "symbol b level=2",
                     "symbol c level=4", "symbol d level=3", "symbol e level=2"}));
    EXPECT_EQ(run.client.calls_of("expr"), Calls{"expr ASG(NAME c@4, NAME b@2) -"});
    const std::vector<int> levels = {0, 0, 1, 2, 4, 3, 2};
    const std::vector<int> indexes = {0, 1, 0, 1, 2, 3, 4};
    ASSERT_EQ(run.client.symbols.size(), levels.size());
    for (size_t i = 0; i < levels.size(); ++i) {
        EXPECT_EQ(run.client.symbols[i]->level(), levels[i]) << i;
        EXPECT_EQ(run.client.symbols[i]->index(), indexes[i]) << i;
    }
    EXPECT_EQ(run.file->depth(), 0);
    EXPECT_EQ(run.file->global_symbols().size(), 2u);
    // The function's end empties the table of locals: the client lets them
    // go there.
    EXPECT_EQ(run.file->local_symbols().size(), 0u);
}

TEST(ReaderStream, LocalTablesRestartAtEachFunctionAndAtKind123) {
    READER_RUN run;
    run.read(HEAD + R"(
func_begin pos=- sym=0
symbol name="x" class=1 type=1
symbol name="y" class=1 type=1
expr pos=-
  NAME type=1 level=1 index=1
func_end pos=-
func_begin pos=- sym=1
symbol name="z" class=1 type=1
expr pos=-
  NAME type=1 level=1 index=0
func_end pos=-
drop123 sym=0 a=0 b=0 c=0 pos=-
symbol name="w" class=1 type=1
expr pos=-
  NAME type=1 level=1 index=0
drop125 pos=-
symbol name="v" type=1
expr pos=-
  NAME type=1 level=0 index=2
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("expr"),
              (Calls{"expr NAME y@1 -", "expr NAME z@1 -", "expr NAME w@1 -", "expr NAME v@0 -"}));
    EXPECT_EQ(run.client.calls_of("symbol"),
              (Calls{"symbol f level=0", "symbol g level=0", "symbol x level=1", "symbol y level=1",
                     "symbol z level=1", "symbol w level=1", "symbol v level=0"}));
    EXPECT_EQ(run.client.symbol("z")->index(), 0);
    EXPECT_EQ(run.client.symbol("w")->index(), 0);
    // After kind 125 (depth 0) a symbol is global again, the third one.
    EXPECT_EQ(run.client.symbol("v")->index(), 2);
    ASSERT_EQ(run.file->local_symbols().size(), 1u);
    EXPECT_EQ(run.file->local_symbols()[0]->name(), "w");
    EXPECT_EQ(run.file->global_symbols().size(), 3u);
}

TEST(ReaderStream, UnknownKindIsReportedAndTheNextByteIsTheNextKind) {
    // Kind 7 has no meaning: the reader prints the offset just after its
    // record header (kind and length) and reads on from there, taking the
    // first payload byte as the next kind.  Here that byte starts a label.
    const std::string header_only = assemble(HEAD);
    READER_RUN run;
    run.read(HEAD + R"(
raw 07 03
label label=5
raw 08 00
end
)" + SECTIONS);
    EXPECT_EQ(run.status, -1);
    EXPECT_EQ(run.err, "");
    char first[64], second[64];
    std::snprintf(first, sizeof first, "\n///ERROR @0x%lx\n\n", long(header_only.size() + 2));
    // The header kind (8) is unknown in the function stream too; it comes
    // after the first report's 2 bytes and the label's 3.
    std::snprintf(second, sizeof second, "\n///ERROR @0x%lx\n\n", long(header_only.size() + 7));
    EXPECT_EQ(run.out, std::string(first) + second);
    EXPECT_EQ(run.client.calls,
              (Calls{"unit_header -71 700", "symbol f level=0", "symbol g level=0", "label 5"}));
}

TEST(ReaderStream, UnknownKindsAreReportedByteByByte) {
    // A run of unknown bytes: each report consumes a kind and a one-byte
    // length; a kind at the very end has no length to read.
    const size_t h = assemble(HEAD).size();
    READER_RUN run;
    run.read(HEAD + "raw 63 00 5b 00 fe\n");
    EXPECT_EQ(run.status, -1);
    std::string want;
    for (size_t at : {h + 2, h + 4, h + 5}) {
        char line[64];
        std::snprintf(line, sizeof line, "\n///ERROR @0x%lx\n\n", long(at));
        want += line;
    }
    EXPECT_EQ(run.out, want);
    EXPECT_EQ(run.client.calls, Calls{"unit_header -71 700"});
}

TEST(ReaderStream, StringListsBeforeSectionsBeforeTheFunctionStream) {
    // The string-list table is read at open; then the file names, types,
    // symbols and initializers; then the function stream.  The sections
    // stand in the file in another order, so the order is the reader's.
    READER_RUN run;
    run.read(HEAD + R"(
label label=1
end
.init
init sym=0
  ENDINIT type=1
end
.symbols
symbol name="s" type=1 pos=1:1:1
end
.types
type 1 int explicit_sign=1 size=16 align=16
end
.files
file_name name="a.c"
end
.strings
string_list id=3 strings=["-O2", ""]
string_list id=4 strings=[]
end
)");
    run.expect_clean();
    EXPECT_EQ(run.client.calls,
              (Calls{"unit_header -71 700", "string_list 3 [\"-O2\", \"\"]", "string_list 4 []",
                     "symbol s level=0", "init s [ENDINIT]", "label 1"}));
    // The global symbol's file name was interned after the table's own.
    EXPECT_EQ(run.file->file_names(), (std::vector<std::string>{"a.c", "a.c"}));
    EXPECT_EQ(run.client.symbol("s")->position()->file, "a.c");
}

TEST(ReaderStream, UnitWithoutSectionsIsAFunctionStreamOnly) {
    // All five offsets 0: types and symbols come in the function stream, and
    // symbols read outside functions are global.
    READER_RUN run;
    run.read(HEAD + R"(
type 1 int explicit_sign=1 size=16 align=16
symbol name="f" type=1
func_begin pos=- sym=0
symbol name="x" class=1 type=1
expr pos=-
  ASG type=1
    NAME type=1 level=0 index=0
    NAME type=1 level=1 index=0
func_end pos=-
end
)");
    run.expect_clean();
    for (int s = SEC_STRINGS; s <= SEC_SYMBOLS; ++s)
        EXPECT_EQ(run.file->section_offset(SECTION(s)), 0u) << s;
    EXPECT_EQ(run.client.calls,
              (Calls{"unit_header -71 700", "symbol f level=0", "function_begin f -",
                     "symbol x level=1", "expr ASG(NAME f@0, NAME x@1) -", "function_end -"}));
    EXPECT_EQ(print_type(run.client.symbol("f")->type()), "int ");
}

TEST(ReaderStream, EndOfFileWhereAKindIsExpectedEndsTheStream) {
    // Neither the function stream nor the last section has its end record.
    READER_RUN run;
    run.read(HEAD + "label label=1\n");
    run.expect_clean();
    EXPECT_EQ(run.client.calls, (Calls{"unit_header -71 700", "label 1"}));

    READER_RUN sections;
    sections.read(HEAD + "label label=2\nend\n.symbols\nsymbol name=\"s\"\n");
    sections.expect_clean();
    EXPECT_EQ(sections.client.calls, (Calls{"unit_header -71 700", "symbol s level=0", "label 2"}));
}

TEST(ReaderStream, AStreamOfOnlyTheEndRecordReadsNoFunction) {
    READER_RUN run;
    run.read(HEAD + "end\nlabel label=1\n" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls,
              (Calls{"unit_header -71 700", "symbol f level=0", "symbol g level=0"}));
}

TEST(ReaderStream, TheLengthDoesNotDelimitFields) {
    // A record is read field by field: with a length too short its fields
    // are read on past it, with one too long the reader goes on right after
    // the fields.  Only the opaque record is skipped by its length: here
    // that length covers just its position (byte 00), so the bytes meant as
    // its content are read as the label record they spell.
    READER_RUN run;
    run.read(HEAD + R"(
label len=0 label=300
label len=3 label=5
mark pos=-
text_at len=1 text="abc" pos=1:2:3
opaque len=1 pos=- bytes="\x2a\x01\x06"
label label=7
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls,
              (Calls{"unit_header -71 700", "symbol f level=0", "symbol g level=0", "label 300",
                     "label 5", "mark -", "text 36 \"abc\" t.c:2:3", "dropped 34", "label 6",
                     "label 7"}));
}

TEST(ReaderStream, HeaderChecks) {
    struct CASE {
        const char* header;
        bool accepted;
    };
    const CASE cases[] = {
        {"header version=-71 target=700 name=\"u\"", true},
        {"header version=-86 target=700 name=\"u\"", true},
        {"header version=-83 target=700 name=\"u\"", true},
        {"header version=-84 target=700 name=\"u\"", true},
        {"header version=-87 target=700 name=\"u\"", false},
        {"header version=-70 target=700 name=\"u\"", false},
        {"header version=71 target=700 name=\"u\"", false},
        {"header version=-71 target=699 name=\"u\"", false},
        {"header version=-71 target=701 name=\"u\"", false},
        {"header magic=\"!<icode>\" version=-71 target=700 name=\"u\"", false},
        {"header magic=\"!<icodE>\\n\" version=-71 target=700 name=\"u\"", false},
        {"header magic=\"\" version=-71 target=700 name=\"u\"", false},
        // the first record is not a header
        {"label label=8", false},
        {"raw 09 00", false},
        {"raw 08", false},
        {"", false},
    };
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.header);
        READER_RUN run;
        run.read(std::string(c.header) + "\nlabel label=1\nend\n");
        EXPECT_EQ(run.opened, c.accepted);
        EXPECT_EQ(run.status, -1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
        if (c.accepted) {
            EXPECT_EQ(run.client.calls.back(), "label 1");
            EXPECT_EQ(run.file->unit_name(), "u");
        } else {
            // Nothing after a refused header reaches the client.
            for (const auto& call : run.client.calls) EXPECT_EQ(call.rfind("unit_header", 0), 0u);
        }
    }
}

TEST(ReaderStream, HeaderFieldsAndTheReservedWordByVersion) {
    READER_RUN newest;
    newest.read("header version=-71 target=700 name=\"n.c\" reserved=77 init=0\nend\n");
    newest.expect_clean();
    EXPECT_EQ(newest.file->version(), -71);
    EXPECT_EQ(newest.file->reserved(), 77u);
    EXPECT_EQ(newest.client.calls.front(), "unit_header -71 700");

    // From -83 on the header has the reserved word; before, the unit name
    // is the last field, and the function stream follows it directly.
    READER_RUN v83;
    v83.read("header version=-83 target=700 name=\"a\" reserved=5\nlabel label=3\nend\n");
    v83.expect_clean();
    EXPECT_EQ(v83.file->reserved(), 5u);
    EXPECT_EQ(v83.client.calls.back(), "label 3");

    READER_RUN v84;
    v84.read("header version=-84 target=700 name=\"old.c\"\nlabel label=4\nend\n");
    v84.expect_clean();
    EXPECT_EQ(v84.file->unit_name(), "old.c");
    EXPECT_EQ(v84.file->reserved(), 0u);
    EXPECT_EQ(v84.client.calls, (Calls{"unit_header -84 700", "label 4"}));
}

TEST(ReaderStream, TheHeaderLengthIsNotChecked) {
    READER_RUN shorter;
    shorter.read("header len=0 version=-71 target=700 name=\"h\"\nlabel label=1\nend\n");
    shorter.expect_clean();
    EXPECT_EQ(shorter.client.calls.back(), "label 1");
    READER_RUN longer;
    longer.read("header len=100000 version=-71 target=700 name=\"h\"\nlabel label=2\nend\n");
    longer.expect_clean();
    EXPECT_EQ(longer.client.calls.back(), "label 2");
}

TEST(ReaderStream, AClientThatRefusesTheHeaderGetsNoUnit) {
    READER_RUN run;
    run.client.accept_header = false;
    run.read(HEAD + "label label=1\nend\n" + SECTIONS);
    EXPECT_FALSE(run.opened);
    EXPECT_EQ(run.client.calls, Calls{"unit_header -71 700"});
}

TEST(ReaderStream, AUnitMayStartAnywhereInItsFile) {
    // Offsets are relative to the position at which the unit is opened.
    std::string prefix(37, 'x');
    std::string unit = assemble(HEAD + "raw 07 00\nlabel label=9\nend\n" + SECTIONS);
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fwrite(prefix.data(), 1, prefix.size(), f);
    std::fwrite(unit.data(), 1, unit.size(), f);
    std::fseek(f, long(prefix.size()), SEEK_SET);
    RECORDING_CLIENT client;
    TYPE_PKG types;
    testing::internal::CaptureStdout();
    std::unique_ptr<IcodeFile> file = IcodeFile::open_for_reading(f, &client);
    ASSERT_NE(file, nullptr);
    file->set_type_package(&types);
    file->read_unit();
    std::string out = testing::internal::GetCapturedStdout();
    char want[64];
    std::snprintf(want, sizeof want, "\n///ERROR @0x%lx\n\n", long(assemble(HEAD).size() + 2));
    EXPECT_EQ(out, want);
    EXPECT_EQ(client.calls,
              (Calls{"unit_header -71 700", "symbol f level=0", "symbol g level=0", "label 9"}));
    EXPECT_EQ(file->close(), 0);
}

}  // namespace
