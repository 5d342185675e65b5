// Diagnostics of the option code (codes 24002 to 24031).  Constructor
// arguments after the raising location follow the message format.
#pragma once

#include "diag/diag.h"

namespace DIAG {

#define TRELV_OPTGEN_DIAG(NAME, ...)                         \
    class NAME final : public DIAG_ARGS<NAME, __VA_ARGS__> { \
    public:                                                  \
        using DIAG_ARGS::DIAG_ARGS;                          \
        static const DIAG_DESC desc;                         \
    }

// (new option, earlier option); error
TRELV_OPTGEN_DIAG(optgen_conflict_option, const char*, const char*);
// (new option, earlier option); warning
TRELV_OPTGEN_DIAG(optgen_conflict_override_option, const char*, const char*);
// (new option, earlier option); remark
TRELV_OPTGEN_DIAG(optgen_conflict_quiet_option, const char*, const char*);
// The four fatal ones report an option kind outside the known ones; the
// argument identifies the place that met it.
TRELV_OPTGEN_DIAG(optgen_unhandled_clause_in_setarg, unsigned);
TRELV_OPTGEN_DIAG(optgen_unhandled_option_handler, unsigned);
TRELV_OPTGEN_DIAG(optgen_invalid_list_handler, unsigned);
TRELV_OPTGEN_DIAG(optgen_unhandled_clause_in_add_hist, unsigned);
// (option, parameter name); error
TRELV_OPTGEN_DIAG(optgen_missing_parameter, const char*, const char*);
// (option, allowed values joined by ","); error
TRELV_OPTGEN_DIAG(optgen_bad_argument, const char*, const char*);
// (typed form, canonical form); warning
TRELV_OPTGEN_DIAG(optgen_case_insensitivity_deprecated, const char*, const char*);

#undef TRELV_OPTGEN_DIAG

}  // namespace DIAG
