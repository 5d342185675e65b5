// Byte-level reading of an I-code unit from a stream.
//
// The unit is read in blocks of a megabyte, and records are decoded from
// the block in place: no stdio call per record or field.  Positions are
// relative to the unit's base (the stream position at open).
// A kind byte read at the end of the file reads as 255, the end record.  A
// record's payload is read whole, after checking that its length stays
// within the file, so a damaged length can never make the reader allocate
// more than the file holds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "icode/encoding.h"

namespace icode {

class ICODE_INPUT {
public:
    // Sets full buffering with a 32768-byte buffer and records the base.
    explicit ICODE_INPUT(FILE* stream);
    ~ICODE_INPUT();
    ICODE_INPUT(const ICODE_INPUT&) = delete;
    ICODE_INPUT& operator=(const ICODE_INPUT&) = delete;

    FILE* stream() const { return stream_; }
    long base() const { return base_; }
    long tell() const { return pos_; }
    // Bytes between the current position and the end of the file.
    uint64_t remaining() const { return pos_ < size_ ? uint64_t(size_ - pos_) : 0; }
    uint64_t size() const { return uint64_t(size_); }
    bool seek(long offset) {
        pos_ = offset;
        return true;
    }

    // One byte; 255 at the end of the file.
    uint8_t read_u8() {
        if (pos_ - block_pos_ < block_len_ && pos_ >= block_pos_)
            return block_[pos_++ - block_pos_];
        return read_u8_slow();
    }
    // A ULEB from the stream; false when the file ends inside it.
    bool read_uleb(uint32_t& value) {
        if (pos_ - block_pos_ < block_len_ && pos_ >= block_pos_) {
            uint8_t c = block_[pos_ - block_pos_];
            if (c < 0x80) {
                ++pos_;
                value = c;
                return true;
            }
        }
        return read_uleb_slow(value);
    }
    // The bytes of the block from the current position on, all of them
    // bytes of the file, for decoding records in place; none when the
    // position is outside the block.  Reading stops at the block's end,
    // where the caller takes the general way (read_fields), which reads on.
    BYTE_SOURCE bytes_at_hand() const {
        if (pos_ >= block_pos_ && pos_ - block_pos_ < block_len_)
            return BYTE_SOURCE(block_.get() + (pos_ - block_pos_),
                               size_t(block_len_ - (pos_ - block_pos_)));
        return BYTE_SOURCE(nullptr, 0);
    }
    // Moves the position to a point of the bytes at hand.
    void move_to(const uint8_t* p) { pos_ = block_pos_ + long(p - block_.get()); }
    // Reads exactly n bytes into out; false when the file is shorter.
    bool read_bytes(size_t n, std::string& out);
    // Decodes the fields of a record whose header has just been read.
    // `decode` (const uint8_t* data, size_t size) -> size_t gets the bytes
    // from the current position and returns how many its fields took, or
    // throws DECODE_ERROR when they do not fit.  A record is what its fields
    // are: the length is checked against the file but does not delimit the
    // fields, so when they run on past a short length they are decoded from
    // more of the file.  False when the length or the fields run past the
    // end of the file or cannot be decoded; else the position is after the
    // fields.  `buffer` holds the bytes; nothing larger than the rest of the
    // file is ever read into it.
    template <class DECODE>
    bool read_fields(uint32_t length, std::string& buffer, DECODE&& decode);
    // The stream keeps using the buffer until it is closed; a stream that is
    // left open when this object goes away keeps the buffer for good.  Such
    // buffers stay on a process-wide list, so that one whose stream is later
    // closed by its owner (after a refused open) is still accounted for.
    void keep_buffer_with_stream();
    // Frees the kept buffers, for tests and fuzzing that read many units in
    // one process: every stream they served must be closed by then.
    static void release_kept_buffers();

private:
    uint8_t read_u8_slow();
    bool read_uleb_slow(uint32_t& value);
    // The n bytes at the current position, in the block or (when they do
    // not fit it) in `spill`; null when the file ends before them.  The
    // position does not move.
    const uint8_t* bytes_at(size_t n, std::string& spill) {
        // The block holds only bytes of the file: n bytes in it are there.
        if (pos_ >= block_pos_ && uint64_t(pos_ - block_pos_) + n <= uint64_t(block_len_))
            return block_.get() + (pos_ - block_pos_);
        return bytes_at_slow(n, spill);
    }
    const uint8_t* bytes_at_slow(size_t n, std::string& spill);
    // Reads the block anew from the current position; false when there is
    // nothing left to read.
    bool fill_block();

    FILE* stream_;
    long base_ = 0;
    long pos_ = 0;   // relative to base
    long size_ = 0;  // relative to base
    std::unique_ptr<char[]> buffer_;
    // The block: block_len_ bytes of the unit from block_pos_ on.
    std::unique_ptr<uint8_t[]> block_;
    long block_size_ = 0;
    long block_pos_ = 0;
    long block_len_ = 0;
    long stream_pos_ = 0;  // where the stream stands, relative to base
};

template <class DECODE>
bool ICODE_INPUT::read_fields(uint32_t length, std::string& buffer, DECODE&& decode) {
    const uint64_t rest = remaining();
    if (length > rest) return false;
    const long start = pos_;
    size_t window = length;
    for (;;) {
        const uint8_t* data = bytes_at(window, buffer);
        if (!data) return false;
        try {
            size_t used = decode(data, window);
            pos_ = start + long(used);
            return true;
        } catch (const DECODE_ERROR&) {
            // Damage costs at most twice the rest of the file: the window
            // doubles until it holds all of it.
            if (window >= rest) return false;
            window = size_t(std::min<uint64_t>(rest, std::max<uint64_t>(2 * uint64_t(window), 64)));
        }
    }
}

}  // namespace icode
