// TYPE_PKG: owner and factory of every TYPE of a run.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "icode/source_pos.h"
#include "icode/type_core.h"

namespace icode {

// The package owns its types for its whole life; TYPE pointers stay valid
// until the package is destroyed.  Every type is registered when it is made:
// it gets the next id of a counter that starts at 1, and it is appended to
// the creation-order list that types() returns.
//
// On creation the package registers, in this order: a root type of its own
// (kind void), void, pointer to void (16/16), and the basic types bool,
// char, unsigned char, wchar_t, short, unsigned short, int, unsigned, long,
// unsigned long, long long, unsigned long long, float, double, long double.
// Their ids are therefore 1 to 18; the first type made afterwards gets 19.
class TYPE_PKG {
public:
    // Receives reports that are not fatal (severity, text).  The default
    // prints the text and a newline on stderr.
    using DiagnosticHook = std::function<void(int severity, const std::string& text)>;

    static constexpr uint32_t MAX_SIZE = 4294967295u;

    TYPE_PKG();
    ~TYPE_PKG();
    TYPE_PKG(const TYPE_PKG&) = delete;
    TYPE_PKG& operator=(const TYPE_PKG&) = delete;

    // Replaces the diagnostic hook; an empty hook restores the default.
    void set_diagnostic_hook(DiagnosticHook hook);

    // ---- Predefined types ----
    TYPE* root_type() const { return root_; }
    TYPE* void_type() const { return void_; }
    TYPE* void_pointer() const { return void_pointer_; }
    TYPE* integral_type(IntegralKind kind) const { return integrals_[static_cast<int>(kind)]; }
    TYPE* floating_type(FloatingKind kind) const { return floatings_[static_cast<int>(kind)]; }

    // ---- Constructors, one per kind, taking the fields of the type record.
    // Sizes arrive as 64-bit values and are checked: a size that does not fit
    // in 32 bits is reported through the diagnostic hook (severity 1) and
    // truncated.  Member lists start empty; callers append members to the
    // kind part and call complete() when the last list is closed.
    TYPE* make_void();
    TYPE* make_integral(IntegralKind sub_kind, bool explicit_sign, uint64_t size,
                        uint32_t alignment, bool flag1, bool flag2);
    TYPE* make_floating(FloatingKind sub_kind, uint64_t size, uint32_t alignment);
    TYPE* make_fixed_point(int8_t number_a, uint8_t number_b, TYPE* base, uint64_t size,
                           uint32_t alignment);
    // A complex type is built from its part type alone: twice its size, its
    // alignment.
    TYPE* make_complex(TYPE* part);
    TYPE* make_pointer(TYPE* pointee, uint64_t size, uint32_t alignment);
    TYPE* make_reference(TYPE* referenced, uint64_t size, uint32_t alignment);
    TYPE* make_qualified(TYPE* unqualified, uint32_t qualifiers, uint64_t size, uint32_t alignment);
    TYPE* make_typedef(std::string name, TYPE* base, uint64_t size, uint32_t alignment, bool flag1,
                       bool flag2, std::optional<SourcePos> position);
    TYPE* make_array(TYPE* element, uint32_t count, uint64_t size, uint32_t alignment, bool flag1,
                     bool flag2, bool vector);
    TYPE* make_ptr_to_member(TYPE* pointee, TYPE* class_type, uint64_t size, uint32_t alignment);
    TYPE* make_function(TYPE* return_type, bool flag1, bool flag2, uint8_t byte, bool flag3);
    TYPE* make_enum(std::string name, uint64_t size, uint32_t alignment, TYPE* underlying,
                    bool mangled, std::optional<SourcePos> position);
    // csu: 2 class, 1 union, 0 struct (any other value makes a struct but is
    // kept as given).  class_number is the ULEB of a record with member
    // lists, 0 otherwise.
    TYPE* make_csu(uint8_t csu, std::string name, bool flag1, bool flag2, uint64_t size,
                   uint32_t alignment, bool has_fields, uint32_t class_number, bool version_flag,
                   bool mangled, std::optional<SourcePos> position);

    // Finishes a type whose member lists are all read.  For a class, struct
    // or union it renumbers the fields 1, 2, 3, ... in list order, which are
    // the member numbers FIELD nodes use.  The result is the type to use from
    // now on; this package does not unify equal types (the profiler never
    // compares types by identity), so it is the type's own end of chain.
    TYPE* complete(TYPE* type);

    // The field with the given member number of a class/struct/union.
    const FieldMember* find_field(const TYPE* csu, uint32_t number) const;

    // Signedness and floating queries (see types.h).
    bool is_signed(const TYPE* type) const;
    bool is_floating(const TYPE* type) const;

    // Extends the referenced marks: every type that a referenced type's record
    // names, and for a class/struct/union the types its members name, is
    // marked too, transitively.  After it the referenced types are closed
    // under record_refs() and member_refs(), so the writer can write exactly
    // them.  Cycles through classes are harmless: each type is visited once.
    void extend_referenced();
    // Clears the written and referenced marks of every type.
    void clear_marks();

    // Every type in creation (and id) order, the predefined ones first.
    const std::vector<std::unique_ptr<TYPE>>& types() const { return types_; }
    std::size_t type_count() const { return types_.size(); }

    // The size check of the constructors, for callers that set sizes later.
    uint32_t checked_size(uint64_t size);

private:
    TYPE* add(TypeKind kind, uint32_t size, uint32_t alignment, TYPE::Part part);

    std::vector<std::unique_ptr<TYPE>> types_;
    uint32_t next_id_ = 1;
    DiagnosticHook diagnostic_hook_;
    TYPE* root_ = nullptr;
    TYPE* void_ = nullptr;
    TYPE* void_pointer_ = nullptr;
    std::array<TYPE*, INTEGRAL_KIND_COUNT> integrals_{};
    std::array<TYPE*, FLOATING_KIND_COUNT> floatings_{};
};

}  // namespace icode
