// Byte-level reading of an I-code unit from a stream.
//
// Positions are relative to the unit's base (the stream position at open).
// A kind byte read at the end of the file reads as 255, the end record.  A
// record's payload is read whole, after checking that its length stays
// within the file, so a damaged length can never make the reader allocate
// more than the file holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace icode {

class ICODE_INPUT {
public:
    // Sets full buffering with a 32768-byte buffer and records the base.
    explicit ICODE_INPUT(FILE* stream);
    ICODE_INPUT(const ICODE_INPUT&) = delete;
    ICODE_INPUT& operator=(const ICODE_INPUT&) = delete;

    FILE* stream() const { return stream_; }
    long base() const { return base_; }
    long tell() const { return pos_; }
    // Bytes between the current position and the end of the file.
    uint64_t remaining() const { return pos_ < size_ ? uint64_t(size_ - pos_) : 0; }
    uint64_t size() const { return uint64_t(size_); }
    bool seek(long offset);

    // One byte; 255 at the end of the file.
    uint8_t read_u8();
    // A ULEB from the stream; false when the file ends inside it.
    bool read_uleb(uint32_t& value);
    // Reads exactly n bytes into out; false when the file is shorter.
    bool read_bytes(size_t n, std::string& out);
    // The stream keeps using the buffer until it is closed; a stream that is
    // left open when this object goes away keeps the buffer for good.
    void keep_buffer_with_stream() { (void)buffer_.release(); }

private:
    FILE* stream_;
    long base_ = 0;
    long pos_ = 0;   // relative to base
    long size_ = 0;  // relative to base
    std::unique_ptr<char[]> buffer_;
};

}  // namespace icode
