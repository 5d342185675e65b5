// What the parts of the I-code writer share beyond IcodeFile itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>

#include "icode/encoding.h"
#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/record_codec.h"
#include "icode/record_direct.h"
#include "icode/record_direct_write.h"
#include "icode/type_core.h"

namespace icode {

class TYPE_PKG;

// Answers the codec's signedness questions for a unit being written.  The
// writer writes the package's own type ids, so an id names the package type
// that carries it; ids the package never gave out are unsigned.
class PACKAGE_SIGNS : public SIGN_ORACLE {
public:
    explicit PACKAGE_SIGNS(const TYPE_PKG* package) : package_(package) {}
    bool is_signed(uint32_t type_id) const override;
    // The same answer asked with the (resolved) type that the id was taken
    // from: where a node is written its type is at hand, and its integer
    // constant's encoding needs no search by id.
    bool is_signed_type(const TYPE* type) const;

private:
    const TYPE_PKG* package_;
};

// The type a record names, marked as named so that the type section has
// it; null for none.
inline TYPE* referenced_type(TYPE* type) {
    if (!type) return nullptr;
    TYPE* t = type->resolved();
    t->set_referenced(true);
    return t;
}

// Appends the payload of a record being written.  A value that does not fit
// its field stops the process with the writer's fixed text; the only field
// that can refuse a value is a 16-bit one.
void encode_written_payload(const RECORD& rec, BYTE_SINK& out, const CODEC_CONTEXT& ctx);

// The size at which the write buffer is handed to the stream.
constexpr size_t WRITE_BUFFER_SIZE = size_t(1) << 20;

inline size_t IcodeFile::open_record(uint8_t kind) {
    std::string& bytes = out_.bytes();
    bytes.clear();
    bytes.push_back(char(kind));
    bytes.push_back('\0');
    return 0;
}

inline void IcodeFile::close_record(size_t start, uint8_t kind) {
    // The payload was built behind a one-byte length; a longer length (128
    // bytes of payload or more) moves it.
    std::string& bytes = out_.bytes();
    const size_t length = bytes.size() - start - 2;
    if (length < 0x80)
        bytes[start + 1] = char(length);
    else
        bytes.replace(start + 1, 1, uleb_bytes(uint32_t(length)));
    send_record(bytes.data() + start, bytes.size() - start, kind);
}

inline void IcodeFile::put_block(const char* bytes, size_t length) {
    if (block_capacity_ - block_size_ < length) grow_block(length);
    std::memcpy(block_.get() + block_size_, bytes, length);
    block_size_ += length;
}

// A record of at most this many payload bytes is built whole, in place at
// the end of the block or on the stack (its length then fits one byte).
constexpr size_t BUILT_ON_STACK = 0x7f;

// Inline: every name node asks it.
inline uint32_t IcodeFile::table_index(const SYMTAB* symbol) const {
    // Local symbols are not registered with the writer: a function is
    // written with the locals it was read with, at the same positions.
    const int index = !symbol                       ? -1
                      : symbol->output_index() >= 0 ? symbol->output_index()
                                                    : symbol->index();
    if (index < 0) symbol_not_in_table(symbol ? symbol->name() : "");
    return uint32_t(index);
}

inline uint8_t* IcodeFile::record_room(uint8_t* stacked, size_t most) {
    if (capture_ || block_capacity_ - block_size_ < most) return stacked;
    return reinterpret_cast<uint8_t*>(block_.get() + block_size_);
}

// Sets the depth as a record of kind KIND does: nothing to do, for most
// kinds, known when the writer is compiled.
template <uint8_t KIND>
inline void IcodeFile::follow_depth_of() {
    if constexpr (layout_of_kind(KIND).depth != DEPTH_EFFECT::NONE)
        follow_depth(layout_of_kind(KIND));
}

template <uint8_t KIND>
inline void IcodeFile::append_record(uint8_t* record, const uint8_t* end, bool fits) {
    // A value that does not fit stops the writer with the record open: its
    // length not yet set, its fields up to that value written.
    record[1] = fits ? uint8_t(end - record - 2) : 0;
    if (!fits) value_exceeds_short();
    const size_t length = size_t(end - record);
    if (record != reinterpret_cast<uint8_t*>(block_.get() + block_size_))
        return send_record(reinterpret_cast<const char*>(record), length, KIND);
    // Built in place at the end of the block.
    block_size_ += length;
    if (block_size_ >= WRITE_BUFFER_SIZE) flush_output();
    follow_depth_of<KIND>();
}

inline uint8_t* IcodeFile::text_record_room(size_t payload_most) {
    // Kind, the longest length, the payload.
    const size_t most = 1 + LEB_MAX_BYTES + payload_most;
    if (capture_ || block_capacity_ - block_size_ < most) return nullptr;
    return reinterpret_cast<uint8_t*>(block_.get() + block_size_);
}

inline void IcodeFile::append_text_record(uint8_t* record, const uint8_t* end) {
    // The payload was built behind a one-byte length; a longer length (128
    // bytes of payload or more) moves it.
    const size_t length = size_t(end - record - 2);
    size_t length_bytes = 1;
    if (length < 0x80) {
        record[1] = uint8_t(length);
    } else {
        uint8_t encoded[LEB_MAX_BYTES];
        RAW_SINK sink{encoded};
        sink.put_uleb(uint32_t(length));
        length_bytes = size_t(sink.p - encoded);
        std::memmove(record + 1 + length_bytes, record + 2, length);
        std::memcpy(record + 1, encoded, length_bytes);
    }
    block_size_ += 1 + length_bytes + length;
    if (block_size_ >= WRITE_BUFFER_SIZE) flush_output();
}

// Appends the fields of part P (from values[base]) to a record being
// written, with the writer's fixed texts for what cannot be written.
template <const LAYOUT_PART& P>
void encode_written_fields(BYTE_SINK& out, int version, const DIRECT_VALUE* values, size_t base,
                           const SIGN_ORACLE* signs) {
    bool fits = false;
    try {
        fits = encode_fields<P>(out, version, values, base, signs);
    } catch (const std::bad_alloc&) {
        write_buffer_exceeded();
    }
    if (!fits) value_exceeds_short();
}

template <uint8_t KIND>
void IcodeFile::emit(const DIRECT_VALUE* values) {
    constexpr const LAYOUT_PART& P = HEAD_OF<KIND>;
    PACKAGE_SIGNS signs(types_);
    if constexpr (most_bytes(P) <= BUILT_ON_STACK) {
        uint8_t stacked[2 + most_bytes(P)];
        uint8_t* const record = record_room(stacked, sizeof stacked);
        record[0] = KIND;
        RAW_SINK raw{record + 2};
        int version = version_;
        const bool fits = encode_fields<P>(raw, version, values, 0, &signs);
        append_record<KIND>(record, raw.p, fits);
    } else if (uint8_t* const record = text_record_room(payload_bound(P, values))) {
        record[0] = KIND;
        RAW_SINK raw{record + 2};
        int version = version_;
        if (!encode_fields<P>(raw, version, values, 0, &signs)) value_exceeds_short();
        append_text_record(record, raw.p);
        follow_depth_of<KIND>();
    } else {
        const size_t start = open_record(KIND);
        encode_written_fields<P>(out_, version_, values, 0, &signs);
        close_record(start, KIND);
    }
}

template <uint8_t KIND>
void IcodeFile::put_record(const NUMBERS<HEAD_OF<KIND>>& values) {
    constexpr const LAYOUT_PART& P = HEAD_OF<KIND>;
    static_assert(most_bytes(P) <= BUILT_ON_STACK, "a short record");
    uint8_t stacked[2 + most_bytes(P)];
    uint8_t* const record = record_room(stacked, sizeof stacked);
    record[0] = KIND;
    RAW_SINK raw{record + 2};
    const bool fits = put_numbers<P>(raw, version_, values);
    append_record<KIND>(record, raw.p, fits);
}

// Whether a tree's records may be built straight at the end of the block,
// one after the other: not capturing, and however full the block gets
// before it is flushed (after any record that reaches the flushing size),
// room for a short record.  Records written in between keep it so.
inline bool IcodeFile::tree_in_block() const {
    return !capture_ && block_size_ < WRITE_BUFFER_SIZE &&
           block_capacity_ >= WRITE_BUFFER_SIZE + 2 + BUILT_ON_STACK;
}

template <const LAYOUT_PART& LEAF>
void IcodeFile::put_node(bool in_block, const NUMBERS<layout_table::NODE>& head,
                         const NUMBERS<LEAF>& leaf, bool value_signed) {
    constexpr const LAYOUT_PART& HEAD = layout_table::NODE;
    static_assert(&HEAD_OF<REC_NODE> == &HEAD, "the node head");
    static_assert(most_bytes(HEAD) + most_bytes(LEAF) <= BUILT_ON_STACK, "a short record");
    static_assert(layout_of_kind(REC_NODE).depth == DEPTH_EFFECT::NONE, "no depth to follow");
    uint8_t stacked[2 + most_bytes(HEAD) + most_bytes(LEAF)];
    uint8_t* const record = in_block ? reinterpret_cast<uint8_t*>(block_.get() + block_size_)
                                     : record_room(stacked, sizeof stacked);
    record[0] = REC_NODE;
    RAW_SINK raw{record + 2};
    // Each part starts from the unit's version, as in emit_node.
    const bool fits = put_numbers<HEAD>(raw, version_, head) &&
                      put_numbers<LEAF>(raw, version_, leaf, value_signed);
    if (!in_block || !fits) return append_record<REC_NODE>(record, raw.p, fits);
    const size_t length = size_t(raw.p - record);
    record[1] = uint8_t(length - 2);
    block_size_ += length;
    if (block_size_ >= WRITE_BUFFER_SIZE) flush_output();
}

template <const LAYOUT_PART& HEAD, const LAYOUT_PART& TAIL>
void IcodeFile::emit_node(const DIRECT_VALUE* values) {
    PACKAGE_SIGNS signs(types_);
    constexpr size_t TAIL_AT = HEAD.fields.size();
    // Each part starts from the unit's version, as the fields of one part
    // alone can change it.
    auto encode_parts = [&](RAW_SINK& raw) {
        int version = version_;
        const bool fits = encode_fields<HEAD>(raw, version, values, 0, &signs);
        version = version_;
        return fits && encode_fields<TAIL>(raw, version, values, TAIL_AT, &signs);
    };
    if constexpr (most_bytes(HEAD) <= BUILT_ON_STACK && most_bytes(TAIL) <= BUILT_ON_STACK &&
                  most_bytes(HEAD) + most_bytes(TAIL) <= BUILT_ON_STACK) {
        uint8_t stacked[2 + most_bytes(HEAD) + most_bytes(TAIL)];
        uint8_t* const record = record_room(stacked, sizeof stacked);
        record[0] = REC_NODE;
        RAW_SINK raw{record + 2};
        const bool fits = encode_parts(raw);
        append_record<REC_NODE>(record, raw.p, fits);
    } else if (uint8_t* const record = text_record_room(payload_bound(HEAD, values) +
                                                        payload_bound(TAIL, values + TAIL_AT))) {
        record[0] = REC_NODE;
        RAW_SINK raw{record + 2};
        if (!encode_parts(raw)) value_exceeds_short();
        append_text_record(record, raw.p);
        follow_depth_of<REC_NODE>();
    } else {
        const size_t start = open_record(REC_NODE);
        encode_written_fields<HEAD>(out_, version_, values, 0, &signs);
        encode_written_fields<TAIL>(out_, version_, values, TAIL_AT, &signs);
        close_record(start, REC_NODE);
    }
}

}  // namespace icode
