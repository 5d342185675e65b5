// The infix printer: precedence and parentheses, leaves and constants, the
// special forms (increments, branch conditions, array accesses, calls,
// conversions, statements), the length limit and deep trees.  int is 16 bits
// and long 32 here, so a pointer to int steps by 2 bytes and one to long by 4.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "icode/infix.h"
#include "icode/infix_printer.h"
#include "test_tree_builder.h"

using namespace icode;

namespace {

class Infix : public testing::Test, protected test_trees::TREE_BUILDER {
protected:
    void SetUp() override { reset_infix_state(); }
    std::string text(NODE* root) {
        TreePtr owner(root);
        return infix_text(root);
    }
    // Each tree printed and freed, against its expected text.
    void expect(const std::vector<std::pair<NODE*, const char*>>& cases) {
        for (const auto& [tree, expected] : cases) EXPECT_EQ(text(tree), expected);
    }
    NODE* leaf(int opcode, TYPE* type, const char* text) {
        NODE* n = make_node(opcode, type);
        n->set_text(text);
        return n;
    }
    NODE* weighted(NODE* n, int weight) {
        n->set_weight(weight);
        return n;
    }
    NODE* scon(const std::string& bytes) {
        NODE* n = make_node(SCON, ptr(char_t()));
        n->set_bytes(bytes.data(), bytes.size());
        return n;
    }
    NODE* a() { return name("a"); }
    NODE* b() { return name("b"); }
};

TEST_F(Infix, PrecedenceLeavesAndConstants) {
    TYPE* dbl = pkg.floating_type(FloatingKind::DOUBLE);
    expect({
        {node(MULT, node(PLUS, a(), b()), name("c")), "(a+b)*c"},
        // the second operand of a left-associative operator binds tighter
        {node(MINUS, a(), node(MINUS, b(), name("c"))), "a-(b-c)"},
        {node(MINUS, node(MINUS, a(), b()), name("c")), "a-b-c"},
        {node(EQ, node(ANDB, name("x"), icon(3)), icon(0)), "(x&3) == 0"},
        {node(ASG, a(), node(ASG, b(), name("c"))), "a = (b = c)"},
        {node(FEQ, a(), b()), "aFEQb"},
        // external names lose one leading "_" or "."
        {name("_count"), "count"},
        {label(7), "goto g7"},
        {weighted(label(7), 12), "goto g7#12"},
        {node(PLUSPLUS, leaf(FCON, dbl, "-2.5"), icon(1)), "(-2.5)++"},
        {node(PLUSPLUS, leaf(FCON, dbl, "2.5"), icon(1)), "2.5++"},
        {icon(0), "0"},
        {icon(-5), "(-5)"},
        // unsigned values are reduced to the width of their type
        {icon(0xFFFFFFFF, uint_t()), "65535"},
        {node(PLUS, a(), icon(-3)), "a-3"},
        {node(PLUS, uint_t(), name("a", uint_t()), icon(65535, uint_t())), "a+65535"},
        {node(PCOMMA, node(ASG, a(), b()), node(ASG, name("c"), name("d"))),
         "PARALLEL ASSIGNMENTS: a = b, c = d"},
        {nullptr, "((nil))"},
    });
    TYPE* point =
        pkg.make_csu(CSU_STRUCT, "point", false, false, 32, 16, true, 0, false, false, {});
    FieldMember x, y;
    x.name = "x";
    y.name = "y";
    point->csu_part().fields = {x, y};
    NODE* field = make_node(FIELD, int_t());
    field->set_field_ref(0, 2, pkg.complete(point));
    EXPECT_EQ(text(node(STDOT, name("p", point), field)), "p.y");
}

TEST_F(Infix, IncrementsAndBranchConditions) {
    TYPE* pint = ptr(int_t());
    TYPE* plong = ptr(long_t());
    expect({
        {node(PLUSASG, name("x"), icon(1)), "++x"},
        {node(MINUSASG, name("x"), icon(1)), "--x"},
        {node(PLUSASG, pint, name("p", pint), icon(2, pint)), "++p"},
        {node(PLUSASG, pint, name("p", pint), icon(6, pint)), "p += 3"},
        {node(PLUSASG, plong, name("q", plong), icon(4, plong)), "++q"},
        {node(PLUSPLUS, pint, name("p", pint), icon(2, pint)), "p++"},
        {node(PLUSPLUS, pint, name("p", pint), icon(8, pint)), "p++{4}"},
        // a conditional branch shows when it jumps: the inverted condition
        {node(CBRANCH, node(GT, name("v"), icon(0)), label(1)), "( v <= 0 ) "},
        {node(CBRANCH, node(LT, name("v"), name("w")), label(1)), "( v >= w ) "},
        {node(CBRANCH, node(EQ, name("v"), icon(1)), label(1)), "( v != 1 ) "},
        {node(CBRANCH, node(NEQ, name("v"), icon(0)), label(1)), "( v == 0 ) "},
        {node(CBRANCH, node(NEQ, name("v"), icon(2)), label(1)), "( v == 2 ) "},
        {node(CBRANCH, node(EQ, name("v"), icon(0)), label(1)), "( v ) "},
        {node(CBRANCH, node(ANDAND, node(GT, name("v"), icon(0)), node(LT, name("v"), name("n"))),
              label(1)),
         "( v > 0 && v < n ) "},
    });
}

TEST_F(Infix, ArrayAccessesCallsAndConversions) {
    TYPE* int4 = array(int_t(), 4);
    TYPE* pint4 = ptr(int4);
    TYPE* pint = ptr(int_t());
    TYPE* fn = pkg.make_function(int_t(), false, false, 0, false);
    TYPE* pfn = ptr(fn);
    TYPE* buf = array(char_t(), 8);
    TYPE* pbuf = ptr(buf);
    TYPE* s = pkg.make_csu(CSU_STRUCT, "S", false, false, 32, 16, false, 0, false, false, {});
    TYPE* ps = ptr(s);
    TYPE* counters = array(ulong_t(), 5);
    TYPE* pcounters = ptr(counters);
    expect({
        // hist[code & 3] = classify(code, 100), as the front end lowers it
        {node(ASG,
              node(UMULT, int_t(),
                   node(PLUS, pint4, node(UAND, pint4, name("hist", int4)),
                        node(PMCONV, node(ANDB, name("code"), icon(3)), icon(16)))),
              node(CALL, node(UAND, pfn, name("classify", fn)),
                   node(COMMA, name("code"), icon(100)))),
         "hist[code&3] = classify(code, 100)"},
        {node(PLUSPLUS, ulong_t(),
              node(UMULT, ulong_t(),
                   node(PLUS, pcounters, node(UAND, pcounters, name("__prof_arr_f_0", counters)),
                        node(PMCONV, icon(3), icon(32)))),
              icon(1, ulong_t())),
         "(_prof_arr_f_0[3])++"},
        {node(UMULT, int_t(), node(PLUS, pint, name("p", pint), icon(4))), "p[2]"},
        {node(UMULT, int_t(), node(MINUS, pint, name("p", pint), icon(2))), "p[(-1)]"},
        {node(UMULT, int_t(), node(PLUS, pint, name("p", pint), name("off"))), "p[off/2]"},
        {node(UMULT, char_t(),
              node(PLUS, pbuf, node(UAND, pbuf, name("buf", buf)), node(PLUS, name("i"), icon(1)))),
         "buf[i+1]"},
        {node(UMULT, int_t(), node(UAND, pint, name("x"))), "(&x)[0]"},
        {node(UMULT, int_t(), node(PLUS, pint, node(UAND, ps, name("s", s)), icon(2))),
         "(int *)(&s)[1]"},
        {node(ASG, pint, name("q", pint),
              node(PLUS, pint4, node(UAND, pint4, name("hist", int4)),
                   node(PMCONV, name("i"), icon(16)))),
         "q = &hist[i]"},
        {node(UCALL, node(UAND, pfn, name("tick", fn))), "tick()"},
        {node(CALL, node(UAND, pfn, name("f", fn)), node(COMMA, node(COMMA, a(), b()), name("c"))),
         "f(a, b, c)"},
        {node(CALL, node(UAND, pfn, name("f", fn)),
              node(COMMA, node(COMMAOP, a(), b()), name("c"))),
         "f((a , b), c)"},
        {node(CALL, node(UAND, pfn, name("_puts", fn)), scon(std::string("hi\0", 3))),
         "puts(\"hi\\000\")"},
        {scon("a\b\t\n\f\r\"\\\x01\x7f\xff z"), "\"a\\b\\t\\n\\f\\r\\\"\\\\\\001\\177\\377 z\""},
        {node(ANDB, name("x"), icon(255)), "x&255"},
        {node(PMCONV, name("i"), icon(8)), "i"},
        {node(PMCONV, name("i"), icon(16)), "i*2"},
        {node(PMCONV, node(PLUS, name("i"), icon(1)), icon(32)), "(i+1)*4"},
        {node(PLUS, long_t(), name("t", long_t()), node(SCONV, long_t(), name("n"))), "t+n"},
        {node(QUEST, name("c"), node(COLON, a(), b())), "c ? a : b"},
    });
}

TEST_F(Infix, StatementForms) {
    NODE* cases =
        node(COMMA, node(COMMA, node(CASE, icon(10), label(6)), node(CASE, icon(8), label(7))),
             node(DEFAULT, label(8)));
    expect({
        {node(SWITCH, node(DIV, name("score"), icon(10)), cases),
         "switch (score/10 ) {case 10: goto g6; case 8: goto g7; DEFAULT goto g8}"},
        {node(ENDLOOP, name("n"), label(3)), "if ( --n != 0 ) goto g3"},
        {node(RETURN, name("total"), node(NOP)), "return total"},
        {node(STFIELD, name("s"), icon(16)), "*(&s+2)"},
    });
}

TEST_F(Infix, LongTextIsCutAtTheLimitAndDeepTreesStop) {
    const std::string exact(INFIX_LIMIT, 'n');
    EXPECT_EQ(text(name(exact)), exact);
    EXPECT_EQ(text(name(exact + "n")), exact + "...");
    NODE* sum = a();
    for (int i = 0; i < 1500; ++i) sum = node(PLUS, sum, a());
    std::string cut = text(sum);
    EXPECT_EQ(cut.size(), INFIX_LIMIT + 3);
    EXPECT_EQ(cut.substr(0, 6) + cut.substr(INFIX_LIMIT), "a+a+a+...");
    // Conversions print only their operand, so this chain is one character
    // long but far too deep to descend.
    NODE* chain = name("x");
    for (int i = 0; i < 200000; ++i) chain = node(SCONV, chain);
    EXPECT_EQ(text(chain), "...");
    NODE* args = a();
    for (int i = 0; i < 200000; ++i) args = node(COMMA, args, a());
    std::string listed = text(node(CALL, node(UAND, name("f")), args));
    EXPECT_EQ(listed.size(), INFIX_LIMIT + 3);
    EXPECT_EQ(listed.substr(0, 9), "f(a, a, a");
}

}  // namespace
