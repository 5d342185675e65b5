// Expression-tree nodes: factory defaults, value setters, texts, and the
// release and copy of whole trees.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/symtab.h"
#include "icode/types.h"

using namespace icode;

namespace {

uint64_t double_bits(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

}  // namespace

class NodeTest : public testing::Test {
protected:
    TYPE_PKG pkg;
    TYPE* int_t() { return pkg.integral_type(IntegralKind::INT); }
    TYPE* uint_t() { return pkg.integral_type(IntegralKind::UINT); }
};

TEST_F(NodeTest, FactoryZeroesEverythingButTheWeight) {
    TreePtr n(make_node(ICON, int_t()));
    EXPECT_EQ(n->opcode(), ICON);
    EXPECT_EQ(n->type(), int_t());
    EXPECT_EQ(n->left(), nullptr);
    EXPECT_EQ(n->right(), nullptr);
    EXPECT_EQ(n->value(), 0u);
    EXPECT_EQ(n->text(), nullptr);
    EXPECT_EQ(n->switch_number(), 0);
    EXPECT_EQ(n->call_number(), 0);
    EXPECT_EQ(n->weight(), -1);
    EXPECT_TRUE(n->is_tree_node());
    n->set_weight(42);
    EXPECT_EQ(n->weight(), 42);
    // The base class's own weight operations keep no weight.
    EXPECT_EQ(n->BASE_NODE::weight(), -1);
    n->BASE_NODE::set_weight(7);
    EXPECT_EQ(n->weight(), 42);
}

TEST_F(NodeTest, IntSetterExtendsBySignednessOfTheType) {
    TreePtr s(make_node(ICON, int_t()));
    s->set_value_int(-1);
    EXPECT_EQ(s->value(), UINT64_MAX);
    EXPECT_EQ(s->value_low(), 0xFFFFFFFFu);
    EXPECT_EQ(s->value_high(), 0xFFFFFFFFu);

    TreePtr u(make_node(ICON, uint_t()));
    u->set_value_int(-1);
    EXPECT_EQ(u->value_low(), 4294967295u);
    EXPECT_EQ(u->value_high(), 0u);

    TYPE* td = pkg.make_typedef("sint", int_t(), 16, 16, false, false, std::nullopt);
    TreePtr t(make_node(ICON, td));
    t->set_value_int(-2);
    EXPECT_EQ(static_cast<int64_t>(t->value()), -2);

    TreePtr none(make_node(ICON, nullptr));
    none->set_value_int(-1);
    EXPECT_EQ(none->value(), 0xFFFFFFFFu);
}

TEST_F(NodeTest, ExplicitExtensionSetters) {
    TreePtr n(make_node(ICON, uint_t()));
    n->set_value_int_signed(-3);
    EXPECT_EQ(static_cast<int64_t>(n->value()), -3);
    EXPECT_EQ(n->int_value(), -3);
    n->set_value_unsigned(-3);
    EXPECT_EQ(n->value(), 0xFFFFFFFDu);
    n->set_value_and_call_number(-1, 9);
    EXPECT_EQ(n->value(), 0xFFFFFFFFu);
    EXPECT_EQ(n->call_number(), 9);
    n->set_call_number(4);
    n->set_switch_number(6);
    EXPECT_EQ(n->call_number(), 4);
    EXPECT_EQ(n->switch_number(), 6);
}

TEST_F(NodeTest, ValueFromTextSetters) {
    TreePtr n(make_node(ICON, int_t()));
    n->set_value_from_decimal("-5");
    EXPECT_EQ(static_cast<int64_t>(n->value()), -5);
    n->set_value_from_decimal("12345678901");
    EXPECT_EQ(n->value(), 12345678901u);
    n->set_value_from_decimal("18446744073709551615");
    EXPECT_EQ(n->value(), UINT64_MAX);

    n->set_value(0x1111111100000000ull);
    n->set_value_low_from_text("-2");
    EXPECT_EQ(n->value_low(), 0xFFFFFFFEu);
    EXPECT_EQ(n->value_high(), 0x11111111u);  // the high half is untouched

    n->set_value_if(0, 1, 2);
    EXPECT_EQ(n->value_low(), 0xFFFFFFFEu);
    n->set_value_if(1, 1, 2);
    EXPECT_EQ(n->value(), 0x100000002ull);
}

TEST_F(NodeTest, BytesKeepTheirLengthAndEmbeddedNul) {
    TreePtr n(make_node(SCON, pkg.void_pointer()));
    const char bytes[] = {'a', '\0', 'b'};
    n->set_bytes(bytes, 3);
    EXPECT_EQ(n->string_length(), 3u);
    ASSERT_NE(n->text_string(), nullptr);
    EXPECT_EQ(*n->text_string(), std::string("a\0b", 3));
    n->set_bytes("", 0);
    EXPECT_EQ(n->string_length(), 0u);
    EXPECT_STREQ(n->text(), "");
}

TEST_F(NodeTest, HexFloatTextIsCachedOnce) {
    TreePtr n(make_node(FCON, pkg.floating_type(FloatingKind::DOUBLE)));
    n->set_value(double_bits(1.5));
    EXPECT_FALSE(n->has_text());
    const char* first = n->float_text();
    EXPECT_STREQ(first, "0x1.8p+0");
    EXPECT_TRUE(n->has_text());
    n->set_value(double_bits(2.0));  // the cached text stays
    EXPECT_EQ(n->float_text(), first);
    EXPECT_STREQ(n->text(), "0x1.8p+0");
}

TEST_F(NodeTest, FloatTextReadFromIcodeIsKept) {
    TreePtr n(make_node(FCON, pkg.floating_type(FloatingKind::DOUBLE)));
    n->set_text("2.5e3");
    EXPECT_STREQ(n->float_text(), "2.5e3");
    EXPECT_EQ(n->decimal_text(), "2500");
}

TEST_F(NodeTest, FloatFromTextStoresTheNumberAndDropsTheText) {
    TreePtr n(make_node(FCON, pkg.floating_type(FloatingKind::DOUBLE)));
    n->set_text("old");
    n->set_float_from_text("0.1");
    EXPECT_FALSE(n->has_text());
    EXPECT_EQ(n->value(), double_bits(0.1));
    // Double is 32 bits on this target: single precision.
    EXPECT_EQ(n->decimal_text(), "0.100000001");
    TYPE* wide = pkg.make_floating(FloatingKind::LONG_DOUBLE, 64, 32);
    n->set_type(wide);
    EXPECT_EQ(n->decimal_text(), "0.10000000000000001");
    EXPECT_STREQ(n->float_text(), "0x1.999999999999ap-4");
}

TEST_F(NodeTest, NameAndFieldReferences) {
    SymbolRecord rec;
    rec.name = "x";
    SYMTAB sym(rec);
    TreePtr name(make_node(NAME, int_t()));
    EXPECT_EQ(name->symbol(), nullptr);
    name->set_symbol(&sym);
    EXPECT_EQ(name->symbol(), &sym);

    TYPE* s = pkg.make_csu(CSU_STRUCT, "S", false, false, 32, 16, true, 0, false, false, {});
    FieldMember a, b;
    a.name = "a";
    b.name = "b";
    s->csu_part().fields = {a, b};
    pkg.complete(s);
    TreePtr f(make_node(FIELD, int_t()));
    f->set_field_ref(-2, 2, s);
    EXPECT_EQ(f->field_class(), s);
    EXPECT_EQ(f->field_member_number(), 2u);
    EXPECT_EQ(f->field_flag(), -2);
    ASSERT_NE(f->field(), nullptr);
    EXPECT_EQ(f->field()->name, "b");
    f->set_field_ref(0, 3, s);
    EXPECT_EQ(f->field(), nullptr);
}

namespace {

// A chain of n nodes linked through left (or right) operands.
NODE* chain(int n, bool through_left) {
    NODE* root = nullptr;
    for (int i = 0; i < n; ++i) {
        NODE* node = make_node(i % 2 ? PLUS : UMINUS, nullptr);
        node->set_value(static_cast<uint64_t>(i));
        if (through_left)
            node->set_left(root);
        else
            node->set_right(root);
        root = node;
    }
    return root;
}

}  // namespace

TEST(NodeTree, DeepChainsAreFreedWithoutRecursion) {
    // Under the sanitizers a missed node shows as a leak, a double release as
    // an error; a recursive release would overflow the stack.
    free_tree(chain(100000, true));
    free_tree(chain(100000, false));
    free_tree(nullptr);
}

TEST(NodeTree, CloneCopiesDeepTreesNodeForNode) {
    NODE* original = chain(100000, true);
    original->set_right(make_node(SCON, nullptr));
    original->right()->set_bytes("q\0r", 3);
    original->right()->set_weight(17);
    original->set_switch_number(5);

    NODE* copy = clone_tree(original);
    ASSERT_NE(copy, original);
    EXPECT_EQ(copy->switch_number(), 5);
    ASSERT_NE(copy->right(), nullptr);
    EXPECT_EQ(*copy->right()->text_string(), std::string("q\0r", 3));
    EXPECT_EQ(copy->right()->weight(), 17);
    // The copy owns its own text.
    original->right()->set_text("changed");
    EXPECT_EQ(*copy->right()->text_string(), std::string("q\0r", 3));

    int count = 0;
    const NODE* a = original;
    const NODE* b = copy;
    for (; a != nullptr && b != nullptr; a = a->left(), b = b->left(), ++count) {
        ASSERT_NE(a, b);
        ASSERT_EQ(a->opcode(), b->opcode());
        ASSERT_EQ(a->value(), b->value());
        ASSERT_EQ(a->weight(), b->weight());
    }
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(count, 100000);
    free_tree(original);
    free_tree(copy);
    EXPECT_EQ(clone_tree(nullptr), nullptr);
}
