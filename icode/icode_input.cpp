// ICODE_INPUT: positioned byte reading of a unit from its stream.
#include "icode/icode_input.h"

#include <sys/stat.h>

#include <vector>

namespace icode {

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

bool ICODE_INPUT::seek(long offset) {
    if (std::fseek(stream_, base_ + offset, SEEK_SET) != 0) return false;
    pos_ = offset;
    return true;
}

uint8_t ICODE_INPUT::read_u8() {
    int c = getc_unlocked(stream_);
    if (c == EOF) return 255;
    ++pos_;
    return uint8_t(c);
}

bool ICODE_INPUT::read_uleb(uint32_t& value) {
    value = 0;
    unsigned shift = 0;
    for (;;) {
        int c = getc_unlocked(stream_);
        if (c == EOF) return false;
        ++pos_;
        if (shift < 32) value |= uint32_t(c & 0x7f) << shift;
        shift += 7;
        if (!(c & 0x80)) return true;
    }
}

bool ICODE_INPUT::read_bytes(size_t n, std::string& out) {
    if (n > remaining()) return false;
    out.resize(n);
    size_t got = n ? std::fread(&out[0], 1, n, stream_) : 0;
    pos_ += long(got);
    return got == n;
}

}  // namespace icode
