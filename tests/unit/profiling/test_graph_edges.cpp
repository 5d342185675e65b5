// Adding edges: an edge between blocks is drawn between their own vertices
// whatever their numbers say, and an edge with a bad weight, an end without
// a vertex, or shown traces gets its message exactly as every edge did.
#include <gtest/gtest.h>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;

class GraphEdges : public CAPTURED_TEST {};

// The edges in list order, each as "source vertex>target vertex".
std::string edges(const PROFILE_GRAPH& pg) {
    std::string r;
    const CFG_GRAPH& g = pg.graph();
    for (auto [it, end] = boost::edges(g); it != end; ++it)
        r += std::to_string(boost::source(*it, g)) + ">" + std::to_string(boost::target(*it, g)) +
             " ";
    return r;
}

TEST_F(GraphEdges, EndsAreTheBlocksOwnVertices) {
    FAKE_FUNCTION f("p | p | p"), other("p | p | p");
    // A block whose number is far beyond the others', and a block of
    // another function with the number of one of these.
    BASIC_BLK far(5000, &f, nullptr);
    PROFILE_GRAPH pg(f.at(0), "f", 0);
    // Vertices 0..4: L2, L0, far, L1, then the other function's L1.
    for (BASIC_BLK* b : {f.at(2), f.at(0), &far, f.at(1), other.at(1)}) pg.add_block(b);
    pg.add_edge(f.at(0), f.at(1), 1);
    pg.add_edge(f.at(2), &far, 1);
    pg.add_edge(&far, f.at(0), 1);
    // L1's number now leads to the other function's block.
    pg.add_edge(f.at(1), other.at(1), 1);
    pg.add_edge(other.at(1), f.at(1), 1);
    EXPECT_EQ(edges(pg), "1>3 0>2 2>1 3>4 4>3 ");
    EXPECT_EQ(out() + err(), "");

    // An end that is no vertex of the graph, whatever its number, is
    // reported and gets no edge; a weight below 1 is reported, and the
    // edge is drawn as asked.
    FAKE_FUNCTION third("p | p | p");
    std::string want = edges(pg);
    for (auto [s, t, w, drawn] :
         {std::tuple{f.at(0), third.at(1), 1, ""}, std::tuple{third.at(0), f.at(1), 1, ""},
          std::tuple{f.at(0), f.at(1), 0, "1>3 "}}) {
        const std::size_t said = (out() + err()).size();
        pg.add_edge(s, t, w);
        EXPECT_GT((out() + err()).size(), said);
        want += drawn;
        EXPECT_EQ(edges(pg), want);
    }
    const CFG_GRAPH& g = pg.graph();
    for (auto [it, end] = boost::edges(g); it != end; ++it)
        EXPECT_EQ(g[*it].tree_weight, std::next(it) == end ? 0 : 1);
}

TEST_F(GraphEdges, EveryEdgeIsTracedWhenTracesAreShown) {
    FAKE_FUNCTION f("p | p | p");
    for (bool debug : {false, true}) {
        reset_all();
        DIAG::settings().debug = debug;
        PROFILE_GRAPH pg(f.at(0), "f", 0);
        for (size_t i = 0; i < f.size(); ++i) pg.add_block(f.at(i));
        std::vector<std::size_t> said{(out() + err()).size()};
        for (auto [s, t] : {std::pair{0, 1}, std::pair{1, 2}, std::pair{2, 0}}) {
            pg.add_edge(f.at(size_t(s)), f.at(size_t(t)), 1);
            said.push_back((out() + err()).size());
        }
        EXPECT_EQ(edges(pg), "0>1 1>2 2>0 ");
        // One message per edge, naming its ends, or none at all.
        const std::string text = out() + err();
        for (std::size_t i = 1; i < said.size(); ++i) {
            EXPECT_EQ(said[i] > said[i - 1], debug) << i;
            if (!debug) continue;
            const std::string one = text.substr(said[i - 1], said[i] - said[i - 1]);
            const std::string s = "L" + std::to_string(i - 1), t = "L" + std::to_string(i % 3);
            EXPECT_NE(one.find(s), std::string::npos) << one;
            EXPECT_NE(one.find(t), std::string::npos) << one;
        }
    }
}

}  // namespace
