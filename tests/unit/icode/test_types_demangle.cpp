// Demangling of type names from old units.
#include <gtest/gtest.h>

#include "icode/demangle.h"

using icode::demangle_name;

TEST(TypeDemangle, MangledNamesGiveTheirSourceForm) {
    EXPECT_EQ(demangle_name("_Z3foov"), "foo()");
    EXPECT_EQ(demangle_name("_ZN2ns5ClassE"), "ns::Class");
    // Type names are stored without the symbol prefix.
    EXPECT_EQ(demangle_name("3Foo"), "Foo");
    EXPECT_EQ(demangle_name("N3Foo3BarE"), "Foo::Bar");
}

TEST(TypeDemangle, OtherNamesAreUnchanged) {
    EXPECT_EQ(demangle_name("main"), "main");
    EXPECT_EQ(demangle_name("Node"), "Node");
    EXPECT_EQ(demangle_name("i"), "i");  // a bare builtin-type code is not a name
    EXPECT_EQ(demangle_name("_Zbogus"), "_Zbogus");
    EXPECT_EQ(demangle_name("3"), "3");
    EXPECT_EQ(demangle_name(""), "");
}
