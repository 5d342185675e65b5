// A graph restarted for another function (the profile manager keeps one
// graph for the whole run) numbers its chords, derives its counts and says
// so exactly as a fresh graph of that function does, whatever it held.
#include <gtest/gtest.h>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;

class GraphRestart : public CAPTURED_TEST {};

void add_shape(PROFILE_GRAPH& pg, FAKE_FUNCTION& f, const SHAPE& shape) {
    for (size_t i = 0; i < shape.size(); ++i) pg.add_block(f.at(i));
    for (size_t i = 0; i < shape.size(); ++i)
        for (int t : shape[i]) pg.add_edge(f.at(i), f.at(size_t(t)), 1);
}

// Edge counts in list order and vertex weights.
std::vector<int> counts(const PROFILE_GRAPH& pg) {
    std::vector<int> r;
    const CFG_GRAPH& g = pg.graph();
    for (auto [it, end] = boost::edges(g); it != end; ++it) r.push_back(g[*it].count);
    for (CFG_VERTEX v = 0; v < pg.vertex_count(); ++v) r.push_back(pg.node_weight(v));
    return r;
}

TEST_F(GraphRestart, NumbersAndPropagatesAsAFreshGraph) {
    std::mt19937 rng(15);
    FAKE_FUNCTION first("f");
    std::unique_ptr<PROFILE_GRAPH> reused = build_shape(first, random_shape(rng));
    reused->number_chords();
    // Shapes grow and shrink from round to round, so that kept vertices are
    // both too many and too few.
    for (int round = 0; round < 300; ++round) {
        const SHAPE shape = random_shape(rng);
        FAKE_FUNCTION numbered, fresh_f, reused_f;
        std::unique_ptr<PROFILE_GRAPH> chords = build_shape(numbered, shape);
        chords->number_chords();
        DATA_SET set{uint32_t(rng() % 50 + 1)};
        for (int i = 1; i < chords->next_index(); ++i) set.push_back(uint32_t(rng() % 20));

        const std::string before = out() + err();
        std::unique_ptr<PROFILE_GRAPH> fresh = build_shape(fresh_f, shape);
        fresh->propagate_counters({set});
        const std::string fresh_said = (out() + err()).substr(before.size());
        for (size_t i = 0; i < shape.size(); ++i) reused_f.block(reused_f.expr(reused_f.plain()));
        reused->restart(reused_f.at(0), "f", 0, shape.size());
        add_shape(*reused, reused_f, shape);
        reused->propagate_counters({set});
        const std::string reused_said = (out() + err()).substr(before.size() + fresh_said.size());

        ASSERT_EQ(numbering(*fresh), numbering(*reused)) << "round " << round;
        ASSERT_EQ(counts(*fresh), counts(*reused)) << "round " << round;
        ASSERT_EQ(fresh_said, reused_said) << "round " << round;
    }
}

}  // namespace
