// The direct codec: each part of the layout table compiled into straight
// code that decodes a payload from the bytes (or encodes it to a sink) with
// every field's position and encoding fixed at compile time.
//
// The generic codec (record_codec.h) walks a layout at run time and keeps
// each field in a FIELD_VALUE that it finds again by name; that suits the
// text form and the tools.  The reader and the writer handle millions of
// records, so they go through this one instead: the same tables, no
// allocation, no look-up by name (field_index() is evaluated by the
// compiler), strings as views of the record's bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "icode/record_codec.h"

namespace icode {

// One field.  Numbers (all integer encodings, bools as their raw byte, type
// refs) in num, strings and counted bytes in text, positions in pos.  A
// list has its item count in num and its items, encoded, in text (see
// direct_list() for lists to be written).  Fields absent in the unit's
// version stay zero.
struct DIRECT_VALUE {
    int64_t num = 0;
    std::string_view text;
    POS_VALUE pos;
};

// The most fields a record has, head and tail together, and the most leaf
// fields a node has (both checked against the table in record_direct.cpp).
inline constexpr size_t DIRECT_MAX_FIELDS = 24;
inline constexpr size_t NODE_MAX_LEAF_FIELDS = 3;
// Opcodes 0 to NODE_OPCODES - 1 have node layouts.
inline constexpr int NODE_OPCODES = 164;

// The most bytes a field of this encoding takes; 0 for a size that only the
// value decides (strings, counted bytes, lists).
constexpr size_t max_encoded_size(ENC enc) {
    switch (enc) {
        case ENC::U8:
        case ENC::BOOL:
        case ENC::I8: return 1;
        case ENC::I16: return 2;
        case ENC::U32: return 4;
        case ENC::ULEB:
        case ENC::SLEB:
        case ENC::TYPEREF:
        case ENC::SIGNED_BY_TYPE: return LEB_MAX_BYTES;
        case ENC::POS: return 3 * LEB_MAX_BYTES;
        default: return 0;
    }
}

// What most_bytes() gives for a part some of whose fields have no bound.
inline constexpr size_t NO_BOUND = ~size_t(0);

// The most bytes the fields of a part take, whatever their values.
constexpr size_t most_bytes(const LAYOUT_PART& part) {
    size_t total = 0;
    for (size_t i = 0; i < part.fields.size(); ++i) {
        size_t most = max_encoded_size(part.fields[i].enc);
        if (most == 0) return NO_BOUND;
        total += most;
    }
    return total;
}

// Index of the first field of a part with this name.  Meant for constexpr
// variables: a name the part does not have is then a compile error.
constexpr size_t field_index(const LAYOUT_PART& part, const char* name) {
    for (size_t i = 0; i < part.fields.size(); ++i) {
        const char* a = part.fields[i].name;
        const char* b = name;
        while (*a && *a == *b) ++a, ++b;
        if (*a == *b) return i;
    }
    throw DECODE_ERROR("no such field");
}

// The items of decoded lists.
std::vector<std::string> direct_strings(const DIRECT_VALUE& v);
std::vector<uint16_t> direct_shorts(const DIRECT_VALUE& v);
std::vector<CATCH_ITEM> direct_catches(const DIRECT_VALUE& v);
// A list to be written: its items encoded into `scratch`, which the value
// views, so it must outlive the writing.
DIRECT_VALUE direct_list(const std::vector<std::string>& items, std::string& scratch);
DIRECT_VALUE direct_list(const std::vector<uint16_t>& items, std::string& scratch);
DIRECT_VALUE direct_list(const std::vector<CATCH_ITEM>& items, std::string& scratch);

namespace direct_detail {

// Each element of a counted list takes at least one byte, so a count larger
// than the bytes left is damage; refusing it keeps the work bounded by the
// size of the record.
inline void check_count(uint64_t count, const BYTE_SOURCE& in, size_t min_bytes) {
    if (count * min_bytes > in.remaining()) throw DECODE_ERROR("count runs past the record");
}

inline bool is_signed_field(const DIRECT_VALUE* all, int sign_from, const SIGN_ORACLE* oracle) {
    if (!oracle || sign_from < 0) return false;
    int64_t id = all[sign_from].num;
    return id > 0 && oracle->is_signed(uint32_t(id));
}

template <const LAYOUT_PART& P, size_t I>
inline void decode_one(BYTE_SOURCE& in, int& version, DIRECT_VALUE* all, size_t base,
                       const SIGN_ORACLE* oracle) {
    constexpr FIELD_DESC d = P.fields[I];
    DIRECT_VALUE& v = all[base + I];
    if constexpr (!d.always_present())
        if (!d.present_in(version)) return;
    if constexpr (d.enc == ENC::U8 || d.enc == ENC::BOOL) {
        v.num = in.get_u8();
    } else if constexpr (d.enc == ENC::I8) {
        v.num = in.get_i8();
    } else if constexpr (d.enc == ENC::I16) {
        v.num = in.get_i16();
    } else if constexpr (d.enc == ENC::U32) {
        v.num = in.get_u32();
    } else if constexpr (d.enc == ENC::ULEB || d.enc == ENC::TYPEREF) {
        v.num = in.get_uleb();
    } else if constexpr (d.enc == ENC::SLEB) {
        v.num = in.get_sleb();
    } else if constexpr (d.enc == ENC::SIGNED_BY_TYPE) {
        v.num = is_signed_field(all, d.sign_from, oracle) ? int64_t(in.get_sleb())
                                                          : int64_t(in.get_uleb());
    } else if constexpr (d.enc == ENC::STRING) {
        v.text = in.get_string_view();
    } else if constexpr (d.enc == ENC::COUNTED) {
        uint32_t n = in.get_uleb();
        v.text = in.get_bytes_view(n);
    } else if constexpr (d.enc == ENC::POS) {
        v.pos.file = in.get_uleb();
        if (v.pos.file != 0) {
            v.pos.line = in.get_uleb();
            v.pos.column = in.get_uleb();
        }
    } else if constexpr (d.enc == ENC::STRINGS) {
        uint32_t n = in.get_uleb();
        check_count(n, in, 1);
        const uint8_t* start = in.position();
        for (uint32_t k = 0; k < n; ++k) in.get_string_view();
        v.num = n;
        v.text =
            std::string_view(reinterpret_cast<const char*>(start), size_t(in.position() - start));
    } else if constexpr (d.enc == ENC::U16S) {
        uint8_t n = in.get_u8();
        check_count(n, in, 2);
        v.num = n;
        v.text = in.get_bytes_view(2 * size_t(n));
    } else if constexpr (d.enc == ENC::CATCHES) {
        const uint8_t* start = in.position();
        int64_t n = 0;
        for (; !in.at_end(); ++n) {
            in.get_string_view();
            in.get_uleb();
            in.get_u8();
        }
        v.num = n;
        v.text =
            std::string_view(reinterpret_cast<const char*>(start), size_t(in.position() - start));
    } else {
        static_assert(d.enc == ENC::REST, "every encoding is decoded");
        v.text = in.get_bytes_view(in.remaining());
    }
    if constexpr (d.sets_version) version = int(v.num);
}

template <const LAYOUT_PART& P, size_t I, class SINK>
inline bool encode_one(SINK& out, int& version, const DIRECT_VALUE* all, size_t base,
                       const SIGN_ORACLE* oracle, std::string* why) {
    constexpr FIELD_DESC d = P.fields[I];
    const DIRECT_VALUE& v = all[base + I];
    if constexpr (!d.always_present())
        if (!d.present_in(version)) return true;
    if constexpr (d.enc == ENC::U8 || d.enc == ENC::BOOL || d.enc == ENC::I8) {
        out.put_u8(uint8_t(v.num));
    } else if constexpr (d.enc == ENC::I16) {
        if (!out.put_i16(v.num)) {
            if (why) *why = "value exceeds size of short";
            return false;
        }
    } else if constexpr (d.enc == ENC::U32) {
        out.put_u32(uint32_t(v.num));
    } else if constexpr (d.enc == ENC::ULEB || d.enc == ENC::TYPEREF) {
        out.put_uleb(uint32_t(v.num));
    } else if constexpr (d.enc == ENC::SLEB) {
        out.put_sleb(int32_t(v.num));
    } else if constexpr (d.enc == ENC::SIGNED_BY_TYPE) {
        if (is_signed_field(all, d.sign_from, oracle))
            out.put_sleb(int32_t(v.num));
        else
            out.put_uleb(uint32_t(v.num));
    } else if constexpr (d.enc == ENC::STRING) {
        // Up to the first NUL, as a C string would be.
        std::string_view s = v.text.substr(0, v.text.find('\0'));
        out.put_bytes(s.data(), s.size());
        out.put_u8(0);
    } else if constexpr (d.enc == ENC::COUNTED) {
        out.put_uleb(uint32_t(v.text.size()));
        out.put_bytes(v.text.data(), v.text.size());
    } else if constexpr (d.enc == ENC::POS) {
        out.put_uleb(v.pos.file);
        if (v.pos.file != 0) {
            out.put_uleb(v.pos.line);
            out.put_uleb(v.pos.column);
        }
    } else if constexpr (d.enc == ENC::STRINGS) {
        out.put_uleb(uint32_t(v.num));
        out.put_bytes(v.text.data(), v.text.size());
    } else if constexpr (d.enc == ENC::U16S) {
        if (v.num > 255) {
            if (why) *why = "more than 255 values";
            return false;
        }
        out.put_u8(uint8_t(v.num));
        out.put_bytes(v.text.data(), v.text.size());
    } else if constexpr (d.enc == ENC::CATCHES) {
        out.put_bytes(v.text.data(), v.text.size());
    } else {
        static_assert(d.enc == ENC::REST, "every encoding is encoded");
        out.put_bytes(v.text.data(), v.text.size());
    }
    if constexpr (d.sets_version) version = int(v.num);
    return true;
}

template <const LAYOUT_PART& P, size_t... I>
inline void decode_all([[maybe_unused]] BYTE_SOURCE& in, [[maybe_unused]] int& version,
                       [[maybe_unused]] DIRECT_VALUE* all, [[maybe_unused]] size_t base,
                       [[maybe_unused]] const SIGN_ORACLE* oracle, std::index_sequence<I...>) {
    (decode_one<P, I>(in, version, all, base, oracle), ...);
}

template <const LAYOUT_PART& P, class SINK, size_t... I>
inline bool encode_all([[maybe_unused]] SINK& out, [[maybe_unused]] int& version,
                       [[maybe_unused]] const DIRECT_VALUE* all, [[maybe_unused]] size_t base,
                       [[maybe_unused]] const SIGN_ORACLE* oracle,
                       [[maybe_unused]] std::string* why, std::index_sequence<I...>) {
    return (encode_one<P, I, SINK>(out, version, all, base, oracle, why) && ...);
}

}  // namespace direct_detail

// Decodes the fields of part P into all[base], all[base + 1], ...; fields
// whose encoding depends on a type find it in all[] (head and tail
// together).  Throws DECODE_ERROR when the bytes run out.  A field that
// carries the format version updates `version` for the fields after it.
template <const LAYOUT_PART& P>
inline void decode_fields(BYTE_SOURCE& in, int& version, DIRECT_VALUE* all, size_t base = 0,
                          const SIGN_ORACLE* oracle = nullptr) {
    direct_detail::decode_all<P>(in, version, all, base, oracle,
                                 std::make_index_sequence<P.fields.size()>());
}

// Appends the fields of part P taken from all[base], ...  False (with the
// reason in *why) when a value does not fit its encoding; what was written
// before it stays.  SINK is BYTE_SINK, or RAW_SINK with room for
// most_bytes(P) bytes.
template <const LAYOUT_PART& P, class SINK = BYTE_SINK>
inline bool encode_fields(SINK& out, int& version, const DIRECT_VALUE* all, size_t base = 0,
                          const SIGN_ORACLE* oracle = nullptr, std::string* why = nullptr) {
    return direct_detail::encode_all<P, SINK>(out, version, all, base, oracle, why,
                                              std::make_index_sequence<P.fields.size()>());
}

// ---- the direct code of every part, chosen at run time ----------------------

// For the records read and written seldom enough that one indirect call
// does not matter, and for checking the direct code against the generic.
struct DIRECT_CODEC {
    const LAYOUT_PART* part = nullptr;
    void (*decode)(BYTE_SOURCE&, int&, DIRECT_VALUE*, size_t, const SIGN_ORACLE*) = nullptr;
    bool (*encode)(BYTE_SINK&, int&, const DIRECT_VALUE*, size_t, const SIGN_ORACLE*,
                   std::string*) = nullptr;
};

// The code of a part of the table (a head, a node or type tail, a sub-kind
// tail); null for a part that is not in the table.
const DIRECT_CODEC* direct_codec(const LAYOUT_PART* part);

// The code of a node's leaf data by opcode; null for an opcode without
// layout.
const DIRECT_CODEC* node_leaf_codec(int64_t opcode);

// A whole payload of a record kind through the direct code: head, then the
// tail its selector picks.  Returns the number of fields (head and tail) in
// out[], which must hold DIRECT_MAX_FIELDS.  Throws DECODE_ERROR like
// decode_payload.
size_t decode_direct(uint8_t kind, BYTE_SOURCE& in, CODEC_CONTEXT ctx, DIRECT_VALUE* out);
// Encodes fields laid out as decode_direct leaves them.
bool encode_direct(uint8_t kind, BYTE_SINK& out, CODEC_CONTEXT ctx, const DIRECT_VALUE* values,
                   std::string* why = nullptr);

// Where the fields of a symbol record are, for the reader and the writer.
struct SYMBOL_FIELDS {
    static constexpr const LAYOUT_PART& P = layout_table::SYMBOL;
    static constexpr size_t NAME = field_index(P, "name");
    static constexpr size_t SIZE = field_index(P, "size");
    static constexpr size_t VALUE = field_index(P, "value");
    static constexpr size_t CLASS = field_index(P, "class");
    static constexpr size_t QUALS = field_index(P, "quals");
    static constexpr size_t TYPE = field_index(P, "type");
    static constexpr size_t TYPE2 = field_index(P, "type2");
    static constexpr size_t ALIGN = field_index(P, "align");
    static constexpr size_t PRAGMAS = field_index(P, "pragmas");
    static constexpr size_t DEFOFF = field_index(P, "defoff");
    static constexpr size_t OPT = field_index(P, "opt");
    static constexpr size_t POS = field_index(P, "pos");
    static constexpr size_t REF = field_index(P, "ref");
};

}  // namespace icode
