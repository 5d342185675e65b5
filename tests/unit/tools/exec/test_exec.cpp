// The executor on small units in the text form: wrap-around by type size and
// signedness, initializers, switch fall-through, and the one-line errors.
#include <gtest/gtest.h>

#include "test_closed_loop_support.h"

namespace {

using closed_loop::SCRATCH_DIR;

// main(a) returning the expression tree given in text form.
exec::EXEC_RESULT run_main(const std::string& stmts, int a, const std::string& globals = "",
                           const std::string& init = "") {
    SCRATCH_DIR dir;
    std::string text =
        "header version=-71 target=700 name=\"t.c\"\nfunc_begin sym=0\n"
        "symbol name=\"a\" size=16 class=1 type=2 align=16\nbody_begin\n" +
        stmts + "func_end\nend\n.init\n" + init +
        "end\n.types\ntype 1 void\n"
        "type 2 int size=16 align=16\ntype 3 uint size=16 align=16\n"
        "type 4 array elem=2 count=3 size=48 align=16\n"
        "type 5 function ret=2\ntype 5 open list=0\ntype 5 param type=2 name=\"a\"\n"
        "type 5 close list=0\nend\n.symbols\nsymbol name=\"main\" class=4 type=5\n" +
        globals + "end\n";
    closed_loop::write_unit(text, dir.file("t.icode"));
    exec::EXEC_UNIT unit;
    std::string error;
    EXPECT_TRUE(unit.load(dir.file("t.icode"), &error)) << error;
    exec::EXEC_MACHINE m(unit, 1000);
    return m.call("main", {a});
}

std::string error_of(const std::string& stmts, int a) {
    try {
        run_main(stmts, a);
    } catch (const exec::EXEC_ERROR& e) {
        return e.what();
    }
    return "no error";
}

std::string ret(const std::string& tree) {
    return "expr\n  RETURN type=2\n" + tree + "    NOP type=1\n";
}

TEST(Exec, ArithmeticWrapsToTheSizeAndSignOfItsType) {
    // 16-bit int: a * 2 wraps from 20000 to -25536.
    EXPECT_EQ(
        run_main(
            ret("    MULT type=2\n      NAME type=2 level=1 index=0\n      ICON type=2 value=2\n"),
            20000)
            .as_signed(),
        -25536);
    // unsigned 16 bits: 0 - 1 is 65535, seen through an unsigned compare.
    EXPECT_EQ(run_main(ret("    UGT type=2\n      SCONV type=3\n        MINUS type=2\n"
                           "          NAME type=2 level=1 index=0\n          ICON type=2 value=1\n"
                           "      ICON type=3 value=60000\n"),
                       0)
                  .as_signed(),
              1);
    // Signed right shift keeps the sign; division truncates toward zero.
    EXPECT_EQ(
        run_main(
            ret("    SRL type=2\n      NAME type=2 level=1 index=0\n      ICON type=2 value=2\n"),
            -9)
            .as_signed(),
        -3);
    EXPECT_EQ(
        run_main(
            ret("    DIV type=2\n      NAME type=2 level=1 index=0\n      ICON type=2 value=2\n"),
            -9)
            .as_signed(),
        -4);
}

TEST(Exec, InitializerFillsSlotsInOrderAndTheRestIsZero) {
    const std::string globals = "symbol name=\"t\" size=48 class=4 type=4 align=16\n";
    const std::string init =
        "init sym=1\n  ICON type=2 value=7\n  ICON type=2 value=-8\n  ENDINIT type=4\n";
    auto element = [&](int i) {
        return run_main(
                   ret("    UMULT type=2\n      PLUS type=2\n        UAND type=2\n"
                       "          NAME type=4 level=0 index=1\n        PMCONV type=2\n"
                       "          NAME type=2 level=1 index=0\n          ICON type=2 value=16\n"),
                   i, globals, init)
            .as_signed();
    };
    EXPECT_EQ(element(0), 7);
    EXPECT_EQ(element(1), -8);
    EXPECT_EQ(element(2), 0);
}

TEST(Exec, SwitchWithoutMatchOrDefaultGoesOnWithTheNextStatement) {
    const std::string body =
        "expr\n  SWITCH type=2 number=0\n    NAME type=2 level=1 index=0\n    COMMA type=2\n"
        "      CASE type=2\n        ICON type=2 value=1\n        LABEL type=2 label=1\n"
        "      CASE type=2\n        ICON type=2 value=2\n        LABEL type=2 label=1\n" +
        ret("    ICON type=2 value=30\n") + "label label=1\n" + ret("    ICON type=2 value=10\n");
    EXPECT_EQ(run_main(body, 2).as_signed(), 10);
    EXPECT_EQ(run_main(body, 5).as_signed(), 30);
}

TEST(Exec, FailuresAreOneLineErrors) {
    EXPECT_EQ(
        error_of(
            ret("    DIV type=2\n      ICON type=2 value=1\n      NAME type=2 level=1 index=0\n"),
            0),
        "division by zero");
    EXPECT_EQ(error_of(ret("    UMULT type=2\n      NAME type=2 level=1 index=0\n"), 0),
              "bad address 0 (2 bytes)");
    EXPECT_EQ(error_of(ret("    SQRT type=2\n      ICON type=2 value=4\n"), 0),
              "SQRT is not supported by the executor");
    EXPECT_EQ(error_of("label label=1\nexpr\n  BRANCH type=2\n    LABEL type=2 label=1\n", 0),
              "step limit of 1000 reached in main");
}

}  // namespace
