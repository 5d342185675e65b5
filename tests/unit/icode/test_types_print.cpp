// The printed form of types, as dumps show it.
#include <gtest/gtest.h>

#include "icode/types.h"

using namespace icode;

class TypePrint : public testing::Test {
protected:
    TYPE_PKG pkg;
    TYPE* integral(IntegralKind k) { return pkg.integral_type(k); }
    TYPE* ptr(TYPE* t) { return pkg.make_pointer(t, 16, 16); }
};

TEST_F(TypePrint, BasicKindsPrintTheirNames) {
    const char* names[] = {"bool ",  "char ",           "unsigned char ", "wchar_t ",
                           "short ", "unsigned short ", "int ",           "unsigned ",
                           "long ",  "unsigned long ",  "long long ",     "unsigned long long "};
    for (int k = 0; k < INTEGRAL_KIND_COUNT; ++k)
        EXPECT_EQ(print_type(integral(static_cast<IntegralKind>(k))), names[k]);
    EXPECT_EQ(print_type(pkg.floating_type(FloatingKind::FLOAT)), "float ");
    EXPECT_EQ(print_type(pkg.floating_type(FloatingKind::DOUBLE)), "double ");
    EXPECT_EQ(print_type(pkg.floating_type(FloatingKind::LONG_DOUBLE)), "long double ");
    EXPECT_EQ(print_type(pkg.void_type()), "void ");
    EXPECT_EQ(print_type(nullptr), "");
}

TEST_F(TypePrint, ComplexByPartType) {
    EXPECT_EQ(print_type(pkg.make_complex(integral(IntegralKind::CHAR))), "cchar ");
    EXPECT_EQ(print_type(pkg.make_complex(integral(IntegralKind::USHORT))), "cshort ");
    EXPECT_EQ(print_type(pkg.make_complex(integral(IntegralKind::INT))), "cint ");
    EXPECT_EQ(print_type(pkg.make_complex(integral(IntegralKind::ULONG))), "clong ");
    EXPECT_EQ(print_type(pkg.make_complex(integral(IntegralKind::LLONG))), "cllong ");
    EXPECT_EQ(print_type(pkg.make_complex(pkg.floating_type(FloatingKind::FLOAT))), "cfloat ");
    EXPECT_EQ(print_type(pkg.make_complex(pkg.floating_type(FloatingKind::LONG_DOUBLE))),
              "cdouble ");
    TYPE* c = pkg.make_complex(pkg.floating_type(FloatingKind::FLOAT));
    EXPECT_EQ(c->size(), 64u);
    EXPECT_EQ(c->alignment(), 16u);
}

TEST_F(TypePrint, DerivedTypes) {
    TYPE* int_t = integral(IntegralKind::INT);
    TYPE* char_t = integral(IntegralKind::CHAR);
    EXPECT_EQ(print_type(ptr(int_t)), "int *");
    EXPECT_EQ(print_type(ptr(ptr(char_t))), "char **");
    EXPECT_EQ(print_type(pkg.make_reference(int_t, 16, 16)), "int &");
    EXPECT_EQ(print_type(pkg.make_array(int_t, 10, 160, 16, false, false, false)), "int [10]");
    TYPE* row = pkg.make_array(int_t, 4, 64, 16, false, false, false);
    EXPECT_EQ(print_type(pkg.make_array(row, 3, 192, 16, false, false, false)), "int [3][4]");
    EXPECT_EQ(print_type(pkg.make_array(ptr(char_t), 2, 32, 16, false, false, false)), "char *[2]");
    EXPECT_EQ(print_type(pkg.make_array(pkg.floating_type(FloatingKind::FLOAT), 4, 128, 16, false,
                                        false, true)),
              "<[float [4]]>");
    EXPECT_EQ(print_type(pkg.make_fixed_point(0, 15, integral(IntegralKind::SHORT), 16, 16)),
              " [FxtPt:short] ");
}

TEST_F(TypePrint, QualifiersInPrinterOrder) {
    TYPE* int_t = integral(IntegralKind::INT);
    EXPECT_EQ(print_type(pkg.make_qualified(int_t, Q_CONST, 16, 16)), "const int ");
    EXPECT_EQ(print_type(pkg.make_qualified(int_t, 0xFF, 16, 16)),
              "const volatile packed near far restrict ioport onchip int ");
    EXPECT_EQ(print_type(pkg.make_qualified(int_t, Q_ONCHIP | Q_IOPORT | Q_RESTRICT, 16, 16)),
              "restrict ioport onchip int ");
    EXPECT_EQ(print_type(pkg.make_qualified(ptr(int_t), Q_CONST | Q_VOLATILE, 16, 16)),
              "int *const volatile ");
    EXPECT_EQ(print_type(pkg.make_qualified(int_t, 0, 16, 16)), "int ");
}

TEST_F(TypePrint, NamedTypes) {
    TYPE* s = pkg.make_csu(CSU_STRUCT, "S", false, false, 16, 16, false, 0, false, false, {});
    EXPECT_EQ(print_type(s), "struct S ");
    EXPECT_EQ(
        print_type(pkg.make_csu(CSU_CLASS, "C", false, false, 0, 0, false, 0, false, false, {})),
        "class C ");
    EXPECT_EQ(
        print_type(pkg.make_csu(CSU_UNION, "U", false, false, 0, 0, false, 0, false, false, {})),
        "union U ");
    EXPECT_EQ(print_type(pkg.make_enum("E", 16, 16, integral(IntegralKind::INT), false, {})),
              "enum E ");
    EXPECT_EQ(print_type(pkg.make_typedef("size_t", integral(IntegralKind::UINT), 16, 16, false,
                                          false, {})),
              "size_t ");
    EXPECT_EQ(print_type(ptr(s)), "struct S *");
    EXPECT_EQ(print_type(pkg.make_ptr_to_member(integral(IntegralKind::INT), s, 16, 16)),
              "int S::*");
}

TEST_F(TypePrint, Functions) {
    TYPE* fn = pkg.make_function(integral(IntegralKind::INT), false, false, 0, false);
    EXPECT_EQ(print_type(fn), "int ()");
    fn->function_part().params.push_back(ParamMember{integral(IntegralKind::INT), false, 0, "a"});
    fn->function_part().params.push_back(
        ParamMember{ptr(integral(IntegralKind::CHAR)), false, 0, "b"});
    EXPECT_EQ(print_type(fn), "int (int, char *)");
    EXPECT_EQ(print_type(ptr(fn)), "int (int, char *)*");
}

TEST_F(TypePrint, ReplacedTypePrintsItsReplacement) {
    TYPE* a = pkg.make_csu(CSU_STRUCT, "A", false, false, 0, 0, false, 0, false, false, {});
    TYPE* b = pkg.make_csu(CSU_STRUCT, "B", false, false, 0, 0, false, 0, false, false, {});
    a->set_replacement(b);
    EXPECT_EQ(print_type(a), "struct B ");
}
