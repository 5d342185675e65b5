// Internal errors of the type package: "TP>> internal error: %s\n" on the
// standard error stream, then the end of the process with status 1.
#pragma once

#include <string>

namespace icode {

// Prints "TP>> internal error: <message>" and a newline on stderr and ends
// the process with status 1 through trelv_exit (diag/process_exit.h), like
// every other fatal path, so one exit hook serves tests of all of them.
// The reader uses it for its type-map errors ("invalid forward reference",
// "read type twice", ...); the package uses it for "Bad kind:  TYPE::get()".
[[noreturn]] void type_internal_error(const std::string& message);

}  // namespace icode
