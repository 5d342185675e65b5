// The executor on units in the text form: wrap-around by type size and
// signedness, operators, switch fall-through, one-line errors.
#include <gtest/gtest.h>

#include "test_closed_loop_support.h"

namespace {

using std::string;

// main(a) running `stmts`; its result, or the executor's error.
string run_main(const string& stmts, int a) {
    SCRATCH_DIR dir;
    closed_loop::write_unit(
        "header version=-71 target=700 name=\"t.c\"\nfunc_begin sym=0\n"
        "symbol name=\"a\" size=16 class=1 type=2 align=16\nbody_begin\n" +
            stmts +
            "func_end\nend\n.types\ntype 1 void\ntype 2 int size=16 align=16\n"
            "type 3 uint size=16 align=16\ntype 5 function ret=2\ntype 5 open list=0\n"
            "type 5 param type=2 name=\"a\"\ntype 5 close list=0\nend\n.symbols\n"
            "symbol name=\"main\" class=4 type=5\nend\n",
        dir.file("t.icode"));
    exec::EXEC_UNIT unit;
    string error;
    EXPECT_TRUE(unit.load(dir.file("t.icode"), &error)) << error;
    try {
        exec::EXEC_MACHINE m(unit, 1000);
        return std::to_string(m.call("main", {a}).as_signed());
    } catch (const exec::EXEC_ERROR& e) {
        return e.what();
    }
}

// RETURN of `op` over a and the constant `k`.
string ret(const string& op, int k, const string& type = "2") {
    return "expr\n  RETURN type=2\n    " + op + " type=" + type +
           "\n      NAME type=2 level=1 index=0\n      ICON type=2 value=" + std::to_string(k) +
           "\n    NOP type=1\n";
}

TEST(Exec, UnitsInTheTextForm) {
    const string sw =
        "expr\n  SWITCH type=2 number=0\n    NAME type=2 level=1 index=0\n    COMMA type=2\n"
        "      CASE type=2\n        ICON type=2 value=1\n        LABEL type=2 label=1\n"
        "      CASE type=2\n        ICON type=2 value=2\n        LABEL type=2 label=1\n" +
        ret("PLUS", 30) + "label label=1\n" + ret("PLUS", 10);
    const struct {
        string stmts;
        int a;
        string want;
    } cases[] = {
        {ret("MULT", 2), 20000, "-25536"},  // 16-bit int
        {ret("SRL", 2), -9, "-3"},          // the sign is kept
        {ret("DIV", 2), -9, "-4"},          // toward zero
        {ret("LE", 5), 5, "1"},
        {ret("ANDAND", 0), 1, "0"},
        {ret("UGT", 60000, "3"), -1, "1"},  // unsigned 16 bits: -1 is 65535
        {sw, 2, "12"},                      // a case
        {sw, 5, "35"},                      // no case and no default: the next statement
        {ret("DIV", 0), 1, "division by zero"},
        {"expr\n  RETURN type=2\n    UMULT type=2\n      NAME type=2 level=1 index=0\n"
         "    NOP type=1\n",
         0, "bad address 0 (2 bytes)"},
        {"label label=1\nexpr\n  BRANCH type=2\n    LABEL type=2 label=1\n", 0,
         "step limit of 1000 reached in main"},
    };
    for (const auto& c : cases) EXPECT_EQ(run_main(c.stmts, c.a), c.want) << c.stmts;
}

}  // namespace
