// Basic blocks built directly over statement lists: successors and
// predecessors from the last statement, fall-through, switches, weights
// written back into branches, counter indices and their warnings.
#include <gtest/gtest.h>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;
using V = std::vector<BASIC_BLK*>;

class CfgBlocks : public CAPTURED_TEST {
protected:
    void TearDown() override {
        set_statement_printer(nullptr);
        CAPTURED_TEST::TearDown();
    }
};

// if (c) { ...; goto 3 } else { 2: ... } 3: return; then code after the
// return that falls into a labelled return.
struct IF_ELSE {
    FAKE_FUNCTION f;
    NODE* cbranch_target;
    NODE* branch_target;
    IF_ELSE() {
        STMT_ENTRY* a = f.expr(f.plain());
        cbranch_target = f.ref(2, 7);
        STMT_ENTRY* b = f.expr(f.cbranch(cbranch_target));
        f.block(a, b);  // L0
        branch_target = f.ref(3, 4);
        f.block(f.expr(f.branch(branch_target)));  // L1
        STMT_ENTRY* c = f.label(2);
        STMT_ENTRY* d = f.expr(f.plain());
        f.block(c, d);  // L2
        // Entries that are not statements do not stop the fall-through.
        f.entry(REC_MARK);
        f.entry(REC_TEXT);
        f.entry(REC_BLOCK_END);
        STMT_ENTRY* e = f.label(3);
        STMT_ENTRY* g = f.expr(f.ret());
        f.block(e, g);               // L3
        f.block(f.expr(f.plain()));  // L4, after the return
        STMT_ENTRY* h = f.label(5);
        STMT_ENTRY* i = f.expr(f.ureturn());
        f.block(h, i);  // L5
        f.compute_successors();
    }
    BASIC_BLK* L(int i) const { return f.at(size_t(i)); }
};

TEST_F(CfgBlocks, IfElseSuccessorsPredecessorsAndFallThrough) {
    IF_ELSE t;
    // A conditional branch: its target first, then the fall-through.
    EXPECT_EQ(successors_of(t.L(0)), (V{t.L(2), t.L(1)}));
    EXPECT_EQ(successors_of(t.L(1)), (V{t.L(3)}));
    // The fall-through skips the mark, text and scope entries.
    EXPECT_EQ(successors_of(t.L(2)), (V{t.L(3)}));
    EXPECT_EQ(successors_of(t.L(3)), V{});
    EXPECT_EQ(successors_of(t.L(4)), (V{t.L(5)}));
    EXPECT_EQ(successors_of(t.L(5)), V{});

    EXPECT_EQ(t.L(0)->predecessors(), V{});
    EXPECT_EQ(t.L(1)->predecessors(), (V{t.L(0)}));
    EXPECT_EQ(t.L(2)->predecessors(), (V{t.L(0)}));
    EXPECT_EQ(t.L(3)->predecessors(), (V{t.L(1), t.L(2)}));
    // Nothing follows a return: L4 has no predecessor although it comes
    // right after L3.
    EXPECT_EQ(t.L(4)->predecessors(), V{});
    EXPECT_EQ(t.L(5)->predecessors(), (V{t.L(4)}));

    EXPECT_EQ(t.L(0)->fallthrough_succ(), t.L(1));   // position 1 of a conditional branch
    EXPECT_EQ(t.L(1)->fallthrough_succ(), nullptr);  // a branch never falls through
    EXPECT_EQ(t.L(2)->fallthrough_succ(), t.L(3));
    EXPECT_EQ(t.L(3)->fallthrough_succ(), nullptr);
    EXPECT_EQ(t.L(4)->fallthrough_succ(), t.L(5));
}

TEST_F(CfgBlocks, EdgeWeightsComeFromTheTargetOperand) {
    IF_ELSE t;
    EXPECT_EQ(t.L(0)->succ_weight(t.L(2)), 7);
    EXPECT_EQ(t.L(0)->succ_weight(t.L(1)), -1);  // the fall-through carries none
    EXPECT_EQ(t.L(1)->succ_weight(t.L(3)), 4);
    EXPECT_EQ(t.L(0)->succ_weight(t.L(3)), -1);  // not a successor
    for (const SUCC_INFO& s : t.L(0)->successors()) EXPECT_EQ(s.index, -1);

    // A target wrapped in a weight node: the label is its operand's, the
    // weight the wrapper's own.
    FAKE_FUNCTION f;
    STMT_ENTRY* a = f.expr(f.cbranch(f.epval(f.ref(2), 9)));
    f.block(a);
    f.block(f.expr(f.branch(f.epval(f.ref(2, 5), 11))));
    f.block(f.label(2));
    f.compute_successors();
    EXPECT_EQ(successors_of(f.at(0)), (V{f.at(2), f.at(1)}));
    EXPECT_EQ(f.at(0)->succ_weight(f.at(2)), 9);
    EXPECT_EQ(successors_of(f.at(1)), (V{f.at(2)}));
    EXPECT_EQ(f.at(1)->succ_weight(f.at(2)), 11);
}

TEST_F(CfgBlocks, ConditionalBranchToTheFallThroughHasOneSuccessor) {
    FAKE_FUNCTION f;
    f.block(f.expr(f.cbranch(f.ref(1, 3))));
    STMT_ENTRY* l = f.label(1);
    f.block(l, f.expr(f.ret()));
    f.compute_successors();
    EXPECT_EQ(successors_of(f.at(0)), (V{f.at(1)}));
    EXPECT_EQ(f.at(0)->succ_weight(f.at(1)), 3);  // the branch's entry came first
    EXPECT_EQ(f.at(1)->predecessors(), (V{f.at(0)}));
    // The fall-through of a conditional branch is its second successor,
    // and there is none.
    EXPECT_EQ(f.at(0)->fallthrough_succ(), nullptr);
}

TEST_F(CfgBlocks, BranchToItsOwnLabelIsASelfLoop) {
    FAKE_FUNCTION f;
    f.block(f.expr(f.plain()));
    STMT_ENTRY* l = f.label(4);
    f.block(l, f.expr(f.branch(f.ref(4))));
    f.compute_successors();
    EXPECT_EQ(successors_of(f.at(1)), (V{f.at(1)}));
    EXPECT_EQ(f.at(1)->predecessors(), (V{f.at(0), f.at(1)}));
}

TEST_F(CfgBlocks, SwitchWithDefaultTakesCasesInPreOrderEachBlockOnce) {
    FAKE_FUNCTION f;
    // COMMA(COMMA(COMMA(case 1: L1, case 2: L1), case 3: L2), default: L3)
    NODE* list = f.comma(f.comma(f.comma(f.case_of(1, f.ref(1, 5)), f.case_of(2, f.ref(1, 6))),
                                 f.case_of(3, f.ref(2, 7))),
                         f.default_of(f.ref(3, 8)));
    f.block(f.expr(f.sw(list)));
    f.block(f.expr(f.plain()));  // follows the switch; no case leads here
    f.block(f.label(1));
    f.block(f.label(2));
    f.block(f.label(3));
    f.compute_successors();
    BASIC_BLK* b = f.at(0);
    EXPECT_TRUE(b->is_switch());
    EXPECT_EQ(successors_of(b), (V{f.at(2), f.at(3), f.at(4)}));
    // The second case of L1 changes nothing: the first weight stays.
    EXPECT_EQ(b->succ_weight(f.at(2)), 5);
    EXPECT_EQ(b->succ_weight(f.at(3)), 7);
    EXPECT_EQ(b->succ_weight(f.at(4)), 8);
    EXPECT_EQ(b->fallthrough_succ(), nullptr);
    EXPECT_EQ(f.at(1)->predecessors(), V{});
}

TEST_F(CfgBlocks, SwitchWalkIsPreOrderOverTheTree) {
    // A right-leaning list and a bare label element: pre-order meets the
    // left operand of each COMMA before its right operand.
    FAKE_FUNCTION f;
    NODE* list = f.comma(f.case_of(1, f.ref(3)), f.comma(f.ref(1), f.case_of(2, f.ref(2))));
    f.block(f.expr(f.sw(list)));
    f.block(f.label(1));
    f.block(f.label(2));
    f.block(f.label(3));
    f.compute_successors();
    // No DEFAULT: the fall-through block L1, which the bare label element
    // already named, is not added again.
    EXPECT_EQ(successors_of(f.at(0)), (V{f.at(3), f.at(1), f.at(2)}));
    EXPECT_EQ(f.at(0)->fallthrough_succ(), f.at(1));
}

TEST_F(CfgBlocks, SwitchWithoutDefaultFallsThroughLast) {
    FAKE_FUNCTION f;
    NODE* list = f.comma(f.case_of(1, f.ref(1, 2)), f.case_of(2, f.ref(2, 3)));
    f.block(f.expr(f.sw(list)));
    f.block(f.expr(f.plain()));  // L1: where control goes when no case matches
    f.block(f.label(1));
    f.block(f.label(2));
    f.compute_successors();
    EXPECT_EQ(successors_of(f.at(0)), (V{f.at(2), f.at(3), f.at(1)}));
    EXPECT_EQ(f.at(0)->succ_weight(f.at(1)), -1);
    EXPECT_EQ(f.at(0)->fallthrough_succ(), f.at(1));
    EXPECT_EQ(f.at(1)->predecessors(), (V{f.at(0)}));
}

TEST_F(CfgBlocks, SwitchWithoutDefaultWhoseCaseIsTheFallThrough) {
    FAKE_FUNCTION f;
    NODE* list = f.comma(f.case_of(1, f.ref(2, 4)), f.case_of(2, f.ref(1, 6)));
    f.block(f.expr(f.sw(list)));
    f.block(f.label(1));
    f.block(f.label(2));
    f.compute_successors();
    // One entry for L1: the case's; it is also the default successor.
    EXPECT_EQ(successors_of(f.at(0)), (V{f.at(2), f.at(1)}));
    EXPECT_EQ(f.at(0)->succ_weight(f.at(1)), 6);
    EXPECT_EQ(f.at(0)->fallthrough_succ(), f.at(1));
}

TEST_F(CfgBlocks, AnnotateSwitchWalksTheCaseListFromTheLastElement) {
    FAKE_FUNCTION f;
    NODE* c1 = f.ref(1);
    NODE* c2 = f.ref(1);
    NODE* c3 = f.ref(2);
    NODE* bare = f.ref(4);
    NODE* d = f.ref(3);
    // elements in order: case 1: L1, case 2: L1, case 3: L2, bare L4, default: L3
    NODE* list = f.comma(
        f.comma(f.comma(f.comma(f.case_of(1, c1), f.case_of(2, c2)), f.case_of(3, c3)), bare),
        f.default_of(d));
    f.block(f.expr(f.sw(list)));
    f.block(f.label(1));
    f.block(f.label(2));
    f.block(f.label(3));
    f.block(f.label(4));
    f.block(f.label(9));         // named by no element
    f.block(f.expr(f.plain()));  // begins with no label
    f.compute_successors();
    BASIC_BLK* b = f.at(0);

    // Two cases lead to L1: the later one is met first and takes the weight.
    b->annotate_branch(f.at(1), 50);
    EXPECT_EQ(c2->weight(), 50);
    EXPECT_EQ(c1->weight(), -1);
    b->annotate_branch(f.at(2), 20);
    EXPECT_EQ(c3->weight(), 20);
    b->annotate_branch(f.at(3), 30);  // DEFAULT: its left operand
    EXPECT_EQ(d->weight(), 30);
    b->annotate_branch(f.at(4), 40);  // a bare label element: the node itself
    EXPECT_EQ(bare->weight(), 40);
    b->annotate_branch(f.at(5), 60);  // no element matches
    b->annotate_branch(f.at(6), 70);  // no label to match
    EXPECT_EQ(c1->weight(), -1);
    EXPECT_EQ(c2->weight(), 50);
    EXPECT_EQ(c3->weight(), 20);
    EXPECT_EQ(d->weight(), 30);
    EXPECT_EQ(bare->weight(), 40);
}

TEST_F(CfgBlocks, AnnotateSwitchWithASingleElement) {
    FAKE_FUNCTION f;
    NODE* target = f.ref(1);
    f.block(f.expr(f.sw(f.case_of(1, target))));
    f.block(f.label(1));
    f.compute_successors();
    f.at(0)->annotate_branch(f.at(1), 12);
    EXPECT_EQ(target->weight(), 12);
}

TEST_F(CfgBlocks, AnnotateBranchesWritesTheTargetOperand) {
    FAKE_FUNCTION f;
    NODE* cb_target = f.ref(2);
    NODE* cb = f.cbranch(cb_target);
    f.block(f.expr(cb));  // L0 -> L2 L1
    NODE* br_target = f.epval(f.ref(2, 1), 2);
    f.block(f.expr(f.branch(br_target)));  // L1 -> L2
    NODE* stmt = f.plain();
    STMT_ENTRY* l = f.label(2);
    f.block(l, f.expr(stmt));  // L2 -> L3
    NODE* r = f.ret();
    f.block(f.expr(r));  // L3
    f.compute_successors();

    f.at(0)->annotate_branch(f.at(2), 13);
    EXPECT_EQ(cb_target->weight(), 13);
    EXPECT_EQ(cb->weight(), -1);
    EXPECT_EQ(cb->left()->weight(), -1);
    // The operand itself, a weight wrapper included.
    f.at(1)->annotate_branch(f.at(2), 14);
    EXPECT_EQ(br_target->weight(), 14);
    EXPECT_EQ(br_target->left()->weight(), 1);
    // Blocks that end in anything else have no branch to write into.
    f.at(2)->annotate_branch(f.at(3), 15);
    f.at(3)->annotate_branch(f.at(0), 16);
    EXPECT_EQ(stmt->weight(), -1);
    EXPECT_EQ(stmt->left()->weight(), -1);
    EXPECT_EQ(stmt->right()->weight(), -1);
    EXPECT_EQ(r->weight(), -1);
}

TEST_F(CfgBlocks, SetSuccIndexSetsTheEdge) {
    IF_ELSE t;
    t.L(0)->set_succ_index(t.L(1), 3);
    t.L(2)->set_succ_index(t.L(3), 1);
    std::vector<std::string> seen;
    for (int i = 0; i < 4; ++i)
        t.L(i)->for_each_indexed_succ([&](BASIC_BLK* b, BASIC_BLK* s, int index) {
            seen.push_back(b->name() + "->" + s->name() + "=" + std::to_string(index));
        });
    EXPECT_EQ(seen, (std::vector<std::string>{"L0->L1=3", "L2->L3=1"}));
    EXPECT_EQ(t.L(0)->successors()[0].index, -1);  // L0->L2 untouched
    EXPECT_EQ(err(), "");
}

TEST_F(CfgBlocks, SetSuccIndexWarnings) {
    IF_ELSE t;
    // L3 returns: no successors.  The text holds a tab before
    // "successors"; it wraps there, the last blank before column 79.
    t.L(3)->set_succ_index(t.L(0), 1);
    // L3 is not a successor of L0.
    t.L(0)->set_succ_index(t.L(3), 2);
    EXPECT_EQ(err(),
              "warning: Func f: Trying to set instrumentation index for block L3 with no\n"
              "   successors\n"
              "warning: Func f: Block L3 is not a successor of block L0\n");
    for (int i = 0; i < 6; ++i)
        for (const SUCC_INFO& s : t.L(i)->successors()) EXPECT_EQ(s.index, -1);

    // Hidden warnings change nothing either.
    DIAG::settings().warning = false;
    t.L(0)->set_succ_index(t.L(3), 2);
    for (int i = 0; i < 6; ++i)
        for (const SUCC_INFO& s : t.L(i)->successors()) EXPECT_EQ(s.index, -1);
}

TEST_F(CfgBlocks, WeightsAndGraphLabels) {
    IF_ELSE t;
    BASIC_BLK* b = t.L(0);
    EXPECT_EQ(b->weight(), 0);  // a new block
    b->set_weight(21);
    EXPECT_EQ(b->weight(), 21);
    EXPECT_EQ(b->exec_weight(), 21);

    b->set_succ_weight(t.L(2), 12);
    b->set_succ_weight(t.L(4), 99);  // not a successor: nothing
    EXPECT_EQ(b->succ_weight(t.L(2)), 12);
    EXPECT_EQ(b->succ_weight(t.L(4)), -1);
    EXPECT_EQ(b->succ_label(t.L(2)), "12");
    EXPECT_EQ(b->succ_label(t.L(1)), "");   // weight -1
    EXPECT_EQ(b->succ_label(t.L(4)), "0");  // not a successor
    t.f.instrumenting_ = true;
    EXPECT_EQ(b->succ_label(t.L(2)), "0");

    std::vector<std::string> seen;
    b->for_each_weighted_succ([&](BASIC_BLK* from, BASIC_BLK* to, int w) {
        seen.push_back(from->name() + "->" + to->name() + "=" + std::to_string(w));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"L0->L2=12"}));
}

TEST_F(CfgBlocks, NamesNumbersAndCursors) {
    IF_ELSE t;
    BASIC_BLK* b = t.L(0);
    EXPECT_EQ(t.L(5)->name(), "L5");
    EXPECT_EQ(t.L(5)->label(), "L5");
    EXPECT_EQ(t.L(5)->number(), 5);
    EXPECT_TRUE(t.L(3)->number_ge(t.L(3)));
    EXPECT_TRUE(t.L(3)->number_ge(t.L(1)));
    EXPECT_FALSE(t.L(1)->number_ge(t.L(3)));
    EXPECT_FALSE(b->is_switch());

    EXPECT_EQ(b->first_succ(), t.L(2));
    EXPECT_EQ(b->next_succ(), t.L(1));
    EXPECT_EQ(b->next_succ(), nullptr);
    EXPECT_EQ(b->next_succ(), nullptr);
    EXPECT_EQ(b->first_succ(), t.L(2));  // starts over
    EXPECT_EQ(t.L(3)->first_succ(), nullptr);

    // The statement cursor: L2 is {label 2; plain}, then the entries after.
    BASIC_BLK* c = t.L(2);
    EXPECT_FALSE(c->at_end());  // cursor not set
    STMT_ENTRY* s = c->first_stmt();
    EXPECT_EQ(s, c->first());
    EXPECT_FALSE(c->at_end());
    EXPECT_EQ(c->next_stmt(), c->last());
    EXPECT_FALSE(c->at_end());
    EXPECT_EQ(c->next_stmt(), c->last()->next);
    EXPECT_TRUE(c->at_end());
}

std::string kind_printer(const STMT_ENTRY& e) { return "kind " + std::to_string(e.kind); }

TEST_F(CfgBlocks, StatementTexts) {
    IF_ELSE t;
    // The dump text by default: a label statement shows its number.
    EXPECT_EQ(t.L(2)->stmt_text(0), "LABEL 2");
    set_statement_printer(kind_printer);
    // L2 = {label 2; plain}; the statement after it is the mark.
    EXPECT_EQ(t.L(2)->stmt_text(0), "kind 42");
    EXPECT_EQ(t.L(2)->stmt_text(1), "kind 46");
    EXPECT_EQ(t.L(2)->stmt_text(2), "kind 6");
    EXPECT_EQ(t.L(2)->stmt_text(3), "");
    EXPECT_EQ(t.L(2)->stmt_text(-1), "");
    // The last block of the list has nothing after it.
    EXPECT_EQ(t.L(5)->stmt_text(1), "kind 46");
    EXPECT_EQ(t.L(5)->stmt_text(2), "");
    set_statement_printer(nullptr);
    EXPECT_EQ(t.L(3)->stmt_text(0), "LABEL 3");
}

// A branch to a label that begins no block is damaged input: the run ends
// with the reader's invalid-record error rather than making a self-edge or
// an edge to nothing.
TEST_F(CfgBlocks, BranchToALabelThatBeginsNoBlockEndsTheRun) {
    {
        FAKE_FUNCTION f;
        f.block(f.expr(f.branch(f.ref(8))));
        f.block(f.label(1));
        EXPECT_EQ(exit_status_of([&] { f.at(0)->compute_successors(); }), 1);
        EXPECT_TRUE(f.at(0)->successors().empty());
        EXPECT_TRUE(f.at(1)->predecessors().empty());
    }
    {
        FAKE_FUNCTION f;
        f.block(f.expr(f.cbranch(f.ref(8))));
        f.block(f.label(1));
        EXPECT_EQ(exit_status_of([&] { f.at(0)->compute_successors(); }), 1);
        EXPECT_TRUE(f.at(0)->successors().empty());
    }
    {
        FAKE_FUNCTION f;
        f.block(f.expr(f.sw(f.comma(f.case_of(1, f.ref(1)), f.default_of(f.ref(8))))));
        f.block(f.label(1));
        EXPECT_EQ(exit_status_of([&] { f.at(0)->compute_successors(); }), 1);
        EXPECT_TRUE(f.at(1)->predecessors().empty());
    }
}

}  // namespace
