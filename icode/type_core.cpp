// TYPE: replacement chains, typedef resolution, and the type references that
// a type's record and its member lists carry.
#include "icode/type_core.h"

#include <utility>

namespace icode {

std::size_t CsuPart::list_size(int n) const {
    switch (n) {
        case 0: return list0.size();
        case 2: return bases.size();
        case 3: return list3.size();
        case 4: return list4.size();
        case 5: return list5.size();
        case 6: return list6.size();
        case 7: return fields.size();
        case 8: return list8.size();
        case 9: return list9.size();
        default: return 0;
    }
}

bool CsuPart::has_lists_besides_fields() const {
    for (int n : CSU_LIST_ORDER)
        if (n != LIST_FIELDS && list_size(n) != 0) return true;
    return false;
}

TYPE::TYPE(TypeKind kind, uint32_t size, uint32_t alignment, Part part)
    : kind_(kind), size_(size), alignment_(alignment), part_(std::move(part)) {}

TYPE* TYPE::basic_type() {
    TYPE* t = resolved();
    while (t->kind_ == TypeKind::TYPEDEF) {
        TYPE* base = t->typedef_part().base;
        if (base == nullptr) break;
        t = base->resolved();
    }
    return t;
}

const TYPE* TYPE::basic_type() const { return const_cast<TYPE*>(this)->basic_type(); }

bool TYPE::is_csu() const {
    return kind_ == TypeKind::CLASS || kind_ == TypeKind::STRUCT || kind_ == TypeKind::UNION;
}

namespace {

void add_ref(std::vector<TYPE*>& refs, TYPE* t) {
    if (t != nullptr) refs.push_back(t);
}

template <typename Members>
void add_member_types(std::vector<TYPE*>& refs, const Members& members) {
    for (const auto& m : members) add_ref(refs, m.type);
}

}  // namespace

std::vector<TYPE*> TYPE::record_refs() const {
    std::vector<TYPE*> refs;
    switch (kind_) {
        case TypeKind::FIXED_POINT: add_ref(refs, fixed_point_part().base); break;
        case TypeKind::COMPLEX: add_ref(refs, complex_part().part); break;
        case TypeKind::POINTER: add_ref(refs, pointer_part().pointee); break;
        case TypeKind::REFERENCE: add_ref(refs, reference_part().referenced); break;
        case TypeKind::QUALIFIED: add_ref(refs, qualified_part().unqualified); break;
        case TypeKind::TYPEDEF: add_ref(refs, typedef_part().base); break;
        case TypeKind::ARRAY: add_ref(refs, array_part().element); break;
        case TypeKind::PTR_TO_MEMBER:
            add_ref(refs, ptr_to_member_part().pointee);
            add_ref(refs, ptr_to_member_part().class_type);
            break;
        case TypeKind::FUNCTION:
            add_ref(refs, function_part().return_type);
            add_member_types(refs, function_part().params);
            break;
        case TypeKind::ENUM: add_ref(refs, enum_part().underlying); break;
        default: break;
    }
    return refs;
}

std::vector<TYPE*> TYPE::member_refs(int list) const {
    std::vector<TYPE*> refs;
    if (!is_csu()) return refs;
    const CsuPart& c = csu_part();
    switch (list) {
        case 0: add_member_types(refs, c.list0); break;
        case 2: add_member_types(refs, c.bases); break;
        case 4: add_member_types(refs, c.list4); break;
        case 5: add_member_types(refs, c.list5); break;
        case 6: add_member_types(refs, c.list6); break;
        case 7: add_member_types(refs, c.fields); break;
        case 8: add_member_types(refs, c.list8); break;
        case 9: add_member_types(refs, c.list9); break;
        default: break;  // list 3 is written without its type
    }
    return refs;
}

std::size_t TYPE::member_list_size(int list) const {
    if (kind_ == TypeKind::FUNCTION) return list == LIST_PARAMS ? function_part().params.size() : 0;
    if (kind_ == TypeKind::ENUM)
        return list == LIST_ENUMERATORS ? enum_part().enumerators.size() : 0;
    if (is_csu()) return csu_part().list_size(list);
    return 0;
}

const FieldMember* TYPE::find_field(uint32_t number) const {
    if (!is_csu()) return nullptr;
    const std::vector<FieldMember>& fields = csu_part().fields;
    // After completion field n sits at index n-1; check that first.
    if (number >= 1 && number <= fields.size() && fields[number - 1].number == number)
        return &fields[number - 1];
    for (const FieldMember& f : fields)
        if (f.number == number) return &f;
    return nullptr;
}

}  // namespace icode
