// The reader's expression trees: the leaf data of every opcode that has
// some, operands per the operator table, the floating-comparison rewrite,
// exception tables, and trees deeper than any recursion could take.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_reader_recording.h"

namespace {

using namespace reader_test;
using Calls = std::vector<std::string>;

const std::string HEAD = "header version=-71 target=700 name=\"t.c\"\n";

// Types: 1 int, 2 unsigned, 3 double, 4 float, 5 typedef of double, 6 a
// typedef of that typedef, 7 char *, 8 struct S { int a; int b; } whose
// fields carry member numbers 10 and 20 in the file, 9 long double, 10 a
// typedef of int.
const std::string SECTIONS = R"(
.types
type 1 int explicit_sign=1 size=16 align=16
type 2 uint size=16 align=16
type 3 double size=32 align=16
type 4 float size=32 align=16
type 5 typedef name="real" base=3 size=32 align=16
type 6 typedef name="real2" base=5 size=32 align=16
type 7 pointer pointee=1 size=16 align=16
type 8 csu name="S" size=32 align=16 has_fields=1
type 8 open list=7
type 8 field member=10 name="a" type=1 offset=0
type 8 field member=20 name="b" type=1 offset=16
type 8 close list=7
type 9 ldouble size=32 align=16
type 10 typedef name="myint" base=1 size=16 align=16
end
.files
file_name name="t.c"
end
.symbols
symbol name="f" type=1
end
)";

TEST(ReaderTrees, LeafDataOfEveryOpcodeThatHasSome) {
    READER_RUN run;
    run.read(HEAD + R"(
expr pos=-
  LABEL type=1 label=4294967295
expr pos=-
  SCON type=7 bytes="a\x00b"
expr pos=-
  ICON type=1 value=-1
expr pos=-
  ICON type=2 value=4294967295
expr pos=-
  ICON type=10 value=-32768
expr pos=-
  FCON type=3 text="1.5e3"
expr pos=-
  LCON type=1 text="12345678901"
expr pos=-
  FIELD type=1 byte=-1 member=2 class=8
expr pos=-
  FIELD type=1 byte=3 member=3 class=8
expr pos=-
  SWITCH type=1 number=4
    ICON type=1 value=0
    DEFAULT type=1
      LABEL type=1 label=9
expr pos=-
  CALL type=1 extra=1 eht=2
    NAME type=1 level=0 index=0
    ICON type=1 value=7
expr pos=-
  UCALL type=1 eht=3
    NAME type=1 level=0 index=0
expr pos=-
  EPVAL type=1 weight=4294967295
    EPVAL type=1 weight=12
      ICON type=1 value=1
expr pos=-
  SKIP type=1 number=3
expr pos=-
  DDNODE type=1 id=1 locale=2 flags=255
    VREG type=1 reg=-7
expr pos=-
  ICALL type=1 name="f"
    UICALL type=1 name="g"
expr pos=-
  MCALL type=1 name="m"
    UMCALL type=1 name=""
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("expr"),
              (Calls{
                  "expr LABEL 4294967295 -",
                  "expr SCON \"a\\x00b\" -",
                  "expr ICON -1 -",
                  "expr ICON 4294967295 -",
                  "expr ICON -32768 -",
                  "expr FCON \"1.5e3\" -",
                  "expr LCON \"12345678901\" -",
                  // FIELD finds the field by the number it got on completion
                  "expr FIELD -1/2:b -",
                  "expr FIELD 3/3:- -",
                  "expr SWITCH 4(ICON 0, DEFAULT(LABEL 9)) -",
                  "expr CALL 1/2(NAME f@0, ICON 7) -",
                  "expr UCALL 3(NAME f@0) -",
                  "expr EPVAL -1(EPVAL 12(ICON 1)) -",
                  // SKIP is a leaf although the table gives it one operand
                  "expr SKIP 3 -",
                  "expr DDNODE 1/2/255(VREG -7) -",
                  // UICALL and UMCALL take no operand
                  "expr ICALL \"f\"(UICALL \"g\") -",
                  "expr MCALL \"m\"(UMCALL \"\") -",
              }));
    const auto& trees = run.client.trees;
    ASSERT_EQ(trees.size(), 17u);
    // ICON int -1 is all ones in 64 bits; unsigned 4294967295 only in the low half.
    EXPECT_EQ(trees[2]->value(), ~uint64_t(0));
    EXPECT_EQ(trees[3]->value_low(), 4294967295u);
    EXPECT_EQ(trees[3]->value_high(), 0u);
    EXPECT_EQ(trees[1]->string_length(), 3u);
    EXPECT_EQ(print_type(trees[7]->field_class()), "struct S ");
    EXPECT_EQ(trees[7]->field()->offset, 16);
    // A node keeps its type; EPVAL's weight is the value read.
    EXPECT_EQ(print_type(trees[1]->type()), "int *");
    EXPECT_EQ(trees[12]->weight(), -1);
    EXPECT_EQ(trees[12]->left()->weight(), 12);
    EXPECT_EQ(trees[10]->call_number(), 2);
    EXPECT_EQ(trees[10]->extra_arg_count(), 1u);
    EXPECT_EQ(trees[9]->switch_number(), 4);
    // Nodes without an EPVAL keep the factory's weight.
    EXPECT_EQ(trees[2]->weight(), -1);
    EXPECT_EQ(trees[14]->left()->register_number(), -7);
}

TEST(ReaderTrees, OperandsFollowTheOperatorTable) {
    // One operand for UMINUS, two for ASG, none for NOP and for codes
    // without an entry in the table (OP_28).
    READER_RUN run;
    run.read(HEAD + R"(
expr pos=-
  ASG type=1
    UMINUS type=1
      NOP type=1
    OP_28 type=1
label label=3
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("expr"), Calls{"expr ASG(UMINUS(NOP), OP_28) -"});
    EXPECT_EQ(run.client.calls.back(), "label 3");
}

TEST(ReaderTrees, FloatingComparisons) {
    struct CASE {
        const char* opcode;
        const char* expected;
    };
    const CASE cases[] = {
        {"EQ", "FEQ"},
        {"NEQ", "FNEQN"},
        {"LE", "FLE"},
        {"ULE", "FLE"},
        {"LT", "FLT"},
        {"ULT", "FLT"},
        {"GE", "FGE"},
        {"UGE", "FGE"},
        {"GT", "FGT"},
        {"UGT", "FGT"},
        // not a comparison: unchanged
        {"PLUS", "PLUS"},
        {"ANDAND", "ANDAND"},
        {"FEQ", "FEQ"},
    };
    // Which operand is floating does not matter, nor which floating type,
    // nor typedefs on the way to it.  The node's own type is int.
    const char* const operands[][2] = {
        {"3", "3"}, {"3", "1"}, {"1", "4"}, {"5", "1"}, {"1", "6"}, {"9", "9"},
    };
    for (const CASE& c : cases) {
        for (const auto& ops : operands) {
            std::string text = HEAD + "expr pos=-\n  " + c.opcode +
                               " type=1\n    ICON type=" + ops[0] +
                               " value=1\n    ICON type=" + ops[1] + " value=2\nend\n" + SECTIONS;
            READER_RUN run;
            run.read(text);
            run.expect_clean();
            ASSERT_EQ(run.client.trees.size(), 1u) << text;
            const NODE* n = run.client.trees[0].get();
            EXPECT_EQ(opcode_name(n->opcode()), c.expected) << text;
            EXPECT_EQ(print_type(n->type()), "int ") << text;
        }
    }
}

TEST(ReaderTrees, ComparisonsOfIntegersAndPointersAreKept) {
    READER_RUN run;
    run.read(HEAD + R"(
expr pos=-
  LT type=3
    ICON type=1 value=1
    ICON type=10 value=2
expr pos=-
  EQ type=3
    ICON type=7 value=0
    ICON type=2 value=0
expr pos=-
  NEQ type=1
    UMINUS type=3
      ICON type=1 value=1
    ICON type=1 value=2
end
)" + SECTIONS);
    run.expect_clean();
    // The node's own type does not count, only its operands'; the UMINUS
    // operand is a double, so the last NEQ is rewritten.
    EXPECT_EQ(run.client.calls_of("expr"),
              (Calls{"expr LT(ICON 1, ICON 2) -", "expr EQ(ICON 0, ICON 0) -",
                     "expr FNEQN(UMINUS(ICON 1), ICON 2) -"}));
}

TEST(ReaderTrees, ComparisonsAreRewrittenAtEveryDepth) {
    READER_RUN run;
    run.read(HEAD + R"(
expr pos=-
  ANDAND type=1
    GE type=1
      ICON type=3 value=1
      ICON type=1 value=2
    OROR type=1
      UGT type=1
        ICON type=1 value=1
        ICON type=4 value=2
      ULT type=1
        ICON type=1 value=1
        ICON type=1 value=2
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(
        run.client.calls_of("expr"),
        Calls{
            "expr ANDAND(FGE(ICON 1, ICON 2), OROR(FGT(ICON 1, ICON 2), ULT(ICON 1, ICON 2))) -"});
}

TEST(ReaderTrees, ExceptionTables) {
    READER_RUN run;
    run.read(HEAD + R"(
eht count=0
eht count=4
eht_entry first=1 kind=1 third=2 count=0
expr pos=1:1:1
  ASG type=1
    NAME type=1 level=0 index=0
    ICON type=1 value=5
eht_entry first=3 kind=2 third=4 count=2
eht_catches items=[("int", 3, 1), ("", 4294967295, 0)]
eht_entry first=5 kind=0 third=6 count=9
eht_entry first=7 kind=3 third=8 count=0
label label=1
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(
        run.client.calls,
        (Calls{"unit_header -71 700", "symbol f level=0", "eht []",
               "eht [1/1/2/0 ASG(NAME f@0, ICON 5), 3/2/4/2 (\"int\" 3 1) (\"\" 4294967295 0), "
               "5/0/6/9, 7/3/8/0]",
               "label 1"}));
    ASSERT_EQ(run.client.tables.size(), 2u);
    const auto& t = run.client.tables[1];
    ASSERT_EQ(t.size(), 4u);
    EXPECT_NE(t[0].tree, nullptr);
    EXPECT_TRUE(t[0].items.empty());
    EXPECT_EQ(t[1].tree, nullptr);
    EXPECT_EQ(t[1].items.size(), 2u);
    EXPECT_TRUE(t[2].items.empty());
}

TEST(ReaderTrees, ExceptionTablesTheClientDoesNotKeepAreFreed) {
    // The sanitizer build would report the entry trees as leaks otherwise.
    READER_RUN run;
    run.client.keep_tables = false;
    run.read(HEAD + R"(
eht count=1
eht_entry first=1 kind=1 third=2 count=0
expr pos=-
  PLUS type=1
    ICON type=1 value=1
    ICON type=1 value=2
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls.back(), "eht [1/1/2/0 PLUS(ICON 1, ICON 2)]");
    EXPECT_TRUE(run.client.tables.empty());
}

TEST(ReaderTrees, CatchItemsAreCountedByTheirEntry) {
    // The catches record's items are as many as the entry's count; the
    // record's length does not delimit them.
    READER_RUN run;
    run.read(HEAD + R"(
eht count=1
eht_entry first=0 kind=2 third=0 count=1
eht_catches len=0 items=[("a", 1, 1)]
label label=2
end
)" + SECTIONS);
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("eht"), Calls{"eht [0/2/0/1 (\"a\" 1 1)]"});
    EXPECT_EQ(run.client.calls.back(), "label 2");
}

TEST(ReaderTrees, DeepTreesAreReadWithoutRecursion) {
    // A chain of 10000 unary nodes and a right-leaning comma list as long.
    const int depth = 10000;
    std::string text = HEAD + "expr pos=-\n";
    for (int i = 0; i < depth; ++i) text += "UMINUS type=1\n";
    text += "ICON type=1 value=1\nexpr pos=-\n";
    for (int i = 0; i < depth; ++i)
        text += "COMMA type=1\nICON type=1 value=" + std::to_string(i) + "\n";
    text += "NOP type=1\nend\n" + SECTIONS;
    READER_RUN run;
    run.read(text);
    run.expect_clean();
    ASSERT_EQ(run.client.trees.size(), 2u);
    const NODE* n = run.client.trees[0].get();
    int seen = 0;
    for (; n->opcode() == UMINUS; n = n->left()) ++seen;
    EXPECT_EQ(seen, depth);
    EXPECT_EQ(n->opcode(), ICON);
    n = run.client.trees[1].get();
    seen = 0;
    for (; n->opcode() == COMMA; n = n->right()) {
        EXPECT_EQ(n->left()->value(), uint64_t(seen));
        ++seen;
    }
    EXPECT_EQ(seen, depth);
}

TEST(ReaderTrees, WithoutATypePackageNoTypeIsResolved) {
    READER_RUN run;
    run.read(HEAD + R"(
expr pos=-
  LT type=1
    ICON type=3 value=1
    ICON type=1 value=2
end
)" + SECTIONS,
             /*with_types=*/false);
    run.expect_clean();
    // Without types no operand is floating: the comparison stays.
    EXPECT_EQ(run.client.calls_of("expr"), Calls{"expr LT(ICON 1, ICON 2) -"});
    EXPECT_EQ(run.client.trees[0]->type(), nullptr);
    EXPECT_EQ(run.client.symbol("f")->type(), nullptr);
    EXPECT_EQ(run.types.type_count(), 18u);
}

}  // namespace
