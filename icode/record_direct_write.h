// What the writer adds to the direct codec to build records in place.
//
// The records whose fields are all numbers (node records, labels) are
// written straight from the numbers at hand into memory with room for
// them.  The writer meets these records once per node and per statement;
// the direct codec (record_direct.h) takes its values from an array of
// DIRECT_VALUEs (number, text and position each), and filling and clearing
// one per record costs more than encoding the few bytes.  Here a part's
// values are a plain array of numbers, placed by field name as the layout
// table names them, and the signedness of a value that follows a type
// comes from the writer, which holds the type itself rather than its id.
//
// For the other records: the layout of a kind at compile time, and the
// most bytes a payload with texts can take, so that it too can be built in
// place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "icode/encoding.h"
#include "icode/record_direct.h"

namespace icode {

// The layout of a record kind, for constant expressions: a kind without
// layout does not compile.
constexpr const RECORD_LAYOUT& layout_of_kind(uint8_t kind) {
    return layout_table::RECORD_LAYOUTS[layout_table::LAYOUT_PLACES[kind]];
}

// The head of a record kind's layout.
template <uint8_t KIND>
constexpr const LAYOUT_PART& HEAD_OF = *layout_of_kind(KIND).head_part;

// Below this a number has the same signed and unsigned LEB128 form: one
// byte, whose bit 6 (the sign of a signed form) is clear.
inline constexpr uint32_t LEB_SIGN_FREE = 64;

// The most bytes the fields of a part take with these values: for a text
// (string, counted bytes, list) its bytes and what may frame them.
inline size_t payload_bound(const LAYOUT_PART& part, const DIRECT_VALUE* values) {
    size_t total = 0;
    for (size_t i = 0; i < part.fields.size(); ++i) {
        const size_t most = max_encoded_size(part.fields[i].enc);
        total += most != 0 ? most : LEB_MAX_BYTES + 1 + values[i].text.size();
    }
    return total;
}

// An encoding that takes one number.
constexpr bool is_number_encoding(ENC enc) {
    switch (enc) {
        case ENC::U8:
        case ENC::BOOL:
        case ENC::I8:
        case ENC::I16:
        case ENC::U32:
        case ENC::ULEB:
        case ENC::SLEB:
        case ENC::TYPEREF:
        case ENC::SIGNED_BY_TYPE: return true;
        default: return false;
    }
}

// Every field of the part takes one number.
constexpr bool numbers_only(const LAYOUT_PART& part) {
    for (size_t i = 0; i < part.fields.size(); ++i)
        if (!is_number_encoding(part.fields[i].enc)) return false;
    return true;
}

// The values of part P's fields in layout order: NUMBERS<P> n{};
// n[field_index(P, "name")] = ...
template <const LAYOUT_PART& P>
using NUMBERS = std::array<int64_t, P.fields.size()>;

namespace direct_detail {

template <const LAYOUT_PART& P, size_t I>
inline bool put_number(RAW_SINK& out, int& version, const NUMBERS<P>& values, bool value_signed) {
    constexpr FIELD_DESC d = P.fields[I];
    static_assert(is_number_encoding(d.enc), "a field of numbers only");
    const int64_t v = values[I];
    if constexpr (!d.always_present())
        if (!d.present_in(version)) return true;
    if constexpr (d.enc == ENC::U8 || d.enc == ENC::BOOL || d.enc == ENC::I8) {
        out.put_u8(uint8_t(v));
    } else if constexpr (d.enc == ENC::I16) {
        if (!out.put_i16(v)) return false;
    } else if constexpr (d.enc == ENC::U32) {
        out.put_u32(uint32_t(v));
    } else if constexpr (d.enc == ENC::ULEB || d.enc == ENC::TYPEREF) {
        out.put_uleb(uint32_t(v));
    } else if constexpr (d.enc == ENC::SLEB) {
        out.put_sleb(int32_t(v));
    } else {
        if (value_signed)
            out.put_sleb(int32_t(v));
        else
            out.put_uleb(uint32_t(v));
    }
    if constexpr (d.sets_version) version = int(v);
    return true;
}

template <const LAYOUT_PART& P, size_t... I>
inline bool put_all([[maybe_unused]] RAW_SINK& out, [[maybe_unused]] int version,
                    [[maybe_unused]] const NUMBERS<P>& values, [[maybe_unused]] bool value_signed,
                    std::index_sequence<I...>) {
    return (put_number<P, I>(out, version, values, value_signed) && ...);
}

}  // namespace direct_detail

// Appends the fields of part P, which must all be numbers, to memory with
// room for most_bytes(P) bytes; the same bytes encode_fields<P> gives for
// the same numbers.  A field whose encoding follows a type (SIGNED_BY_TYPE)
// is signed LEB128 when value_signed is set.  False when a value does not
// fit its field (only a 16-bit field can refuse one); what was written
// before it stays.
template <const LAYOUT_PART& P>
inline bool put_numbers(RAW_SINK& out, int version, const NUMBERS<P>& values,
                        bool value_signed = false) {
    static_assert(numbers_only(P), "put_numbers writes parts of numbers only");
    return direct_detail::put_all<P>(out, version, values, value_signed,
                                     std::make_index_sequence<P.fields.size()>());
}

}  // namespace icode
