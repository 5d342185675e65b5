// A graph restarted for another function (the profile manager keeps one
// graph for the whole run) numbers its chords, derives its counts and says
// so exactly as a fresh graph of that function does, whatever it held.
#include <gtest/gtest.h>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;

class GraphRestart : public CAPTURED_TEST {};

// The graph of f as FAKE_FUNCTION::graph builds it, into a kept graph.
void rebuild(PROFILE_GRAPH& pg, FAKE_FUNCTION& f) {
    pg.restart(f.at(0), "f", 0, f.size());
    for (size_t i = 0; i < f.size(); ++i) pg.add_block(f.at(i));
    for (size_t i = 0; i < f.size(); ++i)
        for (BASIC_BLK* s = f.at(i)->first_succ(); s; s = f.at(i)->next_succ())
            pg.add_edge(f.at(i), s, 1);
}

// Per edge in list order its ends, counter index and count; then per
// vertex its weight and its out-edges in list order, as the graph's view
// of the vertex gives them.
std::vector<std::string> state(const PROFILE_GRAPH& pg) {
    std::vector<std::string> r;
    const CFG_GRAPH& g = pg.graph();
    for (auto [it, end] = boost::edges(g); it != end; ++it)
        r.push_back(g[boost::source(*it, g)].name() + "->" + g[boost::target(*it, g)].name() + " " +
                    std::to_string(g[*it].index) + " " + std::to_string(g[*it].count));
    for (CFG_VERTEX v = 0; v < pg.vertex_count(); ++v) {
        std::string out = std::to_string(pg.node_weight(v)) + " " + g[v].name() + ":";
        for (auto [it, end] = boost::out_edges(v, g); it != end; ++it)
            out += " " + g[boost::target(*it, g)].name() + "/" + std::to_string(g[*it].count);
        r.push_back(out);
    }
    return r;
}

TEST_F(GraphRestart, NumbersAndPropagatesAsAFreshGraph) {
    std::mt19937 rng(15);
    FAKE_FUNCTION first(random_shape(rng));
    std::unique_ptr<PROFILE_GRAPH> reused = first.graph();
    reused->number_chords();
    // Shapes grow and shrink from round to round, so that kept vertices are
    // both too many and too few.
    for (int round = 0; round < 300; ++round) {
        const std::string shape = random_shape(rng);
        FAKE_FUNCTION numbered(shape), fresh_f(shape), reused_f(shape);
        std::unique_ptr<PROFILE_GRAPH> chords = numbered.graph();
        chords->number_chords();
        DATA_SET set{uint32_t(rng() % 50 + 1)};
        for (int i = 1; i < chords->next_index(); ++i) set.push_back(uint32_t(rng() % 20));

        const std::string before = out() + err();
        std::unique_ptr<PROFILE_GRAPH> fresh = fresh_f.graph();
        fresh->propagate_counters({set});
        const std::string fresh_said = (out() + err()).substr(before.size());
        rebuild(*reused, reused_f);
        // Asked for in between, as a dump would: the propagation that
        // follows changes the graph again.
        ASSERT_EQ(boost::num_edges(reused->graph()), boost::num_edges(fresh->graph()));
        reused->propagate_counters({set});
        const std::string reused_said = (out() + err()).substr(before.size() + fresh_said.size());

        ASSERT_EQ(state(*fresh), state(*reused)) << "round " << round << ": " << shape;
        ASSERT_EQ(fresh_said, reused_said) << "round " << round;
    }
}

// A kept vertex that a block of another number takes over is named after
// its new block, as are the vertices added past the kept ones.
TEST_F(GraphRestart, KeptVerticesTakeTheNamesOfTheirNewBlocks) {
    FAKE_FUNCTION small("p|p|r"), large("p|p|p|p|r");
    std::unique_ptr<PROFILE_GRAPH> pg = small.graph();
    for (int round = 0; round < 2; ++round) {
        // The blocks in reverse order: vertex v gets the block numbered n-1-v.
        pg->restart(large.at(0), "f", 0, large.size());
        for (size_t i = large.size(); i-- > 0;) pg->add_block(large.at(i));
        const CFG_GRAPH& g = pg->graph();
        for (CFG_VERTEX v = 0; v < pg->vertex_count(); ++v)
            EXPECT_EQ(g[v].name(), large.at(large.size() - 1 - v)->name()) << round << " " << v;
        // In block order again: every vertex changes its name back, in
        // the graph as it is asked for again.
        pg->restart(large.at(0), "f", 0, large.size());
        for (size_t i = 0; i < large.size(); ++i) pg->add_block(large.at(i));
        const CFG_GRAPH& again = pg->graph();
        for (CFG_VERTEX v = 0; v < pg->vertex_count(); ++v)
            EXPECT_EQ(again[v].name(), large.at(v)->name()) << round << " " << v;
    }
}

}  // namespace
