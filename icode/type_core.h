// TYPE: one type of an I-code unit, with the per-kind data that its type
// record carries.  Types are created and owned by TYPE_PKG (type_pkg.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "icode/source_pos.h"
#include "icode/type_error.h"

namespace icode {

class TYPE;

// The kind of a type; the numbers are the kinds of the I-code type model.
enum class TypeKind : uint8_t {
    VOID = 0,
    INTEGRAL = 1,
    FLOATING = 2,
    FIXED_POINT = 3,
    COMPLEX = 4,
    POINTER = 5,
    REFERENCE = 6,
    QUALIFIED = 7,
    TYPEDEF = 8,
    ARRAY = 9,
    PTR_TO_MEMBER = 10,
    FUNCTION = 11,
    ENUM = 12,
    CLASS = 13,
    STRUCT = 14,
    UNION = 15,
};

// Integral sub-kinds, in the order of the predefined basic types.
enum class IntegralKind : uint8_t {
    BOOL = 0,
    CHAR = 1,
    UCHAR = 2,
    WCHAR = 3,
    SHORT = 4,
    USHORT = 5,
    INT = 6,
    UINT = 7,
    LONG = 8,
    ULONG = 9,
    LLONG = 10,
    ULLONG = 11,
};
constexpr int INTEGRAL_KIND_COUNT = 12;

enum class FloatingKind : uint8_t { FLOAT = 0, DOUBLE = 1, LONG_DOUBLE = 2 };
constexpr int FLOATING_KIND_COUNT = 3;

// The csu byte of a class/struct/union record.
enum CsuCode : uint8_t { CSU_STRUCT = 0, CSU_UNION = 1, CSU_CLASS = 2 };

// Qualifier bits of a qualified type.
enum QualifierBit : uint32_t {
    Q_CONST = 1,
    Q_VOLATILE = 2,
    Q_PACKED = 4,
    Q_NEAR = 8,
    Q_FAR = 16,
    Q_IOPORT = 32,
    Q_RESTRICT = 64,
    Q_ONCHIP = 128,
};

// Attribute-list numbers.  Functions own list 0 (parameters), enums list 1
// (enumerators); a class/struct/union owns lists 0 and 2..9.
constexpr int LIST_PARAMS = 0;
constexpr int LIST_ENUMERATORS = 1;
constexpr int LIST_BASES = 2;
constexpr int LIST_FIELDS = 7;
// The class lists in the order they are written and flagged in a record.
constexpr std::array<int, 9> CSU_LIST_ORDER = {2, 3, 4, 5, 6, 7, 8, 9, 0};

// ---- Members of attribute lists ------------------------------------------
// Only the fields the profiler interprets have descriptive names; the other
// flags and numbers are kept so that a unit is written back unchanged.

// List 0: a function parameter, or an entry of a class's list 0.
struct ParamMember {
    TYPE* type = nullptr;
    bool flag = false;
    uint32_t number = 0;
    std::string name;
};

// List 1: an enumerator.  The value is sign- or zero-extended from the
// 32-bit field according to the signedness of the enum's underlying type.
struct Enumerator {
    std::string name;
    int64_t value = 0;
    std::optional<SourcePos> position;
};

// List 2: a base class.
struct BaseClassMember {
    TYPE* type = nullptr;
    int32_t offset = 0;
    uint8_t byte = 0;
    bool flag = false;
};

// List 3.  The writer writes its type as 0, so the type is not followed
// when the referenced marks are extended.
struct List3Member {
    TYPE* type = nullptr;
    uint8_t byte = 0;
};

// List 4.
struct NamedTypeMember {
    std::string name;
    TYPE* type = nullptr;
};

// Lists 5 and 6.
struct TypeMember {
    TYPE* type = nullptr;
};

// List 7: a data member.  The member number is what FIELD nodes refer to;
// the package renumbers fields 1, 2, 3, ... when the class is completed.
struct FieldMember {
    uint32_t number = 0;
    std::string name;
    TYPE* type = nullptr;
    uint8_t byte1 = 0;
    int32_t offset = 0;
    uint8_t byte2 = 0;
    uint32_t bit_width = 0;
    bool is_bit_field = false;
    bool flag1 = false;
    bool flag2 = false;
    std::optional<SourcePos> position;
};

// List 8.
struct List8Member {
    std::string name;
    TYPE* type = nullptr;
    uint8_t byte = 0;
};

// List 9.
struct List9Member {
    std::string name;
    TYPE* type = nullptr;
    uint8_t byte = 0;
    int32_t number = 0;
    std::array<bool, 4> flags{};
};

// ---- Kind parts ------------------------------------------------------------

struct IntegralPart {
    IntegralKind sub_kind = IntegralKind::INT;
    bool explicit_sign = false;
    bool flag1 = false;
    bool flag2 = false;
};

struct FloatingPart {
    FloatingKind sub_kind = FloatingKind::FLOAT;
};

struct FixedPointPart {
    int8_t number_a = 0;   // carried through; the profiler does not use it
    uint8_t number_b = 0;  // carried through; the profiler does not use it
    TYPE* base = nullptr;
};

struct ComplexPart {
    TYPE* part = nullptr;
};

struct PointerPart {
    TYPE* pointee = nullptr;
};

struct ReferencePart {
    TYPE* referenced = nullptr;
};

struct QualifiedPart {
    TYPE* unqualified = nullptr;
    uint32_t qualifiers = 0;
};

struct TypedefPart {
    TYPE* base = nullptr;
    bool flag1 = false;
    bool flag2 = false;
};

struct ArrayPart {
    TYPE* element = nullptr;
    uint32_t count = 0;
    bool flag1 = false;
    bool flag2 = false;
    bool vector = false;
};

struct PtrToMemberPart {
    TYPE* pointee = nullptr;
    TYPE* class_type = nullptr;
};

struct FunctionPart {
    TYPE* return_type = nullptr;
    bool flag1 = false;
    bool flag2 = false;
    uint8_t byte = 0;
    bool flag3 = false;
    std::vector<ParamMember> params;  // list 0
};

struct EnumPart {
    TYPE* underlying = nullptr;
    std::vector<Enumerator> enumerators;  // list 1
};

// Class, struct or union.  Each attribute list is a vector of its own member
// layout; members are appended in file order.
struct CsuPart {
    uint8_t csu = CSU_STRUCT;
    bool flag1 = false;
    bool flag2 = false;
    bool has_fields = false;
    bool version_flag = false;  // the flag that units from version -84 on carry
    uint32_t class_number = 0;  // the ULEB of the record with member lists
    std::vector<ParamMember> list0;
    std::vector<BaseClassMember> bases;  // list 2
    std::vector<List3Member> list3;
    std::vector<NamedTypeMember> list4;
    std::vector<TypeMember> list5;
    std::vector<TypeMember> list6;
    std::vector<FieldMember> fields;  // list 7
    std::vector<List8Member> list8;
    std::vector<List9Member> list9;

    // Number of members in list n (0 and 2..9); 0 for other numbers.
    std::size_t list_size(int n) const;
    // True when any list other than the fields is non-empty.
    bool has_lists_besides_fields() const;
};

// ---- TYPE ------------------------------------------------------------------

class TYPE {
public:
    using Part = std::variant<std::monostate, IntegralPart, FloatingPart, FixedPointPart,
                              ComplexPart, PointerPart, ReferencePart, QualifiedPart, TypedefPart,
                              ArrayPart, PtrToMemberPart, FunctionPart, EnumPart, CsuPart>;

    TYPE(const TYPE&) = delete;
    TYPE& operator=(const TYPE&) = delete;

    TypeKind kind() const { return kind_; }
    uint32_t size() const { return size_; }
    uint32_t alignment() const { return alignment_; }
    void set_size(uint32_t bits) { size_ = bits; }
    void set_alignment(uint32_t bits) { alignment_ = bits; }
    // Assigned by the package when the type is registered; never 0.
    uint32_t id() const { return id_; }

    // Name, position and mangled-name flag: meaningful for typedefs, enums
    // and classes/structs/unions, empty for every other kind.
    const std::string& name() const { return name_; }
    void set_name(std::string name) { name_ = std::move(name); }
    const SourcePos* position() const { return position_ ? &*position_ : nullptr; }
    void set_position(std::optional<SourcePos> pos) { position_ = std::move(pos); }
    bool mangled() const { return mangled_; }
    void set_mangled(bool mangled) { mangled_ = mangled; }

    // Replacement link: a type replaced by an equal one forwards all uses.
    TYPE* replacement() const { return replacement_; }
    void set_replacement(TYPE* other) { replacement_ = other; }
    // The end of the replacement chain (the type itself when not replaced).
    // Inline: the writer resolves the type of every node it writes.
    TYPE* resolved() {
        TYPE* t = this;
        while (t->replacement_ != nullptr) t = t->replacement_;
        return t;
    }
    const TYPE* resolved() const { return const_cast<TYPE*>(this)->resolved(); }

    // Writer bookkeeping.
    bool written() const { return written_; }
    void set_written(bool on) { written_ = on; }
    bool referenced() const { return referenced_; }
    void set_referenced(bool on) { referenced_ = on; }

    // The type seen through typedefs (itself for every other kind).
    const TYPE* basic_type() const;
    TYPE* basic_type();
    TypeKind basic_kind() const { return basic_type()->kind(); }
    bool is_csu() const;

    // Kind parts.  Asking a type for the part of another kind is an internal
    // error ("Bad kind:  TYPE::get()") that ends the process.
    IntegralPart& integral_part() { return get<IntegralPart>(); }
    const IntegralPart& integral_part() const { return get<IntegralPart>(); }
    FloatingPart& floating_part() { return get<FloatingPart>(); }
    const FloatingPart& floating_part() const { return get<FloatingPart>(); }
    FixedPointPart& fixed_point_part() { return get<FixedPointPart>(); }
    const FixedPointPart& fixed_point_part() const { return get<FixedPointPart>(); }
    ComplexPart& complex_part() { return get<ComplexPart>(); }
    const ComplexPart& complex_part() const { return get<ComplexPart>(); }
    PointerPart& pointer_part() { return get<PointerPart>(); }
    const PointerPart& pointer_part() const { return get<PointerPart>(); }
    ReferencePart& reference_part() { return get<ReferencePart>(); }
    const ReferencePart& reference_part() const { return get<ReferencePart>(); }
    QualifiedPart& qualified_part() { return get<QualifiedPart>(); }
    const QualifiedPart& qualified_part() const { return get<QualifiedPart>(); }
    TypedefPart& typedef_part() { return get<TypedefPart>(); }
    const TypedefPart& typedef_part() const { return get<TypedefPart>(); }
    ArrayPart& array_part() { return get<ArrayPart>(); }
    const ArrayPart& array_part() const { return get<ArrayPart>(); }
    PtrToMemberPart& ptr_to_member_part() { return get<PtrToMemberPart>(); }
    const PtrToMemberPart& ptr_to_member_part() const { return get<PtrToMemberPart>(); }
    FunctionPart& function_part() { return get<FunctionPart>(); }
    const FunctionPart& function_part() const { return get<FunctionPart>(); }
    EnumPart& enum_part() { return get<EnumPart>(); }
    const EnumPart& enum_part() const { return get<EnumPart>(); }
    CsuPart& csu_part() { return get<CsuPart>(); }
    const CsuPart& csu_part() const { return get<CsuPart>(); }

    // The types that this type's record names and that must therefore be
    // defined before it: pointee, base, element, class, part, return and
    // underlying types, and for a function also its parameter types (its
    // parameter list follows its record at once).  A class's main record
    // names no type; its members are reported by member_refs().
    std::vector<TYPE*> record_refs() const;
    // The types that the members of attribute list n name (n = 0, 2..9 for a
    // class/struct/union).  List 3 contributes nothing: its type is written
    // as 0.
    std::vector<TYPE*> member_refs(int list) const;
    // Number of members in attribute list n: parameters (list 0 of a
    // function), enumerators (list 1 of an enum) or a class list; 0 when the
    // type has no such list.
    std::size_t member_list_size(int list) const;

    // The field of a class/struct/union with the given member number, or
    // nullptr when none has it (or the type is not a class).
    const FieldMember* find_field(uint32_t number) const;

private:
    friend class TYPE_PKG;
    TYPE(TypeKind kind, uint32_t size, uint32_t alignment, Part part);

    template <typename T>
    T& get();
    template <typename T>
    const T& get() const;

    TypeKind kind_;
    bool written_ = false;
    bool referenced_ = false;
    bool mangled_ = false;
    uint32_t size_;
    uint32_t alignment_;
    uint32_t id_ = 0;
    TYPE* replacement_ = nullptr;
    std::string name_;
    std::optional<SourcePos> position_;
    Part part_;
};

template <typename T>
T& TYPE::get() {
    if (T* part = std::get_if<T>(&part_)) return *part;
    type_internal_error("Bad kind:  TYPE::get()");
}

template <typename T>
const T& TYPE::get() const {
    if (const T* part = std::get_if<T>(&part_)) return *part;
    type_internal_error("Bad kind:  TYPE::get()");
}

// Signedness of a type, as it decides how integer constants and enumerator
// values are encoded.  Typedefs and qualified types are seen through; char,
// short, int, long, long long and the floating types are signed; bool,
// unsigned char, wchar_t and the unsigned integral types are not; an enum
// takes its underlying type's signedness and a vector array its element
// type's; everything else (including no type) is unsigned.
bool is_signed(const TYPE* type);

// True when the type, seen through typedefs, is a floating type.
bool is_floating(const TYPE* type);

}  // namespace icode
