// The balance check after propagation looks only at the blocks it may find
// out of balance.  Over random graphs and counts, from consistent ones (many
// zeros) to arbitrary ones, its warnings must be exactly those of a check of
// every block, worked out here from the graph as the propagation left it.
#include <gtest/gtest.h>

#include <random>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;
using std::string;

using BalanceCheck = CAPTURED_TEST;

// The mismatch warnings of a check of every block, in block order: a
// block's known outputs against its known inputs (less the one output of
// an incomplete source with one output, unless it is a self-loop; plus the
// entry count at the entry), for every block with an output that is not
// its single self-loop.
string every_block(const PROFILE_GRAPH& pg) {
    const CFG_GRAPH& g = pg.graph();
    auto known = [&](const CFG_EDGE& e) { return g[e].measured || g[e].valid; };
    string r;
    for (CFG_VERTEX v = 0; v < pg.vertex_count(); ++v) {
        if (boost::out_degree(v, g) == 1 && boost::target(*boost::out_edges(v, g).first, g) == v)
            continue;
        uint32_t out = 0, in = 0;
        bool counted_output = false;
        for (auto [it, end] = boost::out_edges(v, g); it != end; ++it) {
            if (!known(*it)) continue;
            out += uint32_t(g[*it].count);
            counted_output = true;
        }
        if (!counted_output) continue;
        for (auto [it, end] = boost::edges(g); it != end; ++it) {
            const CFG_VERTEX u = boost::source(*it, g);
            if (boost::target(*it, g) != v || !known(*it)) continue;
            if (u != v && !pg.complete(u) && boost::out_degree(u, g) == 1) continue;
            in += uint32_t(g[*it].count);
        }
        if (v == pg.vertex_of(pg.block_of(0))) in += uint32_t(pg.entry_count());
        if (in != out)
            r += "Block " + pg.block_of(v)->name() + ": Input weight " + std::to_string(int(in)) +
                 " does not match output weight " + std::to_string(int(out)) + "\n";
    }
    return r;
}

// The mismatch warnings said, without their leading words.
string said(const string& text) {
    string r;
    for (size_t at = 0; (at = text.find("Block ", at)) != string::npos;) {
        const size_t end = text.find('\n', at);
        const string line = text.substr(at, end - at + 1);
        if (line.find("does not match") != string::npos) r += line;
        at = end;
    }
    return r;
}

TEST_F(BalanceCheck, WarnsAsACheckOfEveryBlock) {
    DIAG::settings().warning = true;
    std::mt19937 rng(27);
    size_t warned = 0, rounds_quiet = 0;
    for (int round = 0; round < 600; ++round) {
        const string shape = random_shape(rng);
        FAKE_FUNCTION numbered(shape), f(shape);
        std::unique_ptr<PROFILE_GRAPH> chords = numbered.graph();
        chords->number_chords();
        // Every third round the chords count nothing or little, so that
        // most blocks balance and a few do not.
        const uint32_t spread = round % 3 == 0 ? 2 : 40;
        // (An entry count of 0 leaves the counts unworked: never 0 here.)
        DATA_SET set{uint32_t(rng() % 50 + 1)};
        for (int i = 1; i < chords->next_index(); ++i)
            set.push_back(round % 3 == 0 && rng() % 4 ? 0 : uint32_t(rng() % spread));

        const size_t before = (out() + err()).size();
        std::unique_ptr<PROFILE_GRAPH> pg = f.graph();
        pg->propagate_counters({set});
        const string got = said((out() + err()).substr(before));
        ASSERT_EQ(got, every_block(*pg)) << "round " << round << ": " << shape;
        warned += got.empty() ? 0 : 1;
        rounds_quiet += got.empty() ? 1 : 0;
    }
    // Both kinds of round were seen.
    EXPECT_GT(warned, 100u);
    EXPECT_GT(rounds_quiet, 50u);
}

}  // namespace
