// Named flag levels from --debug: and --disable: values.
#include <string>

#include "diag/flag_levels.h"
#include "test_diag_capture.h"

namespace {

using Flags = CAPTURED_TEST;

int level_of(const char* name) { return flag_level(FLAG_KEY(name)); }

TEST_F(Flags, EmptyTableAnswersZero) {
    EXPECT_EQ(flag_level(debug_profile_key()), 0);
    EXPECT_EQ(flag_level(disable_ft_ubr_key()), 0);
}

TEST_F(Flags, NameAloneIsLevelOneAndNameEqualsLevelIsThatLevel) {
    add_flags("debug", "profile,foo=7");
    EXPECT_EQ(flag_level(debug_profile_key()), 1);
    EXPECT_EQ(level_of("debug:foo"), 7);
    EXPECT_EQ(level_of("disable:foo"), 0);
    EXPECT_EQ(flag_levels().size(), 2u);
}

TEST_F(Flags, LevelsReadWithAutomaticBase) {
    add_flags("debug", "hex=0x10,HEX=0X1f,oct=010,dec=10,neg=-2,junk=3junk,none=");
    EXPECT_EQ(level_of("debug:hex"), 16);
    EXPECT_EQ(level_of("debug:HEX"), 31);
    EXPECT_EQ(level_of("debug:oct"), 8);
    EXPECT_EQ(level_of("debug:dec"), 10);
    EXPECT_EQ(level_of("debug:neg"), -2);
    EXPECT_EQ(level_of("debug:junk"), 3);
    EXPECT_EQ(level_of("debug:none"), 0);
}

TEST_F(Flags, LaterValuesWin) {
    add_flags("debug", "profile=3");
    add_flags("debug", "profile=2,profile=4");
    EXPECT_EQ(flag_level(debug_profile_key()), 4);
    add_flags("debug", "profile");
    EXPECT_EQ(flag_level(debug_profile_key()), 1);
    EXPECT_EQ(flag_levels().size(), 1u);
}

TEST_F(Flags, DisableNamesAreSeparateFromDebugNames) {
    add_flags("disable", "canon,ft_ubr");
    add_flags("debug", "canon=5");
    EXPECT_EQ(flag_level(disable_canon_key()), 1);
    EXPECT_EQ(flag_level(disable_ft_ubr_key()), 1);
    EXPECT_EQ(level_of("debug:canon"), 5);
    add_flags("disable", "ft_ubr=0");
    EXPECT_EQ(flag_level(disable_ft_ubr_key()), 0);
}

TEST_F(Flags, EmptyTokensAndOverlongNamesRecordNothing) {
    add_flags("debug", ",a,,b,");
    EXPECT_EQ(flag_levels().size(), 2u);
    const std::string long_name(600, 'n');
    add_flags("debug", long_name.c_str());
    add_flags("debug", (long_name + "=4").c_str());
    EXPECT_EQ(flag_levels().size(), 2u);
    EXPECT_EQ(level_of("debug:"), 0);
}

TEST_F(Flags, KeysAreInterned) {
    FLAG_KEY a("debug:profile");
    FLAG_KEY b(std::string("debug:profile").c_str());
    EXPECT_EQ(a.name(), b.name());
    EXPECT_EQ(a.name(), debug_profile_key().name());
    EXPECT_NE(FLAG_KEY("debug:other").name(), a.name());
}

TEST(FlagTable, LookupFindsEveryNameWhateverTheInsertionOrder) {
    FLAG_LEVELS table;
    const char* names[] = {"m", "b", "z", "a", "debug:x", "debug:", "debug:y", "A", "~"};
    int lvl = 1;
    for (const char* n : names) table.set(n, lvl++);
    lvl = 1;
    for (const char* n : names) EXPECT_EQ(table.level(n), lvl++) << n;
    EXPECT_EQ(table.level("c"), 0);
    EXPECT_EQ(table.level(""), 0);
    table.set("b", 40);
    EXPECT_EQ(table.level("b"), 40);
    EXPECT_EQ(table.size(), 9u);
}

}  // namespace
