// Generic decoding and encoding of record payloads through their layouts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "icode/encoding.h"
#include "icode/record_layout.h"

namespace icode {

// A position as it is stored: file index (0 for no position), line, column.
struct POS_VALUE {
    uint32_t file = 0;
    uint32_t line = 0;
    uint32_t column = 0;
};

struct CATCH_ITEM {
    std::string text;
    uint32_t number = 0;
    uint8_t flag = 0;
};

// The items of the list encodings, for both codecs (this one and the
// direct one): a catch as its text, number and flag, a short as two bytes,
// low first.
CATCH_ITEM get_catch(BYTE_SOURCE& in);
void put_catch(BYTE_SINK& out, const CATCH_ITEM& item);
void put_short(BYTE_SINK& out, uint16_t value);

// One decoded field.  Which member is used depends on the field's encoding:
// numbers (all integer encodings, bools as their raw byte, type refs) in num,
// strings and counted bytes in text, positions in pos, the lists in their
// vectors.  Fields absent in the unit's version have present == false.
struct FIELD_VALUE {
    bool present = true;
    int64_t num = 0;
    std::string text;
    POS_VALUE pos;
    std::vector<std::string> strings;
    std::vector<uint16_t> shorts;
    std::vector<CATCH_ITEM> catches;

    void clear();
};

// Tells whether a type id names a signed type, for the encodings that depend
// on it.
class SIGN_ORACLE {
public:
    virtual ~SIGN_ORACLE() = default;
    virtual bool is_signed(uint32_t type_id) const = 0;
};

struct CODEC_CONTEXT {
    int version = ICODE_NEWEST_VERSION;
    const SIGN_ORACLE* oracle = nullptr;  // without one every type is unsigned
};

// A decoded record: its layout, the selected tail and one value per field of
// head and tail, in layout order.
struct RECORD {
    uint8_t kind = 0;
    const RECORD_LAYOUT* layout = nullptr;
    const LAYOUT_PART* tail = nullptr;
    std::vector<FIELD_VALUE> values;

    size_t field_count() const { return values.size(); }
    const FIELD_DESC& desc(size_t i) const;
    // Index of the first field with this name that is present, or -1.
    int find(const char* name) const;
    // The numeric value of a named field (0 when absent).
    int64_t num(const char* name) const;
    const std::string& text(const char* name) const;
    const FIELD_VALUE* value(const char* name) const;
    FIELD_VALUE* value(const char* name);

    // Sets up the record for a kind (and, for kinds with tails, the selector
    // value), with every field default: 0, empty, no position.  Returns false
    // when the kind or selector has no layout.
    bool start(uint8_t kind, int version, int64_t selector = 0);
};

// Decodes a whole payload.  Throws DECODE_ERROR when the payload is too
// short for its fields, when the kind or selector has no layout, or when
// ctx.version must be taken from the record itself (the header) and is not.
// Bytes left over after the last field are allowed; `consumed` tells how
// many were used.
void decode_payload(RECORD& rec, uint8_t kind, const uint8_t* data, size_t size, CODEC_CONTEXT ctx,
                    size_t* consumed = nullptr);

// Appends the payload of a record.  Returns false (with a message in *why)
// when a value does not fit its encoding (an i16 out of range).
bool encode_payload(const RECORD& rec, BYTE_SINK& out, CODEC_CONTEXT ctx,
                    std::string* why = nullptr);

// Frames a payload: kind byte, ULEB length, payload.
void frame_record(uint8_t kind, const std::string& payload, BYTE_SINK& out);

}  // namespace icode
