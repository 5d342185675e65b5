#include "tools/common/tool_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace icode_text {

bool read_whole_file(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool write_whole_file(const std::string& path, const std::string& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    struct stat st;
    const bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    errno = 0;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    int err = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        // No half-written file is left behind (a device is left alone).
        if (regular) std::remove(path.c_str());
        errno = err ? err : EIO;
    }
    return ok;
}

void remove_partial_file(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(path.c_str());
}

}  // namespace icode_text
