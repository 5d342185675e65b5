// Count propagation on functions built directly, with counts worked out by
// hand: counter 0 is the entry count, counter i the chord numbered i (the
// numbering tests show which edges those are).  Blocks start with weight
// 99, so that a block left unwritten shows.
#include <gtest/gtest.h>

#include <climits>

#include "test_cfg_support.h"
#include "test_diag_capture.h"

namespace {

using namespace cfg_test;
using std::string;

// Block weights, then every successor edge's weight, then the values of
// the extra counters, then the entry's count from its edges where it is
// not its weight (the entry count).
string weights(const FAKE_FUNCTION& f, const PROFILE_GRAPH& pg) {
    string r;
    for (size_t i = 0; i < f.size(); ++i)
        r += f.at(i)->name() + "=" + std::to_string(f.at(i)->weight()) + " ";
    for (size_t i = 0; i < f.size(); ++i)
        for (const SUCC_INFO& s : f.at(i)->successors())
            r += f.at(i)->name() + "->" + s.succ->name() + "=" + std::to_string(s.weight) + " ";
    for (auto [i, v] : pg.extra_values())
        r += "x" + std::to_string(i) + "=" + std::to_string(v) + " ";
    if (pg.node_weight(0) != f.at(0)->weight())
        r += "node=" + std::to_string(pg.node_weight(0)) + " ";
    return r;
}

// A chain laid out against the flow: L0 jumps to Lk, each Li (i > 1) jumps
// to L(i-1), L1 returns.  Completion creeps down it one block per pass.
string backward_chain(int k) {
    string text = "b" + std::to_string(k) + " | 1: r";
    for (int i = 2; i <= k; ++i) text += " | " + std::to_string(i) + ": b" + std::to_string(i - 1);
    return text;
}

// Its weights when every edge carries 3 and blocks L1 to L`incomplete`
// are left at 0.
string chain_weights(int k, int incomplete) {
    string r;
    for (int b = 0; b <= k; ++b)
        r += "L" + std::to_string(b) + (b >= 1 && b <= incomplete ? "=0 " : "=3 ");
    r += "L0->L" + std::to_string(k) + "=3 ";
    for (int b = 2; b <= k; ++b)
        r += "L" + std::to_string(b) + "->L" + std::to_string(b - 1) + "=3 ";
    return r;
}

struct CASE {
    string text;
    DATA_SETS sets;
    string want, diags{};  // the output stream's, then the error stream's
    int extra = 0;
    const char* flags = nullptr;  // --debug: value
};

const string IF_ELSE = "c2 | b3 | 2: p | 3: r";  // chords L0->L1, L2->L3
const string UNWRITTEN = " L1=99 L2=99 L3=99 L0->L2=-1 L0->L1=-1 L1->L3=-1 L2->L3=-1 ";
const string SKIPPING = "warning: Func f: Number of profile counters ";
const string INCOMPLETE =
    "warning: Func f: Could not complete profile info propagation: Incomplete\n"
    "   profile info for blocks:\n";
const string OVERRIDE = "remark: Func f:  Overriding profile weight for single successor edge \t";

std::vector<CASE> cases() {
    string negative_out;
    for (int pass = 0; pass < 11; ++pass)
        negative_out +=
            "warning: Func f: Attempting to set (out) weight of edge L0-->L1 to -2147483648\n";
    string mismatch;
    for (int b = 2; b <= 4; ++b)
        mismatch += "warning: Func f: Block L" + std::to_string(b) +
                    ": Input weight 0 does not match output weight 3\n";
    return {
        // Data sets are summed; sets of the wrong length skipped.
        {IF_ELSE,
         {{10, 3, 7}, {100, 100}, {5, 1, 4}, {1, 1, 1, 1}},
         "L0=15 L1=4 L2=11 L3=15 L0->L2=11 L0->L1=4 L1->L3=4 L2->L3=11 ",
         SKIPPING + "2 does not match expected number of\n   counters 3. Skipping data set 1\n" +
             SKIPPING +
             "4 does not match expected number of\n   counters 3. Skipping data set 3\n"},
        // Extra counters follow the chords.
        {IF_ELSE,
         {{10, 3, 7, 6, 1}, {5, 1, 4, 2, 2}},
         "L0=15 L1=4 L2=11 L3=15 L0->L2=11 L0->L1=4 L1->L3=4 L2->L3=11 x0=8 x1=3 ",
         "",
         2},
        // Never entered, or nothing summed: only the entry weight is set.
        {IF_ELSE, {{0, 3, 7}, {0, 1, 1}}, "L0=0" + UNWRITTEN},
        {IF_ELSE,
         {{5, 5}},
         "L0=0" + UNWRITTEN,
         SKIPPING + "2 does not match expected number of\n   counters 3. Skipping data set 0\n"},
        {IF_ELSE,
         {},
         "L0=99" + UNWRITTEN + "node=0 ",
         "warning: Func f: No profile info found in file\n"},
        {"p | 1: | 2: r", {{4, 4}, {3, 3}}, "L0=7 L1=7 L2=7 L0->L1=7 L1->L2=7 "},
        // A measured chord that disagrees with its block's single input is
        // overridden, with a remark.
        {"p | 1: | 2: | 3: r",
         {{7, 5}},
         "L0=7 L1=7 L2=7 L3=7 L0->L1=7 L1->L2=7 L2->L3=7 ",
         OVERRIDE + "L1-->L2\n   from 5 to 7\n"},
        // Entered 10 times, left 3 times: a negative in-edge, a recomputed
        // successor, and a block out of balance.
        {"1: c3 | p | 2: b1 | 3: r",
         {{10, 3, 4}},
         "L0=10 L1=4 L2=4 L3=3 L0->L3=3 L0->L1=4 L1->L2=4 L2->L0=4 node=14 ",
         OVERRIDE + "L2-->L0\n   from -3 to 4\n" +
             "warning: Func f: Attempting to set (in) weight of edge L2-->L0 to -3\n"
             "warning: Func f: Block L0: Input weight 14 does not match output weight 7\n"},
        // 2^31 entries are a negative count: the single out-edge cannot take
        // it, in each of the 11 passes, and propagation stays incomplete.
        {"p | 1: r",
         {{0x80000000u, 5}},
         "L0=" + std::to_string(INT_MIN) + " L1=0 L0->L1=5 node=0 ",
         OVERRIDE + "L0-->L1\n   from 5 to -2147483648\n" + negative_out + INCOMPLETE +
             "warning:  L0 L1\n"},
        // A self-loop is not compared for balance.
        {"p | 1: b1", {{1, 1000}}, "L0=1 L1=1001 L0->L1=1 L1->L1=1000 "},
        // Unreachable blocks are not written.
        {"p | 1: r | p b1=42", {{5, 5}}, "L0=5 L1=5 L2=99 L0->L1=5 L2->L1=42 "},
        // Complete in the eleventh pass; incomplete after it.
        {backward_chain(14), {{3, 3}}, chain_weights(14, 0)},
        {backward_chain(16),
         {{3, 3}},
         chain_weights(16, 5),
         INCOMPLETE + "warning:  L1 L2 L3 L4 L5\n" + mismatch},
        // A cycle with no way in takes its counts from its chord.
        {"r | 1: | 2: b1", {{2, 6}}, "L0=2 L1=6 L2=6 L1->L2=6 L2->L1=6 "},
        // Sums wrap as 32-bit integers.
        {IF_ELSE,
         {{0xFFFFFFFFu, 0xFFFFFFFFu, 0}, {3, 1, 2}},
         "L0=2 L1=0 L2=2 L3=2 L0->L2=2 L0->L1=0 L1->L3=0 L2->L3=2 "},
        {IF_ELSE,
         {{0x80000000u, 0x7FFFFFFFu, 1}},
         "L0=" + std::to_string(INT_MIN) +
             " L1=2147483647 L2=1 L3=0 L0->L2=1 L0->L1=2147483647 L1->L3=2147483647 L2->L3=1 "},
        // Every debug diagnostic, with an unreachable block (an exit too,
        // left alone) after the return.
        {IF_ELSE + " | p",
         {{15, 4, 11}},
         "L0=15 L1=4 L2=11 L3=15 L4=99 L0->L2=11 L0->L1=4 L1->L3=4 L2->L3=11 ",
         "debug: Func f: Adding edge between nodes L3-->L0\n"
         "debug: Func f: Adding edge between nodes L4-->L0\n"
         "debug: Func f: KVT edge 1: L3-->L0\ndebug: Func f: KVT edge 2: L4-->L0\n"
         "debug: Func f: KVT edge 3: L1-->L3\ndebug: Func f: KVT edge 4: L0-->L2\n"
         "debug: Func f: KVT edge 0: L0-->L2\ndebug: Func f: Instrumentation edge: L0-->L1\n"
         "debug: Func f: KVT edge 0: L1-->L3\ndebug: Func f: Instrumentation edge: L2-->L3\n"
         "debug: Func f: KVT edge 0: L3-->L0\ndebug: Func f: KVT edge 0: L4-->L0\n"
         "debug: Func f: Number of edges in compl-MST = 3\n"
         "debug: Func f: Node L4 is UNREACHABLE\n"
         "debug: Func f: Edge L0-->L1: Index = 1: PROFWT = 4\n"
         "debug: Func f: Edge L2-->L3: Index = 2: PROFWT = 11\n"
         "debug: Func f: Node L0: PROFWT = 15\ndebug: Func f: Node L1: PROFWT = 4\n"
         "debug: Func f: Node L2: PROFWT = 11\ndebug: Func f: Node L3: PROFWT = 15\n"
         "debug: Func f: Node L4: PROFWT = 0\n",
         0,
         "profile=4"},
    };
}

using Propagation = CAPTURED_TEST;

TEST_F(Propagation, WeightsFromCounters) {
    for (const CASE& c : cases()) {
        SCOPED_TRACE(c.text);
        reset_flag_levels();
        FAKE_FUNCTION f(c.text);
        for (size_t i = 0; i < f.size(); ++i) f.at(i)->set_weight(99);
        auto pg = f.graph(c.extra);
        DIAG::settings().remark = true;
        DIAG::settings().debug = c.flags != nullptr;
        if (c.flags) add_flags("debug", c.flags);
        const size_t out_before = out().size(), err_before = err().size();
        pg->propagate_counters(c.sets);
        EXPECT_EQ(weights(f, *pg), c.want);
        EXPECT_EQ(out().substr(out_before) + err().substr(err_before), c.diags);
    }
}

TEST_F(Propagation, LongChainIsSolvedWithoutDeepRecursion) {
    // 200,000 blocks falling through one into the next; the spanning tree
    // is nearly the whole chain, so the walk that solves it is as deep.
    string text;
    for (int i = 0; i < 200000; ++i) text += i ? " | p" : "p";
    FAKE_FUNCTION f(text + " r");
    f.graph()->propagate_counters(DATA_SETS{{9, 9}});
    EXPECT_EQ(err(), "");
    size_t wrong = 0;
    for (size_t i = 0; i < f.size(); ++i)
        wrong +=
            f.at(i)->weight() != 9 || (i + 1 < f.size() && f.at(i)->succ_weight(f.at(i + 1)) != 9);
    EXPECT_EQ(wrong, 0u);
}

}  // namespace
