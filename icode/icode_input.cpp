// ICODE_INPUT: positioned byte reading of a unit from its stream, a block
// at a time.
#include "icode/icode_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace icode {

namespace {

// A block is a megabyte, or the whole unit when it is smaller: what the
// reader allocates stays within the size of the file.
constexpr long MOST_BLOCK = 1L << 20;

}  // namespace

ICODE_INPUT::~ICODE_INPUT() = default;

ICODE_INPUT::ICODE_INPUT(FILE* stream) : stream_(stream), buffer_(new char[32768]) {
    std::setvbuf(stream_, buffer_.get(), _IOFBF, 32768);
    base_ = std::ftell(stream_);
    if (base_ < 0) base_ = 0;
    struct stat st;
    if (fstat(fileno(stream_), &st) == 0 && S_ISREG(st.st_mode)) {
        size_ = long(st.st_size) - base_;
    } else if (std::fseek(stream_, 0, SEEK_END) == 0) {
        size_ = std::ftell(stream_) - base_;
        std::fseek(stream_, base_, SEEK_SET);
    }
    if (size_ < 0) size_ = 0;
    stream_pos_ = 0;
    block_size_ = std::max(1L, std::min(size_, MOST_BLOCK));
    block_.reset(new uint8_t[size_t(block_size_)]);
}

namespace {

std::vector<std::unique_ptr<char[]>>& kept_buffers() {
    static std::vector<std::unique_ptr<char[]>> kept;
    return kept;
}

}  // namespace

void ICODE_INPUT::keep_buffer_with_stream() {
    if (buffer_) kept_buffers().push_back(std::move(buffer_));
}

void ICODE_INPUT::release_kept_buffers() { kept_buffers().clear(); }

bool ICODE_INPUT::fill_block() {
    if (stream_pos_ != pos_) {
        if (std::fseek(stream_, base_ + pos_, SEEK_SET) != 0) return false;
        stream_pos_ = pos_;
    }
    size_t got = std::fread(block_.get(), 1, size_t(block_size_), stream_);
    stream_pos_ += long(got);
    block_pos_ = pos_;
    block_len_ = long(got);
    return got != 0;
}

uint8_t ICODE_INPUT::read_u8_slow() {
    if (!fill_block()) return 255;
    return block_[pos_++ - block_pos_];
}

bool ICODE_INPUT::read_uleb_slow(uint32_t& value) {
    value = 0;
    unsigned shift = 0;
    for (;;) {
        if (pos_ < block_pos_ || pos_ - block_pos_ >= block_len_) {
            if (!fill_block()) return false;
        }
        uint8_t c = block_[pos_++ - block_pos_];
        if (shift < 32) value |= uint32_t(c & 0x7f) << shift;
        shift += 7;
        if (!(c & 0x80)) return true;
    }
}

const uint8_t* ICODE_INPUT::bytes_at_slow(size_t n, std::string& spill) {
    if (n > remaining()) return nullptr;
    if (n <= size_t(block_size_)) {
        if (!fill_block() || size_t(block_len_) < n) return nullptr;
        return block_.get();
    }
    // Larger than a block: read into the spill buffer.
    if (stream_pos_ != pos_) {
        if (std::fseek(stream_, base_ + pos_, SEEK_SET) != 0) return nullptr;
        stream_pos_ = pos_;
    }
    spill.resize(n);
    size_t got = std::fread(&spill[0], 1, n, stream_);
    stream_pos_ += long(got);
    return got == n ? reinterpret_cast<const uint8_t*>(spill.data()) : nullptr;
}

bool ICODE_INPUT::read_bytes(size_t n, std::string& out) {
    if (n > remaining()) return false;
    const uint8_t* data = bytes_at(n, out);
    if (!data) return false;
    if (data != reinterpret_cast<const uint8_t*>(out.data()))
        out.assign(reinterpret_cast<const char*>(data), n);
    pos_ += long(n);
    return true;
}

}  // namespace icode
