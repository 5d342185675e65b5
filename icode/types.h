// The I-code type layer in one include: TYPE and its kind parts with the
// queries that expression trees and the reader need (type_core.h), the
// owning package TYPE_PKG (type_pkg.h) and the printer (type_print.h).
#pragma once

#include "icode/type_core.h"
#include "icode/type_error.h"
#include "icode/type_pkg.h"
#include "icode/type_print.h"
