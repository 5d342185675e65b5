// Count propagation on functions built directly, with counts worked out by
// hand.  Each test names its edges in list order and which of them are
// chords (the numbering tests show how the tree is chosen); counter 0 is
// the entry count, counter i the chord numbered i.
#include <gtest/gtest.h>

#include <climits>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;

class Propagation : public CAPTURED_TEST {};

// Block weights, and the weight of every successor edge in block and
// successor order, as "Lx=w" and "Lx->Ly=w".
std::vector<std::string> weights(const FAKE_FUNCTION& f) {
    std::vector<std::string> r;
    for (size_t i = 0; i < f.size(); ++i)
        r.push_back(f.at(i)->name() + "=" + std::to_string(f.at(i)->weight()));
    for (size_t i = 0; i < f.size(); ++i)
        for (const SUCC_INFO& s : f.at(i)->successors())
            r.push_back(f.at(i)->name() + "->" + s.succ->name() + "=" + std::to_string(s.weight));
    return r;
}
using W = std::vector<std::string>;

void preset_weights(FAKE_FUNCTION& f, int w) {
    for (size_t i = 0; i < f.size(); ++i) f.at(i)->set_weight(w);
}

// if (c) { L1: goto 3 } else { L2 } L3: return.  Edges e0=L0->L2
// e1=L0->L1 (chord 1) e2=L1->L3 e3=L2->L3 (chord 2), exit L3->L0.
struct IF_ELSE {
    FAKE_FUNCTION f;
    std::unique_ptr<PROFILE_GRAPH> pg;
    explicit IF_ELSE(int extra_counters = 0) {
        f.block(f.expr(f.cbranch(f.ref(2))));
        f.block(f.expr(f.branch(f.ref(3))));
        STMT_ENTRY* l2 = f.label(2);
        f.block(l2, f.expr(f.plain()));
        STMT_ENTRY* l3 = f.label(3);
        f.block(l3, f.expr(f.ret()));
        f.compute_successors();
        pg = f.graph(extra_counters);
    }
};

TEST_F(Propagation, DataSetsAreSummedAndWrongLengthsSkipped) {
    IF_ELSE t;
    // Sums of sets 0 and 2: entry 15, L0->L1 4, L2->L3 11.  Then L0->L2 is
    // 15 - 4 = 11, L1->L3 carries L1's 4, and L3 gets 4 + 11.
    t.pg->propagate_counters(DATA_SETS{{10, 3, 7}, {100, 100}, {5, 1, 4}, {1, 1, 1, 1}});
    EXPECT_EQ(weights(t.f), (W{"L0=15", "L1=4", "L2=11", "L3=15", "L0->L2=11", "L0->L1=4",
                               "L1->L3=4", "L2->L3=11"}));
    EXPECT_EQ(t.pg->entry_count(), 15);
    EXPECT_EQ(err(),
              "warning: Func f: Number of profile counters 2 does not match expected number of\n"
              "   counters 3. Skipping data set 1\n"
              "warning: Func f: Number of profile counters 4 does not match expected number of\n"
              "   counters 3. Skipping data set 3\n");
}

TEST_F(Propagation, ExtraCountersFollowTheChords) {
    IF_ELSE t(2);
    // Five counters now: entry, two chords, two extra.  A set of three is
    // the wrong length.
    t.pg->propagate_counters(DATA_SETS{{10, 3, 7, 6, 1}, {1, 2, 3}, {5, 1, 4, 2, 2}});
    EXPECT_EQ(t.pg->extra_values(), (std::map<int, int>{{0, 8}, {1, 3}}));
    EXPECT_EQ(t.f.at(0)->weight(), 15);
    EXPECT_EQ(err(),
              "warning: Func f: Number of profile counters 3 does not match expected number of\n"
              "   counters 5. Skipping data set 1\n");
}

TEST_F(Propagation, EntryCountZeroSetsOnlyTheEntryWeight) {
    {
        IF_ELSE t;
        preset_weights(t.f, 99);
        t.pg->propagate_counters(DATA_SETS{{0, 3, 7}, {0, 1, 1}});
        EXPECT_EQ(weights(t.f), (W{"L0=0", "L1=99", "L2=99", "L3=99", "L0->L2=-1", "L0->L1=-1",
                                   "L1->L3=-1", "L2->L3=-1"}));
        EXPECT_EQ(err(), "");
    }
    {
        // Every set skipped: nothing was summed, so the entry count is 0 too.
        IF_ELSE t;
        preset_weights(t.f, 99);
        t.pg->propagate_counters(DATA_SETS{{5, 5}});
        EXPECT_EQ(weights(t.f), (W{"L0=0", "L1=99", "L2=99", "L3=99", "L0->L2=-1", "L0->L1=-1",
                                   "L1->L3=-1", "L2->L3=-1"}));
    }
}

TEST_F(Propagation, NoDataSetLeavesTheFunctionUnannotated) {
    IF_ELSE t;
    preset_weights(t.f, 99);
    t.pg->propagate_counters(DATA_SETS{});
    EXPECT_EQ(err(), "warning: Func f: No profile info found in file\n");
    EXPECT_EQ(weights(t.f), (W{"L0=99", "L1=99", "L2=99", "L3=99", "L0->L2=-1", "L0->L1=-1",
                               "L1->L3=-1", "L2->L3=-1"}));
    EXPECT_EQ(boost::num_edges(t.pg->graph()), 4u);  // not even numbered
}

TEST_F(Propagation, StraightLineGetsTheEntryCountEverywhere) {
    {
        // One block: no edges, counter 0 only.
        FAKE_FUNCTION f;
        STMT_ENTRY* a = f.expr(f.plain());
        f.block(a, f.expr(f.ret()));
        f.compute_successors();
        auto pg = f.graph();
        pg->propagate_counters(DATA_SETS{{6}, {2}});
        EXPECT_EQ(weights(f), (W{"L0=8"}));
        EXPECT_EQ(pg->node_weight(0), 8);
    }
    // L0 -> L1 -> L2 (return); the chord is L0->L1.
    FAKE_FUNCTION f;
    f.block(f.expr(f.plain()));
    f.block(f.label(1));
    STMT_ENTRY* l = f.label(2);
    f.block(l, f.expr(f.ret()));
    f.compute_successors();
    auto pg = f.graph();
    pg->propagate_counters(DATA_SETS{{4, 4}, {3, 3}});
    EXPECT_EQ(weights(f), (W{"L0=7", "L1=7", "L2=7", "L0->L1=7", "L1->L2=7"}));
    EXPECT_EQ(err(), "");
    EXPECT_EQ(out(), "");
}

TEST_F(Propagation, SingleSuccessorOverride) {
    // L0 -> L1 -> L2 -> L3 (return); the chord is L1->L2 and it claims 5
    // while 7 entered.  L0's single edge, a tree edge solved as 5, is set
    // from L0's input without a word; L1's is a measured chord, so the
    // remark is given; from there on everything is 7.
    FAKE_FUNCTION f;
    f.block(f.expr(f.plain()));
    f.block(f.label(1));
    f.block(f.label(2));
    STMT_ENTRY* l = f.label(3);
    f.block(l, f.expr(f.ret()));
    f.compute_successors();
    auto pg = f.graph();
    DIAG::settings().remark = true;
    pg->propagate_counters(DATA_SETS{{7, 5}});
    EXPECT_EQ(weights(f), (W{"L0=7", "L1=7", "L2=7", "L3=7", "L0->L1=7", "L1->L2=7", "L2->L3=7"}));
    EXPECT_EQ(out(),
              "remark: Func f:  Overriding profile weight for single successor edge \tL1-->L2\n"
              "   from 5 to 7\n");
    EXPECT_EQ(err(), "");
}

TEST_F(Propagation, NegativeInEdgeAndARecomputedSuccessor) {
    // A loop at the function entry: L0 (label 1) -> L3 L1; L1 -> L2; L2 goes
    // back to L0; L3 returns.  Edges e0=L0->L3 (chord 1) e1=L0->L1
    // e2=L1->L2 e3=L2->L0 (chord 2), exit L3->L0.  Entered 10 times, left
    // 3 times: the data do not agree (entries must equal exits).
    //
    // Solving the tree: L0->L1 and L1->L2 carry the 4 of L2->L0.
    // Pass 1: at L0 the in-edge from L2 is held back (L2 is not complete and
    //   has one successor), so it is the one edge left: 7 out - 10 in = -3,
    //   set with the "in" warning; L0 completes with 10.  L1 completes with
    //   4.  L2's single edge is the measured chord, now -3 against an input
    //   of 4: the remark, L0 is made incomplete again, and L2->L0 becomes 4.
    //   L3 completes with 3.
    // Pass 2: L0 recomputed: 10 + 4 in, 7 out, weight 14.
    // Balance: L0 takes in 14 and gives out 7.  Finally the entry block's
    // weight is the entry count.
    FAKE_FUNCTION f;
    STMT_ENTRY* l1 = f.label(1);
    f.block(l1, f.expr(f.cbranch(f.ref(3))));
    f.block(f.expr(f.plain()));
    STMT_ENTRY* l2 = f.label(2);
    f.block(l2, f.expr(f.branch(f.ref(1))));
    STMT_ENTRY* l3 = f.label(3);
    f.block(l3, f.expr(f.ret()));
    f.compute_successors();
    auto pg = f.graph();
    DIAG::settings().remark = true;
    pg->propagate_counters(DATA_SETS{{10, 3, 4}});
    EXPECT_EQ(err(),
              "warning: Func f: Attempting to set (in) weight of edge L2-->L0 to -3\n"
              "warning: Func f: Block L0: Input weight 14 does not match output weight 7\n");
    EXPECT_EQ(out(),
              "remark: Func f:  Overriding profile weight for single successor edge \tL2-->L0\n"
              "   from -3 to 4\n");
    EXPECT_EQ(pg->node_weight(0), 14);
    EXPECT_EQ(weights(f),
              (W{"L0=10", "L1=4", "L2=4", "L3=3", "L0->L3=3", "L0->L1=4", "L1->L2=4", "L2->L0=4"}));
}

TEST_F(Propagation, NegativeOutEdgeStaysUnsolved) {
    // L0 -> L1 (return); the chord is L0->L1.  An entry count of 2^31 is
    // negative as a 32-bit count: L0's single edge is overridden (the
    // remark) but cannot take a negative count (the "out" warning), so it
    // stays unsolved and L0 never completes; L1 waits for L0.  The warning
    // comes again in each of the 11 passes.
    FAKE_FUNCTION f;
    f.block(f.expr(f.plain()));
    STMT_ENTRY* l = f.label(1);
    f.block(l, f.expr(f.ret()));
    f.compute_successors();
    auto pg = f.graph();
    DIAG::settings().remark = true;
    pg->propagate_counters(DATA_SETS{{0x80000000u, 5}});
    EXPECT_EQ(out(),
              "remark: Func f:  Overriding profile weight for single successor edge \tL0-->L1\n"
              "   from 5 to -2147483648\n");
    std::string warnings;
    for (int pass = 0; pass < 11; ++pass)
        warnings +=
            "warning: Func f: Attempting to set (out) weight of edge L0-->L1 to -2147483648\n";
    warnings +=
        "warning: Func f: Could not complete profile info propagation: Incomplete\n"
        "   profile info for blocks:\n"
        "warning:  L0 L1\n";
    EXPECT_EQ(err(), warnings);
    EXPECT_FALSE(pg->complete(0));
    EXPECT_FALSE(pg->complete(1));
    EXPECT_EQ(f.at(0)->weight(), INT_MIN);  // the entry count
    EXPECT_EQ(f.at(1)->weight(), 0);        // incomplete
}

TEST_F(Propagation, SelfLoopIsNotComparedForBalance) {
    // L0 -> L1, and L1 only jumps to itself: entered once, looping 1000
    // times, it runs 1001 times but passes on 1000.  The edges: L0->L1 the
    // tree, the self-loop the chord.
    FAKE_FUNCTION f;
    f.block(f.expr(f.plain()));
    STMT_ENTRY* l = f.label(1);
    f.block(l, f.expr(f.branch(f.ref(1))));
    f.compute_successors();
    auto pg = f.graph();
    pg->propagate_counters(DATA_SETS{{1, 1000}});
    EXPECT_EQ(weights(f), (W{"L0=1", "L1=1001", "L0->L1=1", "L1->L1=1000"}));
    EXPECT_EQ(err(), "");
}

TEST_F(Propagation, UnreachableBlocksAreNotWritten) {
    // L0 -> L1 (return); L2 follows the return and jumps to L1.  Edges
    // L0->L1 (chord 1) L2->L1, exit L1->L0.  L2 has no in-edge: its weight
    // and the weight of its edge keep what they had.
    FAKE_FUNCTION f;
    f.block(f.expr(f.plain()));
    STMT_ENTRY* l = f.label(1);
    f.block(l, f.expr(f.ret()));
    STMT_ENTRY* a = f.expr(f.plain());
    f.block(a, f.expr(f.branch(f.ref(1, 42))));
    f.compute_successors();
    preset_weights(f, 77);
    auto pg = f.graph();
    pg->propagate_counters(DATA_SETS{{5, 5}});
    EXPECT_TRUE(pg->unreachable(2));
    EXPECT_EQ(weights(f), (W{"L0=5", "L1=5", "L2=77", "L0->L1=5", "L2->L1=42"}));
    EXPECT_EQ(err(), "");
}

// A chain laid out against the flow: L0 jumps to Lk, each Li (i > 1) jumps
// to L(i-1), L1 returns.  A block's input from a block with a single
// successor waits until that block is complete, and blocks are visited in
// index order, so completion creeps down the chain one block per pass: Lk
// in pass 1 (after L0), L(k-1) in pass 2, and so on.  The chain has one
// chord, and which edge of the cycle it is depends on k (the heap of the
// tree algorithm hands the edges out in an order that shifts with their
// number); a block whose only unknown is that measured in-edge takes it from
// its output at once.
struct BACKWARD_CHAIN {
    FAKE_FUNCTION f;
    std::unique_ptr<PROFILE_GRAPH> pg;
    explicit BACKWARD_CHAIN(int k) {
        f.block(f.expr(f.branch(f.ref(k))));
        for (int i = 1; i <= k; ++i) {
            STMT_ENTRY* l = f.label(i);
            f.block(l, f.expr(i == 1 ? f.ret() : f.branch(f.ref(i - 1))));
        }
        f.compute_successors();
        pg = f.graph();
    }
    void expect_chord(CFG_VERTEX source, CFG_VERTEX target) const {
        ASSERT_EQ(pg->instr_edges().size(), 1u);
        EXPECT_EQ(pg->instr_edges().at(1).source, source);
        EXPECT_EQ(pg->instr_edges().at(1).target, target);
    }
};

TEST_F(Propagation, CompleteInTheEleventhPass) {
    // k = 14, chord L4->L3: L3 completes in pass 1 from its output, L2 and
    // L1 in passes 2 and 3; from the top L14 in pass 1 down to L4 in pass 11.
    BACKWARD_CHAIN t(14);
    t.pg->propagate_counters(DATA_SETS{{3, 3}});
    t.expect_chord(4, 3);
    EXPECT_EQ(err(), "");
    for (size_t i = 0; i < t.f.size(); ++i) {
        EXPECT_EQ(t.f.at(i)->weight(), 3) << i;
        EXPECT_TRUE(t.pg->complete(i));
    }
}

TEST_F(Propagation, IncompleteAfterElevenPasses) {
    // k = 16, chord L2->L1: L1 has no output to take its input from, so
    // nothing short-cuts the creep: after 11 passes L16 down to L6 are
    // complete, L1 to L5 not.  In the balance check the inputs of L2, L3
    // and L4 are still held back (each comes from an incomplete block with
    // one successor), so they show 0 in against 3 out; L5's input, from
    // L6, counts, and L1 has no output to compare.
    BACKWARD_CHAIN t(16);
    t.pg->propagate_counters(DATA_SETS{{3, 3}});
    t.expect_chord(2, 1);
    EXPECT_EQ(err(),
              "warning: Func f: Could not complete profile info propagation: Incomplete\n"
              "   profile info for blocks:\n"
              "warning:  L1 L2 L3 L4 L5\n"
              "warning: Func f: Block L2: Input weight 0 does not match output weight 3\n"
              "warning: Func f: Block L3: Input weight 0 does not match output weight 3\n"
              "warning: Func f: Block L4: Input weight 0 does not match output weight 3\n");
    // What is known is written: every edge was solved from the counters,
    // the incomplete blocks get 0.
    for (size_t i = 0; i < t.f.size(); ++i) {
        bool incomplete = i >= 1 && i <= 5;
        EXPECT_EQ(t.f.at(i)->weight(), incomplete ? 0 : 3) << i;
        EXPECT_EQ(t.pg->complete(i), !incomplete) << i;
        for (const SUCC_INFO& s : t.f.at(i)->successors()) EXPECT_EQ(s.weight, 3) << i;
    }
}

TEST_F(Propagation, DetachedCycleTakesItsCountsFromItsChord) {
    // L0 returns; L1 <-> L2 loop with no way in and no way out.  The tree
    // edge L1->L2 is not reached from the entry and stays unsolved, but L2
    // knows its output (the chord, 6) and takes its one unknown input from
    // it in pass 1; L1 follows in pass 2.
    FAKE_FUNCTION f;
    f.block(f.expr(f.ret()));
    f.block(f.label(1));
    STMT_ENTRY* l = f.label(2);
    f.block(l, f.expr(f.branch(f.ref(1))));
    f.compute_successors();
    auto pg = f.graph();
    pg->propagate_counters(DATA_SETS{{2, 6}});
    EXPECT_EQ(err(), "");
    EXPECT_EQ(weights(f), (W{"L0=2", "L1=6", "L2=6", "L1->L2=6", "L2->L1=6"}));
}

TEST_F(Propagation, SumsWrapAs32BitIntegers) {
    {
        // Counter 1 sums to 2^32: 0.  Entry 2, L0->L1 0, L2->L3 2.
        IF_ELSE t;
        t.pg->propagate_counters(DATA_SETS{{0xFFFFFFFFu, 0xFFFFFFFFu, 0}, {3, 1, 2}});
        EXPECT_EQ(weights(t.f), (W{"L0=2", "L1=0", "L2=2", "L3=2", "L0->L2=2", "L0->L1=0",
                                   "L1->L3=0", "L2->L3=2"}));
        EXPECT_EQ(err(), "");
    }
    {
        // L0->L1 2^31 - 1 and L2->L3 1 add up to 2^31, which is the entry
        // count as a (negative) 32-bit count: L0 balances, and L3's input
        // wraps to the same negative count, below L3's (empty) output: a
        // block's weight is the larger of the two, 0.
        IF_ELSE t;
        t.pg->propagate_counters(DATA_SETS{{0x80000000u, 0x7FFFFFFFu, 1}});
        EXPECT_EQ(weights(t.f),
                  (W{"L0=" + std::to_string(INT_MIN), "L1=2147483647", "L2=1", "L3=0", "L0->L2=1",
                     "L0->L1=2147483647", "L1->L3=2147483647", "L2->L3=1"}));
        EXPECT_EQ(t.pg->node_weight(0), INT_MIN);
        EXPECT_EQ(err(), "");
    }
}

// The if-then-else with an unreachable block after the return (L4, an exit
// too), and every debug diagnostic of the job.  Exit edges L3->L0 and
// L4->L0; the heap hands out L3->L0, L4->L0, L1->L3, L0->L1 (refused),
// L0->L2, L2->L3 (refused): the chords are as without L4.
struct IF_ELSE_DEAD {
    FAKE_FUNCTION f;
    std::unique_ptr<PROFILE_GRAPH> pg;
    IF_ELSE_DEAD() {
        f.block(f.expr(f.cbranch(f.ref(2))));
        f.block(f.expr(f.branch(f.ref(3))));
        STMT_ENTRY* l2 = f.label(2);
        f.block(l2, f.expr(f.plain()));
        STMT_ENTRY* l3 = f.label(3);
        f.block(l3, f.expr(f.ret()));
        f.block(f.expr(f.plain()));
        f.compute_successors();
        pg = f.graph();
    }
};

const char* const NUMBERING_TEXT =
    "debug: Func f: KVT edge 0: L0-->L2\n"
    "debug: Func f: Instrumentation edge: L0-->L1\n"
    "debug: Func f: KVT edge 0: L1-->L3\n"
    "debug: Func f: Instrumentation edge: L2-->L3\n"
    "debug: Func f: KVT edge 0: L3-->L0\n"
    "debug: Func f: KVT edge 0: L4-->L0\n"
    "debug: Func f: Number of edges in compl-MST = 3\n"
    "debug: Func f: Node L4 is UNREACHABLE\n"
    "debug: Func f: Edge L0-->L1: Index = 1: PROFWT = 4\n"
    "debug: Func f: Edge L2-->L3: Index = 2: PROFWT = 11\n";

const char* const EXIT_EDGES_TEXT =
    "debug: Func f: Adding edge between nodes L3-->L0\n"
    "debug: Func f: Adding edge between nodes L4-->L0\n";

TEST_F(Propagation, DebugDiagnosticsAtLevelThree) {
    IF_ELSE_DEAD t;
    DIAG::settings().debug = true;
    add_flags("debug", "profile=3");
    t.pg->propagate_counters(DATA_SETS{{15, 4, 11}});
    EXPECT_EQ(out(), std::string(EXIT_EDGES_TEXT) + NUMBERING_TEXT);
    EXPECT_EQ(err(), "");
    EXPECT_EQ(weights(t.f), (W{"L0=15", "L1=4", "L2=11", "L3=15", "L4=0", "L0->L2=11", "L0->L1=4",
                               "L1->L3=4", "L2->L3=11"}));
}

TEST_F(Propagation, DebugDiagnosticsAtLevelFour) {
    IF_ELSE_DEAD t;
    DIAG::settings().debug = true;
    add_flags("debug", "profile=4");
    t.pg->propagate_counters(DATA_SETS{{15, 4, 11}});
    EXPECT_EQ(out(), std::string(EXIT_EDGES_TEXT) +
                         "debug: Func f: KVT edge 1: L3-->L0\n"
                         "debug: Func f: KVT edge 2: L4-->L0\n"
                         "debug: Func f: KVT edge 3: L1-->L3\n"
                         "debug: Func f: KVT edge 4: L0-->L2\n" +
                         NUMBERING_TEXT +
                         // Complete vertices in index order; the unreachable
                         // one never got a weight.
                         "debug: Func f: Node L0: PROFWT = 15\n"
                         "debug: Func f: Node L1: PROFWT = 4\n"
                         "debug: Func f: Node L2: PROFWT = 11\n"
                         "debug: Func f: Node L3: PROFWT = 15\n"
                         "debug: Func f: Node L4: PROFWT = 0\n");
}

TEST_F(Propagation, LongChainIsSolvedWithoutDeepRecursion) {
    // 200,000 blocks falling through one into the next; the spanning tree
    // is nearly the whole chain, so the walk that solves it is as deep.
    const size_t n = 200000;
    FAKE_FUNCTION f;
    for (size_t i = 0; i + 1 < n; ++i) f.block(f.expr(f.icon(0)));
    f.block(f.expr(f.ret()));
    f.compute_successors();
    auto pg = f.graph();
    pg->propagate_counters(DATA_SETS{{9, 9}});
    EXPECT_EQ(err(), "");
    size_t wrong = 0;
    for (size_t i = 0; i < n; ++i) {
        BASIC_BLK* b = f.at(i);
        wrong += b->weight() != 9;
        if (i + 1 < n) wrong += b->succ_weight(f.at(i + 1)) != 9;
    }
    EXPECT_EQ(wrong, 0u);
}

}  // namespace
