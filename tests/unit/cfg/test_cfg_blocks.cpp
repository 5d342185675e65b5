// Basic blocks over statement lists: successors, weights and fall-through
// from the last statement, weights written back into the branches.
#include <gtest/gtest.h>

#include <array>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;
using std::string;

// Per block "succ[=weight][*]..." (* marks the fall-through successor),
// then "<" and the predecessors; blocks joined by " | ".
string describe(const FAKE_FUNCTION& f) {
    string r;
    for (size_t i = 0; i < f.size(); ++i) {
        BASIC_BLK* b = f.at(i);
        r += i ? " |" : "";
        for (const SUCC_INFO& s : b->successors())
            r += " " + s.succ->name() + (s.weight == -1 ? "" : "=" + std::to_string(s.weight)) +
                 (s.succ == b->fallthrough_succ() ? "*" : "");
        r += " <";
        for (BASIC_BLK* p : b->predecessors()) r += " " + p->name();
    }
    return r;
}

using CfgBlocks = CAPTURED_TEST;

TEST_F(CfgBlocks, SuccessorsFromTheLastStatement) {
    const struct {
        const char* text;
        const char* want;
    } cases[] = {
        // A conditional branch: its target, then the fall-through; a branch
        // never falls through; marks and scope ends are skipped; a
        // return ends the flow.
        {"p c2=7 | b3=4 | 2: p m e | 3: r | p | 5: u",
         " L2=7 L1* < | L3=4 < L0 | L3* < L0 | < L1 L2 | L5* < | < L4"},
        // Weight wrappers: the label of their operand, their own weight.
        {"c2~9 | b2=5~11 | 2:", " L2=9 L1* < | L2=11 < L0 | < L0 L1"},
        // A conditional branch to the next block has one successor.
        {"c1=3 | 1: r", " L1=3 < | < L0"},
        {"p | 4: b4", " L1* < | L1 < L0 L1"},
        // Switch cases in pre-order, each block once with its first weight.
        {"s1>2=5,2>2=6,3>3=7,d>4=8 | p | 2: | 3: | 4:",
         " L2=5 L3=7 L4=8 < | L2* < | L3* < L0 L1 "
         "| L4* < L0 L2 | < L0 L3"},
        // Without a default the next block comes last, unless a case or a
        // bare label already named it.
        {"s1>1=2,2>2=3 | p | 1: | 2:", " L2=2 L3=3 L1* < | L2* < L0 | L3* < L0 L1 | < L0 L2"},
        {"s1>3,>1,2>2 | 1: | 2: | 3:", " L3 L1* L2 < | L2* < L0 | L3* < L0 L1 | < L0 L2"},
        {"s1>2=4,2>1=6 | 1: | 2:", " L2=4 L1=6* < | L2* < L0 | < L0 L1"},
    };
    for (const auto& c : cases) EXPECT_EQ(describe(FAKE_FUNCTION(c.text)), c.want) << c.text;
}

TEST_F(CfgBlocks, AnnotateBranchWritesTheTargetOperand) {
    const struct {
        const char* text;
        std::vector<std::array<int, 3>> edges;  // from, to, weight
        const char* want;                       // the targets' weights
    } cases[] = {
        // Two cases lead to L1: the later one is met first and takes the
        // weight; a block named by no element, or without a label, by none.
        {"s1>1,2>1,3>2,>4,d>3 | 1: | 2: | 3: | 4: | 9: | p",
         {{0, 1, 50}, {0, 2, 20}, {0, 3, 30}, {0, 4, 40}, {0, 5, 60}, {0, 6, 70}},
         "-1 50 20 40 30"},
        {"s1>1 | 1:", {{0, 1, 12}}, "12"},
        // A weight wrapper takes the weight itself; blocks that end in no
        // branch have nothing to write into.
        {"c2 | b2=1~2 | 2: p | r", {{0, 2, 13}, {1, 2, 14}, {2, 3, 15}, {3, 0, 16}}, "13 14"},
    };
    for (const auto& c : cases) {
        FAKE_FUNCTION f(c.text);
        for (auto [from, to, w] : c.edges) f.at(size_t(from))->annotate_branch(f.at(size_t(to)), w);
        string got;
        for (NODE* t : f.targets) got += (got.empty() ? "" : " ") + std::to_string(t->weight());
        EXPECT_EQ(got, c.want) << c.text;
        for (size_t i = 0; i < f.size(); ++i) {
            const NODE* root = f.at(i)->last()->tree;
            EXPECT_EQ(root->weight(), -1) << c.text;
            if (root->opcode() == CBRANCH) {
                EXPECT_EQ(root->left()->weight(), -1) << c.text;
            }
        }
    }
}

TEST_F(CfgBlocks, SuccessorWeightsAndTheirLabels) {
    FAKE_FUNCTION f("c2 | b3 | 2: p | 3: r");
    BASIC_BLK* b = f.at(0);
    b->set_succ_weight(f.at(2), 12);
    b->set_succ_weight(f.at(3), 99);  // not a successor: nothing
    EXPECT_EQ(b->succ_weight(f.at(3)), -1);
    EXPECT_EQ(b->succ_label(f.at(2)), "12");
    EXPECT_EQ(b->succ_label(f.at(1)), "");   // no weight
    EXPECT_EQ(b->succ_label(f.at(3)), "0");  // not a successor
    f.instrumenting_ = true;
    EXPECT_EQ(b->succ_label(f.at(2)), "0");
}

}  // namespace
