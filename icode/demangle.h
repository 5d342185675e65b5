// Source form of mangled names, for type names of units older than version
// -81, which do not record whether a name is mangled.
#pragma once

#include <string>

namespace icode {

// The demangled source form of a name, or the name unchanged when it is not
// a mangled name.  Names beginning "_Z" are demangled as symbols; a type
// name given without that prefix ("3Foo", "N3Foo3BarE") is tried with it.
// A caller learns whether the name was mangled by comparing the result with
// the name.
std::string demangle_name(const std::string& name);

}  // namespace icode
