// The signedness and short names of a unit's types, read from the type
// records alone.
#include "icode/text/raw_types.h"

#include "icode/record_layout.h"
#include "icode/type_codes.h"

namespace icode_text {

void RAW_TYPES::add(const icode::RECORD& rec) {
    int code = int(rec.num("code"));
    if (code == icode::TC_OPEN_LIST || code == icode::TC_CLOSE_LIST ||
        icode::member_list_of_code(code) >= 0)
        return;
    ENTRY e;
    e.code = code;
    for (const char* f : {"base", "pointee", "elem", "target", "ret", "part"}) {
        if (rec.find(f) >= 0) {
            e.base = uint32_t(rec.num(f));
            break;
        }
    }
    e.vector = rec.num("vector") != 0;
    e.name = rec.text("name");
    types_[uint32_t(rec.num("id"))] = e;
}

bool RAW_TYPES::is_signed(uint32_t id) const { return signed_at(id, 0); }

bool RAW_TYPES::signed_at(uint32_t id, int depth) const {
    auto it = types_.find(id);
    if (it == types_.end() || depth > 64) return false;
    const ENTRY& e = it->second;
    switch (e.code) {
        case icode::TC_CHAR:
        case icode::TC_SHORT:
        case icode::TC_INT:
        case icode::TC_LONG:
        case icode::TC_LLONG:
        case icode::TC_FLOAT:
        case icode::TC_DOUBLE:
        case icode::TC_LDOUBLE: return true;
        case icode::TC_TYPEDEF:
        case icode::TC_QUALIFIED:
        case icode::TC_ENUM:  // typedef, qualified, enum: through their base
            return signed_at(e.base, depth + 1);
        case icode::TC_ARRAY: return e.vector && signed_at(e.base, depth + 1);
        default: return false;
    }
}

std::string RAW_TYPES::name(uint32_t id) const { return name_at(id, 0); }

std::string RAW_TYPES::name_at(uint32_t id, int depth) const {
    auto it = types_.find(id);
    if (it == types_.end() || depth > 8) return "";
    const ENTRY& e = it->second;
    switch (e.code) {
        case icode::TC_TYPEDEF: return e.name;
        case icode::TC_POINTER: return name_at(e.base, depth + 1) + "*";
        case icode::TC_REFERENCE: return name_at(e.base, depth + 1) + "&";
        case icode::TC_QUALIFIED: return "qualified " + name_at(e.base, depth + 1);
        case icode::TC_ARRAY: return name_at(e.base, depth + 1) + "[]";
        case icode::TC_FUNCTION: return name_at(e.base, depth + 1) + "()";
        case icode::TC_ENUM: return "enum " + e.name;
        case icode::TC_CSU:
        case icode::TC_CSU_LISTS: return "struct " + e.name;
        default: {
            const icode::LAYOUT_PART* part = icode::type_code_layout(e.code);
            return part ? part->name : "";
        }
    }
}

}  // namespace icode_text
