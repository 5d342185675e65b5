// What the text form needs to know about the types of a unit without
// building them: which ids are signed (for the integer encodings that depend
// on it) and a short name for comments.  Built from the type records alone.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "icode/record_codec.h"

namespace icode_text {

class RAW_TYPES : public icode::SIGN_ORACLE {
public:
    // Registers a type record; member, open and close records are ignored.
    void add(const icode::RECORD& rec);
    bool is_signed(uint32_t id) const override;
    // A short readable name, e.g. "int", "S*", "struct S"; "" when unknown.
    std::string name(uint32_t id) const;
    bool known(uint32_t id) const { return types_.count(id) != 0; }

private:
    struct ENTRY {
        int code = 0;
        uint32_t base = 0;  // base, pointee, element or underlying type
        bool vector = false;
        std::string name;
    };
    bool signed_at(uint32_t id, int depth) const;
    std::string name_at(uint32_t id, int depth) const;
    std::unordered_map<uint32_t, ENTRY> types_;
};

}  // namespace icode_text
