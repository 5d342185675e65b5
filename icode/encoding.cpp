// The primitive encodings: integers of fixed width, LEB128 numbers,
// strings and counted bytes, written to BYTE_SINK and read from BYTE_SOURCE.
#include "icode/encoding.h"

#include <cstring>

namespace icode {

bool BYTE_SINK::put_i16(int64_t v) {
    uint8_t bytes[2];
    RAW_SINK raw{bytes};
    if (!raw.put_i16(v)) return false;
    put_bytes(bytes, 2);
    return true;
}

void BYTE_SINK::put_u32(uint32_t v) {
    uint8_t bytes[4];
    RAW_SINK raw{bytes};
    raw.put_u32(v);
    put_bytes(bytes, 4);
}

void BYTE_SINK::put_uleb_long(uint32_t v) {
    uint8_t bytes[LEB_MAX_BYTES];
    RAW_SINK raw{bytes};
    raw.put_uleb(v);
    put_bytes(bytes, size_t(raw.p - bytes));
}

void BYTE_SINK::put_sleb(int32_t v) {
    uint8_t bytes[LEB_MAX_BYTES];
    RAW_SINK raw{bytes};
    raw.put_sleb(v);
    put_bytes(bytes, size_t(raw.p - bytes));
}

void BYTE_SINK::put_string(const std::string& s) {
    buf_.append(s.c_str(), std::strlen(s.c_str()));
    buf_.push_back('\0');
}

uint16_t BYTE_SOURCE::get_u16() {
    uint16_t lo = get_u8();
    uint16_t hi = get_u8();
    return uint16_t(lo | (hi << 8));
}

int16_t BYTE_SOURCE::get_i16() { return int16_t(get_u16()); }

uint32_t BYTE_SOURCE::get_u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(get_u8()) << (8 * i);
    return v;
}

uint32_t BYTE_SOURCE::get_uleb_long() {
    // A value of up to five bytes lying whole in the source needs no check
    // of the end per byte.
    if (end_ - p_ >= 5) {
        const uint8_t* p = p_;
        uint32_t v = 0;
        for (unsigned shift = 0; shift < 35; shift += 7) {
            const uint8_t byte = *p++;
            v |= uint32_t(byte & 0x7f) << shift;
            if (!(byte & 0x80)) {
                p_ = p;
                return v;
            }
        }
    }
    // No byte limit: bits shifted beyond 32 are lost, as the format says.
    uint32_t v = 0;
    unsigned shift = 0;
    uint8_t byte;
    do {
        byte = get_u8();
        if (shift < 32) v |= uint32_t(byte & 0x7f) << shift;
        shift += 7;
    } while (byte & 0x80);
    return v;
}

int32_t BYTE_SOURCE::get_sleb() {
    uint32_t v = 0;
    unsigned shift = 0;
    uint8_t byte;
    do {
        byte = get_u8();
        if (shift < 32) v |= uint32_t(byte & 0x7f) << shift;
        shift += 7;
    } while (byte & 0x80);
    if (shift < 32 && (byte & 0x40)) v |= ~uint32_t(0) << shift;
    return int32_t(v);
}

std::string uleb_bytes(uint32_t v) {
    BYTE_SINK s;
    s.put_uleb(v);
    return s.bytes();
}

std::string sleb_bytes(int32_t v) {
    BYTE_SINK s;
    s.put_sleb(v);
    return s.bytes();
}

}  // namespace icode
