// The generator: the same options give the same text, different seeds
// different units, and every unit assembles and runs to its end.
#include <gtest/gtest.h>

#include "test_closed_loop_support.h"
#include "tools/gen/gen_program.h"

namespace {

std::string text_of(uint64_t seed, int functions, int size) {
    gen::GEN_OPTIONS o;
    o.seed = seed;
    o.functions = functions;
    o.size = size;
    std::string out;
    gen::generate_text(o, out);
    return out;
}

TEST(Gen, SameSeedSameTextOtherSeedOtherText) {
    EXPECT_EQ(text_of(42, 4, 30), text_of(42, 4, 30));
    EXPECT_NE(text_of(42, 4, 30), text_of(43, 4, 30));
}

TEST(Gen, UnitsAssembleAndMainRunsForManyArguments) {
    for (uint64_t seed = 0; seed < 20; ++seed) {
        closed_loop::SCRATCH_DIR dir;
        closed_loop::write_unit(text_of(seed, 5, 25), dir.file("g.icode"));
        exec::EXEC_UNIT unit;
        std::string error;
        ASSERT_TRUE(unit.load(dir.file("g.icode"), &error)) << error;
        ASSERT_EQ(unit.functions().size(), 5u);
        EXPECT_EQ(unit.functions().back()->name, "main");
        for (int a = -3; a <= 3; ++a) {
            exec::EXEC_MACHINE m(unit, 10000000);
            EXPECT_NO_THROW(m.call("main", {a * 1000, a})) << "seed " << seed;
        }
    }
}

}  // namespace
