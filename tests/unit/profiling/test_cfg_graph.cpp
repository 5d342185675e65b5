// The control-flow graph over blocks built directly: vertices and edges in
// creation order, the edge diagnostics, recorded edges and the search for
// unreachable blocks.
#include <gtest/gtest.h>

#include <regex>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;

class CfgGraph : public CAPTURED_TEST {};

// Blocks whose successors do not matter: one plain statement each.
void plain_blocks(FAKE_FUNCTION& f, int n) {
    for (int i = 0; i < n; ++i) f.block(f.expr(f.plain()));
}

std::vector<std::string> edge_list(const PROFILE_GRAPH& pg) {
    std::vector<std::string> r;
    const CFG_GRAPH& g = pg.graph();
    for (auto [it, end] = boost::edges(g); it != end; ++it)
        r.push_back(g[boost::source(*it, g)].name + "->" + g[boost::target(*it, g)].name + "/" +
                    std::to_string(g[*it].tree_weight));
    return r;
}

TEST_F(CfgGraph, VerticesAndEdgesInCreationOrder) {
    FAKE_FUNCTION f;
    plain_blocks(f, 3);
    PROFILE_GRAPH pg(f.at(0), "f", 2);
    for (int i = 0; i < 3; ++i) pg.add_block(f.at(size_t(i)));
    ASSERT_EQ(pg.vertex_count(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(pg.vertex_of(f.at(i)), i);
        EXPECT_EQ(pg.block_of(i), f.at(i));
        EXPECT_EQ(pg.graph()[i].name, "L" + std::to_string(i));
        EXPECT_FALSE(pg.unreachable(i));
        EXPECT_FALSE(pg.complete(i));
        EXPECT_EQ(pg.node_weight(i), 0);
    }
    EXPECT_EQ(pg.extra_counters(), 2);
    EXPECT_EQ(pg.entry_count(), 0);
    EXPECT_EQ(pg.function_name(), "f");

    pg.add_edge(f.at(2), f.at(0), 1);
    pg.add_edge(f.at(0), f.at(1), 1);
    pg.add_edge(f.at(0), f.at(1), 1);  // parallel edges are allowed
    pg.add_edge(f.at(1), f.at(1), 1);  // so are self-loops
    EXPECT_EQ(edge_list(pg),
              (std::vector<std::string>{"L2->L0/1", "L0->L1/1", "L0->L1/1", "L1->L1/1"}));
    const CFG_GRAPH& g = pg.graph();
    for (auto [it, end] = boost::edges(g); it != end; ++it) {
        const EDGE_INFO& e = g[*it];
        EXPECT_FALSE(e.measured);
        EXPECT_FALSE(e.valid);
        EXPECT_EQ(e.count, 0);
        EXPECT_EQ(e.index, 0);
    }
    EXPECT_EQ(boost::in_degree(1, g), 3u);
    EXPECT_EQ(boost::out_degree(1, g), 1u);
    EXPECT_EQ(out(), "");  // debug diagnostics are hidden by default
    EXPECT_EQ(err(), "");
}

TEST_F(CfgGraph, EdgeCreationIsADebugDiagnostic) {
    FAKE_FUNCTION f("main");
    plain_blocks(f, 2);
    PROFILE_GRAPH pg(f.at(0), "main", 0);
    pg.add_block(f.at(0));
    pg.add_block(f.at(1));
    DIAG::settings().debug = true;
    pg.add_edge(f.at(0), f.at(1), 1);
    pg.add_vertex_edge(1, 0, 0, true);
    EXPECT_EQ(out(),
              "debug: Func main: Adding edge between nodes L0-->L1\n"
              "debug: Func main: Adding edge between nodes L1-->L0\n");
}

TEST_F(CfgGraph, InvalidWeightIsReportedAndTheEdgeStillAdded) {
    FAKE_FUNCTION f;
    plain_blocks(f, 2);
    PROFILE_GRAPH pg(f.at(0), "f", 0);
    pg.add_block(f.at(0));
    pg.add_block(f.at(1));
    pg.add_edge(f.at(0), f.at(1), 0);
    pg.add_edge(f.at(1), f.at(0), -1);
    // Internal errors print where they were raised, then their arguments.
    std::regex want(
        "[A-Za-z_]+\\.cpp:[0-9]+:internal error #18103: \\(f, 0\\)\n"
        "[A-Za-z_]+\\.cpp:[0-9]+:internal error #18103: \\(f, -1\\)\n");
    EXPECT_TRUE(std::regex_match(err(), want)) << err();
    EXPECT_EQ(edge_list(pg), (std::vector<std::string>{"L0->L1/0", "L1->L0/-1"}));
    EXPECT_EQ(DIAG::settings().error_count, 2u);
}

TEST_F(CfgGraph, EdgeBetweenBlocksThatAreNotVerticesIsRefused) {
    FAKE_FUNCTION f;
    plain_blocks(f, 3);
    PROFILE_GRAPH pg(f.at(0), "f", 0);
    pg.add_block(f.at(0));
    pg.add_block(f.at(1));
    pg.add_edge(f.at(1), f.at(2), 1);
    pg.add_edge(f.at(2), f.at(2), 1);
    std::regex want(
        "[A-Za-z_]+\\.cpp:[0-9]+:internal error #18101: \\(f, L1, L2\\)\n"
        "[A-Za-z_]+\\.cpp:[0-9]+:internal error #18101: \\(f, L2, L2\\)\n");
    EXPECT_TRUE(std::regex_match(err(), want)) << err();
    EXPECT_EQ(boost::num_edges(pg.graph()), 0u);
}

TEST_F(CfgGraph, RecordedEdges) {
    FAKE_FUNCTION f;
    plain_blocks(f, 3);
    PROFILE_GRAPH pg(f.at(0), "f", 0);
    for (int i = 0; i < 3; ++i) pg.add_block(f.at(size_t(i)));
    pg.add_vertex_edge(1, 0, 0, true);
    pg.add_vertex_edge(2, 0, -1, true);
    pg.add_vertex_edge(2, 1, 5, true);
    pg.add_vertex_edge(0, 2, 5, false);
    EXPECT_EQ(edge_list(pg),
              (std::vector<std::string>{"L1->L0/0", "L2->L0/-1", "L2->L1/5", "L0->L2/5"}));
    const auto& rec = pg.recorded_edges();
    ASSERT_EQ(rec.size(), 3u);
    EXPECT_EQ(rec.at(0).source, 1u);
    EXPECT_EQ(rec.at(0).target, 0u);
    EXPECT_EQ(rec.at(2).source, 2u);
    EXPECT_EQ(rec.at(2).target, 1u);
    // A recorded edge counts as solved unless its weight is 0 or -1; the
    // record points at the graph's own edge data.
    EXPECT_FALSE(rec.at(0).info->valid);
    EXPECT_FALSE(rec.at(1).info->valid);
    EXPECT_TRUE(rec.at(2).info->valid);
    EXPECT_EQ(rec.at(2).info->tree_weight, 5);
    const CFG_GRAPH& g = pg.graph();
    auto it = boost::edges(g).first;
    std::advance(it, 2);
    EXPECT_EQ(&g[*it], rec.at(2).info);
    ++it;
    EXPECT_FALSE(g[*it].valid);  // not recorded: not marked either
}

TEST_F(CfgGraph, NullNameOrEntryEndsTheRun) {
    FAKE_FUNCTION f;
    plain_blocks(f, 1);
    EXPECT_EQ(exit_status_of([&] { PROFILE_GRAPH pg(f.at(0), nullptr, 0); }), 1);
    EXPECT_EQ(err(), "fatal error: Filename cannot be null\n");
    EXPECT_EQ(exit_status_of([&] { PROFILE_GRAPH pg(nullptr, "f", 0); }), 1);
    EXPECT_EQ(err(),
              "fatal error: Filename cannot be null\n"
              "fatal error: Func f: Entry block cannot be null\n");
}

// Unreachable blocks, on graphs given as edge lists over plain blocks.
class CfgUnreachable : public CfgGraph {
protected:
    std::unique_ptr<PROFILE_GRAPH> build(int n, std::vector<std::pair<int, int>> edges) {
        functions_.push_back(std::make_unique<FAKE_FUNCTION>());
        FAKE_FUNCTION& f = *functions_.back();
        plain_blocks(f, n);
        auto pg = std::make_unique<PROFILE_GRAPH>(f.at(0), "f", 0);
        for (int i = 0; i < n; ++i) pg->add_block(f.at(size_t(i)));
        for (auto [s, t] : edges) pg->add_edge(f.at(size_t(s)), f.at(size_t(t)), 1);
        return pg;
    }
    std::unique_ptr<PROFILE_GRAPH> graph(int n, std::vector<std::pair<int, int>> edges) {
        auto pg = build(n, std::move(edges));
        pg->find_unreachable();
        return pg;
    }
    static std::string marks(const PROFILE_GRAPH& pg) {
        std::string r;
        for (size_t v = 0; v < pg.vertex_count(); ++v) {
            r += pg.unreachable(v) ? 'U' : '.';
            EXPECT_EQ(pg.unreachable(v), pg.complete(v));
        }
        return r;
    }
    std::vector<std::unique_ptr<FAKE_FUNCTION>> functions_;
};

TEST_F(CfgUnreachable, EntryIsNeverUnreachable) {
    EXPECT_EQ(marks(*graph(1, {})), ".");
    EXPECT_EQ(marks(*graph(1, {{0, 0}})), ".");
}

TEST_F(CfgUnreachable, BlockWithoutInEdges) {
    // L2 follows a return; L1 is reached from the entry.
    EXPECT_EQ(marks(*graph(3, {{0, 1}})), "..U");
}

TEST_F(CfgUnreachable, BlockWhoseOnlyInEdgeIsItsSelfLoop) {
    EXPECT_EQ(marks(*graph(3, {{0, 1}, {2, 2}})), "..U");
    // With an in-edge from a reachable block the self-loop changes nothing
    // (L1 has no in-edge at all).
    EXPECT_EQ(marks(*graph(3, {{0, 2}, {2, 2}})), ".U.");
}

TEST_F(CfgUnreachable, ReachedOnlyFromUnreachableBlocksTakesRepeatedPasses) {
    // L1 is reached only from L3, L3 from L2, and L2 from nothing: the first
    // pass finds L2 and then L3, the second pass L1.  L4, reached from L1
    // and from itself, follows in the second pass too.  L5 is reached from
    // the entry as well as from L3 and stays reachable.
    EXPECT_EQ(marks(*graph(6, {{3, 1}, {1, 4}, {4, 4}, {2, 3}, {0, 5}, {3, 5}})), ".UUUU.");
}

TEST_F(CfgUnreachable, CycleWithoutAWayInIsNotFound) {
    // Each block of the cycle has an in-edge from a block not yet known to
    // be unreachable, so the rule never applies to them.
    EXPECT_EQ(marks(*graph(3, {{1, 2}, {2, 1}})), "...");
}

TEST_F(CfgUnreachable, DebugListFromLevelThree) {
    // L2 and L4 have no in-edges, L3 is reached only from L2.
    auto quiet = build(5, {{0, 1}, {2, 3}});
    auto loud = build(5, {{0, 1}, {2, 3}});
    DIAG::settings().debug = true;
    add_flags("debug", "profile=2");
    quiet->find_unreachable();
    EXPECT_EQ(marks(*quiet), "..UUU");
    EXPECT_EQ(out(), "");
    add_flags("debug", "profile=3");
    loud->find_unreachable();
    EXPECT_EQ(marks(*loud), "..UUU");
    EXPECT_EQ(out(),
              "debug: Func f: Node L2 is UNREACHABLE\n"
              "debug: Func f: Node L3 is UNREACHABLE\n"
              "debug: Func f: Node L4 is UNREACHABLE\n");
}

}  // namespace
