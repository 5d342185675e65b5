#include "tools/exec/exec_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "profmgr/profile_data_path.h"

namespace exec {

std::string profile_records(const EXEC_UNIT& unit, const EXEC_MACHINE& machine) {
    std::string out;
    const std::string path = canonical_path(unit.unit_name());
    for (const EXEC_COUNTERS& c : unit.counters_arrays()) {
        std::vector<uint32_t> values = machine.counter_values(c);
        out += path + "/" + c.function + "\n" + std::to_string(values.size()) + "\n";
        for (size_t i = 0; i < values.size(); ++i) {
            out += std::to_string(values[i]);
            out += (i + 1 == values.size() || i % 16 == 15) ? "\n" : " ";
        }
    }
    return out;
}

bool append_profile(const std::string& path, const EXEC_UNIT& unit, const EXEC_MACHINE& machine,
                    std::string* error) {
    const std::string text = profile_records(unit, machine);
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    // The records go on the file whole or not at all: a write that fails
    // half way is cut off again, so the file keeps only whole records for
    // the profiler to read.
    struct stat st;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const off_t before = regular ? st.st_size : 0;
    size_t done = 0;
    int err = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        done += size_t(n);
    }
    if (close(fd) != 0 && !err) err = errno;
    if (err) {
        // Should cutting fail too, the reason shown stays the first one.
        if (regular && done > 0 && truncate(path.c_str(), before) != 0) done = 0;
        *error = path + ": write failed: " + std::strerror(err);
        return false;
    }
    return true;
}

}  // namespace exec
