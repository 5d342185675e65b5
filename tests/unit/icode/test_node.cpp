// Whole trees copied and released without recursion or leaks (the sanitizer
// build reports a leak or a double release).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/types.h"

using namespace icode;

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
