// The signedness and short names of a unit's types, read from the type
// records alone.
#include "icode/text/raw_types.h"

#include "icode/record_layout.h"

namespace icode_text {

void RAW_TYPES::add(const icode::RECORD& rec) {
    int code = int(rec.num("code"));
    if (code == 254 || code == 255 || icode::member_list_of_code(code) >= 0) return;
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
        case 1:
        case 4:
        case 6:
        case 8:
        case 50:  // char, short, int, long, long long
        case 10:
        case 11:
        case 12:  // floating
            return true;
        case 14:
        case 17:
        case 22:  // typedef, qualified, enum: through their base
            return signed_at(e.base, depth + 1);
        case 18: return e.vector && signed_at(e.base, depth + 1);
        default: return false;
    }
}

std::string RAW_TYPES::name(uint32_t id) const { return name_at(id, 0); }

std::string RAW_TYPES::name_at(uint32_t id, int depth) const {
    auto it = types_.find(id);
    if (it == types_.end() || depth > 8) return "";
    const ENTRY& e = it->second;
    switch (e.code) {
        case 14: return e.name;
        case 15: return name_at(e.base, depth + 1) + "*";
        case 16: return name_at(e.base, depth + 1) + "&";
        case 17: return "qualified " + name_at(e.base, depth + 1);
        case 18: return name_at(e.base, depth + 1) + "[]";
        case 20: return name_at(e.base, depth + 1) + "()";
        case 22: return "enum " + e.name;
        case 24:
        case 25: return "struct " + e.name;
        default: {
            const icode::LAYOUT_PART* part = icode::type_code_layout(e.code);
            return part ? part->name : "";
        }
    }
}

}  // namespace icode_text
