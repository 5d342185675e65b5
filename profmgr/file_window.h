// FILE_WINDOW: a stream buffer over a C stream that keeps a window of the
// file in memory and moves within it without going back to the file.
//
// A profile-using run reads each function's values again from the profile
// data file (see profile_data_file.h), a seek and a short read per function.
// A file stream buffer drops its buffer and asks the system at every seek,
// and reads a whole buffer again for the few bytes of one record; the
// records of consecutive functions lie next to one another, so here a seek
// into the window already read costs nothing.  The file is assumed not to
// change while it is read (the run refuses to write its output onto it).
//
// A stream that cannot seek (a pipe) reports position -1, as a file stream
// does, and a read error makes the reading stream bad.
#pragma once

#include <cstdio>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>

class FILE_WINDOW : public std::streambuf {
public:
    // Opens `path` for reading; is_open() tells whether it could.
    explicit FILE_WINDOW(const std::string& path);
    ~FILE_WINDOW() override;
    FILE_WINDOW(const FILE_WINDOW&) = delete;
    FILE_WINDOW& operator=(const FILE_WINDOW&) = delete;

    bool is_open() const { return file_ != nullptr; }

protected:
    int_type underflow() override;
    pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

private:
    // The window: its bytes, and where in the file they start.
    static constexpr std::size_t WINDOW_SIZE = 64 * 1024;
    std::unique_ptr<char[]> window_;
    long long window_at_ = 0;
    std::FILE* file_ = nullptr;
    bool seekable_ = false;
};

// An input stream that reads a file through its own FILE_WINDOW.
class FILE_WINDOW_STREAM : public std::istream {
public:
    explicit FILE_WINDOW_STREAM(const std::string& path) : std::istream(nullptr), buffer_(path) {
        rdbuf(&buffer_);
    }
    bool is_open() const { return buffer_.is_open(); }

private:
    FILE_WINDOW buffer_;
};
