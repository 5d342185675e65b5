// The names of the severities, as a diagnostic's header line shows them.
#include "diag/diag_desc.h"

namespace DIAG {

const char* severity_name(std::uint32_t severity) {
    static const char* const names[] = {"(suppressed)", "(no error)", "advice", "debug",
                                        "remark",       "warning",    "error",  "fatal error"};
    return severity < sizeof names / sizeof names[0] ? names[severity] : "(unknown)";
}

}  // namespace DIAG
