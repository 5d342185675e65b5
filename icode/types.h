// The I-code type layer: TYPE and its kind parts (type_core.h), the owning
// package TYPE_PKG (type_pkg.h), the printer (type_print.h), and the
// queries below that expression trees and the reader need.
#pragma once

#include "icode/type_core.h"
#include "icode/type_error.h"
#include "icode/type_pkg.h"
#include "icode/type_print.h"

namespace icode {

// Signedness of a type, as it decides how integer constants and enumerator
// values are encoded.  Typedefs and qualified types are seen through; char,
// short, int, long, long long and the floating types are signed; bool,
// unsigned char, wchar_t and the unsigned integral types are not; an enum
// takes its underlying type's signedness and a vector array its element
// type's; everything else (including no type) is unsigned.
bool is_signed(const TYPE* type);

// True when the type, seen through typedefs, is a floating type.
bool is_floating(const TYPE* type);

}  // namespace icode
