// The control-flow graph and its chord numbering: the counting rule over
// random graphs, unreachable blocks and recorded edges.  Which edges of
// given shapes become chords is checked by the black-box tests of the CFG.
#include <gtest/gtest.h>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;
using std::string;

using CfgNumbering = CAPTURED_TEST;

TEST_F(CfgNumbering, UnreachableBlocksAndRecordedEdges) {
    const struct {
        std::vector<std::pair<int, int>> edges;  // over five plain blocks
        const char* want;
    } cases[] = {
        // A self-loop alone does not reach a block.
        {{{0, 1}, {2, 2}, {0, 3}, {3, 4}}, "..U.."},
        // Reached only from unreachable blocks: found in later passes.
        {{{3, 1}, {1, 4}, {4, 4}, {2, 3}}, ".UUUU"},
        // A cycle without a way in is not found.
        {{{1, 2}, {2, 1}, {0, 3}, {3, 4}}, "....."},
    };
    for (const auto& c : cases) {
        FAKE_FUNCTION f("p | p | p | p | p");
        PROFILE_GRAPH pg(f.at(0), "f", 0);
        for (size_t i = 0; i < 5; ++i) pg.add_block(f.at(i));
        for (auto [s, t] : c.edges) pg.add_edge(f.at(size_t(s)), f.at(size_t(t)), 1);
        pg.find_unreachable();
        string marks;
        for (size_t v = 0; v < 5; ++v) {
            marks += pg.unreachable(v) ? 'U' : '.';
            EXPECT_EQ(pg.unreachable(v), pg.complete(v));
        }
        EXPECT_EQ(marks, c.want);
    }
    // A recorded edge counts as solved unless its weight is 0 or -1.
    FAKE_FUNCTION f("p | p");
    PROFILE_GRAPH pg(f.at(0), "f", 0);
    pg.add_block(f.at(0));
    pg.add_block(f.at(1));
    for (int w : {0, -1, 5}) pg.add_vertex_edge(1, 0, w, true);
    for (int i : {0, 1, 2}) EXPECT_EQ(pg.recorded_edges().at(i).info->valid, i == 2) << i;
}

// Over random graphs: the numbering depends only on how the graph was
// built; the exit edges follow the control-flow edges; the chords are
// edges - vertices + components of the undirected graph, numbered 1, 2, ...
// in list order, all of them control-flow edges named by instr_edges.
TEST_F(CfgNumbering, CountingRuleOverRandomGraphs) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        const string shape = random_shape(rng);
        SCOPED_TRACE(shape);
        FAKE_FUNCTION f1(shape), f2(shape);
        auto a = f1.graph(), b = f2.graph();
        a->number_chords();
        b->number_chords();
        auto indices = [](const PROFILE_GRAPH& pg) {
            std::vector<int> r;
            for (auto [it, end] = boost::edges(pg.graph()); it != end; ++it)
                r.push_back(pg.graph()[*it].index);
            return r;
        };
        EXPECT_EQ(indices(*a), indices(*b));

        const size_t n = f1.size();
        size_t real = 0, exits = 0;
        std::vector<size_t> parent(n);
        for (size_t v = 0; v < n; ++v) {
            parent[v] = v;
            real += f1.at(v)->successors().size();
            exits += v && f1.at(v)->successors().empty();
        }
        auto find = [&](size_t v) {
            while (parent[v] != v) v = parent[v];
            return v;
        };
        size_t components = n, chords = 0, e = 0;
        const CFG_GRAPH& g = a->graph();
        for (auto [it, end] = boost::edges(g); it != end; ++it, ++e) {
            size_t s = find(boost::source(*it, g)), t = find(boost::target(*it, g));
            if (s != t) parent[s] = t, --components;
            if (e >= real) {
                EXPECT_EQ(boost::target(*it, g), 0u) << "exit edge " << e;
            }
            if (g[*it].index == -1) continue;
            EXPECT_EQ(g[*it].index, int(++chords));
            EXPECT_LT(e, real) << "an exit edge became a chord";
            EXPECT_EQ(a->instr_edges().at(int(chords)).info, &g[*it]);
        }
        EXPECT_EQ(e, real + exits);
        EXPECT_EQ(chords, e - n + components);
        EXPECT_EQ(a->instr_edges().size(), chords);
        EXPECT_EQ(a->next_index(), int(chords) + 1);
    }
}

}  // namespace
