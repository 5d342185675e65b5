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

#include <cstdint>
#include <vector>

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

    bool present_in(int version) const { return version >= min_version && version <= max_version; }
};

struct LAYOUT_PART {
    const char* name;  // text-form name of the tail (opcode or type code name)
    std::vector<FIELD_DESC> fields;
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
int depth_after(DEPTH_EFFECT effect, int depth);

struct RECORD_LAYOUT {
    RECORD_KIND kind;
    const char* name;  // text-form keyword
    std::vector<FIELD_DESC> head;
    // Index in head of the field that selects the tail, or -1 for none.
    int select_by = -1;
    // Tail for a selector value; null when that value has no layout.
    const LAYOUT_PART* (*select)(int64_t value) = nullptr;
    DEPTH_EFFECT depth = DEPTH_EFFECT::NONE;
};

// Layout of a record kind, or null for a kind that has none (unknown kinds,
// and REC_END, which has no payload).
const RECORD_LAYOUT* layout_of(uint8_t kind);
// Layout by text-form keyword, or null.
const RECORD_LAYOUT* layout_named(const char* name);

// Tails of node records by opcode and of type records by type code.
const LAYOUT_PART* node_leaf_layout(int64_t opcode);
const LAYOUT_PART* type_code_layout(int64_t code);
// Type code by text-form name ("int", "pointer", "field", ...); -1 if none.
int type_code_named(const char* name);

// Opcodes whose node records are never followed by operand trees, whatever
// the operator table says.
bool is_leaf_opcode(int opcode);

// Type codes of the members of attribute lists, and the list each belongs to.
int member_list_of_code(int code);  // -1 when the code is not a member code

}  // namespace icode
