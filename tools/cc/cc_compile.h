// icode cc: one C translation unit compiled to an I-code unit.
#pragma once

#include <string>
#include <vector>

namespace cc {

struct CC_OPTIONS {
    std::string source;                 // the C file
    std::vector<std::string> includes;  // -I directories, in order
    std::vector<std::string> defines;   // -D NAME or NAME=VALUE, in order
    std::string output;                 // the unit to write
};

// Parses the file with clang, lowers it and writes the unit.  Messages go to
// standard error: the parser's own, and "FILE:LINE:COL: unsupported: WHAT"
// for a construct the lowering does not handle.  No unit is left behind on
// failure.  Returns the exit status (0 or 1).
int compile(const CC_OPTIONS& options);

// False in a build without the C front end.
bool front_end_available();

}  // namespace cc
