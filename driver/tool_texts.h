// The fixed texts of --help and --toolversion.
#pragma once

#include <cstdio>

// "Usage: NAME [-options] filename" with the program name cut after its last
// "/", a blank line, and the note that the compiler runs this tool.
void print_usage(std::FILE* out, const char* program_name);

// The tool title in a field of 40 columns, the version string, and the build
// identifier.  Both come from the build: the version from the project's
// CMake version, the identifier from the checkout's short commit id.
void print_version(std::FILE* out);

// The version string and build identifier compiled in.
const char* tool_version();
const char* tool_build_id();
