// What the parts of the I-code writer share beyond IcodeFile itself.
#pragma once

#include <cstdint>
#include <new>

#include "icode/encoding.h"
#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/record_codec.h"
#include "icode/record_direct.h"

namespace icode {

class TYPE_PKG;

// Answers the codec's signedness questions for a unit being written.  The
// writer writes the package's own type ids, so an id names the package type
// that carries it; ids the package never gave out are unsigned.
class PACKAGE_SIGNS : public SIGN_ORACLE {
public:
    explicit PACKAGE_SIGNS(const TYPE_PKG* package) : package_(package) {}
    bool is_signed(uint32_t type_id) const override;

private:
    const TYPE_PKG* package_;
};

// Appends the payload of a record being written.  A value that does not fit
// its field stops the process with the writer's fixed text; the only field
// that can refuse a value is a 16-bit one.
void encode_written_payload(const RECORD& rec, BYTE_SINK& out, const CODEC_CONTEXT& ctx);

// The size at which the write buffer is handed to the stream.
constexpr size_t WRITE_BUFFER_SIZE = size_t(1) << 20;

inline size_t IcodeFile::open_record(uint8_t kind) {
    std::string& bytes = out_.bytes();
    const size_t start = bytes.size();
    bytes.push_back(char(kind));
    bytes.push_back('\0');
    return start;
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
    if (capture_) {
        capture_->append(bytes, start, std::string::npos);
        bytes.resize(start);
    } else if (bytes.size() >= WRITE_BUFFER_SIZE) {
        flush_output();
    }
    follow_depth(*layout_of(kind));
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

template <const LAYOUT_PART& P>
void IcodeFile::emit(uint8_t kind, const DIRECT_VALUE* values) {
    const size_t start = open_record(kind);
    PACKAGE_SIGNS signs(types_);
    encode_written_fields<P>(out_, version_, values, 0, &signs);
    close_record(start, kind);
}

template <const LAYOUT_PART& HEAD, const LAYOUT_PART& TAIL>
void IcodeFile::emit_node(const DIRECT_VALUE* values) {
    const size_t start = open_record(REC_NODE);
    PACKAGE_SIGNS signs(types_);
    encode_written_fields<HEAD>(out_, version_, values, 0, &signs);
    encode_written_fields<TAIL>(out_, version_, values, HEAD.fields.size(), &signs);
    close_record(start, REC_NODE);
}

}  // namespace icode
