// The type package: signedness and floating seen through typedefs,
// qualifiers, enums and vectors; the printed form of types; completion and
// field lookup; the referenced closure the writer relies on; the size check;
// the internal-error path; and demangling of type names from old units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/process_exit.h"
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
    TYPE* ushort_t = integral(IntegralKind::USHORT);
    EXPECT_TRUE(is_signed(dbl));
    EXPECT_FALSE(is_signed(pkg.void_pointer()));
    EXPECT_FALSE(is_signed(nullptr));
    EXPECT_TRUE(is_signed(td("b", td("a", int_t))));
    EXPECT_FALSE(is_signed(pkg.make_qualified(integral(IntegralKind::UINT), Q_CONST, 16, 16)));
    EXPECT_TRUE(is_signed(pkg.make_enum("E", 16, 16, integral(IntegralKind::CHAR), false, {})));
    EXPECT_FALSE(is_signed(pkg.make_enum("F", 16, 16, integral(IntegralKind::UCHAR), false, {})));
    EXPECT_TRUE(is_signed(pkg.make_array(short_t, 4, 64, 16, false, false, true)));
    EXPECT_FALSE(is_signed(pkg.make_array(short_t, 4, 64, 16, false, false, false)));
    EXPECT_FALSE(is_signed(pkg.make_array(ushort_t, 4, 64, 16, false, false, true)));
    EXPECT_TRUE(is_floating(td("real2", td("real", dbl))));
    EXPECT_FALSE(is_floating(pkg.make_qualified(dbl, Q_CONST, 32, 16)));
    EXPECT_FALSE(is_floating(int_t));
    // Replacements are followed to the end of their chain.
    TYPE* a = pkg.make_void();
    TYPE* b = csu(CSU_STRUCT, "B");
    a->set_replacement(pkg.make_void());
    a->resolved()->set_replacement(b);
    EXPECT_EQ(a->resolved(), b);
    EXPECT_EQ(print_type(a), "struct B ");
}

TEST_F(Types, PrintedForms) {
    TYPE* int_t = integral(IntegralKind::INT);
    TYPE* char_t = integral(IntegralKind::CHAR);
    TYPE* s = csu(CSU_STRUCT, "S");
    TYPE* fn = pkg.make_function(int_t, false, false, 0, false);
    TYPE* empty = pkg.make_function(int_t, false, false, 0, false);
    fn->function_part().params.push_back(ParamMember{int_t, false, 0, "a"});
    fn->function_part().params.push_back(ParamMember{ptr(char_t), false, 0, "b"});
    TYPE* row = pkg.make_array(int_t, 4, 64, 16, false, false, false);
    const std::pair<TYPE*, const char*> cases[] = {
        {nullptr, ""},
        {pkg.make_complex(integral(IntegralKind::USHORT)), "cshort "},
        {pkg.make_complex(floating(FloatingKind::FLOAT)), "cfloat "},
        {pkg.make_complex(floating(FloatingKind::LONG_DOUBLE)), "cdouble "},
        {ptr(ptr(char_t)), "char **"},
        {pkg.make_array(row, 3, 192, 16, false, false, false), "int [3][4]"},
        {pkg.make_array(ptr(char_t), 2, 32, 16, false, false, false), "char *[2]"},
        {pkg.make_fixed_point(0, 15, integral(IntegralKind::SHORT), 16, 16), " [FxtPt:short] "},
        {pkg.make_qualified(int_t, 0xFF, 16, 16),
         "const volatile packed near far restrict ioport onchip int "},
        {pkg.make_qualified(ptr(int_t), Q_CONST | Q_VOLATILE, 16, 16), "int *const volatile "},
        {pkg.make_qualified(pkg.make_reference(int_t, 16, 16), Q_CONST, 16, 16), "int &const "},
        {csu(CSU_CLASS, "C"), "class C "},
        {pkg.make_ptr_to_member(int_t, s, 16, 16), "int S::*"},
        {empty, "int ()"},
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

TEST_F(Types, ReferencedClosureCoversEveryRecordAndMember) {
    TYPE* int_t = integral(IntegralKind::INT);
    TYPE* chr = integral(IntegralKind::CHAR);
    TYPE* lng = integral(IntegralKind::LONG);
    TYPE* uchr = integral(IntegralKind::UCHAR);
    TYPE* base = csu(CSU_CLASS, "B");
    TYPE* c = csu(CSU_CLASS, "C");
    c->csu_part().bases.push_back(BaseClassMember{base, 0, 0, false});
    c->csu_part().list3.push_back(List3Member{uchr, 0});  // written without its type
    TYPE* fn = pkg.make_function(int_t, false, false, 0, false);
    fn->function_part().params.push_back(ParamMember{ptr(chr), false, 0, "s"});
    c->csu_part().list9.push_back(List9Member{"m", ptr(fn), 0, 0, {}});
    TYPE* arr = pkg.make_array(lng, 3, 96, 16, false, false, false);
    TYPE* t = pkg.make_typedef("T", arr, 96, 16, false, false, std::nullopt);
    c->csu_part().fields.push_back(field(1, "t", pkg.make_qualified(t, Q_CONST, 96, 16)));
    c->csu_part().fields.push_back(field(2, "self", ptr(c)));
    TYPE* ptm = pkg.make_ptr_to_member(integral(IntegralKind::SHORT), c, 16, 16);
    TYPE* ref = pkg.make_reference(pkg.make_complex(floating(FloatingKind::DOUBLE)), 16, 16);
    TYPE* fixed = pkg.make_fixed_point(1, 15, integral(IntegralKind::USHORT), 16, 16);
    pkg.complete(c);
    ptm->set_referenced(true);
    ref->set_referenced(true);
    pkg.extend_referenced();
    for (TYPE* r : {c, base, fn, int_t, chr, arr, t, lng, floating(FloatingKind::DOUBLE)})
        EXPECT_TRUE(r->referenced()) << print_type(r);
    EXPECT_FALSE(uchr->referenced());
    EXPECT_FALSE(fixed->referenced());
    for (const auto& type : pkg.types()) {
        if (!type->referenced()) continue;
        for (TYPE* r : type->record_refs()) EXPECT_TRUE(r->referenced());
        for (int list : CSU_LIST_ORDER)
            for (TYPE* r : type->member_refs(list)) EXPECT_TRUE(r->referenced());
    }
    pkg.clear_marks();
    EXPECT_FALSE(c->referenced());
}

TEST_F(Types, OversizedSizesAreReportedAndTruncated) {
    std::vector<std::pair<int, std::string>> reports;
    pkg.set_diagnostic_hook(
        [&](int severity, const std::string& text) { reports.emplace_back(severity, text); });
    TYPE* char_t = integral(IntegralKind::CHAR);
    EXPECT_EQ(pkg.make_array(char_t, 1, 4294967295ull, 8, false, false, false)->size(),
              4294967295u);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(pkg.make_array(char_t, 1, (1ull << 33) + 5, 8, false, false, false)->size(), 5u);
    EXPECT_EQ(reports, (std::vector<std::pair<int, std::string>>{
                           {1,
                            "Object size 8589934597 is greater than maximum supported size "
                            "4294967295"}}));
}

TEST_F(Types, WrongKindAccessIsAnInternalError) {
    TYPE* int_t = integral(IntegralKind::INT);
    EXPECT_EXIT((void)int_t->typedef_part(), testing::ExitedWithCode(1),
                "TP>> internal error: Bad kind:  TYPE::get\\(\\)");
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
