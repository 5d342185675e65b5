// Infix printer: the special forms (increments, branches, array accesses,
// calls, conversions, statements).  int is 16 bits and long 32 bits here, so
// a pointer to int steps by 2 bytes and one to long by 4.
#include <gtest/gtest.h>

#include <string>

#include "icode/infix.h"
#include "test_tree_builder.h"

using namespace icode;
using test_trees::TREE_BUILDER;

namespace {

class InfixFormsTest : public testing::Test, protected TREE_BUILDER {
protected:
    void SetUp() override { reset_infix_state(); }
    std::string text(NODE* root) {
        TreePtr owner(root);
        return infix_text(root);
    }
    NODE* scon(const std::string& bytes) {
        NODE* n = make_node(SCON, ptr(char_t()));
        n->set_bytes(bytes.data(), bytes.size());
        return n;
    }
    NODE* named_call(int opcode, const char* routine, NODE* args) {
        NODE* n = node(opcode, int_t(), args);
        n->set_text(routine);
        return n;
    }
};

}  // namespace

TEST_F(InfixFormsTest, IncrementsStepByThePointeeSize) {
    TYPE* pint = ptr(int_t());
    TYPE* plong = ptr(long_t());
    EXPECT_EQ(text(node(PLUSASG, name("x"), icon(1))), "++x");
    EXPECT_EQ(text(node(MINUSASG, name("x"), icon(1))), "--x");
    EXPECT_EQ(text(node(PLUSASG, name("x"), icon(3))), "x += 3");
    EXPECT_EQ(text(node(PLUSASG, pint, name("p", pint), icon(2, pint))), "++p");
    EXPECT_EQ(text(node(MINUSASG, pint, name("p", pint), icon(2, pint))), "--p");
    EXPECT_EQ(text(node(PLUSASG, pint, name("p", pint), icon(6, pint))), "p += 3");
    EXPECT_EQ(text(node(PLUSASG, plong, name("q", plong), icon(4, plong))), "++q");
    EXPECT_EQ(text(node(MINUSASG, name("x"), icon(-2))), "x -= (-2)");
    // A pointer to void steps by 1.
    TYPE* pvoid = pkg.void_pointer();
    EXPECT_EQ(text(node(PLUSASG, pvoid, name("v", pvoid), icon(1, pvoid))), "++v");
    // In parentheses the compound assignment keeps its own form.
    EXPECT_EQ(text(node(PLUS, node(PLUSASG, name("x"), icon(1)), name("y"))), "(x += 1)+y");
    // A step that is not a constant stays an assignment.
    EXPECT_EQ(text(node(PLUSASG, name("x"), name("n"))), "x += n");
}

TEST_F(InfixFormsTest, PostfixIncrementsShowOtherSteps) {
    TYPE* pint = ptr(int_t());
    EXPECT_EQ(text(node(PLUSPLUS, pint, name("p", pint), icon(2, pint))), "p++");
    EXPECT_EQ(text(node(PLUSPLUS, pint, name("p", pint), icon(8, pint))), "p++{4}");
    EXPECT_EQ(text(node(MINMIN, name("x"), icon(1))), "x--");
    EXPECT_EQ(text(node(MINMIN, name("x"), name("n"))), "x--{n}");
    EXPECT_EQ(text(node(PLUSPLUS, node(PLUS, name("a"), name("b")), icon(1))), "(a+b)++");
}

TEST_F(InfixFormsTest, ConditionalBranchShowsWhenItJumps) {
    EXPECT_EQ(text(node(CBRANCH, node(GT, name("v"), icon(0)), label(1))), "( v <= 0 ) ");
    EXPECT_EQ(text(node(CBRANCH, node(LE, name("v"), icon(0)), label(1))), "( v > 0 ) ");
    EXPECT_EQ(text(node(CBRANCH, node(LT, name("v"), name("w")), label(1))), "( v >= w ) ");
    EXPECT_EQ(text(node(CBRANCH, node(ULT, name("v"), name("w")), label(1))), "( v >= w ) ");
    EXPECT_EQ(text(node(CBRANCH, node(UGT, name("v"), name("w")), label(1))), "( v <= w ) ");
    EXPECT_EQ(text(node(CBRANCH, node(EQ, name("v"), icon(1)), label(1))), "( v != 1 ) ");
    EXPECT_EQ(text(node(CBRANCH, node(NEQ, name("v"), icon(0)), label(1))), "( v == 0 ) ");
    EXPECT_EQ(text(node(CBRANCH, node(EXCLAIM, name("count")), label(2))), "( count ) ");
    EXPECT_EQ(text(node(CBRANCH, node(EQ, name("v"), icon(0)), label(1))), "( v ) ");
    TYPE* pint = ptr(int_t());
    EXPECT_EQ(text(node(CBRANCH, node(EQ, name("p", pint), node(PCONV, pint, icon(0))), label(1))),
              "( p ) ");
    // Other conditions are shown as they are.
    EXPECT_EQ(text(node(CBRANCH,
                        node(ANDAND, node(GT, name("v"), icon(0)), node(LT, name("v"), name("n"))),
                        label(1))),
              "( v > 0 && v < n ) ");
    EXPECT_EQ(text(node(CBRANCH, name("flag"), label(1))), "( flag ) ");
}

TEST_F(InfixFormsTest, ArrayElementFromAddressArithmetic) {
    // hist[code & 3] = classify(code, 100), as the front end lowers it.
    TYPE* int4 = array(int_t(), 4);
    TYPE* pint4 = ptr(int4);
    TYPE* fn = pkg.make_function(int_t(), false, false, 0, false);
    NODE* element = node(UMULT, int_t(),
                         node(PLUS, pint4, node(UAND, pint4, name("hist", int4)),
                              node(PMCONV, node(ANDB, name("code"), icon(3)), icon(16))));
    NODE* call =
        node(CALL, node(UAND, ptr(fn), name("classify", fn)), node(COMMA, name("code"), icon(100)));
    EXPECT_EQ(text(node(ASG, element, call)), "hist[code&3] = classify(code, 100)");
}

TEST_F(InfixFormsTest, CounterIncrement) {
    TYPE* counters = array(ulong_t(), 5);
    TYPE* pcounters = ptr(counters);
    NODE* increment =
        node(PLUSPLUS, ulong_t(),
             node(UMULT, ulong_t(),
                  node(PLUS, pcounters, node(UAND, pcounters, name("__prof_arr_f_0", counters)),
                       node(PMCONV, icon(3), icon(32)))),
             icon(1, ulong_t()));
    EXPECT_EQ(text(increment), "(_prof_arr_f_0[3])++");
}

TEST_F(InfixFormsTest, ArrayIndexFromTheByteOffset) {
    TYPE* pint = ptr(int_t());
    EXPECT_EQ(text(node(UMULT, int_t(), node(PLUS, pint, name("p", pint), icon(4)))), "p[2]");
    EXPECT_EQ(text(node(UMULT, int_t(), node(MINUS, pint, name("p", pint), icon(2)))), "p[(-1)]");
    EXPECT_EQ(text(node(UMULT, int_t(), node(PLUS, pint, name("p", pint), name("off")))),
              "p[off/2]");
    EXPECT_EQ(text(node(UMULT, int_t(), node(MINUS, pint, name("p", pint), name("off")))),
              "p[-(off/2)]");
    EXPECT_EQ(text(node(UMULT, int_t(),
                        node(MINUS, pint, name("p", pint), node(PMCONV, name("i"), icon(16))))),
              "p[-i]");
    // One-byte elements take the offset as it is.
    TYPE* buf = array(char_t(), 8);
    TYPE* pbuf = ptr(buf);
    EXPECT_EQ(text(node(UMULT, char_t(),
                        node(PLUS, pbuf, node(UAND, pbuf, name("buf", buf)),
                             node(PLUS, name("i"), icon(1))))),
              "buf[i+1]");
    // A plain address has index 0.
    EXPECT_EQ(text(node(UMULT, int_t(), node(UAND, pint, name("x")))), "(&x)[0]");
    // A dereference carrying its index.
    EXPECT_EQ(text(node(UMULT, int_t(), name("p", pint), name("i"))), "p[i]");
}

TEST_F(InfixFormsTest, ArrayFormCastsAnIncompatibleBase) {
    TYPE* s =
        pkg.make_csu(CSU_STRUCT, "S", false, false, 32, 16, false, 0, false, false, std::nullopt);
    TYPE* ps = ptr(s);
    TYPE* pint = ptr(int_t());
    EXPECT_EQ(text(node(UMULT, int_t(), node(PLUS, pint, node(UAND, ps, name("s", s)), icon(2)))),
              "(int *)(&s)[1]");
    // Typedefs and qualifiers do not make types incompatible.
    TYPE* word = pkg.make_typedef("word", int_t(), 16, 16, false, false, std::nullopt);
    TYPE* cword = pkg.make_qualified(word, Q_CONST, 16, 16);
    TYPE* pcword = ptr(cword);
    EXPECT_EQ(text(node(UMULT, int_t(), node(PLUS, pcword, name("w", pcword), icon(2)))), "w[1]");
}

TEST_F(InfixFormsTest, DereferencesOutsideTheArrayForm) {
    TYPE* pint = ptr(int_t());
    EXPECT_EQ(text(node(UMULT, int_t(), name("p", pint))), "*p");
    // An element without a whole number of bytes.
    TYPE* pvoid = pkg.void_pointer();
    EXPECT_EQ(text(node(UMULT, pkg.void_type(), node(PLUS, pvoid, name("v", pvoid), icon(1)))),
              "*(v+1)");
    // The memory-access routines are ordinary calls under the "*".
    EXPECT_EQ(text(node(UMULT, int_t(), named_call(ICALL, "_mem2", name("p", pint)))), "*_mem2(p)");
}

TEST_F(InfixFormsTest, AddressOfAnElement) {
    TYPE* int4 = array(int_t(), 4);
    TYPE* pint4 = ptr(int4);
    TYPE* pint = ptr(int_t());
    EXPECT_EQ(text(node(ASG, pint, name("q", pint),
                        node(PLUS, pint4, node(UAND, pint4, name("hist", int4)),
                             node(PMCONV, name("i"), icon(16))))),
              "q = &hist[i]");
    EXPECT_EQ(text(node(ASG, pint, name("q", pint), node(UAND, pint4, name("hist", int4)))),
              "q = &hist[0]");
    EXPECT_EQ(text(node(ASG, pint, name("q", pint), node(UAND, pint, name("x")))), "q = &x");
    // Elements that are pointers stay address arithmetic.
    TYPE* pp = ptr(pint);
    TYPE* ptrs = array(pint, 4);
    EXPECT_EQ(text(node(ASG, pp, name("pp", pp),
                        node(PLUS, pp, node(UAND, ptr(ptrs), name("ptrs", ptrs)), icon(2)))),
              "pp = &ptrs+2");
}

TEST_F(InfixFormsTest, Calls) {
    TYPE* fn = pkg.make_function(int_t(), false, false, 0, false);
    TYPE* pfn = ptr(fn);
    EXPECT_EQ(text(node(UCALL, node(UAND, pfn, name("tick", fn)))), "tick()");
    EXPECT_EQ(text(node(CALL, node(UAND, pfn, name("f", fn)),
                        node(COMMA, node(COMMA, name("a"), name("b")), name("c")))),
              "f(a, b, c)");
    EXPECT_EQ(text(node(CALL, node(UAND, pfn, name("f", fn)),
                        node(COMMA, name("a"), node(COMMA, name("b"), name("c"))))),
              "f(a, b, c)");
    EXPECT_EQ(text(node(CALL, name("fp", pfn), name("a"))), "(*fp)(a)");
    // A comma expression among the arguments keeps its parentheses.
    EXPECT_EQ(text(node(CALL, node(UAND, pfn, name("f", fn)),
                        node(COMMA, node(COMMAOP, name("a"), name("b")), name("c")))),
              "f((a , b), c)");
    EXPECT_EQ(text(node(CALL, node(UAND, pfn, name("_puts", fn)), scon(std::string("hi\0", 3)))),
              "puts(\"hi\\000\")");
    EXPECT_EQ(text(node(CALL, node(UAND, pfn, name("f", fn)), node(STARG, name("s")))), "f(s)");
}

TEST_F(InfixFormsTest, CallLikeOperators) {
    EXPECT_EQ(text(node(SQRT, name("x"))), "sqrt(x)");
    EXPECT_EQ(text(node(ABS, node(MINUS, name("a"), name("b")))), "ABS(a-b)");
    EXPECT_EQ(text(node(EPVAL, name("x"))), "EPVAL(x)");
    EXPECT_EQ(text(node(MEMCPY, node(COMMA, name("d"), name("s")), name("n"))), "memcpy(d, s, n)");
    EXPECT_EQ(text(node(ASSERT, node(COMMA, name("ok"), name("msg")))), "assert(ok)");
    EXPECT_EQ(text(node(NASSERT, node(COMMA, name("ok"), name("msg")))), "assert(ok, msg)");
    EXPECT_EQ(text(named_call(ICALL, "_divi", node(COMMA, name("a"), name("b")))), "_divi(a, b)");
    EXPECT_EQ(text(named_call(UICALL, "_sync", nullptr)), "_sync()");
}

TEST_F(InfixFormsTest, StringEscapes) {
    EXPECT_EQ(text(scon("a\b\t\n\f\r\"\\\x01\x7f\xff z")),
              "\"a\\b\\t\\n\\f\\r\\\"\\\\\\001\\177\\377 z\"");
    EXPECT_EQ(text(scon("")), "\"\"");
}

TEST_F(InfixFormsTest, BitOperationsAndScaling) {
    EXPECT_EQ(text(node(ANDB, name("x"), icon(255))), "x&255");
    EXPECT_EQ(text(node(ANDB, name("x"), icon(3))), "x&3");
    EXPECT_EQ(text(node(XORB, name("x"), icon(-1))), "x^(-1)");
    EXPECT_EQ(text(node(ORB, node(ANDB, name("a"), name("b")), icon(16))), "a&b|16");
    EXPECT_EQ(text(node(PMCONV, name("i"), icon(8))), "i");
    EXPECT_EQ(text(node(PMCONV, name("i"), icon(32))), "i*4");
    EXPECT_EQ(text(node(PMCONV, node(PLUS, name("i"), icon(1)), icon(16))), "(i+1)*2");
    EXPECT_EQ(text(node(PVCONV, name("d"), icon(16))), "d/2");
    EXPECT_EQ(text(node(PMCONV, name("i"), name("bits"))), "i*bits/8");
}

TEST_F(InfixFormsTest, Conversions) {
    TYPE* pint = ptr(int_t());
    EXPECT_EQ(text(node(SCONV, long_t(), name("n"))), "n");
    EXPECT_EQ(text(node(PLUS, long_t(), name("t", long_t()), node(SCONV, long_t(), name("n")))),
              "t+n");
    EXPECT_EQ(text(node(SCONV, int_t(), node(PLUS, name("a"), name("b")))), "(a+b)");
    EXPECT_EQ(text(node(PCONV, pint, icon(0))), "NULL");
    EXPECT_EQ(text(node(PCONV, pint, icon(4))), "4");
    EXPECT_EQ(text(node(ACONV, pint, icon(0))), "NULL");
    EXPECT_EQ(text(node(ACONV, int_t(), name("x"))), "x");
}

TEST_F(InfixFormsTest, ConditionalExpressions) {
    EXPECT_EQ(
        text(node(RETURN,
                  node(PLUS, name("count"),
                       node(QUEST, node(GT, name("v"), icon(10)), node(COLON, icon(2), icon(1)))),
                  node(NOP))),
        "return count+((v > 10) ? 2 : 1)");
    EXPECT_EQ(text(node(QUEST, name("c"), node(COLON, name("a"), name("b")))), "c ? a : b");
    TYPE* pint = ptr(int_t());
    EXPECT_EQ(
        text(node(QUEST, node(UMULT, int_t(), name("p", pint)), node(COLON, name("a"), name("b")))),
        "*p ? a : b");
}

TEST_F(InfixFormsTest, StatementForms) {
    NODE* cases =
        node(COMMA,
             node(COMMA, node(COMMA, node(CASE, icon(10), label(6)), node(CASE, icon(9), label(6))),
                  node(CASE, icon(8), label(7))),
             node(DEFAULT, label(8)));
    EXPECT_EQ(text(node(SWITCH, node(DIV, name("score"), icon(10)), cases)),
              "switch (score/10 ) {case 10: goto g6; case 9: goto g6; case 8: goto g7; "
              "DEFAULT goto g8}");
    EXPECT_EQ(text(node(LOOP, name("n"), icon(0))), "LOOP(n):");
    EXPECT_EQ(text(node(ENDLOOP, name("n"), label(3))), "if ( --n != 0 ) goto g3");
    EXPECT_EQ(text(node(BRANCH, label(4))), "goto g4");
    EXPECT_EQ(text(node(DDNODE, node(PLUS, name("a"), name("b")))), "a+b");
    EXPECT_EQ(text(node(MULT, node(STARG, node(PLUS, name("a"), name("b"))), name("c"))),
              "(a+b)*c");
    EXPECT_EQ(text(node(RETURN, name("total"), node(NOP))), "return total");
}

TEST_F(InfixFormsTest, FieldStoresAndArgumentReferences) {
    EXPECT_EQ(text(node(STFIELD, name("s"), icon(0))), "*(&s)");
    EXPECT_EQ(text(node(STFIELD, name("s"), icon(16))), "*(&s+2)");
    EXPECT_EQ(text(node(STFIELD, node(UMULT, name("p")), icon(8))), "*(&*p+1)");
    EXPECT_EQ(text(node(ARGREF, name("a"))), "&a");
    EXPECT_EQ(text(node(ARGREF, node(UMULT, name("p")))), "&(*p)");
    EXPECT_EQ(text(node(ARASG, name("a"), name("b"))), "a = b");
}
