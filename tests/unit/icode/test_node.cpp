// Tree nodes and symbols: integer values extended by the sign of their type,
// values from text, and whole trees, initializer lists
// and pragma lists copied and released without recursion or leaks (the
// sanitizer build reports a leak or a double release).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "icode/attributes.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/symtab.h"
#include "icode/types.h"

using namespace icode;

TEST(Node, IntegerValuesFollowTheSignOfTheirType) {
    TYPE_PKG pkg;
    TreePtr s(make_node(ICON, pkg.make_typedef("sint", pkg.integral_type(IntegralKind::INT), 16, 16,
                                               false, false, std::nullopt)));
    s->set_value_int(-1);
    EXPECT_EQ(s->value(), UINT64_MAX);
    TreePtr u(make_node(ICON, pkg.integral_type(IntegralKind::UINT)));
    u->set_value_int(-1);
    EXPECT_EQ(u->value(), 0xFFFFFFFFu);
    u->set_value_int_signed(-3);
    EXPECT_EQ(u->int_value(), -3);
    u->set_value_from_decimal("18446744073709551615");
    EXPECT_EQ(u->value(), UINT64_MAX);
    u->set_value(0x1111111100000000ull);
    u->set_value_low_from_text("-2");
    EXPECT_EQ(u->value(), 0x11111111FFFFFFFEull);
}

TEST(Node, DeepTreesAreCopiedAndFreedWithoutRecursion) {
    NODE* original = nullptr;
    for (int i = 0; i < 100000; ++i) {
        NODE* n = make_node(i % 2 ? PLUS : UMINUS, nullptr);
        n->set_value(uint64_t(i));
        n->set_left(original);
        original = n;
    }
    original->set_right(make_node(SCON, nullptr));
    original->right()->set_bytes("q\0r", 3);
    original->right()->set_weight(17);
    NODE* copy = clone_tree(original);
    original->right()->set_text("changed");  // the copy owns its own text
    EXPECT_EQ(*copy->right()->text_string(), std::string("q\0r", 3));
    EXPECT_EQ(copy->right()->weight(), 17);
    int count = 0;
    const NODE *a = original, *b = copy;
    for (; a && b; a = a->left(), b = b->left(), ++count) {
        ASSERT_NE(a, b);
        ASSERT_EQ(std::make_pair(a->opcode(), a->value()), std::make_pair(b->opcode(), b->value()));
    }
    EXPECT_EQ(a, b);
    EXPECT_EQ(count, 100000);
    free_tree(original);
    free_tree(copy);
}

TEST(Symtab, InitializersAndPragmasAreOwnedAndReleased) {
    SymbolRecord rec;
    rec.name = "table";
    SYMTAB sym(std::move(rec));
    NODE* first = make_node(ICON, nullptr);
    first->set_left(make_node(ICON, nullptr));
    sym.set_initializers({first, make_node(ENDINIT, nullptr)});
    sym.set_initializers({make_node(ENDINIT, nullptr)});  // frees the old trees
    std::vector<NODE*> taken = sym.take_initializers();
    EXPECT_TRUE(sym.initializers().empty());
    ASSERT_EQ(taken.size(), 1u);
    free_tree(taken[0]);
    sym.set_initializers({make_node(ENDINIT, nullptr)});  // freed with the symbol
    for (int i = 0; i < 200000; ++i)
        sym.add_pragma_front(
            std::make_unique<Pragma>(uint8_t(AttributeKind::UNUSED), std::vector<std::string>{}));
    EXPECT_EQ(sym.pragma_count(), 200000);
}
