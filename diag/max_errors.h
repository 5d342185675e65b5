// The framework's own diagnostic: the error limit was passed.
#pragma once

#include "diag/diag.h"

namespace DIAG {

// "error limit reached; %u errors detected" (the limit); fatal.
class max_errors final : public DIAG_ARGS<max_errors, unsigned> {
public:
    using DIAG_ARGS::DIAG_ARGS;
    static const DIAG_DESC desc;
};

}  // namespace DIAG
