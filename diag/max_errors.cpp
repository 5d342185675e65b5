// The diagnostic raised when the error limit is passed.
#include "diag/max_errors.h"

namespace DIAG {

const DIAG_DESC max_errors::desc = {
    99900, "error limit reached; %u errors detected", nullptr, SEV_FATAL, 0, 0};

}  // namespace DIAG
