// Solving the spanning-tree edges from the chords' counters, checked
// against a plain recursive walk written here: from the entry, each vertex
// first solves the unsolved edges that lead away from it (in-edges, then
// out-edges, in list order), then sets the edge it was reached through to
// the difference of what comes in and what goes out.
#include <gtest/gtest.h>

#include "profiling/propagation.h"
#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;

class PropagationSolve : public CAPTURED_TEST {};

int abs_difference(uint32_t in, uint32_t out) {
    int d = int(in - out);
    return d < 0 ? int(0u - uint32_t(d)) : d;
}

void reference_solve(CFG_GRAPH& g, CFG_VERTEX v, EDGE_INFO* via,
                     std::vector<const EDGE_INFO*>& order) {
    uint32_t in = 0, out = 0;
    for (auto [it, end] = boost::in_edges(v, g); it != end; ++it) {
        EDGE_INFO& f = g[*it];
        if (&f != via && !f.measured && !f.valid)
            reference_solve(g, boost::source(*it, g), &f, order);
        in += uint32_t(f.count);
    }
    for (auto [it, end] = boost::out_edges(v, g); it != end; ++it) {
        EDGE_INFO& f = g[*it];
        if (&f != via && !f.measured && !f.valid)
            reference_solve(g, boost::target(*it, g), &f, order);
        out += uint32_t(f.count);
    }
    if (!via) return;
    via->count = abs_difference(in, out);
    via->valid = true;
    order.push_back(via);
}

struct SOLVED {
    std::vector<int> counts;
    std::vector<bool> valid;
};

// Counts and solved flags of the control-flow edges (the first `real` in
// list order; the exit edges follow them).
SOLVED solved(const PROFILE_GRAPH& pg, size_t real) {
    SOLVED r;
    const CFG_GRAPH& g = pg.graph();
    size_t i = 0;
    for (auto [it, end] = boost::edges(g); it != end && i < real; ++it, ++i) {
        r.counts.push_back(g[*it].count);
        r.valid.push_back(g[*it].valid);
    }
    return r;
}

TEST_F(PropagationSolve, SmallTreeByHand) {
    // The if-then-else: e0=L0->L2 e1=L0->L1 (chord, 6) e2=L1->L3 e3=L2->L3
    // (chord, 9), exit x=L3->L0.  The walk from L0 goes in through x to L3,
    // from L3 in through e2 to L1 (6 in, nothing else out: e2 = 6), back at
    // L3 6 + 9 in (x = 15); back at L0 out through e0 to L2 (9 out: e0 = 9).
    FAKE_FUNCTION f;
    f.block(f.expr(f.cbranch(f.ref(2))));
    f.block(f.expr(f.branch(f.ref(3))));
    STMT_ENTRY* l2 = f.label(2);
    f.block(l2, f.expr(f.plain()));
    STMT_ENTRY* l3 = f.label(3);
    f.block(l3, f.expr(f.ret()));
    f.compute_successors();
    auto pg = f.graph();
    pg->number_chords();
    PROPAGATION p(*pg);
    ASSERT_TRUE(p.load_counters(DATA_SETS(1, {20, 6, 9})));
    p.solve_tree_edges();
    SOLVED s = solved(*pg, 4);
    EXPECT_EQ(s.counts, (std::vector<int>{9, 6, 6, 9}));
    EXPECT_EQ(s.valid, (std::vector<bool>{true, false, true, false}));  // chords stay measured
    // The exit edge is gone once the tree is solved.
    EXPECT_EQ(boost::num_edges(pg->graph()), 4u);
    EXPECT_EQ(boost::in_degree(0, pg->graph()), 0u);
}

TEST_F(PropagationSolve, AgreesWithTheRecursiveWalkOnRandomGraphs) {
    std::mt19937 rng(77031);
    std::uniform_int_distribution<uint32_t> small(0, 50), any(0, 0xFFFFFFFFu);
    std::uniform_int_distribution<int> chance(0, 9);
    for (int round = 0; round < 300; ++round) {
        SHAPE shape = random_shape(rng, round % 3 == 0 ? 40 : 12);
        size_t real = 0;
        for (const auto& succs : shape) real += succs.size();
        FAKE_FUNCTION fa, fb;
        auto a = build_shape(fa, shape);
        auto b = build_shape(fb, shape);
        a->number_chords();
        b->number_chords();
        // Counters that rarely agree with each other, now and then large
        // enough that sums wrap.
        std::vector<uint32_t> counters(size_t(a->next_index()));
        for (auto& c : counters) c = chance(rng) == 0 ? any(rng) : small(rng);
        if (counters[0] == 0) counters[0] = 1;
        SCOPED_TRACE("round " + std::to_string(round));

        PROPAGATION pa(*a);
        ASSERT_TRUE(pa.load_counters(DATA_SETS(1, counters)));
        pa.solve_tree_edges();

        PROPAGATION pb(*b);
        ASSERT_TRUE(pb.load_counters(DATA_SETS(1, counters)));
        std::vector<const EDGE_INFO*> order;
        reference_solve(b->graph(), b->vertex_of(fb.at(0)), nullptr, order);

        SOLVED sa = solved(*a, real), sb = solved(*b, real);
        EXPECT_EQ(sa.counts, sb.counts);
        EXPECT_EQ(sa.valid, sb.valid);
        EXPECT_TRUE(a->recorded_edges().empty());
        EXPECT_EQ(boost::num_edges(a->graph()), real);
    }
}

TEST_F(PropagationSolve, EveryTreeEdgeReachedFromTheEntryIsSolvedOnce) {
    // In a connected graph the walk solves every tree edge: after it, each
    // control-flow edge is either a measured chord or solved, never both.
    std::mt19937 rng(5);
    for (int round = 0; round < 100; ++round) {
        SHAPE shape = random_shape(rng, 20);
        // Connect every block to the entry's component: block i also
        // leads to block i + 1, block n - 1 returns.
        for (size_t i = 0; i + 1 < shape.size(); ++i) shape[i].push_back(int(i + 1));
        shape.back().clear();
        size_t real = 0;
        for (const auto& succs : shape) real += succs.size();
        FAKE_FUNCTION f;
        auto pg = build_shape(f, shape);
        pg->number_chords();
        PROPAGATION p(*pg);
        ASSERT_TRUE(
            p.load_counters(DATA_SETS(1, std::vector<uint32_t>(size_t(pg->next_index()), 1))));
        p.solve_tree_edges();
        const CFG_GRAPH& g = pg->graph();
        for (auto [it, end] = boost::edges(g); it != end; ++it)
            EXPECT_NE(g[*it].measured, g[*it].valid) << "round " << round;
    }
}

}  // namespace
