// Static descriptor of one diagnostic code and the severity scale.
#pragma once

#include <cstdint>

namespace DIAG {

// Severities in increasing order; the value decides visibility and stream.
enum SEVERITY : std::uint32_t {
    SEV_SUPPRESSED = 0,
    SEV_NO_ERROR = 1,
    SEV_ADVICE = 2,
    SEV_DEBUG = 3,
    SEV_REMARK = 4,
    SEV_WARNING = 5,
    SEV_ERROR = 6,
    SEV_FATAL = 7,
};

// The word a header prints for a severity ("(unknown)" outside 0 to 7).
const char* severity_name(std::uint32_t severity);

}  // namespace DIAG

// One record per diagnostic code.  Descriptors are immutable statics owned by
// the diagnostic classes; a diagnostic object only points at its own.
struct DIAG_DESC {
    std::uint32_t code;
    const char* std_msg;     // message format, printf conventions
    const char* vrb_msg;     // longer text; null for every code of this system
    std::uint32_t severity;  // DIAG::SEVERITY
    std::uint8_t internal;   // 1: reports an inconsistency of the system itself
    std::uint8_t fixed;      // 1: not discretionary
};
