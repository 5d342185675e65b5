// The type package: predefined types, signedness, completion, referenced
// marks, the size check and the internal-error path.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "diag/process_exit.h"
#include "icode/types.h"

using namespace icode;

namespace {

struct ExitCalled : std::runtime_error {
    int status;
    explicit ExitCalled(int s) : std::runtime_error("exit"), status(s) {}
};

[[noreturn]] void throw_exit_called(int status) { throw ExitCalled(status); }

// Routes the process exit into an exception for one test.
class ThrowingExitHook {
public:
    ThrowingExitHook() { set_exit_hook(throw_exit_called); }
    ~ThrowingExitHook() { reset_exit_hook(); }
};

}  // namespace

TEST(TypePkg, PredefinedTypesAreRegisteredFirstInOrder) {
    TYPE_PKG pkg;
    const auto& types = pkg.types();
    ASSERT_EQ(types.size(), 18u);
    for (std::size_t i = 0; i < types.size(); ++i) EXPECT_EQ(types[i]->id(), i + 1) << i;

    EXPECT_EQ(pkg.root_type(), types[0].get());
    EXPECT_EQ(pkg.void_type(), types[1].get());
    EXPECT_EQ(pkg.void_type()->kind(), TypeKind::VOID);
    TYPE* vp = pkg.void_pointer();
    EXPECT_EQ(vp->id(), 3u);
    EXPECT_EQ(vp->kind(), TypeKind::POINTER);
    EXPECT_EQ(vp->pointer_part().pointee, pkg.void_type());
    EXPECT_EQ(vp->size(), 16u);
    EXPECT_EQ(vp->alignment(), 16u);

    const uint32_t sizes[] = {8, 8, 8, 16, 16, 16, 16, 16, 32, 32, 64, 64};
    const uint32_t aligns[] = {8, 8, 8, 16, 16, 16, 16, 16, 16, 16, 16, 16};
    for (int k = 0; k < INTEGRAL_KIND_COUNT; ++k) {
        TYPE* t = pkg.integral_type(static_cast<IntegralKind>(k));
        EXPECT_EQ(t->id(), 4u + k);
        EXPECT_EQ(t->kind(), TypeKind::INTEGRAL);
        EXPECT_EQ(static_cast<int>(t->integral_part().sub_kind), k);
        EXPECT_EQ(t->size(), sizes[k]) << k;
        EXPECT_EQ(t->alignment(), aligns[k]) << k;
    }
    for (int k = 0; k < FLOATING_KIND_COUNT; ++k) {
        TYPE* t = pkg.floating_type(static_cast<FloatingKind>(k));
        EXPECT_EQ(t->id(), 16u + k);
        EXPECT_EQ(t->size(), 32u);
        EXPECT_EQ(t->alignment(), 16u);
    }
    EXPECT_EQ(pkg.make_pointer(pkg.void_type(), 16, 16)->id(), 19u);
}

TEST(TypePkg, SeparatePackagesNumberIndependently) {
    TYPE_PKG a;
    a.make_void();
    TYPE_PKG b;
    EXPECT_EQ(b.make_void()->id(), 19u);
}

TEST(TypeSignedness, BasicTypes) {
    TYPE_PKG pkg;
    const bool expected[INTEGRAL_KIND_COUNT] = {false, true,  false, false, true, false,
                                                true,  false, true,  false, true, false};
    for (int k = 0; k < INTEGRAL_KIND_COUNT; ++k)
        EXPECT_EQ(is_signed(pkg.integral_type(static_cast<IntegralKind>(k))), expected[k]) << k;
    for (int k = 0; k < FLOATING_KIND_COUNT; ++k)
        EXPECT_TRUE(is_signed(pkg.floating_type(static_cast<FloatingKind>(k))));
    EXPECT_FALSE(is_signed(pkg.void_type()));
    EXPECT_FALSE(is_signed(pkg.void_pointer()));
    EXPECT_FALSE(is_signed(nullptr));
}

TEST(TypeSignedness, SeenThroughTypedefsQualifiersEnumsAndVectors) {
    TYPE_PKG pkg;
    TYPE* int_t = pkg.integral_type(IntegralKind::INT);
    TYPE* uint_t = pkg.integral_type(IntegralKind::UINT);
    TYPE* td = pkg.make_typedef("myint", int_t, 16, 16, false, false, std::nullopt);
    TYPE* td2 = pkg.make_typedef("myint2", td, 16, 16, false, false, std::nullopt);
    EXPECT_TRUE(is_signed(td2));
    EXPECT_FALSE(is_signed(pkg.make_typedef("u", uint_t, 16, 16, false, false, std::nullopt)));
    EXPECT_TRUE(is_signed(pkg.make_qualified(td, Q_CONST, 16, 16)));
    EXPECT_FALSE(is_signed(pkg.make_qualified(uint_t, Q_VOLATILE, 16, 16)));

    TYPE* signed_enum =
        pkg.make_enum("E", 16, 16, pkg.integral_type(IntegralKind::CHAR), false, {});
    TYPE* unsigned_enum =
        pkg.make_enum("F", 16, 16, pkg.integral_type(IntegralKind::UCHAR), false, {});
    EXPECT_TRUE(is_signed(signed_enum));
    EXPECT_FALSE(is_signed(unsigned_enum));
    EXPECT_TRUE(is_signed(pkg.make_typedef("te", signed_enum, 16, 16, false, false, std::nullopt)));

    TYPE* short_t = pkg.integral_type(IntegralKind::SHORT);
    EXPECT_TRUE(is_signed(pkg.make_array(short_t, 4, 64, 16, false, false, true)));
    EXPECT_FALSE(is_signed(pkg.make_array(short_t, 4, 64, 16, false, false, false)));
    EXPECT_FALSE(is_signed(
        pkg.make_array(pkg.integral_type(IntegralKind::USHORT), 4, 64, 16, false, false, true)));
    EXPECT_TRUE(pkg.is_signed(td));
}

TEST(TypePkg, BasicTypeAndFloatingAreSeenThroughTypedefs) {
    TYPE_PKG pkg;
    TYPE* dbl = pkg.floating_type(FloatingKind::DOUBLE);
    TYPE* td = pkg.make_typedef("real", dbl, 32, 16, false, false, std::nullopt);
    TYPE* td2 = pkg.make_typedef("real2", td, 32, 16, false, false, std::nullopt);
    EXPECT_EQ(td2->basic_type(), dbl);
    EXPECT_EQ(td2->basic_kind(), TypeKind::FLOATING);
    EXPECT_TRUE(is_floating(td2));
    EXPECT_TRUE(pkg.is_floating(dbl));
    // A qualified floating type is not a typedef: its basic type is itself.
    EXPECT_FALSE(is_floating(pkg.make_qualified(dbl, Q_CONST, 32, 16)));
    EXPECT_FALSE(is_floating(pkg.integral_type(IntegralKind::INT)));
    EXPECT_FALSE(is_floating(nullptr));
}

TEST(TypePkg, ReplacementChainIsFollowedToItsEnd) {
    TYPE_PKG pkg;
    TYPE* a = pkg.make_void();
    TYPE* b = pkg.make_void();
    TYPE* c = pkg.make_void();
    a->set_replacement(b);
    b->set_replacement(c);
    EXPECT_EQ(a->resolved(), c);
    EXPECT_EQ(c->resolved(), c);
    // Typedef resolution follows replacements of the base too.
    TYPE* td = pkg.make_typedef("t", a, 0, 0, false, false, std::nullopt);
    EXPECT_EQ(td->basic_type(), c);
}

namespace {

FieldMember field(uint32_t number, const std::string& name, TYPE* type) {
    FieldMember f;
    f.number = number;
    f.name = name;
    f.type = type;
    return f;
}

}  // namespace

TEST(TypePkg, CompletionRenumbersFieldsInListOrder) {
    TYPE_PKG pkg;
    TYPE* int_t = pkg.integral_type(IntegralKind::INT);
    TYPE* s =
        pkg.make_csu(CSU_STRUCT, "S", false, false, 48, 16, true, 0, true, false, std::nullopt);
    auto& fields = s->csu_part().fields;
    fields.push_back(field(7, "a", int_t));
    fields.push_back(field(3, "b", int_t));
    fields.push_back(field(0, "c", int_t));
    // Before completion the numbers as read are what lookup finds.
    ASSERT_NE(pkg.find_field(s, 3), nullptr);
    EXPECT_EQ(pkg.find_field(s, 3)->name, "b");

    EXPECT_EQ(pkg.complete(s), s);
    EXPECT_EQ(fields[0].number, 1u);
    EXPECT_EQ(fields[1].number, 2u);
    EXPECT_EQ(fields[2].number, 3u);
    EXPECT_EQ(pkg.find_field(s, 1)->name, "a");
    EXPECT_EQ(pkg.find_field(s, 3)->name, "c");
    EXPECT_EQ(pkg.find_field(s, 0), nullptr);
    EXPECT_EQ(pkg.find_field(s, 4), nullptr);
    EXPECT_EQ(pkg.find_field(int_t, 1), nullptr);
    EXPECT_EQ(pkg.find_field(nullptr, 1), nullptr);
}

TEST(TypePkg, CsuKindFollowsCsuByteAndListSizesAreReported) {
    TYPE_PKG pkg;
    EXPECT_EQ(pkg.make_csu(CSU_CLASS, "C", false, false, 0, 0, false, 0, false, false, {})->kind(),
              TypeKind::CLASS);
    EXPECT_EQ(pkg.make_csu(CSU_UNION, "U", false, false, 0, 0, false, 0, false, false, {})->kind(),
              TypeKind::UNION);
    TYPE* s = pkg.make_csu(CSU_STRUCT, "S", false, false, 0, 0, false, 0, false, false, {});
    EXPECT_EQ(s->kind(), TypeKind::STRUCT);
    EXPECT_TRUE(s->is_csu());
    EXPECT_FALSE(s->csu_part().has_lists_besides_fields());
    s->csu_part().fields.push_back(field(0, "f", pkg.void_pointer()));
    EXPECT_FALSE(s->csu_part().has_lists_besides_fields());
    EXPECT_EQ(s->member_list_size(LIST_FIELDS), 1u);
    s->csu_part().list9.push_back(List9Member{});
    EXPECT_TRUE(s->csu_part().has_lists_besides_fields());
    EXPECT_EQ(s->member_list_size(9), 1u);
    EXPECT_EQ(s->member_list_size(1), 0u);

    TYPE* fn = pkg.make_function(pkg.void_type(), false, false, 0, false);
    fn->function_part().params.push_back(ParamMember{pkg.void_pointer(), false, 0, "p"});
    EXPECT_EQ(fn->member_list_size(LIST_PARAMS), 1u);
    TYPE* e = pkg.make_enum("E", 16, 16, pkg.integral_type(IntegralKind::INT), false, {});
    e->enum_part().enumerators.push_back(Enumerator{"A", -1, std::nullopt});
    EXPECT_EQ(e->member_list_size(LIST_ENUMERATORS), 1u);
    EXPECT_EQ(e->member_list_size(LIST_PARAMS), 0u);
}

TEST(TypeReferenced, SelfReferencingStructTerminates) {
    TYPE_PKG pkg;
    TYPE* s = pkg.make_csu(CSU_STRUCT, "S", false, false, 16, 16, true, 0, false, false, {});
    TYPE* ptr = pkg.make_pointer(s, 16, 16);
    s->csu_part().fields.push_back(field(1, "next", ptr));
    pkg.complete(s);
    TYPE* unrelated = pkg.make_pointer(pkg.integral_type(IntegralKind::INT), 16, 16);

    s->set_referenced(true);
    pkg.extend_referenced();
    EXPECT_TRUE(s->referenced());
    EXPECT_TRUE(ptr->referenced());
    EXPECT_FALSE(unrelated->referenced());
    EXPECT_FALSE(pkg.integral_type(IntegralKind::INT)->referenced());

    pkg.clear_marks();
    EXPECT_FALSE(s->referenced());
    // Starting from the pointer reaches the struct through the pointee.
    ptr->set_referenced(true);
    pkg.extend_referenced();
    EXPECT_TRUE(s->referenced());
}

TEST(TypeReferenced, ClosureCoversRecordsParametersAndMembers) {
    TYPE_PKG pkg;
    TYPE* int_t = pkg.integral_type(IntegralKind::INT);
    TYPE* chr = pkg.integral_type(IntegralKind::CHAR);
    TYPE* lng = pkg.integral_type(IntegralKind::LONG);
    TYPE* dbl = pkg.floating_type(FloatingKind::DOUBLE);
    TYPE* uchr = pkg.integral_type(IntegralKind::UCHAR);

    TYPE* base = pkg.make_csu(CSU_CLASS, "B", false, false, 16, 16, false, 0, false, false, {});
    TYPE* c = pkg.make_csu(CSU_CLASS, "C", false, false, 32, 16, false, 0, false, false, {});
    c->csu_part().bases.push_back(BaseClassMember{base, 0, 0, false});
    c->csu_part().list3.push_back(List3Member{uchr, 0});  // written without its type
    TYPE* fn = pkg.make_function(int_t, false, false, 0, false);
    fn->function_part().params.push_back(ParamMember{pkg.make_pointer(chr, 16, 16), false, 0, "s"});
    c->csu_part().list9.push_back(List9Member{"m", pkg.make_pointer(fn, 16, 16), 0, 0, {}});
    TYPE* arr = pkg.make_array(lng, 3, 96, 16, false, false, false);
    TYPE* td = pkg.make_typedef("T", arr, 96, 16, false, false, std::nullopt);
    c->csu_part().fields.push_back(field(1, "t", pkg.make_qualified(td, Q_CONST, 96, 16)));
    TYPE* e = pkg.make_enum("E", 16, 16, pkg.integral_type(IntegralKind::SHORT), false, {});
    TYPE* ptm = pkg.make_ptr_to_member(e, c, 16, 16);
    TYPE* cplx = pkg.make_complex(dbl);
    TYPE* fixed = pkg.make_fixed_point(1, 15, pkg.integral_type(IntegralKind::USHORT), 16, 16);
    TYPE* ref = pkg.make_reference(cplx, 16, 16);
    pkg.complete(c);

    ptm->set_referenced(true);
    ref->set_referenced(true);
    pkg.extend_referenced();
    for (TYPE* t : {c, base, fn, int_t, chr, arr, td, lng, e,
                    pkg.integral_type(IntegralKind::SHORT), cplx, dbl})
        EXPECT_TRUE(t->referenced()) << print_type(t);
    EXPECT_FALSE(uchr->referenced());
    EXPECT_FALSE(fixed->referenced());
    EXPECT_FALSE(pkg.integral_type(IntegralKind::USHORT)->referenced());

    // Every referenced type's references are referenced: the writer can rely
    // on the closure.
    for (const auto& t : pkg.types()) {
        if (!t->referenced()) continue;
        for (TYPE* r : t->record_refs()) EXPECT_TRUE(r->referenced());
        for (int list : CSU_LIST_ORDER)
            for (TYPE* r : t->member_refs(list)) EXPECT_TRUE(r->referenced());
    }
}

TEST(TypeSizeCheck, OversizedSizesAreReportedAndTruncated) {
    TYPE_PKG pkg;
    std::vector<std::pair<int, std::string>> reports;
    pkg.set_diagnostic_hook(
        [&](int severity, const std::string& text) { reports.emplace_back(severity, text); });

    TYPE* fits = pkg.make_array(pkg.integral_type(IntegralKind::CHAR), 1, 4294967295ull, 8, false,
                                false, false);
    EXPECT_EQ(fits->size(), 4294967295u);
    EXPECT_TRUE(reports.empty());

    TYPE* big = pkg.make_array(pkg.integral_type(IntegralKind::CHAR), 1, (1ull << 33) + 5, 8, false,
                               false, false);
    EXPECT_EQ(big->size(), 5u);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, 1);
    EXPECT_EQ(reports[0].second,
              "Object size 8589934597 is greater than maximum supported size 4294967295");
}

TEST(TypeSizeCheck, DefaultHookPrintsOnStderr) {
    TYPE_PKG pkg;
    testing::internal::CaptureStderr();
    TYPE* t = pkg.make_pointer(pkg.void_type(), 4294967296ull, 16);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(t->size(), 0u);
    EXPECT_EQ(err, "Object size 4294967296 is greater than maximum supported size 4294967295\n");
}

TEST(TypeFatal, WrongKindAccessIsAnInternalError) {
    TYPE_PKG pkg;
    ThrowingExitHook hook;
    TYPE* int_t = pkg.integral_type(IntegralKind::INT);
    testing::internal::CaptureStderr();
    int status = 0;
    try {
        (void)int_t->typedef_part();
    } catch (const ExitCalled& e) {
        status = e.status;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "TP>> internal error: Bad kind:  TYPE::get()\n");
    EXPECT_EQ(status, 1);
}

TEST(TypeFatal, ReaderErrorsUseTheSameText) {
    ThrowingExitHook hook;
    testing::internal::CaptureStderr();
    EXPECT_THROW(type_internal_error("read type twice"), ExitCalled);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "TP>> internal error: read type twice\n");
}

TEST(TypeFatalDeathTest, WithoutHookTheProcessEndsWithStatusOne) {
    TYPE_PKG pkg;
    TYPE* void_t = pkg.void_type();
    EXPECT_EXIT((void)void_t->csu_part(), testing::ExitedWithCode(1),
                "TP>> internal error: Bad kind:  TYPE::get\\(\\)");
}
