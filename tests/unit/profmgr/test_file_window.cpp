// The windowed file stream that profile data files are read through: the
// same bytes, positions and states as a file stream, whatever the seeks, on
// a file several windows long; a pipe that cannot seek; a read error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <string>

#include "profmgr/file_window.h"
#include "test_scratch_dir.h"

namespace {

// What a stream gives after a seek: where it is, the next bytes, and its
// state, as one line.
std::string after_seek(std::istream& in, std::streamoff off, std::ios_base::seekdir dir,
                       std::size_t length) {
    in.clear();
    in.seekg(off, dir);
    std::string bytes(length, '\0');
    const std::streamoff at = in.fail() ? -2 : std::streamoff(in.tellg());
    in.read(bytes.data(), std::streamsize(length));
    bytes.resize(std::size_t(in.gcount()));
    std::string line;
    std::getline(in, line);
    return std::to_string(at) + " " + bytes + "|" + line + " " + std::to_string(in.eof()) +
           std::to_string(in.fail()) + std::to_string(in.bad());
}

TEST(FileWindow, SeeksAndReadsAsAFileStreamDoes) {
    SCRATCH_DIR scratch;
    // About three windows of lines of varied length.
    std::mt19937 rng(7);
    std::string text;
    while (text.size() < 200000) text += std::string(rng() % 90, 'a' + char(rng() % 26)) + "\n";
    scratch.write("p.prf", text);
    const std::streamoff size = std::streamoff(text.size());
    struct SEEK {
        std::streamoff off;
        std::ios_base::seekdir dir;
        std::size_t length;
    };
    const SEEK seeks[] = {
        {0, std::ios_base::beg, 10},         {5, std::ios_base::beg, 3},
        {100, std::ios_base::cur, 20},       {-50, std::ios_base::cur, 5},
        {65530, std::ios_base::beg, 20},     {65536, std::ios_base::beg, 1},
        {70000, std::ios_base::beg, 300},    {1000, std::ios_base::beg, 8},
        {150000, std::ios_base::beg, 70000}, {-10, std::ios_base::end, 30},
        {0, std::ios_base::end, 4},          {12345, std::ios_base::beg, 4},
        {size, std::ios_base::beg, 2},       {size + 5, std::ios_base::beg, 2},
        {-1, std::ios_base::beg, 2},         {131072, std::ios_base::beg, 65536},
        {-131072, std::ios_base::cur, 16},
    };
    // From the end to within a window that does not reach it, then on past
    // the window, on streams of their own.
    const SEEK from_end[] = {{100000, std::ios_base::beg, 10},
                             {160000 - size, std::ios_base::end, 10000}};
    auto compare = [&](const SEEK* first, const SEEK* last) {
        std::ifstream file(scratch.file("p.prf"), std::ios::binary);
        FILE_WINDOW_STREAM window(scratch.file("p.prf"));
        ASSERT_TRUE(window.is_open());
        for (const SEEK* s = first; s != last; ++s)
            EXPECT_EQ(after_seek(window, s->off, s->dir, s->length),
                      after_seek(file, s->off, s->dir, s->length))
                << s - first;
    };
    compare(std::begin(seeks), std::end(seeks));
    compare(std::begin(from_end), std::end(from_end));
    EXPECT_FALSE(FILE_WINDOW_STREAM(scratch.file("missing.prf")).is_open());
}

TEST(FileWindow, APipeCannotSeekAndAReadErrorMakesTheStreamBad) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "t.c/f\n1\n5\n", 10), 10);
    close(fds[1]);
    {
        FILE_WINDOW_STREAM pipe_in("/dev/fd/" + std::to_string(fds[0]));
        ASSERT_TRUE(pipe_in.is_open());
        EXPECT_EQ(pipe_in.tellg(), std::streampos(-1));
        std::string line;
        pipe_in.clear();
        EXPECT_TRUE(std::getline(pipe_in, line));
        EXPECT_EQ(line, "t.c/f");
    }
    close(fds[0]);

    SCRATCH_DIR scratch;
    FILE_WINDOW_STREAM folder(scratch.path());
    ASSERT_TRUE(folder.is_open());
    std::string line;
    std::getline(folder, line);
    EXPECT_TRUE(folder.bad());
}

}  // namespace
