// Primitive encodings of the I-code format: fixed-width little-endian
// integers, LEB128 numbers, NUL-terminated strings and counted bytes.
//
// BYTE_SINK appends encodings to a growable buffer.  BYTE_SOURCE decodes from
// a bounded span of memory (one record payload); reading past its end throws
// DECODE_ERROR, so a damaged record can never make the decoder run wild.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace icode {

struct DECODE_ERROR : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Appends encodings to memory known to have room for them (a record whose
// fields all have a largest size, see fixed_size() in record_direct.h): no
// check per byte.  BYTE_SINK encodes through it too, so each encoding is
// written once.
struct RAW_SINK {
    uint8_t* p;

    void put_u8(uint8_t v) { *p++ = v; }
    // Accepts -32768..65535 (signed and unsigned shorts); false otherwise,
    // and nothing is written.
    bool put_i16(int64_t v) {
        if (v < -32768 || v > 65535) return false;
        uint16_t u = uint16_t(v);
        put_u8(uint8_t(u & 0xff));
        put_u8(uint8_t(u >> 8));
        return true;
    }
    void put_u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) put_u8(uint8_t(v >> (8 * i)));
    }
    void put_uleb(uint32_t v) {
        // Unrolled: type ids, line numbers and lengths are written for
        // nearly every record.
        if (v < 0x80) return put_u8(uint8_t(v));
        p[0] = uint8_t(v | 0x80);
        if (v < 0x4000) return put_last(1, v >> 7);
        p[1] = uint8_t((v >> 7) | 0x80);
        if (v < 0x200000) return put_last(2, v >> 14);
        p[2] = uint8_t((v >> 14) | 0x80);
        if (v < 0x10000000) return put_last(3, v >> 21);
        p[3] = uint8_t((v >> 21) | 0x80);
        put_last(4, v >> 28);
    }
    void put_bytes(const void* bytes, size_t n) {
        if (n != 0) std::memcpy(p, bytes, n);
        p += n;
    }
    // The last byte of a LEB128 form at p[at], and the form done.
    void put_last(size_t at, uint32_t rest) {
        p[at] = uint8_t(rest);
        p += at + 1;
    }
    void put_sleb(int32_t value) {
        // Shortest form: stop once the rest is all sign and bit 6 of the
        // last byte agrees with that sign.
        int64_t v = value;
        for (;;) {
            uint8_t byte = v & 0x7f;
            v >>= 7;
            bool done = (v == 0 && !(byte & 0x40)) || (v == -1 && (byte & 0x40));
            if (!done) byte |= 0x80;
            put_u8(byte);
            if (done) break;
        }
    }
};

// The most bytes RAW_SINK writes for a number of 32 bits.
inline constexpr size_t LEB_MAX_BYTES = 5;

class BYTE_SINK {
public:
    void put_u8(uint8_t v) { buf_.push_back(char(v)); }
    void put_bool(int64_t v) { put_u8((v & 0xff) != 0 ? 1 : 0); }
    void put_i8(int64_t v) { put_u8(uint8_t(v)); }
    // Accepts -32768..65535 (signed and unsigned shorts); false otherwise,
    // and nothing is written.
    bool put_i16(int64_t v);
    void put_u32(uint32_t v);
    void put_uleb(uint32_t v) {
        if (v < 0x80) return put_u8(uint8_t(v));
        put_uleb_long(v);
    }
    void put_sleb(int32_t v);
    // The bytes of s and a terminating NUL.
    void put_string(const std::string& s);
    void put_bytes(const void* p, size_t n) { buf_.append(static_cast<const char*>(p), n); }
    void put_bytes(const std::string& s) { buf_.append(s); }

    const std::string& bytes() const { return buf_; }
    std::string& bytes() { return buf_; }
    size_t size() const { return buf_.size(); }
    void clear() { buf_.clear(); }

private:
    void put_uleb_long(uint32_t v);

    std::string buf_;
};

class BYTE_SOURCE {
public:
    BYTE_SOURCE(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    size_t remaining() const { return size_t(end_ - p_); }
    bool at_end() const { return p_ == end_; }
    const uint8_t* position() const { return p_; }

    uint8_t get_u8() {
        if (p_ == end_) throw DECODE_ERROR("record ends inside a field");
        return *p_++;
    }
    bool get_bool() { return get_u8() != 0; }
    int8_t get_i8() { return int8_t(get_u8()); }
    int16_t get_i16();
    uint16_t get_u16();
    uint32_t get_u32();
    uint32_t get_uleb() {
        if (p_ != end_ && *p_ < 0x80) return *p_++;
        return get_uleb_long();
    }
    int32_t get_sleb();
    std::string get_string() { return std::string(get_string_view()); }
    std::string get_bytes(size_t n) { return std::string(get_bytes_view(n)); }
    // The same, as views of the bytes decoded from.
    std::string_view get_string_view() {
        // An empty payload may have no bytes at all behind it (a null start).
        const void* nul = remaining() != 0 ? std::memchr(p_, 0, remaining()) : nullptr;
        if (!nul) throw DECODE_ERROR("string without terminator");
        std::string_view s(reinterpret_cast<const char*>(p_),
                           size_t(static_cast<const uint8_t*>(nul) - p_));
        p_ += s.size() + 1;
        return s;
    }
    std::string_view get_bytes_view(size_t n) {
        if (n > remaining()) throw DECODE_ERROR("counted bytes run past the record");
        std::string_view s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }

private:
    uint32_t get_uleb_long();

    const uint8_t* p_;
    const uint8_t* end_;
};

// Shortest encodings of a number, for size computations and tests.
std::string uleb_bytes(uint32_t v);
std::string sleb_bytes(int32_t v);

}  // namespace icode
