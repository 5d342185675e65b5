// Writing the type section.
//
// A reader defines types in file order and refuses a type ref to an id not
// yet defined, so every type is written after the types its record names,
// and every class, struct or union is written (its main record, which names
// no type) before any member list: members may then name their own class.
// The section holds exactly the referenced types: those named by the records
// written so far, by the global symbols, and everything they are built from.
#include "icode/icode_file.h"
#include "icode/type_codes.h"
#include "icode/type_pkg.h"

namespace icode {

namespace {

void set_num(RECORD& r, const char* name, int64_t v) {
    if (FIELD_VALUE* f = r.value(name)) f->num = v;
}

void set_text(RECORD& r, const char* name, const std::string& text) {
    if (FIELD_VALUE* f = r.value(name)) f->text = text;
}

int integral_code(IntegralKind kind) {
    switch (kind) {
        case IntegralKind::LLONG: return TC_LLONG;
        case IntegralKind::ULLONG: return TC_ULLONG;
        default: return int(kind);
    }
}

// Type code of the members of each attribute list (list 0 of a function and
// of a class share code 21).
int member_code(int list) {
    static const int codes[10] = {TC_PARAM,   TC_ENUMERATOR, TC_BASE_CLASS, TC_MEMBER3, TC_MEMBER4,
                                  TC_MEMBER5, TC_MEMBER6,    TC_FIELD,      TC_MEMBER8, TC_MEMBER9};
    return codes[list];
}

bool is_written_type(const TYPE* t) { return t->replacement() == nullptr; }

}  // namespace

void IcodeFile::write_type_section() {
    if (!types_) return;
    long start = tell();
    for (SYMTAB* symbol : globals_) {
        if (!symbol) continue;  // frozen: its types were marked then
        for (TYPE* t : {symbol->type(), symbol->second_type()})
            if (t) t->resolved()->set_referenced(true);
    }
    types_->extend_referenced();

    const auto& all = types_->types();
    pending_lists_.clear();
    // Member lists of the classes written so far, each after the types its
    // members name.  Writing those may reach a class not yet written; it
    // joins the queue.
    auto write_pending_lists = [this]() {
        for (size_t k = 0; k < pending_lists_.size(); ++k) {
            TYPE* owner = pending_lists_[k];
            for (int list : CSU_LIST_ORDER) {
                if (owner->member_list_size(list) == 0) continue;
                for (TYPE* ref : owner->member_refs(list)) write_type(ref);
                write_list(owner, list);
            }
        }
        pending_lists_.clear();
    };

    // First the main records of all referenced classes, structs and unions.
    for (size_t i = 0; i < all.size(); ++i) {
        TYPE* t = all[i].get();
        if (is_written_type(t) && t->referenced() && t->is_csu()) write_type(t);
    }
    write_pending_lists();
    // Then every other referenced type, in creation order.
    for (size_t i = 0; i < all.size(); ++i) {
        TYPE* t = all[i].get();
        if (is_written_type(t) && t->referenced() && !t->written()) {
            write_type(t);
            write_pending_lists();
        }
    }

    if (tell() != start) {
        write_end();
        offsets_[SEC_TYPES] = uint32_t(start);
    }
}

void IcodeFile::write_type(TYPE* type) {
    // Depth first without recursion: a type's record waits on the stack
    // until the types it names are written.  A type is marked written when
    // it is first met, so that it is written once.
    struct STEP {
        TYPE* type;
        bool refs_queued;
    };
    std::vector<STEP> steps;
    if (type) steps.push_back(STEP{type, false});
    while (!steps.empty()) {
        if (steps.back().refs_queued) {
            TYPE* t = steps.back().type;
            steps.pop_back();
            write_type_record(t);
            continue;
        }
        TYPE* t = steps.back().type->resolved();
        if (t->written()) {
            steps.pop_back();
            continue;
        }
        t->set_written(true);
        steps.back() = STEP{t, true};
        std::vector<TYPE*> refs = t->record_refs();
        for (auto it = refs.rbegin(); it != refs.rend(); ++it) steps.push_back(STEP{*it, false});
    }
}

void IcodeFile::write_type_record(TYPE* t) {
    auto start = [&](int code) -> RECORD& {
        RECORD& r = begin_record(REC_TYPE, code);
        set_num(r, "id", t->id());
        return r;
    };
    auto size_align = [&](RECORD& r) {
        set_num(r, "size", t->size());
        set_num(r, "align", t->alignment());
    };
    auto named = [&](RECORD& r) {
        set_text(r, "name", t->name());
        if (FIELD_VALUE* p = r.value("pos")) p->pos = position_value(t->position());
    };

    switch (t->kind()) {
        case TypeKind::VOID:
            start(TC_VOID);
            end_record();
            return;
        case TypeKind::INTEGRAL: {
            const IntegralPart& p = t->integral_part();
            RECORD& r = start(integral_code(p.sub_kind));
            set_num(r, "explicit_sign", p.explicit_sign);
            size_align(r);
            set_num(r, "flag1", p.flag1);
            set_num(r, "flag2", p.flag2);
            end_record();
            return;
        }
        case TypeKind::FLOATING: {
            RECORD& r = start(TC_FLOAT + int(t->floating_part().sub_kind));
            size_align(r);
            end_record();
            return;
        }
        case TypeKind::FIXED_POINT: {
            const FixedPointPart& p = t->fixed_point_part();
            RECORD& r = start(TC_FIXED);
            set_num(r, "byte1", p.number_a);
            set_num(r, "byte2", p.number_b);
            set_num(r, "base", type_ref(p.base));
            size_align(r);
            end_record();
            return;
        }
        case TypeKind::COMPLEX: {
            RECORD& r = start(TC_COMPLEX);
            size_align(r);
            set_num(r, "part", type_ref(t->complex_part().part));
            end_record();
            return;
        }
        case TypeKind::POINTER: {
            RECORD& r = start(TC_POINTER);
            set_num(r, "pointee", type_ref(t->pointer_part().pointee));
            size_align(r);
            end_record();
            return;
        }
        case TypeKind::REFERENCE: {
            RECORD& r = start(TC_REFERENCE);
            set_num(r, "target", type_ref(t->reference_part().referenced));
            size_align(r);
            end_record();
            return;
        }
        case TypeKind::QUALIFIED: {
            const QualifiedPart& p = t->qualified_part();
            RECORD& r = start(TC_QUALIFIED);
            set_num(r, "base", type_ref(p.unqualified));
            set_num(r, "quals", p.qualifiers);
            size_align(r);
            end_record();
            return;
        }
        case TypeKind::TYPEDEF: {
            const TypedefPart& p = t->typedef_part();
            RECORD& r = start(TC_TYPEDEF);
            named(r);
            set_num(r, "base", type_ref(p.base));
            size_align(r);
            set_num(r, "flag1", p.flag1);
            set_num(r, "flag2", p.flag2);
            end_record();
            return;
        }
        case TypeKind::ARRAY: {
            const ArrayPart& p = t->array_part();
            RECORD& r = start(TC_ARRAY);
            set_num(r, "elem", type_ref(p.element));
            set_num(r, "count", p.count);
            size_align(r);
            set_num(r, "flag1", p.flag1);
            set_num(r, "flag2", p.flag2);
            set_num(r, "vector", p.vector);
            end_record();
            return;
        }
        case TypeKind::PTR_TO_MEMBER: {
            const PtrToMemberPart& p = t->ptr_to_member_part();
            RECORD& r = start(TC_PTRMEM);
            set_num(r, "pointee", type_ref(p.pointee));
            set_num(r, "class", type_ref(p.class_type));
            size_align(r);
            end_record();
            return;
        }
        case TypeKind::FUNCTION: {
            const FunctionPart& p = t->function_part();
            RECORD& r = start(TC_FUNCTION);
            set_num(r, "ret", type_ref(p.return_type));
            set_num(r, "flag1", p.flag1);
            set_num(r, "flag2", p.flag2);
            set_num(r, "byte", p.byte);
            set_num(r, "flag3", p.flag3);
            end_record();
            // The reader expects the parameter list even when it is empty.
            write_list(t, LIST_PARAMS);
            return;
        }
        case TypeKind::ENUM: {
            RECORD& r = start(TC_ENUM);
            named(r);
            size_align(r);
            set_num(r, "base", type_ref(t->enum_part().underlying));
            set_num(r, "mangled", t->mangled());
            end_record();
            // Likewise the enumerator list.
            write_list(t, LIST_ENUMERATORS);
            return;
        }
        case TypeKind::CLASS:
        case TypeKind::STRUCT:
        case TypeKind::UNION: {
            const CsuPart& c = t->csu_part();
            bool with_lists = c.has_lists_besides_fields() || c.class_number != 0;
            RECORD& r = start(with_lists ? TC_CSU_LISTS : TC_CSU);
            set_num(r, "csu", c.csu);
            named(r);
            set_num(r, "flag1", c.flag1);
            set_num(r, "flag2", c.flag2);
            size_align(r);
            // The flags tell the reader which lists follow, and only non-empty
            // lists are written: a class read with an empty field list comes
            // out without one.
            if (with_lists) {
                static const char* const flags[9] = {"list2", "list3", "list4", "list5", "list6",
                                                     "list7", "list8", "list9", "list0"};
                set_num(r, "extra", c.class_number);
                for (size_t i = 0; i < CSU_LIST_ORDER.size(); ++i)
                    set_num(r, flags[i], c.list_size(CSU_LIST_ORDER[i]) != 0);
            } else {
                set_num(r, "has_fields", !c.fields.empty());
            }
            set_num(r, "flag3", c.version_flag);
            set_num(r, "mangled", t->mangled());
            end_record();
            for (int list : CSU_LIST_ORDER) {
                if (c.list_size(list) != 0) {
                    pending_lists_.push_back(t);
                    break;
                }
            }
            return;
        }
    }
}

void IcodeFile::write_list(TYPE* owner, int list) {
    set_num(begin_record(REC_TYPE, TC_OPEN_LIST), "id", owner->id());
    set_num(wrec_, "list", list);
    end_record();
    size_t n = owner->member_list_size(list);
    for (size_t i = 0; i < n; ++i) write_member(owner, list, i);
    set_num(begin_record(REC_TYPE, TC_CLOSE_LIST), "id", owner->id());
    set_num(wrec_, "list", list);
    end_record();
}

void IcodeFile::write_member(TYPE* owner, int list, size_t i) {
    RECORD& r = begin_record(REC_TYPE, member_code(list));
    set_num(r, "id", owner->id());
    auto pos = [&](const std::optional<SourcePos>& p) {
        r.value("pos")->pos = position_value(p ? &*p : nullptr);
    };
    auto param = [&](const ParamMember& m) {
        set_num(r, "type", type_ref(m.type));
        set_num(r, "flag", m.flag);
        set_num(r, "number", m.number);
        set_text(r, "name", m.name);
    };
    if (owner->kind() == TypeKind::FUNCTION) {
        param(owner->function_part().params[i]);
    } else if (owner->kind() == TypeKind::ENUM) {
        // The value is signed LEB128 when the enum (the record's id) is
        // signed, which the codec asks the package.
        const Enumerator& e = owner->enum_part().enumerators[i];
        set_text(r, "name", e.name);
        set_num(r, "value", e.value);
        pos(e.position);
    } else {
        const CsuPart& c = owner->csu_part();
        switch (list) {
            case 0: param(c.list0[i]); break;
            case 2: {
                const BaseClassMember& m = c.bases[i];
                set_num(r, "type", type_ref(m.type));
                set_num(r, "offset", m.offset);
                set_num(r, "byte", m.byte);
                set_num(r, "flag", m.flag);
                break;
            }
            case 3:
                // This list's type is not carried over: it is written as 0.
                set_num(r, "type", 0);
                set_num(r, "byte", c.list3[i].byte);
                break;
            case 4:
                set_text(r, "name", c.list4[i].name);
                set_num(r, "type", type_ref(c.list4[i].type));
                break;
            case 5: set_num(r, "type", type_ref(c.list5[i].type)); break;
            case 6: set_num(r, "type", type_ref(c.list6[i].type)); break;
            case 7: {
                const FieldMember& m = c.fields[i];
                set_num(r, "member", m.number);
                set_text(r, "name", m.name);
                set_num(r, "type", type_ref(m.type));
                set_num(r, "byte1", m.byte1);
                set_num(r, "offset", m.offset);
                set_num(r, "byte2", m.byte2);
                set_num(r, "width", m.bit_width);
                set_num(r, "is_bitfield", m.is_bit_field);
                set_num(r, "flag1", m.flag1);
                set_num(r, "flag2", m.flag2);
                pos(m.position);
                break;
            }
            case 8: {
                const List8Member& m = c.list8[i];
                set_text(r, "name", m.name);
                set_num(r, "type", type_ref(m.type));
                set_num(r, "byte", m.byte);
                break;
            }
            case 9: {
                const List9Member& m = c.list9[i];
                set_text(r, "name", m.name);
                set_num(r, "type", type_ref(m.type));
                set_num(r, "byte", m.byte);
                set_num(r, "number", m.number);
                static const char* const flags[4] = {"flag1", "flag2", "flag3", "flag4"};
                for (int k = 0; k < 4; ++k) set_num(r, flags[k], m.flags[size_t(k)]);
                break;
            }
            default: break;
        }
    }
    end_record();
}

}  // namespace icode
