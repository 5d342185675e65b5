// The shapes the closed-loop property leaves out, pinned: the profiler's
// own rules give these counts, and they differ from what happened.
#include <gtest/gtest.h>

#include "icode/opcodes.h"
#include "test_closed_loop_support.h"
#include "tools/exec/exec_profile.h"

namespace {

using namespace closed_loop;

const char* const TYPES =
    "end\n.types\ntype 1 void\ntype 2 int size=16 align=16\n"
    "type 3 function ret=2\ntype 3 open list=0\ntype 3 param type=2 name=\"a\"\n"
    "type 3 close list=0\nend\n.symbols\nsymbol name=\"main\" class=4 type=3\nend\n";

// Instruments, runs main(a) for each argument into one profile, uses it and
// returns the annotated unit's path.
std::string cycle(const SCRATCH_DIR& dir, const std::string& body, const std::vector<int>& args) {
    std::string text =
        "header version=-71 target=700 name=\"" + dir.file("t.c") +
        "\"\nfunc_begin sym=0\nsymbol name=\"a\" size=16 class=1 type=2 align=16\nbody_begin\n" +
        body + "func_end\n" + TYPES;
    write_unit(text, dir.file("g.icode"));
    std::string err;
    EXPECT_EQ(run_profiler(dir.file("g.icode") + " " + dir.file("i.icode") + " --gen_profile_info",
                           dir.file("err"), &err),
              0)
        << err;
    exec::EXEC_UNIT inst;
    std::string error;
    EXPECT_TRUE(inst.load(dir.file("i.icode"), &error)) << error;
    for (int a : args) {
        exec::EXEC_MACHINE m(inst, 10000);
        m.call("main", {a});
        EXPECT_TRUE(exec::append_profile(dir.file("p.prf"), inst, m, &error)) << error;
    }
    EXPECT_EQ(run_profiler(dir.file("g.icode") + " " + dir.file("a.icode") +
                               " --use_profile_info=" + dir.file("p.prf"),
                           dir.file("err"), &err),
              0)
        << err;
    return dir.file("a.icode");
}

int weight_of(const icode::NODE* n) { return n && n->opcode() == icode::EPVAL ? n->weight() : -1; }

// switch (a) { case 1: case 2: ... } with the body of case 1 right after the
// SWITCH: the edge into that body is counted where control falls out of the
// SWITCH, so the jumps of case 1 and 2 into the same block are not counted.
TEST(ClosedLoopLimits, SwitchFallingThroughIntoACaseCountsOnlyTheFallThrough) {
    SCRATCH_DIR dir;
    const std::string body =
        "expr\n  SWITCH type=2 number=0\n    NAME type=2 level=1 index=0\n"
        "    COMMA type=2\n      CASE type=2\n        ICON type=2 value=1\n        LABEL type=2 "
        "label=1\n"
        "      CASE type=2\n        ICON type=2 value=2\n        LABEL type=2 label=2\n"
        "label label=1\nexpr\n  RETURN type=2\n    ICON type=2 value=10\n    NOP type=1\n"
        "label label=2\nexpr\n  RETURN type=2\n    ICON type=2 value=20\n    NOP type=1\n";
    // Twice case 1 (a jump to label 1), once no case (falling into label 1),
    // once case 2.
    exec::EXEC_UNIT ann;
    std::string error;
    ASSERT_TRUE(ann.load(cycle(dir, body, {1, 1, 7, 2}), &error)) << error;
    const exec::EXEC_FUNCTION* f = ann.find_function("main");
    ASSERT_NE(f, nullptr);
    exec::EXEC_UNIT original;
    ASSERT_TRUE(original.load(dir.file("g.icode"), &error)) << error;
    EXPECT_EQ(switch_fall_through_into_case(original).count("main"), 1u);
    // The fall-through branch written after the SWITCH carries the weight of
    // the whole edge into label 1: what the counter saw (1), not the three
    // transfers that happened.
    bool seen = false;
    for (size_t i = 0; i + 1 < f->stmts.size(); ++i) {
        const icode::NODE* r = f->stmts[i].tree;
        if (!r || r->opcode() != icode::SWITCH) continue;
        const icode::NODE* next = f->stmts[i + 1].tree;
        ASSERT_TRUE(next && next->opcode() == icode::BRANCH);
        EXPECT_EQ(weight_of(next->left()), 1);
        seen = true;
    }
    EXPECT_TRUE(seen);
}

// x = (a < 5 ? a > 1 : a > 8) ? 1 : 2: the annotation pairs the inner ?:
// with the outer one's counter, so the outer false weight is not the count
// of its false arm.
TEST(ClosedLoopLimits, ConditionalInTheConditionOfAConditional) {
    SCRATCH_DIR dir;
    const std::string body =
        "expr\n  RETURN type=2\n    QUEST type=2\n      QUEST type=2\n"
        "        LT type=2\n          NAME type=2 level=1 index=0\n          ICON type=2 value=5\n"
        "        COLON type=2\n          GT type=2\n            NAME type=2 level=1 index=0\n"
        "            ICON type=2 value=1\n          GT type=2\n            NAME type=2 level=1 "
        "index=0\n"
        "            ICON type=2 value=8\n"
        "      COLON type=2\n        ICON type=2 value=1\n        ICON type=2 value=2\n    NOP "
        "type=1\n";
    // a = 3: inner true, outer true; a = 0 (twice): inner true, outer false.
    exec::EXEC_UNIT ann;
    std::string error;
    ASSERT_TRUE(ann.load(cycle(dir, body, {3, 0, 0}), &error)) << error;
    const icode::NODE* ret = nullptr;
    for (const auto& s : ann.find_function("main")->stmts)
        if (s.tree && s.tree->opcode() == icode::RETURN) ret = s.tree;
    ASSERT_NE(ret, nullptr);
    const icode::NODE* outer = ret->left();
    ASSERT_EQ(outer->opcode(), icode::EPVAL);
    const icode::NODE* outer_colon = outer->left()->right();
    EXPECT_EQ(weight_of(outer), 1);  // outer true arm: right
    // The outer false arm happened twice, but its weight is the block's 3
    // minus the inner ?:'s true count 3.
    EXPECT_EQ(weight_of(outer_colon), 0);
}

}  // namespace
