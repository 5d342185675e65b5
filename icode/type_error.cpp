// The type package's fatal-error path.
#include "icode/type_error.h"

#include <cstdio>

#include "diag/process_exit.h"

namespace icode {

void type_internal_error(const std::string& message) {
    std::fprintf(stderr, "TP>> internal error: %s\n", message.c_str());
    std::fflush(stderr);
    trelv_exit(1);
}

}  // namespace icode
