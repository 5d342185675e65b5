// FILE_WINDOW: reads in windows, seeks within the window in memory.
#include "profmgr/file_window.h"

#include <ios>

FILE_WINDOW::FILE_WINDOW(const std::string& path)
    : window_(new char[WINDOW_SIZE]), file_(std::fopen(path.c_str(), "rb")) {
    if (!file_) return;
    // The stream buffer does its own buffering.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    seekable_ = std::fseek(file_, 0, SEEK_CUR) == 0;
    setg(window_.get(), window_.get(), window_.get());
}

FILE_WINDOW::~FILE_WINDOW() {
    if (file_) std::fclose(file_);
}

FILE_WINDOW::int_type FILE_WINDOW::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (!file_) return traits_type::eof();
    // The next window starts where this one ends.
    window_at_ += egptr() - eback();
    const std::size_t n = std::fread(window_.get(), 1, WINDOW_SIZE, file_);
    setg(window_.get(), window_.get(), window_.get() + n);
    // The reading stream turns the exception into its bad state.
    if (n == 0 && std::ferror(file_)) throw std::ios_base::failure("read error");
    return n == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

FILE_WINDOW::pos_type FILE_WINDOW::seekoff(off_type off, std::ios_base::seekdir dir,
                                           std::ios_base::openmode which) {
    if (!file_ || !seekable_ || !(which & std::ios_base::in)) return pos_type(off_type(-1));
    long long target = 0;
    if (dir == std::ios_base::beg) {
        target = off;
    } else if (dir == std::ios_base::cur) {
        target = window_at_ + (gptr() - eback()) + off;
    } else {
        if (std::fseek(file_, 0, SEEK_END) != 0) return pos_type(off_type(-1));
        target = std::ftell(file_) + off;
    }
    if (target < 0) return pos_type(off_type(-1));
    // After a seek to the end the file is no longer where the window ends.
    if (dir != std::ios_base::end && target >= window_at_ &&
        target <= window_at_ + (egptr() - eback())) {
        // Within the window, or at its end: the next read goes on from there.
        setg(eback(), eback() + (target - window_at_), egptr());
        return pos_type(off_type(target));
    }
    if (std::fseek(file_, long(target), SEEK_SET) != 0) return pos_type(off_type(-1));
    window_at_ = target;
    setg(window_.get(), window_.get(), window_.get());
    return pos_type(off_type(target));
}

FILE_WINDOW::pos_type FILE_WINDOW::seekpos(pos_type pos, std::ios_base::openmode which) {
    return seekoff(off_type(pos), std::ios_base::beg, which);
}
