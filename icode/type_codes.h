// The type codes of type records: the code byte that selects what a type
// record defines (a type, a member of an attribute list, or the opening or
// closing of a list).
#pragma once

#include <cstdint>

namespace icode {

enum TYPE_CODE : uint8_t {
    // Integral types 0..9, in IntegralKind order; the long long pair comes
    // later in the format.
    TC_BOOL = 0,
    TC_CHAR = 1,
    TC_UCHAR = 2,
    TC_WCHAR = 3,
    TC_SHORT = 4,
    TC_USHORT = 5,
    TC_INT = 6,
    TC_UINT = 7,
    TC_LONG = 8,
    TC_ULONG = 9,
    // Floating types 10..12, in FloatingKind order.
    TC_FLOAT = 10,
    TC_DOUBLE = 11,
    TC_LDOUBLE = 12,
    TC_FIXED = 13,
    TC_TYPEDEF = 14,
    TC_POINTER = 15,
    TC_REFERENCE = 16,
    TC_QUALIFIED = 17,
    TC_ARRAY = 18,
    TC_PTRMEM = 19,
    TC_FUNCTION = 20,
    TC_PARAM = 21,  // member of list 0
    TC_ENUM = 22,
    TC_ENUMERATOR = 23,  // member of list 1
    TC_CSU = 24,
    TC_CSU_LISTS = 25,   // a class with attribute lists
    TC_FIELD = 28,       // member of list 7
    TC_BASE_CLASS = 29,  // member of list 2
    TC_MEMBER3 = 30,
    TC_MEMBER4 = 31,
    TC_MEMBER5 = 32,
    TC_MEMBER6 = 33,
    TC_MEMBER8 = 34,
    TC_MEMBER9 = 35,
    TC_COMPLEX = 36,
    TC_VOID = 49,
    TC_LLONG = 50,
    TC_ULLONG = 51,
    TC_OPEN_LIST = 254,
    TC_CLOSE_LIST = 255,
};

}  // namespace icode
