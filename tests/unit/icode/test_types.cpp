// The type package: signedness and floating seen through typedefs,
// qualifiers, enums and vectors; the printed form of types; completion and
// field lookup; and demangling of type names from old units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "icode/demangle.h"
#include "icode/types.h"

using namespace icode;

namespace {

class Types : public testing::Test {
protected:
    TYPE_PKG pkg;
    TYPE* integral(IntegralKind k) { return pkg.integral_type(k); }
    TYPE* floating(FloatingKind k) { return pkg.floating_type(k); }
    TYPE* ptr(TYPE* t) { return pkg.make_pointer(t, 16, 16); }
    TYPE* td(const char* name, TYPE* base) {
        return pkg.make_typedef(name, base, 16, 16, false, false, std::nullopt);
    }
    TYPE* csu(int kind, const char* name) {
        return pkg.make_csu(kind, name, false, false, 16, 16, true, 0, false, false, {});
    }
    static FieldMember field(uint32_t number, const std::string& name, TYPE* type) {
        FieldMember f;
        f.number = number;
        f.name = name;
        f.type = type;
        return f;
    }
};

TEST_F(Types, SignednessAndFloatingSeenThroughOtherTypes) {
    const bool expected[INTEGRAL_KIND_COUNT] = {false, true,  false, false, true, false,
                                                true,  false, true,  false, true, false};
    for (int k = 0; k < INTEGRAL_KIND_COUNT; ++k)
        EXPECT_EQ(is_signed(integral(IntegralKind(k))), expected[k]) << k;
    TYPE* int_t = integral(IntegralKind::INT);
    TYPE* dbl = floating(FloatingKind::DOUBLE);
    TYPE* short_t = integral(IntegralKind::SHORT);
    EXPECT_TRUE(is_signed(dbl));
    EXPECT_TRUE(is_signed(td("b", td("a", int_t))));
    EXPECT_FALSE(is_signed(pkg.make_qualified(integral(IntegralKind::UINT), Q_CONST, 16, 16)));
    EXPECT_TRUE(is_signed(pkg.make_enum("E", 16, 16, integral(IntegralKind::CHAR), false, {})));
    EXPECT_FALSE(is_signed(pkg.make_enum("F", 16, 16, integral(IntegralKind::UCHAR), false, {})));
    EXPECT_TRUE(is_signed(pkg.make_array(short_t, 4, 64, 16, false, false, true)));
    EXPECT_FALSE(is_signed(pkg.make_array(short_t, 4, 64, 16, false, false, false)));
    EXPECT_TRUE(is_floating(td("real2", td("real", dbl))));
    EXPECT_FALSE(is_floating(pkg.make_qualified(dbl, Q_CONST, 32, 16)));
}

TEST_F(Types, PrintedForms) {
    TYPE* int_t = integral(IntegralKind::INT);
    TYPE* char_t = integral(IntegralKind::CHAR);
    TYPE* fn = pkg.make_function(int_t, false, false, 0, false);
    fn->function_part().params.push_back(ParamMember{int_t, false, 0, "a"});
    fn->function_part().params.push_back(ParamMember{ptr(char_t), false, 0, "b"});
    TYPE* row = pkg.make_array(int_t, 4, 64, 16, false, false, false);
    const std::pair<TYPE*, const char*> cases[] = {
        {nullptr, ""},
        {pkg.make_complex(integral(IntegralKind::USHORT)), "cshort "},
        {pkg.make_complex(floating(FloatingKind::FLOAT)), "cfloat "},
        {pkg.make_complex(floating(FloatingKind::LONG_DOUBLE)), "cdouble "},
        {pkg.make_array(row, 3, 192, 16, false, false, false), "int [3][4]"},
        {pkg.make_array(ptr(char_t), 2, 32, 16, false, false, false), "char *[2]"},
        {pkg.make_qualified(int_t, 0xFF, 16, 16),
         "const volatile packed near far restrict ioport onchip int "},
        {pkg.make_qualified(ptr(int_t), Q_CONST | Q_VOLATILE, 16, 16), "int *const volatile "},
        {pkg.make_qualified(pkg.make_reference(int_t, 16, 16), Q_CONST, 16, 16), "int &const "},
        {fn, "int (int, char *)"},
        {ptr(fn), "int (int, char *)*"},
    };
    for (const auto& [type, printed] : cases) EXPECT_EQ(print_type(type), printed);
}

TEST_F(Types, CompletionRenumbersFieldsAndUnionsHaveMembers) {
    TYPE* int_t = integral(IntegralKind::INT);
    TYPE* s = csu(CSU_STRUCT, "S");
    auto& fields = s->csu_part().fields;
    fields = {field(7, "a", int_t), field(3, "b", int_t), field(0, "c", int_t)};
    // Before completion the numbers as read are what lookup finds.
    EXPECT_EQ(pkg.find_field(s, 3)->name, "b");
    EXPECT_EQ(pkg.complete(s), s);
    EXPECT_EQ(pkg.find_field(s, 1)->name, "a");
    EXPECT_EQ(pkg.find_field(s, 3)->name, "c");
    EXPECT_EQ(pkg.find_field(s, 4), nullptr);
    EXPECT_EQ(pkg.find_field(int_t, 1), nullptr);
    TYPE* u = csu(CSU_UNION, "U");
    EXPECT_EQ(u->kind(), TypeKind::UNION);
    EXPECT_TRUE(u->is_csu());
    u->csu_part().fields.push_back(field(5, "f", int_t));
    pkg.complete(u);
    EXPECT_EQ(pkg.find_field(u, 1)->name, "f");
    EXPECT_EQ(u->member_list_size(LIST_FIELDS), 1u);
}

TEST(TypeDemangle, MangledNamesGiveTheirSourceForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"_Z3foov", "foo()"},   {"_ZN2ns5ClassE", "ns::Class"},
        {"3Foo", "Foo"},        {"N3Foo3BarE", "Foo::Bar"},
        {"Node", "Node"},       {"i", "i"},
        {"_Zbogus", "_Zbogus"}, {"", ""},
    };
    for (const auto& [name, demangled] : cases) EXPECT_EQ(demangle_name(name), demangled);
}

}  // namespace
