// Infix printer: precedence and parentheses, leaves and integer constants,
// the PCOMMA prefix, the 1980-character limit, deep and malformed trees,
// and the nested-call text.
#include <gtest/gtest.h>

#include <string>

#include "icode/infix.h"
#include "icode/infix_printer.h"
#include "icode/infix_tables.h"
#include "test_tree_builder.h"

using namespace icode;
using test_trees::TREE_BUILDER;

namespace {

class InfixTest : public testing::Test, protected TREE_BUILDER {
protected:
    void SetUp() override { reset_infix_state(); }
    // Renders a tree and frees it.
    std::string text(NODE* root) {
        TreePtr owner(root);
        return infix_text(root);
    }
};

// A symbol whose name is the rendering of another tree: asking for it while
// a tree is being printed calls the printer from inside itself.
class REENTRANT_SYMBOL final : public I_SYMTAB {
public:
    explicit REENTRANT_SYMBOL(const NODE* inner) : inner_(inner) {}
    const std::string& name() const override {
        name_ = infix_text(inner_);
        return name_;
    }
    uint32_t size() const override { return 0; }
    uint32_t value() const override { return 0; }
    uint8_t storage_class() const override { return 0; }
    uint16_t qualifiers() const override { return 0; }
    TYPE* type() const override { return nullptr; }
    TYPE* second_type() const override { return nullptr; }
    uint16_t alignment() const override { return 0; }
    const SourcePos* position() const override { return nullptr; }
    const Pragma* first_pragma() const override { return nullptr; }
    int pragma_count() const override { return 0; }
    uint32_t definition_offset() const override { return 0; }
    uint32_t opt() const override { return 0; }
    int level() const override { return 0; }
    void set_level(int) override {}
    void set_definition_offset(uint32_t) override {}

private:
    const NODE* inner_;
    mutable std::string name_;
};

}  // namespace

TEST_F(InfixTest, ParenthesesFollowPrecedence) {
    EXPECT_EQ(text(node(MULT, node(PLUS, name("a"), name("b")), name("c"))), "(a+b)*c");
    EXPECT_EQ(text(node(PLUS, name("a"), node(MULT, name("b"), name("c")))), "a+b*c");
    // The second operand of a left-associative operator binds one step
    // tighter, so a - (b - c) keeps its parentheses and (a - b) - c needs none.
    EXPECT_EQ(text(node(MINUS, name("a"), node(MINUS, name("b"), name("c")))), "a-(b-c)");
    EXPECT_EQ(text(node(MINUS, node(MINUS, name("a"), name("b")), name("c"))), "a-b-c");
    EXPECT_EQ(text(node(ANDAND, node(LT, name("a"), name("b")), node(GT, name("c"), name("d")))),
              "a < b && c > d");
    EXPECT_EQ(text(node(EQ, node(ANDB, name("x"), icon(3)), icon(0))), "(x&3) == 0");
    EXPECT_EQ(text(node(UMINUS, node(PLUS, name("a"), name("b")))), "-(a+b)");
    EXPECT_EQ(text(node(EXCLAIM, node(NOTB, name("a")))), "!~a");
}

TEST_F(InfixTest, AssignmentsAssociateAsTheTableSays) {
    // ASG is printed left-associative, the compound assignments right.
    EXPECT_EQ(text(node(ASG, name("a"), node(ASG, name("b"), name("c")))), "a = (b = c)");
    EXPECT_EQ(text(node(MULTASG, name("a"), node(MULTASG, name("b"), name("c")))), "a *= b *= c");
    EXPECT_EQ(text(node(SLLASG, name("a"), icon(2))), "a <<= 2");
    EXPECT_EQ(text(node(ASG, name("x"), node(PLUS, name("a"), name("b")))), "x = a+b");
    EXPECT_EQ(text(node(COMMAOP, node(ASG, name("a"), icon(1)), name("b"))), "a = 1 , b");
}

TEST_F(InfixTest, OperatorSymbolsAndMnemonics) {
    EXPECT_STREQ(infix_symbol(PLUSASG), " += ");
    EXPECT_STREQ(infix_symbol(URETURN), "return");  // the C symbol wins over "URETURN "
    EXPECT_STREQ(infix_symbol(SWITCH), "SWITCH  ");
    EXPECT_STREQ(infix_symbol(255), " ?ILLOP?");
    EXPECT_STREQ(infix_symbol(FEQ), "FEQ");
    EXPECT_STREQ(infix_symbol(200), "?NODE?");
    // Floating comparisons have no C symbol; the table name stands between
    // the operands.
    EXPECT_EQ(text(node(FEQ, name("a"), name("b"))), "aFEQb");
    EXPECT_EQ(text(node(RECIP, name("x"))), "1/x");
    EXPECT_EQ(text(node(DEFAULT, label(8))), "DEFAULT goto g8");
    EXPECT_EQ(text(node(255, name("a"), name("b"))), "a ?ILLOP?b");
    EXPECT_EQ(infix_precedence(FEQN), 88);
    EXPECT_EQ(infix_precedence(FGT), 13);
    EXPECT_EQ(infix_precedence(116), 15);
}

TEST_F(InfixTest, Leaves) {
    EXPECT_EQ(text(name("_count")), "count");
    EXPECT_EQ(text(name("__x")), "_x");  // only one leading "_" goes
    EXPECT_EQ(text(name(".L1")), "L1");
    EXPECT_EQ(text(name("y")), "y");
    EXPECT_EQ(text(make_node(NAME, int_t())), "");

    EXPECT_EQ(text(label(7)), "goto g7");
    NODE* weighted = label(7);
    weighted->set_weight(12);
    EXPECT_EQ(text(weighted), "goto g7#12");
    NODE* zero = label(3);
    zero->set_weight(0);
    EXPECT_EQ(text(zero), "goto g3#0");
    EXPECT_EQ(text(label(-2)), "goto g-2");

    NODE* definition = make_node(OP_LABEL_DEF, nullptr);
    definition->set_value(5);
    EXPECT_EQ(text(definition), "g5:");

    NODE* fcon = make_node(FCON, pkg.floating_type(FloatingKind::DOUBLE));
    fcon->set_text("1.5");
    EXPECT_EQ(text(fcon), "1.5");
    NODE* lcon = make_node(LCON, long_t());
    lcon->set_text("123456789012");
    EXPECT_EQ(text(lcon), "123456789012");
}

TEST_F(InfixTest, NegativeFloatingConstantsBindLikeUnaryMinus) {
    NODE* negative = make_node(FCON, pkg.floating_type(FloatingKind::DOUBLE));
    negative->set_text("-2.5");
    EXPECT_EQ(text(node(PLUSPLUS, negative, icon(1))), "(-2.5)++");
    NODE* positive = make_node(FCON, pkg.floating_type(FloatingKind::DOUBLE));
    positive->set_text("2.5");
    EXPECT_EQ(text(node(PLUSPLUS, positive, icon(1))), "2.5++");
}

TEST_F(InfixTest, FieldsPrintTheirName) {
    TYPE* point = pkg.make_csu(CSU_STRUCT, "point", false, false, 32, 16, true, 0, false, false,
                               std::nullopt);
    FieldMember x, y;
    x.name = "x";
    x.type = int_t();
    y.name = "y";
    y.type = int_t();
    y.offset = 16;
    point->csu_part().fields = {x, y};
    point = pkg.complete(point);
    NODE* field = make_node(FIELD, int_t());
    field->set_field_ref(0, 2, point);
    EXPECT_EQ(text(node(STDOT, name("p", point), field)), "p.y");
}

TEST_F(InfixTest, IntegerConstants) {
    EXPECT_EQ(text(icon(42)), "42");
    EXPECT_EQ(text(icon(-5)), "(-5)");
    EXPECT_EQ(text(icon(-1, long_t())), "(-1)");
    // Unsigned values are reduced to the width of their type.
    EXPECT_EQ(text(icon(0xFFFFFFFF, uint_t())), "65535");
    EXPECT_EQ(text(icon(300, uchar_t())), "44");
    EXPECT_EQ(text(icon(4000000000, ulong_t())), "4000000000");
}

TEST_F(InfixTest, PlusOfANegativeConstantPrintsAsMinus) {
    EXPECT_EQ(text(node(PLUS, name("a"), icon(-3))), "a-3");
    EXPECT_EQ(text(node(PLUS, name("a"), icon(3))), "a+3");
    // An unsigned constant is never negative.
    EXPECT_EQ(text(node(PLUS, uint_t(), name("a", uint_t()), icon(65535, uint_t()))), "a+65535");
    EXPECT_EQ(text(node(MULT, node(PLUS, name("a"), icon(-1)), name("b"))), "(a-1)*b");
}

TEST_F(InfixTest, ParallelAssignmentsPrefix) {
    EXPECT_EQ(text(node(PCOMMA, node(ASG, name("a"), name("b")), node(ASG, name("c"), name("d")))),
              "PARALLEL ASSIGNMENTS: a = b, c = d");
    // Only the root gets the prefix.
    EXPECT_EQ(text(node(COMMAOP, node(PCOMMA, name("a"), name("b")), name("c"))), "a, b , c");
}

TEST_F(InfixTest, MissingOperandsPrintNil) {
    EXPECT_EQ(text(nullptr), "((nil))");
    EXPECT_EQ(text(node(PLUS, name("a"))), "a+((nil))");
    EXPECT_EQ(text(node(UMINUS)), "-((nil))");
    EXPECT_EQ(text(node(CALL)), "(*((nil)))()");
    // Nodes without operands print nothing.
    EXPECT_EQ(text(node(NOP)), "");
    EXPECT_EQ(text(node(URETURN, node(NOP))), "return");
}

TEST_F(InfixTest, TextOfExactlyTheLimitIsKept) {
    const std::string long_name(INFIX_LIMIT, 'n');
    EXPECT_EQ(text(name(long_name)), long_name);
}

TEST_F(InfixTest, LongerTextIsCutAtTheLimit) {
    const std::string long_name(INFIX_LIMIT + 1, 'n');
    EXPECT_EQ(text(name(long_name)), long_name.substr(0, INFIX_LIMIT) + "...");

    // The same for text built from many nodes: a left-deep sum a+a+a+...
    NODE* sum = name("a");
    for (int i = 0; i < 1500; ++i) sum = node(PLUS, sum, name("a"));
    std::string cut = text(sum);
    ASSERT_EQ(cut.size(), INFIX_LIMIT + 3);
    EXPECT_EQ(cut.substr(INFIX_LIMIT), "...");
    EXPECT_EQ(cut.substr(0, 6), "a+a+a+");
}

TEST_F(InfixTest, DeepTreesStopWithoutExhaustingTheStack) {
    // Conversions print only their operand, so this chain is one character
    // long but far too deep to descend.
    NODE* chain = name("x");
    for (int i = 0; i < 200000; ++i) chain = node(SCONV, chain);
    std::string deep = text(chain);
    EXPECT_EQ(deep, "...");

    NODE* negations = name("x");
    for (int i = 0; i < 200000; ++i) negations = node(UMINUS, negations);
    std::string cut = text(negations);
    EXPECT_EQ(cut.substr(cut.size() - 3), "...");

    // A long argument list is a chain too; it is walked without nesting.
    NODE* args = name("a");
    for (int i = 0; i < 200000; ++i) args = node(COMMA, args, name("a"));
    NODE* call = node(CALL, node(UAND, name("f")), args);
    std::string listed = text(call);
    ASSERT_EQ(listed.size(), INFIX_LIMIT + 3);
    EXPECT_EQ(listed.substr(0, 9), "f(a, a, a");
}

TEST_F(InfixTest, NestedCallGetsTheFixedText) {
    TreePtr inner(name("inner"));
    REENTRANT_SYMBOL reentrant(inner.get());
    NODE* outer = node(PLUS, name("a"), nullptr);
    NODE* reentrant_name = make_node(NAME, int_t());
    reentrant_name->set_symbol(&reentrant);
    outer->set_right(reentrant_name);
    EXPECT_EQ(text(outer), "a++*+*+ tree2infix called recursively +*+*+");
    // The outer rendering cleared the busy flag on its way out.
    EXPECT_EQ(text(name("b")), "b");
}
