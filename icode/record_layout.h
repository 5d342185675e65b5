// The payload of every record kind, described once.
//
// A layout lists the fields of a payload in file order with their encodings
// and the format versions in which they are present.  Node records and type
// records continue with a tail that depends on a field of the head (the
// opcode, the type code); one drop-only kind does the same with a sub-kind.
// The reader, the writer and the text form all decode and encode payloads
// through these descriptions (record_codec.h), so a layout is written here
// and nowhere else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "icode/record_kinds.h"

namespace icode {

enum class ENC : uint8_t {
    U8,              // one byte
    BOOL,            // one byte; any non-zero value is true (the raw byte is kept)
    I8,              // one byte, sign-extended
    I16,             // two bytes, low first, signed
    U32,             // four bytes, least significant first
    ULEB,            // unsigned LEB128, 32 bits
    SLEB,            // signed LEB128, 32 bits
    STRING,          // bytes up to a NUL
    COUNTED,         // ULEB length n, then n bytes
    POS,             // ULEB file index; when non-zero a ULEB line and column follow
    TYPEREF,         // ULEB type id, 0 for none
    SIGNED_BY_TYPE,  // SLEB when the type named by another field is signed, else ULEB
    STRINGS,         // ULEB count, then that many strings
    U16S,            // u8 count, then that many 16-bit values
    CATCHES,         // items {string, ULEB, bool} up to the end of the payload
    REST,            // every remaining byte of the payload
};

struct FIELD_DESC {
    const char* name;
    ENC enc;
    int16_t min_version = -32768;  // present when min_version <= version <= max_version
    int16_t max_version = 32767;
    int8_t sign_from = -1;      // SIGNED_BY_TYPE: index of the field naming the type
    bool sets_version = false;  // the header's version field: later fields depend on it

    constexpr bool present_in(int version) const {
        return version >= min_version && version <= max_version;
    }
    // Present in every version: the direct codec then tests nothing.
    constexpr bool always_present() const { return min_version == -32768 && max_version == 32767; }
};

// The fields of one part of a payload, in file order: a view of a table
// fixed at compile time (record_layout_table.h).
class FIELD_LIST {
public:
    constexpr FIELD_LIST() = default;
    template <size_t N>
    constexpr FIELD_LIST(const std::array<FIELD_DESC, N>& fields)
        : data_(fields.data()), size_(N) {}

    constexpr size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }
    constexpr const FIELD_DESC& operator[](size_t i) const { return data_[i]; }
    constexpr const FIELD_DESC* begin() const { return data_; }
    constexpr const FIELD_DESC* end() const { return data_ + size_; }

private:
    const FIELD_DESC* data_ = nullptr;
    size_t size_ = 0;
};

struct LAYOUT_PART {
    const char* name;  // text-form name of the tail (opcode or type code name)
    FIELD_LIST fields;
};

// What a record does to the depth that the symbols after it are read at: a
// symbol at depth 0 is global, any other is a local of the current function.
enum class DEPTH_EFFECT : uint8_t {
    NONE,
    ENTER_FUNCTION,  // depth 1; the function's locals start afresh
    LEAVE_FUNCTION,  // depth 0
    OPEN_BLOCK,      // one deeper
    CLOSE_BLOCK,     // one shallower
    OPEN_BODY,       // depth 2, the body's outermost block
};

// The depth after a record with this effect, read at `depth`.
constexpr int depth_after(DEPTH_EFFECT effect, int depth) {
    switch (effect) {
        case DEPTH_EFFECT::NONE: return depth;
        case DEPTH_EFFECT::ENTER_FUNCTION: return 1;
        case DEPTH_EFFECT::LEAVE_FUNCTION: return 0;
        case DEPTH_EFFECT::OPEN_BLOCK: return depth + 1;
        case DEPTH_EFFECT::CLOSE_BLOCK: return depth - 1;
        case DEPTH_EFFECT::OPEN_BODY: return 2;
    }
    return depth;
}

struct RECORD_LAYOUT {
    RECORD_KIND kind;
    const char* name;  // text-form keyword
    FIELD_LIST head;
    // Index in head of the field that selects the tail, or -1 for none.
    int select_by = -1;
    // Tail for a selector value; null when that value has no layout.
    const LAYOUT_PART* (*select)(int64_t value) = nullptr;
    DEPTH_EFFECT depth = DEPTH_EFFECT::NONE;
    // The head as a part of its own, for the direct codec (record_direct.h).
    const LAYOUT_PART* head_part = nullptr;
};

// Layout of a record kind, or null for a kind that has none (unknown kinds,
// and REC_END, which has no payload).
inline const RECORD_LAYOUT* layout_of(uint8_t kind);
// Layout by text-form keyword, or null.
const RECORD_LAYOUT* layout_named(const char* name);

// Tails of node records by opcode and of type records by type code (both
// defined in record_layout_table.h, where they are constexpr).
constexpr const LAYOUT_PART* node_leaf_layout(int64_t opcode);
constexpr const LAYOUT_PART* type_code_layout(int64_t code);
// Type code by text-form name ("int", "pointer", "field", ...); -1 if none.
int type_code_named(const char* name);

// Opcodes whose node records are never followed by operand trees, whatever
// the operator table says.
constexpr bool is_leaf_opcode(int opcode) {
    switch (opcode) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 25:
        case 26:
        case 115:
        case 163: return true;
        default: return false;
    }
}

// Type codes of the members of attribute lists, and the list each belongs to.
int member_list_of_code(int code);  // -1 when the code is not a member code

}  // namespace icode

#include "icode/record_layout_table.h"
