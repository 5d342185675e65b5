// Counter numbering: the chords of a minimum spanning tree of the
// control-flow graph become the counter indices of a function.
#include <boost/graph/adjacency_list.hpp>
#include <cstddef>

#include "cfg/basic_blk.h"
#include "diag/flag_levels.h"
#include "diag/trelv_diags.h"
#include "profiling/BGL_cfg.h"

void PROFILE_GRAPH::number_chords() {
    CFG_VERTEX entry = vertex_of(entry_);
    // Exit edges close every path from the entry to an exit into a cycle,
    // so that flow is conserved at every block.  Their weight of 0 puts
    // them into the tree first.
    size_t n = block_of_.size();
    for (CFG_VERTEX v = 0; v < n; ++v)
        if (boost::out_degree(v, g_) == 0 && block_of_[v] != entry_)
            add_vertex_edge(v, entry, 0, true);

    // Kruskal's algorithm (see spanning_tree): its heap receives the edges
    // in edge-list order, and the order in which equal weights leave it
    // decides which edges become chords, so the instrumenting run and the
    // reading run agree as long as they build the same graph.  The tree
    // edges are those it accepted, in the order it accepted them; the heap
    // and the forest keep their storage from function to function, so
    // that numbering the chords allocates nothing once they have grown.
    spanning_tree();
    next_index_ = 1;
    instr_edges_.clear();
    const bool trace = DIAG::settings().debug;  // traces are made only when shown
    if (flag_level(debug_profile_key()) >= 4) {
        int k = 0;
        for (const CFG_EDGE& e : tree_edges_)
            DIAG::trelv_dbg_kvt_edge(TRELV_HERE, name_.c_str(), ++k,
                                     g_[boost::source(e, g_)].name.c_str(),
                                     g_[boost::target(e, g_)].name.c_str())
                .emit();
    }
    // Counts start afresh; tree edges are told apart by their index, -1.
    for (auto [it, end] = boost::edges(g_); it != end; ++it)
        g_[*it] = EDGE_INFO{g_[*it].tree_weight};
    for (const CFG_EDGE& e : tree_edges_) g_[e].index = -1;
    for (auto [it, end] = boost::edges(g_); it != end; ++it) {
        EDGE_INFO& info = g_[*it];
        CFG_VERTEX s = boost::source(*it, g_), t = boost::target(*it, g_);
        if (info.index == -1) {
            if (!trace) continue;
            DIAG::trelv_dbg_kvt_edge(TRELV_HERE, name_.c_str(), 0, g_[s].name.c_str(),
                                     g_[t].name.c_str())
                .emit();
        } else {
            info.index = add_chord(s, t, info);
            if (!trace) continue;
            DIAG::trelv_dbg_instr_edge(TRELV_HERE, name_.c_str(), g_[s].name.c_str(),
                                       g_[t].name.c_str())
                .emit();
        }
    }
}

COUNTER_PLAN PROFILE_GRAPH::instrument() {
    number_chords();
    // Every chord is counted: the plan lists them in edge order, the order
    // in which the instrumentation inserts their counters.
    COUNTER_PLAN plan;
    const bool trace = DIAG::settings().debug;
    for (auto [it, end] = boost::edges(g_); it != end; ++it) {
        EDGE_INFO& info = g_[*it];
        if (info.index == -1) continue;
        info.measured = true;
        CFG_VERTEX s = boost::source(*it, g_), t = boost::target(*it, g_);
        block_of_[s]->set_succ_index(block_of_[t], info.index);
        plan.places.push_back(COUNTER_PLACE{block_of_[s], block_of_[t], info.index});
        if (info.index > plan.highest_index) plan.highest_index = info.index;
        if (!trace) continue;
        DIAG::trelv_dbg_instr_edge_info(TRELV_HERE, name_.c_str(), g_[s].name.c_str(),
                                        g_[t].name.c_str(), info.index)
            .emit();
    }
    return plan;
}

int PROFILE_GRAPH::add_chord(CFG_VERTEX source, CFG_VERTEX target, EDGE_INFO& info) {
    // Chords are numbered upwards: each goes to the end of the table.
    instr_edges_.emplace_hint(instr_edges_.end(), next_index_, INSTR_EDGE{source, target, &info});
    return next_index_++;
}
