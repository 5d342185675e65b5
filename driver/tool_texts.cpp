// The --help and --toolversion texts, with the version and build identifier
// that the build sets.
#include "driver/tool_texts.h"

#include <cstring>

#ifndef TRELV_VERSION_STRING
#define TRELV_VERSION_STRING "0.0.0"
#endif
#ifndef TRELV_BUILD_ID
#define TRELV_BUILD_ID "local"
#endif

const char* tool_version() { return TRELV_VERSION_STRING; }
const char* tool_build_id() { return TRELV_BUILD_ID; }

void print_usage(std::FILE* out, const char* program_name) {
    const char* slash = std::strrchr(program_name, '/');
    const char* name = slash ? slash + 1 : program_name;
    std::fprintf(out, "Usage: %s [-options] filename\n\n", name);
    std::fprintf(out, "This tool is designed to be invoked by the compiler.\n");
}

void print_version(std::FILE* out) {
    const int title_width = 40;
    std::fprintf(out, "%-*.*s%s\n", title_width, title_width, "Ostra Path Profiler",
                 tool_version());
    // The build identifier is printed as the build recorded it.
    std::fprintf(out, "Build Number %s\n", tool_build_id());
}
