// The reader's symbols: the fields of a symbol record, the global and local
// tables, pragmas and the reference state, initializers and NAME lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_reader_recording.h"

namespace {

using namespace reader_test;
using Calls = std::vector<std::string>;

const std::string HEAD = "header version=-71 target=700 name=\"t.c\"\n";

const std::string TYPES = R"(
.types
type 1 int explicit_sign=1 size=16 align=16
type 2 uint size=16 align=16
type 3 pointer pointee=1 size=16 align=16
end
.files
file_name name="t.c"
file_name name="u.h"
end
)";

// The pragmas of a symbol, first to last as its list holds them.
std::vector<std::string> pragma_list(const SYMTAB* s) {
    std::vector<std::string> r;
    for (const Pragma* p = s->first_pragma(); p; p = p->next.get()) {
        std::string line = attribute_name(p->kind);
        for (const auto& a : p->args) line += " " + a;
        r.push_back(line);
    }
    return r;
}

TEST(ReaderSymbols, EveryFieldReachesTheClient) {
    READER_RUN run;
    run.read(HEAD + R"(
end
.symbols
symbol name="s" size=32 value=4294967295 class=200 quals=-2 type=3 type2=2 align=65535 defoff=1234 opt=99 pos=2:7:9 ref=3
symbol name="" pos=-
end
)" + TYPES);
    run.expect_clean();
    const SYMTAB* s = run.client.symbol("s");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->size(), 32u);
    EXPECT_EQ(s->value(), 4294967295u);
    EXPECT_EQ(s->storage_class(), 200);
    EXPECT_EQ(s->qualifiers(), 0xFFFE);
    EXPECT_EQ(print_type(s->type()), "int *");
    EXPECT_EQ(print_type(s->second_type()), "unsigned ");
    EXPECT_EQ(s->alignment(), 65535);
    EXPECT_EQ(s->definition_offset(), 1234u);
    EXPECT_EQ(s->opt(), 99u);
    EXPECT_EQ(show_pos(s->position()), "u.h:7:9");
    EXPECT_EQ(s->reference_state(), 3);
    EXPECT_EQ(s->level(), 0);
    EXPECT_EQ(s->index(), 0);
    EXPECT_EQ(s->pragma_count(), 0);

    const SYMTAB* anon = run.client.symbols.at(1).get();
    EXPECT_EQ(anon->name(), "");
    EXPECT_EQ(anon->type(), nullptr);
    EXPECT_EQ(anon->second_type(), nullptr);
    EXPECT_EQ(anon->position(), nullptr);
    EXPECT_EQ(anon->index(), 1);
    // Each global with a position interns its file name after the table's
    // own entries (a name the table lacks as "NO_FILE"); one without adds
    // nothing.
    EXPECT_EQ(run.file->file_names(), (std::vector<std::string>{"t.c", "u.h", "u.h"}));
}

TEST(ReaderSymbols, GlobalsWithoutAFileNameInternNoFile) {
    READER_RUN run;
    run.read(HEAD + R"(
symbol name="a" pos=9:1:1
symbol name="b" pos=1:1:1
end
)" + TYPES);
    run.expect_clean();
    EXPECT_EQ(run.file->file_names(), (std::vector<std::string>{"t.c", "u.h", "NO_FILE", "t.c"}));
    EXPECT_EQ(run.client.symbol("a")->position()->file, "");
}

TEST(ReaderSymbols, PragmasAreHeldInReverseFileOrder) {
    READER_RUN run;
    run.read(HEAD + R"(
symbol name="s" type=1 pragmas=3
pragma kind=2 args=["A"]
pragma kind=27 args=["B", "b2"]
pragma kind=100 args=["C"]
label label=1
end
)" + TYPES);
    run.expect_clean();
    EXPECT_EQ(
        run.client.calls,
        (Calls{"unit_header -71 700", "symbol s level=0", "pragma s DATA_SECTION [\"A\"]",
               "pragma s CODE_SECTION [\"B\", \"b2\"]", "pragma s LOCATION [\"C\"]", "label 1"}));
    const SYMTAB* s = run.client.symbol("s");
    EXPECT_EQ(pragma_list(s),
              (std::vector<std::string>{"LOCATION C", "CODE_SECTION B b2", "DATA_SECTION A"}));
    EXPECT_EQ(s->pragma_count(), 3);
}

TEST(ReaderSymbols, PragmaCountIsASignedByte) {
    // 129 reads as -127: the symbol takes no pragma, and the pragma record
    // after it stands free in the function stream.  127 is the most a
    // symbol can take.
    std::string text = HEAD + "symbol name=\"s\" pragmas=129\npragma kind=1 args=[]\n" +
                       "symbol name=\"t\" pragmas=127\n";
    for (int i = 0; i < 127; ++i) text += "pragma kind=" + std::to_string(i) + "\n";
    READER_RUN run;
    run.read(text + "end\n" + TYPES);
    run.expect_clean();
    EXPECT_EQ(run.client.calls.at(2), "pragma - DATA_ALIGN []");
    EXPECT_EQ(run.client.free_pragmas.size(), 1u);
    EXPECT_EQ(run.client.symbol("s")->pragma_count(), 0);
    EXPECT_EQ(run.client.symbol("t")->pragma_count(), 127);
    EXPECT_EQ(run.client.symbol("t")->first_pragma()->kind, 126);
}

TEST(ReaderSymbols, ReferenceState) {
    // Field 13 (version -71 only) gives the start; then the pragmas in file
    // order, the last of FUNC_EXT_CALLED (23), SYM_IS_REFERENCED (52) and
    // SYM_IS_DEAD (59) winning; other kinds leave the state alone.
    struct CASE {
        int field;
        std::vector<int> kinds;
        int state;
    };
    const CASE cases[] = {
        {0, {}, 0},       {3, {}, 3},         {1, {7}, 1},
        {0, {59, 52}, 1}, {0, {52, 59}, 3},   {0, {59, 23}, 1},
        {3, {23, 1}, 1},  {1, {59, 2, 3}, 3}, {0, {22, 24, 51, 53, 58, 60}, 0},
    };
    for (const CASE& c : cases) {
        std::string text = HEAD + "symbol name=\"s\" ref=" + std::to_string(c.field) +
                           " pragmas=" + std::to_string(c.kinds.size()) + "\n";
        for (int k : c.kinds) text += "pragma kind=" + std::to_string(k) + "\n";
        READER_RUN run;
        run.read(text + "end\n");
        run.expect_clean();
        ASSERT_EQ(run.client.symbols.size(), 1u);
        EXPECT_EQ(run.client.symbols[0]->reference_state(), c.state) << text;
    }
}

TEST(ReaderSymbols, OlderVersionsHaveNoReferenceField) {
    // At -72 the symbol record ends with its position: the byte after it is
    // the next record's kind, which a reader taking a field 13 would eat.
    READER_RUN run;
    run.read(
        "header version=-72 target=700 name=\"o\"\n"
        "symbol name=\"s\" pos=-\nlabel label=5\n"
        "symbol name=\"t\" pragmas=1 pos=-\npragma kind=59\n"
        "symbol name=\"u\" pragmas=2 pos=-\npragma kind=59\npragma kind=52\nend\n");
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("label"), Calls{"label 5"});
    EXPECT_EQ(run.client.symbol("s")->reference_state(), 0);
    EXPECT_EQ(run.client.symbol("t")->reference_state(), 3);
    EXPECT_EQ(run.client.symbol("u")->reference_state(), 1);
}

TEST(ReaderSymbols, InitializersEndWithTheEndinitTree) {
    READER_RUN run;
    run.read(HEAD + R"(
init sym=1
  ENDINIT type=0
end
.init
init sym=0
  ICON type=1 value=3
  PLUS type=1
    ICON type=1 value=4
    ICON type=1 value=-1
  ENDINIT type=1
init sym=2
  ENDINIT type=0
end
.symbols
symbol name="a" type=1
symbol name="b" type=1
symbol name="c" type=1
end
)" + TYPES);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("init"), (Calls{"init a [ICON 3, PLUS(ICON 4, ICON -1), ENDINIT]",
                                                  "init c [ENDINIT]", "init b [ENDINIT]"}));
    EXPECT_EQ(run.client.symbol("a")->initializers().size(), 3u);
    EXPECT_EQ(run.client.symbol("c")->initializers().size(), 1u);
    EXPECT_EQ(print_type(run.client.symbol("a")->initializers()[2]->type()), "int ");
}

TEST(ReaderSymbols, AnInitializerEndsAtTheFirstEndinitRoot) {
    // An ENDINIT below the root does not end the list; the first ENDINIT
    // root does, and what follows it is the next record.
    READER_RUN run;
    run.read(HEAD + R"(
init sym=0
  UMINUS type=1
    ENDINIT type=1
  ENDINIT type=1
  ENDINIT type=1
end
.symbols
symbol name="a" type=1
end
)" + TYPES);
    EXPECT_EQ(run.client.calls_of("init"), Calls{"init a [UMINUS(ENDINIT), ENDINIT]"});
    // The second ENDINIT is a top-level node of the function stream, read
    // and discarded.
    run.expect_clean();
}

TEST(ReaderSymbols, NameLevelsSelectTheTable) {
    // Level 0 is the global table, 0xFFFFFFFF no symbol, any other value the
    // local table.
    READER_RUN run;
    run.read(HEAD + R"(
func_begin pos=- sym=0
symbol name="x" class=1 type=1
body_begin pos=-
symbol name="y" class=2 type=1
expr pos=-
  COMMA type=1
    COMMA type=1
      NAME type=1 level=0 index=1
      NAME type=1 level=4294967295 index=77
    COMMA type=1
      NAME type=1 level=2 index=0
      NAME type=1 level=4294967294 index=1
func_end pos=-
end
.symbols
symbol name="f" type=1
symbol name="g" type=1
end
)" + TYPES);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("expr"),
              Calls{"expr COMMA(COMMA(NAME g@0, NAME -), COMMA(NAME x@1, NAME y@2)) -"});
    const NODE* none = run.client.trees.at(0)->left()->right();
    EXPECT_EQ(none->symbol(), nullptr);
}

}  // namespace
