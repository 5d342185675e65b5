// Reading of type records: the type map with its no-forward-reference rule,
// attribute lists and completion.
#include "icode/demangle.h"
#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/type_codes.h"
#include "icode/type_error.h"
#include "icode/type_pkg.h"
#include "icode/types.h"

namespace icode {

namespace {

IntegralKind integral_kind_of_code(int code) {
    if (code == TC_LLONG) return IntegralKind::LLONG;
    if (code == TC_ULLONG) return IntegralKind::ULLONG;
    return IntegralKind(code);
}

bool flag(const RECORD& r, const char* name) { return r.num(name) != 0; }
uint64_t size_of(const RECORD& r) { return uint64_t(uint32_t(r.num("size"))); }
uint32_t align_of(const RECORD& r) { return uint32_t(r.num("align")); }

}  // namespace

void IcodeFile::read_type_record() {
    const RECORD& r = rec_;
    uint32_t id = uint32_t(r.num("id"));
    int code = int(r.num("code"));
    if (!types_) return;  // without a package no type is built
    TYPE_PKG& pkg = *types_;

    auto define = [&](TYPE* t, int lists) {
        if (type_map_.count(id)) type_internal_error("read type twice");
        type_map_[id] = TYPE_SLOT{t, lists};
        if (id < TYPE_INDEX_LIMIT) {
            if (id >= type_by_id_.size()) type_by_id_.resize(size_t(id) + 1);
            type_by_id_[id] = t;
        }
    };
    auto owner = [&]() -> TYPE_SLOT& {
        auto it = type_map_.find(id);
        if (it == type_map_.end()) type_internal_error("invalid forward reference");
        return it->second;
    };
    auto position = [&]() { return make_position(r.value("pos")->pos); };
    // Units older than -81 carry no mangled-name flag: a name is taken as
    // mangled when demangling changes it.
    auto mangled = [&](const std::string& name) {
        if (version_ >= -81) return flag(r, "mangled");
        return demangle_name(name) != name;
    };

    switch (code) {
        case TC_BOOL:
        case TC_CHAR:
        case TC_UCHAR:
        case TC_WCHAR:
        case TC_SHORT:
        case TC_USHORT:
        case TC_INT:
        case TC_UINT:
        case TC_LONG:
        case TC_ULONG:
        case TC_LLONG:
        case TC_ULLONG:
            define(pkg.make_integral(integral_kind_of_code(code), flag(r, "explicit_sign"),
                                     size_of(r), align_of(r), flag(r, "flag1"), flag(r, "flag2")),
                   0);
            return;
        case TC_FLOAT:
        case TC_DOUBLE:
        case TC_LDOUBLE:
            define(pkg.make_floating(FloatingKind(code - TC_FLOAT), size_of(r), align_of(r)), 0);
            return;
        case TC_FIXED:
            define(pkg.make_fixed_point(int8_t(r.num("byte1")), uint8_t(r.num("byte2")),
                                        resolve_type(r.num("base")), size_of(r), align_of(r)),
                   0);
            return;
        case TC_TYPEDEF:
            define(pkg.make_typedef(r.text("name"), resolve_type(r.num("base")), size_of(r),
                                    align_of(r), flag(r, "flag1"), flag(r, "flag2"), position()),
                   0);
            return;
        case TC_POINTER:
            define(pkg.make_pointer(resolve_type(r.num("pointee")), size_of(r), align_of(r)), 0);
            return;
        case TC_REFERENCE:
            define(pkg.make_reference(resolve_type(r.num("target")), size_of(r), align_of(r)), 0);
            return;
        case TC_QUALIFIED:
            define(pkg.make_qualified(resolve_type(r.num("base")), uint32_t(r.num("quals")),
                                      size_of(r), align_of(r)),
                   0);
            return;
        case TC_ARRAY:
            define(
                pkg.make_array(resolve_type(r.num("elem")), uint32_t(r.num("count")), size_of(r),
                               align_of(r), flag(r, "flag1"), flag(r, "flag2"), flag(r, "vector")),
                0);
            return;
        case TC_PTRMEM:
            define(pkg.make_ptr_to_member(resolve_type(r.num("pointee")),
                                          resolve_type(r.num("class")), size_of(r), align_of(r)),
                   0);
            return;
        case TC_FUNCTION:
            define(pkg.make_function(resolve_type(r.num("ret")), flag(r, "flag1"), flag(r, "flag2"),
                                     uint8_t(r.num("byte")), flag(r, "flag3")),
                   1);
            return;
        case TC_ENUM: {
            const std::string& name = r.text("name");
            define(pkg.make_enum(name, size_of(r), align_of(r), resolve_type(r.num("base")),
                                 mangled(name), position()),
                   1);
            return;
        }
        case TC_CSU:
        case TC_CSU_LISTS: {
            const std::string& name = r.text("name");
            int lists = 0;
            uint32_t class_number = 0;
            bool has_fields;
            if (code == TC_CSU) {
                has_fields = flag(r, "has_fields");
                lists = has_fields ? 1 : 0;
            } else {
                class_number = uint32_t(r.num("extra"));
                has_fields = flag(r, "list7");
                for (const char* l : {"list2", "list3", "list4", "list5", "list6", "list7", "list8",
                                      "list9", "list0"})
                    lists += flag(r, l) ? 1 : 0;
            }
            TYPE* t = pkg.make_csu(uint8_t(r.num("csu")), name, flag(r, "flag1"), flag(r, "flag2"),
                                   size_of(r), align_of(r), has_fields, class_number,
                                   flag(r, "flag3"), mangled(name), position());
            if (lists == 0) t = pkg.complete(t);
            define(t, lists);
            return;
        }
        case TC_COMPLEX:
            // Size and alignment are derived from the part type.
            define(pkg.make_complex(resolve_type(r.num("part"))), 0);
            return;
        case TC_VOID: define(pkg.make_void(), 0); return;
        case TC_OPEN_LIST: {
            TYPE_SLOT& slot = owner();
            int list = int(r.num("list"));
            if (slot.lists_left <= 0) type_internal_error("Unexpected type attribute");
            TYPE* t = slot.type;
            if (t->kind() == TypeKind::FUNCTION) {
                if (list == 0 && !t->function_part().params.empty())
                    type_internal_error("Duplicate function parameters");
            } else if (t->kind() == TypeKind::ENUM) {
                if (list == 1 && !t->enum_part().enumerators.empty())
                    type_internal_error("Duplicate enumerator attributes");
            } else if (t->is_csu()) {
                if (t->member_list_size(list) != 0) type_internal_error("Duplicate CSU attributes");
            }
            return;
        }
        case TC_CLOSE_LIST: {
            TYPE_SLOT& slot = owner();
            if (--slot.lists_left == 0) slot.type = pkg.complete(slot.type);
            return;
        }
        default: break;
    }

    // A member of an attribute list: appended to the owner's list.
    TYPE* t = owner().type;
    auto need = [&](bool ok) {
        if (!ok) invalid_record();
    };
    switch (code) {
        case TC_PARAM: {
            ParamMember m{resolve_type(r.num("type")), flag(r, "flag"), uint32_t(r.num("number")),
                          r.text("name")};
            if (t->kind() == TypeKind::FUNCTION)
                t->function_part().params.push_back(std::move(m));
            else {
                need(t->is_csu());
                t->csu_part().list0.push_back(std::move(m));
            }
            return;
        }
        case TC_ENUMERATOR: {
            need(t->kind() == TypeKind::ENUM);
            int64_t v = r.num("value");
            // The value arrives as 32 bits, sign- or zero-extended by the enum.
            int64_t value = is_signed(t) ? int64_t(int32_t(v)) : int64_t(uint32_t(v));
            t->enum_part().enumerators.push_back(Enumerator{r.text("name"), value, position()});
            return;
        }
        default: break;
    }
    need(t->is_csu());
    CsuPart& c = t->csu_part();
    switch (code) {
        case TC_BASE_CLASS:
            c.bases.push_back(BaseClassMember{resolve_type(r.num("type")), int32_t(r.num("offset")),
                                              uint8_t(r.num("byte")), flag(r, "flag")});
            return;
        case TC_MEMBER3:
            c.list3.push_back(List3Member{resolve_type(r.num("type")), uint8_t(r.num("byte"))});
            return;
        case TC_MEMBER4:
            c.list4.push_back(NamedTypeMember{r.text("name"), resolve_type(r.num("type"))});
            return;
        case TC_MEMBER5: c.list5.push_back(TypeMember{resolve_type(r.num("type"))}); return;
        case TC_MEMBER6: c.list6.push_back(TypeMember{resolve_type(r.num("type"))}); return;
        case TC_FIELD: {
            FieldMember m;
            m.number = uint32_t(r.num("member"));
            m.name = r.text("name");
            m.type = resolve_type(r.num("type"));
            m.byte1 = uint8_t(r.num("byte1"));
            m.offset = int32_t(r.num("offset"));
            m.byte2 = uint8_t(r.num("byte2"));
            m.bit_width = uint32_t(r.num("width"));
            m.is_bit_field = flag(r, "is_bitfield");
            m.flag1 = flag(r, "flag1");
            m.flag2 = flag(r, "flag2");
            m.position = position();
            c.fields.push_back(std::move(m));
            return;
        }
        case TC_MEMBER8:
            c.list8.push_back(
                List8Member{r.text("name"), resolve_type(r.num("type")), uint8_t(r.num("byte"))});
            return;
        case TC_MEMBER9: {
            List9Member m{r.text("name"),
                          resolve_type(r.num("type")),
                          uint8_t(r.num("byte")),
                          int32_t(r.num("number")),
                          {}};
            const char* names[4] = {"flag1", "flag2", "flag3", "flag4"};
            for (int i = 0; i < 4; ++i) m.flags[size_t(i)] = flag(r, names[i]);
            c.list9.push_back(std::move(m));
            return;
        }
        default: invalid_record();  // a code with a layout but no meaning here cannot occur
    }
}

}  // namespace icode
