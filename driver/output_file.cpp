// Opening and, after a failed run, removing the output unit.
#include "driver/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

FILE_ID id_of(const struct stat& st) { return FILE_ID{st.st_dev, st.st_ino, S_ISREG(st.st_mode)}; }

}  // namespace

std::optional<FILE_ID> file_id(std::FILE* stream) {
    struct stat st;
    if (!stream || fstat(fileno(stream), &st) != 0) return std::nullopt;
    return id_of(st);
}

std::optional<FILE_ID> file_id(const std::string& name) {
    struct stat st;
    if (stat(name.c_str(), &st) != 0) return std::nullopt;
    return id_of(st);
}

std::FILE* open_output_file(const std::string& name, const std::vector<KEPT_FILE>& kept,
                            std::optional<FILE_ID>* id, std::string* reason) {
    // Opened without truncating: whether it is the input is known only once
    // it is open, and a link or another spelling of the input's name must
    // find the input intact.
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        *reason = std::strerror(errno);
        if (fd >= 0) close(fd);
        return nullptr;
    }
    *id = id_of(st);
    for (const KEPT_FILE& k : kept) {
        if (!k.id.regular || !(**id == k.id)) continue;
        close(fd);
        *reason = "the same file as the " + k.role + " \"" + k.name + "\"";
        return nullptr;
    }
    std::FILE* f = nullptr;
    if ((S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) || !(f = fdopen(fd, "wb"))) {
        *reason = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    return f;
}

void remove_output_file(const std::string& name, const std::optional<FILE_ID>& id) {
    struct stat st;
    if (!id || !id->regular || stat(name.c_str(), &st) != 0) return;
    if (id_of(st) == *id) unlink(name.c_str());
}
