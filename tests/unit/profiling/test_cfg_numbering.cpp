// Chord numbering: exit edges, the library's minimum spanning tree, the
// counter indices in edge-list order, instrumentation of the blocks and the
// debug diagnostics at levels 3 and 4.
//
// The expected numberings were worked out by hand from the heap the tree
// algorithm uses (a binary heap with the smallest weight on top, edges
// pushed in edge-list order); the property test at the end checks many
// random graphs against the counting rule and against a separate
// implementation of the same algorithm.
#include <gtest/gtest.h>

#include <queue>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;
using S = std::vector<std::string>;

using CfgNumbering = CAPTURED_TEST;

// if (c) { L1: goto 3 } else { L2 } L3: return, without lowering.
struct IF_ELSE {
    FAKE_FUNCTION f;
    std::unique_ptr<PROFILE_GRAPH> pg;
    IF_ELSE() {
        f.block(f.expr(f.cbranch(f.ref(2))));  // L0 -> L2 L1
        f.block(f.expr(f.branch(f.ref(3))));   // L1 -> L3
        STMT_ENTRY* l2 = f.label(2);
        f.block(l2, f.expr(f.plain()));  // L2 -> L3
        STMT_ENTRY* l3 = f.label(3);
        f.block(l3, f.expr(f.ret()));  // L3
        f.compute_successors();
        pg = f.graph();
    }
};

TEST_F(CfgNumbering, OneBlockHasNoEdgesAndOnlyCounterZero) {
    FAKE_FUNCTION f;
    STMT_ENTRY* a = f.expr(f.plain());
    f.block(a, f.expr(f.ret()));
    f.compute_successors();
    auto pg = f.graph();
    pg->number_chords();
    EXPECT_EQ(boost::num_edges(pg->graph()), 0u);
    EXPECT_EQ(pg->next_index(), 1);
    EXPECT_TRUE(pg->instr_edges().empty());
    EXPECT_TRUE(pg->recorded_edges().empty());
    EXPECT_TRUE(pg->tree_edges().empty());
}

TEST_F(CfgNumbering, ChainsEndingInAReturn) {
    // Three blocks: a=L0->L1 b=L1->L2, exit x=L2->L0.  Pushed a, b, x; x
    // sifts to the top: [x b a].  Taken x, then b; a closes the cycle.
    {
        FAKE_FUNCTION f;
        f.block(f.expr(f.plain()));
        f.block(f.label(1));
        STMT_ENTRY* l = f.label(2);
        f.block(l, f.expr(f.ret()));
        f.compute_successors();
        auto pg = f.graph();
        pg->number_chords();
        EXPECT_EQ(numbering(*pg), (S{"L0->L1 chord 1", "L1->L2 tree", "L2->L0 tree"}));
        EXPECT_EQ(pg->next_index(), 2);
        ASSERT_EQ(pg->recorded_edges().size(), 1u);
        EXPECT_EQ(pg->recorded_edges().at(0).source, 2u);
        EXPECT_EQ(pg->recorded_edges().at(0).target, 0u);
        EXPECT_EQ(pg->recorded_edges().at(0).info->tree_weight, 0);
        ASSERT_EQ(pg->instr_edges().size(), 1u);
        EXPECT_EQ(pg->instr_edges().at(1).source, 0u);
        EXPECT_EQ(pg->instr_edges().at(1).target, 1u);
        EXPECT_EQ(pg->instr_edges().at(1).info->index, 1);
    }
    // Four blocks: a b c then x=L3->L0.  After the pushes [x a c b]; taken
    // x, c, a; b closes the cycle.
    {
        FAKE_FUNCTION f;
        f.block(f.expr(f.plain()));
        f.block(f.label(1));
        f.block(f.label(2));
        STMT_ENTRY* l = f.label(3);
        f.block(l, f.expr(f.ret()));
        f.compute_successors();
        auto pg = f.graph();
        pg->number_chords();
        EXPECT_EQ(numbering(*pg),
                  (S{"L0->L1 tree", "L1->L2 chord 1", "L2->L3 tree", "L3->L0 tree"}));
        EXPECT_EQ(pg->next_index(), 2);
    }
}

TEST_F(CfgNumbering, IfThenElseThatJoins) {
    // Edges e0=L0->L2 e1=L0->L1 e2=L1->L3 e3=L2->L3, exit x=L3->L0.  After
    // the pushes the heap is [x e0 e2 e3 e1]; it hands out x, e2, e1 (L0 and
    // L1 already joined through L3), e0, e3 (refused).
    IF_ELSE t;
    PROFILE_GRAPH& pg = *t.pg;
    // Counts and flags left on the edges are cleared.
    for (auto [it, end] = boost::edges(pg.graph()); it != end; ++it) {
        pg.graph()[*it].count = 5;
        pg.graph()[*it].measured = pg.graph()[*it].valid = true;
    }
    pg.number_chords();
    EXPECT_EQ(numbering(pg),
              (S{"L0->L2 tree", "L0->L1 chord 1", "L1->L3 tree", "L2->L3 chord 2", "L3->L0 tree"}));
    EXPECT_EQ(pg.next_index(), 3);
    const CFG_GRAPH& g = pg.graph();
    S accepted;
    for (const CFG_EDGE& e : pg.tree_edges())
        accepted.push_back(g[boost::source(e, g)].name + "->" + g[boost::target(e, g)].name);
    EXPECT_EQ(accepted, (S{"L3->L0", "L1->L3", "L0->L2"}));
    for (auto [it, end] = boost::edges(g); it != end; ++it) {
        EXPECT_FALSE(g[*it].measured);
        EXPECT_FALSE(g[*it].valid);
        EXPECT_EQ(g[*it].count, 0);
    }
    // No block learnt anything: that is instrument's job.
    for (size_t i = 0; i < t.f.size(); ++i)
        for (const SUCC_INFO& s : t.f.at(i)->successors()) EXPECT_EQ(s.index, -1);
}

TEST_F(CfgNumbering, InstrumentHandsTheChordsToTheBlocks) {
    IF_ELSE t;
    const COUNTER_PLAN plan = t.pg->instrument();
    EXPECT_EQ(plan.highest_index, 2);
    S planned;
    for (const COUNTER_PLACE& p : plan.places)
        planned.push_back(p.block->name() + "->" + p.succ->name() + "=" + std::to_string(p.index));
    EXPECT_EQ(planned, (S{"L0->L1=1", "L2->L3=2"}));
    S indexed;
    for (size_t i = 0; i < t.f.size(); ++i)
        t.f.at(i)->for_each_indexed_succ([&](BASIC_BLK* b, BASIC_BLK* s, int index) {
            indexed.push_back(b->name() + "->" + s->name() + "=" + std::to_string(index));
        });
    EXPECT_EQ(indexed, (S{"L0->L1=1", "L2->L3=2"}));
    const CFG_GRAPH& g = t.pg->graph();
    for (auto [it, end] = boost::edges(g); it != end; ++it)
        EXPECT_EQ(g[*it].measured, g[*it].index != -1);
    EXPECT_EQ(err(), "");
}

const char* const LEVEL_3_TEXT =
    "debug: Func f: Adding edge between nodes L3-->L0\n"
    "debug: Func f: KVT edge 0: L0-->L2\n"
    "debug: Func f: Instrumentation edge: L0-->L1\n"
    "debug: Func f: KVT edge 0: L1-->L3\n"
    "debug: Func f: Instrumentation edge: L2-->L3\n"
    "debug: Func f: KVT edge 0: L3-->L0\n"
    "debug: Func f:  edge L0-->L1 instrumented for path-prof: Index = 1\n"
    "debug: Func f:  edge L2-->L3 instrumented for path-prof: Index = 2\n";

TEST_F(CfgNumbering, DebugDiagnosticsAtLevelThree) {
    IF_ELSE t;
    DIAG::settings().debug = true;
    add_flags("debug", "profile=3");
    t.pg->instrument();
    EXPECT_EQ(out(), LEVEL_3_TEXT);
}

TEST_F(CfgNumbering, DebugDiagnosticsAtLevelFourListTheTreeInAcceptanceOrder) {
    IF_ELSE t;
    DIAG::settings().debug = true;
    add_flags("debug", "profile=4");
    t.pg->instrument();
    std::string text = LEVEL_3_TEXT;
    std::string first_line = "debug: Func f: Adding edge between nodes L3-->L0\n";
    text.insert(first_line.size(),
                "debug: Func f: KVT edge 1: L3-->L0\n"
                "debug: Func f: KVT edge 2: L1-->L3\n"
                "debug: Func f: KVT edge 3: L0-->L2\n");
    EXPECT_EQ(out(), text);
}

TEST_F(CfgNumbering, EveryBlockWithoutSuccessorsButTheEntryGetsAnExitEdge) {
    // L0 jumps to L2; L1 (a return nothing reaches) and L3 (code after the
    // last return, with nothing to fall into) are exits too.  Exit edges
    // follow in vertex order.  Pushed e0, x1, x2, x3: the heap is
    // [x1 x3 x2 e0]; the three exits go into the tree, e0 is the chord.
    FAKE_FUNCTION f;
    f.block(f.expr(f.branch(f.ref(2))));
    f.block(f.expr(f.ret()));
    STMT_ENTRY* l = f.label(2);
    f.block(l, f.expr(f.ret()));
    f.block(f.expr(f.plain()));
    f.compute_successors();
    auto pg = f.graph();
    pg->number_chords();
    EXPECT_EQ(numbering(*pg), (S{"L0->L2 chord 1", "L1->L0 tree", "L2->L0 tree", "L3->L0 tree"}));
    EXPECT_EQ(pg->recorded_edges().size(), 3u);
}

TEST_F(CfgNumbering, ForestWhenBlocksAreNotConnectedToTheEntry) {
    // L0 returns; L1 and L2 loop forever and nothing reaches them.
    FAKE_FUNCTION f;
    f.block(f.expr(f.ret()));
    STMT_ENTRY* l1 = f.label(1);
    f.block(l1, f.expr(f.plain()));
    STMT_ENTRY* l2 = f.label(2);
    f.block(l2, f.expr(f.branch(f.ref(1))));
    f.compute_successors();
    auto pg = f.graph();
    pg->number_chords();
    EXPECT_EQ(numbering(*pg), (S{"L1->L2 tree", "L2->L1 chord 1"}));
    EXPECT_TRUE(pg->recorded_edges().empty());
    EXPECT_EQ(pg->tree_edges().size(), 1u);  // 3 blocks in 2 trees
}

// ---- property test ------------------------------------------------------

struct DISJOINT_SETS {
    std::vector<int> parent;
    explicit DISJOINT_SETS(size_t n) : parent(n) {
        for (size_t i = 0; i < n; ++i) parent[i] = int(i);
    }
    int find(int x) {
        while (parent[size_t(x)] != x) x = parent[size_t(x)];
        return x;
    }
    bool join(int a, int b) {
        a = find(a);
        b = find(b);
        if (a == b) return false;
        parent[size_t(a)] = b;
        return true;
    }
};

// The same algorithm written out plainly: edges with their weights in
// list order go through a standard priority queue with the smallest weight
// on top; an edge joining two sets is a tree edge.  The result is the tree
// flag of each edge in list order.
std::vector<bool> reference_tree(const std::vector<std::pair<int, int>>& ends,
                                 const std::vector<int>& weights, size_t vertices) {
    auto greater = [&](size_t a, size_t b) { return weights[a] > weights[b]; };
    std::priority_queue<size_t, std::vector<size_t>, decltype(greater)> heap(greater);
    for (size_t i = 0; i < ends.size(); ++i) heap.push(i);
    DISJOINT_SETS sets(vertices);
    std::vector<bool> tree(ends.size(), false);
    while (!heap.empty()) {
        size_t e = heap.top();
        heap.pop();
        tree[e] = sets.join(ends[e].first, ends[e].second);
    }
    return tree;
}

TEST_F(CfgNumbering, PropertiesOverRandomGraphs) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        SHAPE shape = random_shape(rng);
        size_t n = shape.size();
        FAKE_FUNCTION f1, f2;
        auto a = build_shape(f1, shape);
        auto b = build_shape(f2, shape);
        a->number_chords();
        b->number_chords();
        SCOPED_TRACE("round " + std::to_string(round));

        // Numbering depends only on how the graph was built.
        EXPECT_EQ(numbering(*a), numbering(*b));

        const CFG_GRAPH& g = a->graph();
        std::vector<std::pair<int, int>> ends;
        std::vector<int> weights;
        std::vector<int> indices;
        for (auto [it, end] = boost::edges(g); it != end; ++it) {
            ends.emplace_back(int(boost::source(*it, g)), int(boost::target(*it, g)));
            weights.push_back(g[*it].tree_weight);
            indices.push_back(g[*it].index);
        }

        // The exit edges: one from each block without successors but the
        // entry, to the entry, after the control-flow edges.
        size_t real = 0;
        for (const auto& s : shape) real += s.size();
        std::vector<std::pair<int, int>> exits;
        for (size_t v = 1; v < n; ++v)
            if (shape[v].empty()) exits.emplace_back(int(v), 0);
        ASSERT_EQ(ends.size(), real + exits.size());
        EXPECT_EQ((std::vector<std::pair<int, int>>(ends.begin() + long(real), ends.end())), exits);
        EXPECT_EQ(a->recorded_edges().size(), exits.size());

        // chords = edges - vertices + components of the undirected graph.
        DISJOINT_SETS sets(n);
        size_t components = n;
        for (auto [s, t] : ends)
            if (sets.join(s, t)) --components;
        size_t chords = 0;
        for (int i : indices) chords += i != -1;
        EXPECT_EQ(chords, ends.size() - n + components);
        EXPECT_EQ(a->tree_edges().size(), n - components);
        EXPECT_EQ(a->next_index(), int(chords) + 1);

        // Chords are numbered 1, 2, ... in list order, are real control-flow
        // edges, and instr_edges names each of them.
        int next = 1;
        for (size_t e = 0; e < indices.size(); ++e) {
            if (indices[e] == -1) continue;
            EXPECT_EQ(indices[e], next);
            EXPECT_LT(e, real) << "an exit edge became a chord";
            const INSTR_EDGE& ie = a->instr_edges().at(next);
            EXPECT_EQ(int(ie.source), ends[e].first);
            EXPECT_EQ(int(ie.target), ends[e].second);
            EXPECT_EQ(ie.info->index, next);
            ++next;
        }
        EXPECT_EQ(a->instr_edges().size(), chords);

        // The same tree as the plain implementation.
        std::vector<bool> tree = reference_tree(ends, weights, n);
        for (size_t e = 0; e < indices.size(); ++e) EXPECT_EQ(indices[e] == -1, bool(tree[e])) << e;
    }
}

}  // namespace
