// Process-wide diagnostic settings: visibility switches, wrapping, error
// count and the two output streams.
#pragma once

#include <cstdio>

namespace DIAG {

struct SETTINGS {
    int diag_cols = 79;   // line width
    int wrap_indent = 3;  // extra blanks on continuation lines
    int indent = 0;       // blanks before every line
    unsigned error_limit = 100;
    bool wrap = true;           // --diag_wrap=off turns this off for good

    // Visibility switches for the discretionary severities.
    bool advice = false;
    bool debug = false;
    bool remark = false;
    bool warning = true;

    unsigned error_count = 0;

    // Severities up to remark go to `out`, warnings and above to `err`.  The
    // driver's fixed texts use the same streams so that both can be captured
    // together.
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// The one settings object of the process.
SETTINGS& settings();

// Restores every setting to its start value, zeroes the error count and
// releases the shared text buffer.
void reset();

}  // namespace DIAG
