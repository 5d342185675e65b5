// What reading and writing units share: closing.
#include "icode/icode_file.h"

#include "icode/icode_input.h"

namespace icode {

int IcodeFile::close(bool aborting) {
    if (writing_ && !aborting) finish_unit();
    FILE* stream = stream_;
    bool writing = writing_;
    stream_ = nullptr;
    if (!stream) return 0;
    int result = 0;
    if (writing && std::fflush(stream) != 0)
        result = 1;
    else if (std::ferror(stream))
        result = 1;
    // The stream is closed in every case, so that its buffer is no longer
    // in use when this object lets it go.
    if (std::fclose(stream) != 0 && result == 0) result = 1;
    in_.reset();
    return result;
}

}  // namespace icode
