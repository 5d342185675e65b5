// Text form of a type, used by the statement and symbol dumps.
#pragma once

#include <string>

namespace icode {

class TYPE;

// Prints a type.  The form is fixed, because dumps compared byte for byte
// contain it:
//   no type            ""
//   void, integral,    the type's name followed by a blank: "void ", "int ",
//   floating             "unsigned long long ", "long double "
//   complex            "cchar ", "cshort ", "cint ", "clong ", "cllong ",
//                        "cfloat ", "cdouble " by the part type's sub-kind
//                        (bool, char, unsigned char -> cchar; wchar_t, short,
//                        unsigned short -> cshort; ... double and long double
//                        -> cdouble); "complex " for any other part type
//   fixed point        " [FxtPt:" + base without its trailing blank + "] "
//   pointer            pointee + "*"                  "int *", "char **"
//   reference          referenced + "&"               "int &"
//   qualified          the qualifier words in the order const, volatile,
//                        packed, near, far, restrict, ioport, onchip, each
//                        followed by a blank, before the type: "const int ";
//                        after it when it is a pointer or reference:
//                        "int *const "
//   typedef            its name + " "                 "size_t "
//   array              element + "[count]", outer dimension first:
//                        "int [10]", "int [3][4]", "char *[2]"
//   vector array       "<[" + element + "[count]" + "]>"   "<[float [4]]>"
//   pointer to member  pointee + class name + "::*"   "int S::*"
//   function           return type + "(" + parameter types without trailing
//                        blanks, separated by ", " + ")"   "int (int, char *)"
//   enum               "enum " + name + " "
//   class/struct/union "class ", "struct " or "union " + name + " "
// The replacement link is followed first.
std::string print_type(const TYPE* type);

}  // namespace icode
