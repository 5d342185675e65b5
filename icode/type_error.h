// Internal errors of the type package: "TP>> internal error: %s\n" on the
// standard error stream, then the end of the process with status 1.
#pragma once

#include <functional>
#include <string>

namespace icode {

// Called with the exit status in place of std::exit.  Tests install a hook
// that throws, so that the error can be observed without ending the test
// process; a hook that returns is followed by std::exit all the same.
using TypeExitHook = std::function<void(int status)>;

// Replaces the process-wide exit hook; an empty hook restores std::exit.
void set_type_exit_hook(TypeExitHook hook);

// Prints "TP>> internal error: <message>" and a newline on stderr and ends
// the process with status 1.  The reader uses it for its type-map errors
// ("invalid forward reference", "read type twice", ...); the package uses it
// for "Bad kind:  TYPE::get()".
[[noreturn]] void type_internal_error(const std::string& message);

}  // namespace icode
