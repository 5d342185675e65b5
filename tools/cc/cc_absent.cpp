// The C front end in a build without clang's libraries: `icode cc` says so.
#include "tools/cc/cc_compile.h"

namespace cc {

bool front_end_available() { return false; }
int compile(const CC_OPTIONS&) { return 1; }

}  // namespace cc
