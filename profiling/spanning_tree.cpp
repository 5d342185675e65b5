// Counter numbering: the chords of a minimum spanning tree of the
// control-flow graph become the counter indices of a function.
#include <boost/graph/adjacency_list.hpp>
#include <cstddef>

#include "cfg/basic_blk.h"
#include "diag/flag_levels.h"
#include "diag/trelv_diags.h"
#include "profiling/BGL_cfg.h"

void PROFILE_GRAPH::number_chords() {
    if (edge_states_pending_) settle_edge_states();
    CFG_VERTEX entry = vertex_of(entry_);
    // Exit edges close every path from the entry to an exit into a cycle,
    // so that flow is conserved at every block.  Their weight of 0 puts
    // them into the tree first.
    // The vertices without out-edges are told from the edge set, which is
    // smaller than the vertex records that hold the out-edge lists and is
    // read again just after.
    size_t n = block_of_.size();
    has_out_.assign(n, 0);
    for (const auto& e : g_.m_edges) has_out_[e.m_source] = 1;
    for (CFG_VERTEX v = 0; v < n; ++v)
        if (!has_out_[v] && block_of_[v] != entry_) add_vertex_edge(v, entry, 0, true);

    // Kruskal's algorithm (see spanning_tree): its heap receives the edges
    // in edge-list order, and the order in which equal weights leave it
    // decides which edges become chords, so the instrumenting run and the
    // reading run agree as long as they build the same graph.  The tree
    // edges are those it accepted, in the order it accepted them; the heap
    // and the forest keep their storage from function to function, so
    // that numbering the chords allocates nothing once they have grown.
    const bool list_tree = flag_level(debug_profile_key()) >= 4;
    spanning_tree(list_tree);
    next_index_ = 1;
    // Chords are numbered upwards, so they go to the end of the table's
    // sequence, which is taken out of the table (keeping its storage) and
    // put back whole, in order, once every chord is in.
    EDGE_TABLE::sequence_type chords = instr_edges_.extract_sequence();
    chords.clear();
    const bool trace = DIAG::settings().debug;  // traces are made only when shown
    if (list_tree) {
        int k = 0;
        for (const std::size_t place : tree_accepted_) {
            const auto& e = g_.m_edges[place];
            DIAG::trelv_dbg_kvt_edge(TRELV_HERE, name_.c_str(), ++k,
                                     vertex_name(e.m_source).c_str(),
                                     vertex_name(e.m_target).c_str())
                .emit();
        }
    }
    // Counts start afresh; tree edges are told apart by their index, -1.
    for (std::size_t i = 0; i < g_.m_edges.size(); ++i) {
        auto& e = g_.m_edges[i];
        EDGE_INFO& info = e.get_property();
        info = EDGE_INFO{info.tree_weight};
        CFG_VERTEX s = e.m_source, t = e.m_target;
        if (tree_member_[i]) {
            info.index = -1;
            if (!trace) continue;
            DIAG::trelv_dbg_kvt_edge(TRELV_HERE, name_.c_str(), 0, vertex_name(s).c_str(),
                                     vertex_name(t).c_str())
                .emit();
        } else {
            chords.emplace_back(next_index_, INSTR_EDGE{s, t, &info});
            info.index = next_index_++;
            if (!trace) continue;
            DIAG::trelv_dbg_instr_edge(TRELV_HERE, name_.c_str(), vertex_name(s).c_str(),
                                       vertex_name(t).c_str())
                .emit();
        }
    }
    instr_edges_.adopt_sequence(boost::container::ordered_unique_range, std::move(chords));
}

COUNTER_PLAN PROFILE_GRAPH::instrument() {
    number_chords();
    // Every chord is counted: the plan lists them in edge order (their
    // numbers grow along it), the order of their counters.
    COUNTER_PLAN plan;
    plan.places.reserve(instr_edges_.size());
    const bool trace = DIAG::settings().debug;
    for (const auto& [index, chord] : instr_edges_) {
        EDGE_INFO& info = *chord.info;
        info.measured = true;
        const CFG_VERTEX s = chord.source, t = chord.target;
        block_of_[s]->set_succ_index(block_of_[t], info.index);
        // Built in its place, not copied from a temporary stored in pieces.
        plan.places.emplace_back(block_of_[s], block_of_[t], info.index);
        if (info.index > plan.highest_index) plan.highest_index = info.index;
        if (!trace) continue;
        DIAG::trelv_dbg_instr_edge_info(TRELV_HERE, name_.c_str(), vertex_name(s).c_str(),
                                        vertex_name(t).c_str(), info.index)
            .emit();
    }
    return plan;
}
