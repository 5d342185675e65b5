// Look-ups in the layout table (record_layout_table.h) by text-form keyword
// and by type code name.
#include "icode/record_layout.h"

#include <cstring>

namespace icode {

const RECORD_LAYOUT* layout_named(const char* name) {
    for (const auto& l : layout_table::RECORD_LAYOUTS)
        if (std::strcmp(l.name, name) == 0) return &l;
    return nullptr;
}

int type_code_named(const char* name) {
    for (int c = 0; c < 256; ++c)
        if (const LAYOUT_PART* part = type_code_layout(c))
            if (std::strcmp(part->name, name) == 0) return c;
    return -1;
}

int member_list_of_code(int code) {
    switch (code) {
        case TC_PARAM: return 0;
        case TC_ENUMERATOR: return 1;
        case TC_BASE_CLASS: return 2;
        case TC_MEMBER3: return 3;
        case TC_MEMBER4: return 4;
        case TC_MEMBER5: return 5;
        case TC_MEMBER6: return 6;
        case TC_FIELD: return 7;
        case TC_MEMBER8: return 8;
        case TC_MEMBER9: return 9;
        default: return -1;
    }
}

}  // namespace icode
