// TYPE_PKG: registration, the predefined types, the per-kind constructors,
// completion and the referenced-mark closure used by the writer.
#include "icode/type_pkg.h"

#include <cstdio>
#include <utility>

#include <boost/format.hpp>

namespace icode {

TYPE_PKG::TYPE_PKG() {
    root_ = add(TypeKind::VOID, 0, 0, std::monostate{});
    void_ = add(TypeKind::VOID, 0, 0, std::monostate{});
    void_pointer_ = add(TypeKind::POINTER, 16, 16, PointerPart{void_});

    struct Basic {
        IntegralKind kind;
        uint32_t size;
        uint32_t alignment;
    };
    static constexpr Basic kIntegrals[INTEGRAL_KIND_COUNT] = {
        {IntegralKind::BOOL, 8, 8},    {IntegralKind::CHAR, 8, 8},
        {IntegralKind::UCHAR, 8, 8},   {IntegralKind::WCHAR, 16, 16},
        {IntegralKind::SHORT, 16, 16}, {IntegralKind::USHORT, 16, 16},
        {IntegralKind::INT, 16, 16},   {IntegralKind::UINT, 16, 16},
        {IntegralKind::LONG, 32, 16},  {IntegralKind::ULONG, 32, 16},
        {IntegralKind::LLONG, 64, 16}, {IntegralKind::ULLONG, 64, 16},
    };
    for (const Basic& b : kIntegrals) {
        IntegralPart part;
        part.sub_kind = b.kind;
        integrals_[static_cast<int>(b.kind)] = add(TypeKind::INTEGRAL, b.size, b.alignment, part);
    }
    for (int k = 0; k < FLOATING_KIND_COUNT; ++k)
        floatings_[k] = add(TypeKind::FLOATING, 32, 16, FloatingPart{static_cast<FloatingKind>(k)});
}

TYPE_PKG::~TYPE_PKG() = default;

void TYPE_PKG::set_diagnostic_hook(DiagnosticHook hook) { diagnostic_hook_ = std::move(hook); }

TYPE* TYPE_PKG::add(TypeKind kind, uint32_t size, uint32_t alignment, TYPE::Part part) {
    std::unique_ptr<TYPE> type(new TYPE(kind, size, alignment, std::move(part)));
    type->id_ = next_id_++;
    types_.push_back(std::move(type));
    return types_.back().get();
}

uint32_t TYPE_PKG::checked_size(uint64_t size) {
    if (size > MAX_SIZE) {
        std::string text =
            (boost::format("Object size %llu is greater than maximum supported size %lu") %
             static_cast<unsigned long long>(size) % static_cast<unsigned long>(MAX_SIZE))
                .str();
        if (diagnostic_hook_)
            diagnostic_hook_(1, text);
        else
            std::fprintf(stderr, "%s\n", text.c_str());
    }
    return static_cast<uint32_t>(size);
}

TYPE* TYPE_PKG::make_void() { return add(TypeKind::VOID, 0, 0, std::monostate{}); }

TYPE* TYPE_PKG::make_integral(IntegralKind sub_kind, bool explicit_sign, uint64_t size,
                              uint32_t alignment, bool flag1, bool flag2) {
    return add(TypeKind::INTEGRAL, checked_size(size), alignment,
               IntegralPart{sub_kind, explicit_sign, flag1, flag2});
}

TYPE* TYPE_PKG::make_floating(FloatingKind sub_kind, uint64_t size, uint32_t alignment) {
    return add(TypeKind::FLOATING, checked_size(size), alignment, FloatingPart{sub_kind});
}

TYPE* TYPE_PKG::make_fixed_point(int8_t number_a, uint8_t number_b, TYPE* base, uint64_t size,
                                 uint32_t alignment) {
    return add(TypeKind::FIXED_POINT, checked_size(size), alignment,
               FixedPointPart{number_a, number_b, base});
}

TYPE* TYPE_PKG::make_complex(TYPE* part) {
    uint64_t size = part ? 2ull * part->size() : 0;
    uint32_t alignment = part ? part->alignment() : 0;
    return add(TypeKind::COMPLEX, checked_size(size), alignment, ComplexPart{part});
}

TYPE* TYPE_PKG::make_pointer(TYPE* pointee, uint64_t size, uint32_t alignment) {
    return add(TypeKind::POINTER, checked_size(size), alignment, PointerPart{pointee});
}

TYPE* TYPE_PKG::make_reference(TYPE* referenced, uint64_t size, uint32_t alignment) {
    return add(TypeKind::REFERENCE, checked_size(size), alignment, ReferencePart{referenced});
}

TYPE* TYPE_PKG::make_qualified(TYPE* unqualified, uint32_t qualifiers, uint64_t size,
                               uint32_t alignment) {
    return add(TypeKind::QUALIFIED, checked_size(size), alignment,
               QualifiedPart{unqualified, qualifiers});
}

TYPE* TYPE_PKG::make_typedef(std::string name, TYPE* base, uint64_t size, uint32_t alignment,
                             bool flag1, bool flag2, std::optional<SourcePos> position) {
    TYPE* t =
        add(TypeKind::TYPEDEF, checked_size(size), alignment, TypedefPart{base, flag1, flag2});
    t->set_name(std::move(name));
    t->set_position(std::move(position));
    return t;
}

TYPE* TYPE_PKG::make_array(TYPE* element, uint32_t count, uint64_t size, uint32_t alignment,
                           bool flag1, bool flag2, bool vector) {
    return add(TypeKind::ARRAY, checked_size(size), alignment,
               ArrayPart{element, count, flag1, flag2, vector});
}

TYPE* TYPE_PKG::make_ptr_to_member(TYPE* pointee, TYPE* class_type, uint64_t size,
                                   uint32_t alignment) {
    return add(TypeKind::PTR_TO_MEMBER, checked_size(size), alignment,
               PtrToMemberPart{pointee, class_type});
}

TYPE* TYPE_PKG::make_function(TYPE* return_type, bool flag1, bool flag2, uint8_t byte, bool flag3) {
    FunctionPart part;
    part.return_type = return_type;
    part.flag1 = flag1;
    part.flag2 = flag2;
    part.byte = byte;
    part.flag3 = flag3;
    return add(TypeKind::FUNCTION, 0, 0, std::move(part));
}

TYPE* TYPE_PKG::make_enum(std::string name, uint64_t size, uint32_t alignment, TYPE* underlying,
                          bool mangled, std::optional<SourcePos> position) {
    EnumPart part;
    part.underlying = underlying;
    TYPE* t = add(TypeKind::ENUM, checked_size(size), alignment, std::move(part));
    t->set_name(std::move(name));
    t->set_mangled(mangled);
    t->set_position(std::move(position));
    return t;
}

TYPE* TYPE_PKG::make_csu(uint8_t csu, std::string name, bool flag1, bool flag2, uint64_t size,
                         uint32_t alignment, bool has_fields, uint32_t class_number,
                         bool version_flag, bool mangled, std::optional<SourcePos> position) {
    TypeKind kind = csu == CSU_CLASS   ? TypeKind::CLASS
                    : csu == CSU_UNION ? TypeKind::UNION
                                       : TypeKind::STRUCT;
    CsuPart part;
    part.csu = csu;
    part.flag1 = flag1;
    part.flag2 = flag2;
    part.has_fields = has_fields;
    part.version_flag = version_flag;
    part.class_number = class_number;
    TYPE* t = add(kind, checked_size(size), alignment, std::move(part));
    t->set_name(std::move(name));
    t->set_mangled(mangled);
    t->set_position(std::move(position));
    return t;
}

TYPE* TYPE_PKG::complete(TYPE* type) {
    if (type == nullptr) return nullptr;
    type = type->resolved();
    if (type->is_csu()) {
        uint32_t number = 1;
        for (FieldMember& field : type->csu_part().fields) field.number = number++;
    }
    return type;
}

const FieldMember* TYPE_PKG::find_field(const TYPE* csu, uint32_t number) const {
    return csu ? csu->resolved()->find_field(number) : nullptr;
}

bool TYPE_PKG::is_signed(const TYPE* type) const { return icode::is_signed(type); }

bool TYPE_PKG::is_floating(const TYPE* type) const { return icode::is_floating(type); }

void TYPE_PKG::extend_referenced() {
    std::vector<TYPE*> work;
    for (const auto& t : types_)
        if (t->referenced()) work.push_back(t.get());

    auto visit = [&work](TYPE* ref) {
        ref = ref->resolved();
        if (!ref->referenced()) {
            ref->set_referenced(true);
            work.push_back(ref);
        }
    };
    while (!work.empty()) {
        TYPE* t = work.back();
        work.pop_back();
        for (TYPE* ref : t->record_refs()) visit(ref);
        if (t->is_csu())
            for (int list : CSU_LIST_ORDER)
                for (TYPE* ref : t->member_refs(list)) visit(ref);
    }
}

void TYPE_PKG::clear_marks() {
    for (const auto& t : types_) {
        t->set_written(false);
        t->set_referenced(false);
    }
}

}  // namespace icode
