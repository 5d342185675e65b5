// PROFILE_GRAPH: vertices and edges over blocks, and unreachable blocks.
#include "profiling/BGL_cfg.h"

#include <cstdint>
#include <new>

#include "cfg/basic_blk.h"
#include "diag/flag_levels.h"
#include "diag/trelv_diags.h"

PROFILE_GRAPH::PROFILE_GRAPH(BASIC_BLK* entry, const char* function_name, int extra_counters)
    : entry_(entry), extra_counters_(extra_counters) {
    if (!function_name) DIAG::trelv_fatal_empty_filename(TRELV_HERE).emit();
    name_ = function_name;
    if (!entry) DIAG::trelv_fatal_empty_entryblk(TRELV_HERE, name_.c_str()).emit();
}

std::optional<CFG_VERTEX> PROFILE_GRAPH::search_vertex(const BASIC_BLK* block) const {
    if (!block) return std::nullopt;
    // The last vertex added for the block, as its number would give.
    for (std::size_t v = block_of_.size(); v-- > 0;)
        if (block_of_[v] == block) return CFG_VERTEX(v);
    return std::nullopt;
}

CFG_VERTEX PROFILE_GRAPH::vertex_of(const BASIC_BLK* block) const {
    if (const std::optional<CFG_VERTEX> v = find_vertex(block)) return *v;
    throw std::out_of_range("the block has no vertex in the graph");
}

void PROFILE_GRAPH::add_checked_edge(BASIC_BLK* source, BASIC_BLK* target, int weight) {
    if (weight < 1) DIAG::trelv_inv_edge_wt(TRELV_HERE, name_.c_str(), weight).emit();
    const std::optional<CFG_VERTEX> s = find_vertex(source);
    const std::optional<CFG_VERTEX> t = find_vertex(target);
    if (!s || !t) {
        std::string sn = source->name(), tn = target->name();
        DIAG::trelv_inv_edge_nonexist_nodes(TRELV_HERE, name_.c_str(), sn.c_str(), tn.c_str())
            .emit();
        return;
    }
    // Parallel edges are allowed, so the graph never refuses an edge.
    append_edge(*s, *t, EDGE_INFO{weight});
    // Edges are many: their trace is made only when it is shown.
    if (!settings_->debug) return;
    DIAG::trelv_dbg_edge_create(TRELV_HERE, name_.c_str(), vertex_name(*s).c_str(),
                                vertex_name(*t).c_str())
        .emit();
}

void PROFILE_GRAPH::add_vertex_edge(CFG_VERTEX u, CFG_VERTEX v, int weight, bool record) {
    EDGE_INFO info;
    info.tree_weight = weight;
    info.count = 0;
    const EDGE_INFO* first = g_.m_edges.empty() ? nullptr : &g_.m_edges.front().get_property();
    append_edge(u, v, info);
    const CFG_EDGE e(u, v, &g_.m_edges.back().get_property());
    // Growing the edge set moves the data of the edges recorded before.
    if (first && first != &g_.m_edges.front().get_property())
        for (auto& [ordinal, rec] : recorded_edges_)
            rec.info = &g_.m_edges[recorded_places_[std::size_t(ordinal)]].get_property();
    if (record) {
        EDGE_INFO& stored = g_[e];
        if (weight != 0 && weight != -1) stored.valid = true;
        const int ordinal = int(recorded_edges_.size());
        recorded_places_.resize(std::size_t(ordinal) + 1);
        recorded_places_[std::size_t(ordinal)] = g_.m_edges.size() - 1;
        recorded_edges_[ordinal] = INSTR_EDGE{u, v, &stored};
    }
    DIAG::trelv_dbg_edge_create(TRELV_HERE, name_.c_str(), vertex_name(u).c_str(),
                                vertex_name(v).c_str())
        .emit();
}

void PROFILE_GRAPH::remove_last_edge(const CFG_EDGE& e) {
    if (edge_states_pending_) settle_edge_states();
    if (g_.m_edges.empty() || &g_[e] != &g_.m_edges.back().get_property())
        throw std::logic_error("only the edge added last leaves the graph");
    g_.m_edges.pop_back();
    adjacency_current_ = false;
    arcs_current_ = false;
}

void PROFILE_GRAPH::update_adjacency() const {
    // Every vertex takes its block, or none when it is one kept by restart
    // and not yet taken over, and its out-edges in the order of the edge
    // set, which is the order in which they were added.
    const size_t n = boost::num_vertices(g_);
    for (CFG_VERTEX v = 0; v < n; ++v) {
        g_[v].block = v < block_of_.size() ? block_of_[v] : nullptr;
        g_.out_edge_list(v).clear();
    }
    auto& edges = g_.m_edges;
    for (auto e = edges.begin(); e != edges.end(); ++e)
        g_.out_edge_list(e->m_source).emplace_back(e->m_target, e, &edges);
    adjacency_current_ = true;
}

void PROFILE_GRAPH::settle_edge_states() const {
    // The edges past the end of the states, if any, were added since.
    const std::size_t n = std::min(g_.m_edges.size(), edge_states_.size());
    for (std::size_t i = 0; i < n; ++i) {
        EDGE_INFO& info = g_.m_edges[i].get_property();
        info.count = edge_states_[i].count;
        info.measured = edge_states_[i].measured;
        info.valid = edge_states_[i].valid;
    }
    edge_states_pending_ = false;
}

void PROFILE_GRAPH::take_arcs() {
    if (arcs_current_) return;
    const size_t n = vertex_count();
    // The tables count arcs and vertices in 32 bits.  A function with more
    // would have run out of memory long before (its edges alone would take
    // over 100 GB); should one get here, it ends the run the same way.
    if (boost::num_edges(g_) > UINT32_MAX / 2 || n > UINT32_MAX) throw std::bad_alloc();
    // Every edge is an out-arc of its source and an in-arc of its target.
    const auto& edges = g_.m_edges;
    arcs_.resize(2 * edges.size());
    arc_ranges_.resize(n);
    // A vertex's in-arcs and out-arcs are counted from the edge set (the
    // graph keeps no in-edge lists, and the edge set is read anyway, where
    // the out-edge lists would be read for their lengths alone); the ends
    // of the runs grow from their beginnings as the arcs go in.
    ARC_RANGES* const ranges = arc_ranges_.data();
    for (CFG_VERTEX v = 0; v < n; ++v) ranges[v].in_end = ranges[v].out_end = 0;
    for (const auto& e : edges) {
        ++ranges[e.m_target].in_end;
        ++ranges[e.m_source].out_end;
    }
    uint32_t k = 0;
    for (CFG_VERTEX v = 0; v < n; ++v) {
        ARC_RANGES& r = ranges[v];
        const uint32_t in = r.in_end, out = r.out_end;
        r.in_begin = r.in_end = k;
        k += in;
        r.out_begin = r.out_end = k;
        k += out;
    }
    // Filled from the edge set in one pass, which gives every vertex its
    // arcs in the order the edges were added, edges being added only at the
    // end of the set (see BGL_cfg.h).
    ARC* const arcs = arcs_.data();
    for (uint32_t i = 0; i < edges.size(); ++i) {
        const auto source = uint32_t(edges[i].m_source), target = uint32_t(edges[i].m_target);
        arcs[ranges[source].out_end++] = ARC{i, target};
        arcs[ranges[target].in_end++] = ARC{i, source};
    }
    arcs_current_ = true;
}

void PROFILE_GRAPH::find_unreachable() {
    CFG_VERTEX entry = vertex_of(entry_);
    size_t n = block_of_.size();
    // A vertex's in-edges are its in-arcs.
    take_arcs();
    const ARC* const arcs = arcs_.data();
    // Until a first block is found unreachable, no in-arc comes from one:
    // a block is then unreachable when it has no in-arc but, at most, one
    // from itself, which its arc counts tell without a walk over its arcs.
    bool found = false;
    for (bool changed = true; changed;) {
        changed = false;
        for (CFG_VERTEX v = 0; v < n; ++v) {
            if (unreachable_[v] || v == entry) continue;
            const ARC_RANGES& r = arc_ranges_[v];
            size_t in = r.in_end - r.in_begin;
            if (!found) {
                if (in > 1 || (in == 1 && arcs[r.in_begin].other != v)) continue;
                found = changed = true;
                unreachable_[v] = 1;
                complete_[v] = 1;
                continue;
            }
            bool self_loop = false;
            size_t from_unreachable = 0;
            for (const ARC *a = arcs + r.in_begin, *end = arcs + r.in_end; a != end; ++a) {
                CFG_VERTEX u = a->other;
                if (u == v) self_loop = true;
                if (unreachable_[u]) ++from_unreachable;
            }
            bool dead =
                in == 0 || (self_loop ? from_unreachable == in - 1 : from_unreachable == in);
            if (dead) {
                unreachable_[v] = 1;
                complete_[v] = 1;
                changed = true;
            }
        }
    }
    if (flag_level(debug_profile_key()) >= 3) {
        for (CFG_VERTEX v = 0; v < n; ++v)
            if (unreachable_[v])
                DIAG::trelv_dbg_unreach_node(TRELV_HERE, name_.c_str(), vertex_name(v).c_str())
                    .emit();
    }
}

void PROFILE_GRAPH::restart(BASIC_BLK* entry, const char* function_name, int extra_counters,
                            std::size_t blocks) {
    if (!function_name) DIAG::trelv_fatal_empty_filename(TRELV_HERE).emit();
    name_ = function_name;
    if (!entry) DIAG::trelv_fatal_empty_entryblk(TRELV_HERE, name_.c_str()).emit();
    entry_ = entry;
    extra_counters_ = extra_counters;
    recorded_edges_.clear();
    arcs_current_ = false;
    edge_states_pending_ = false;
    // The first `blocks` vertices stay, with the storage of their edge
    // lists, for add_block to take over in order; their records are
    // brought up to date with the new edges when the graph is asked for,
    // and it is then exactly the one a fresh graph would become.
    adjacency_current_ = false;
    g_.m_edges.clear();
    // The vertices past them go as they are: the library's removal of a
    // vertex would look for its edges in the others' lists.
    if (boost::num_vertices(g_) > blocks)
        g_.m_vertices.erase(g_.m_vertices.begin() + std::ptrdiff_t(blocks), g_.m_vertices.end());
    block_of_.clear();
    // The other tables by vertex are made for the blocks at once.
    node_weight_.assign(blocks, 0);
    complete_.assign(blocks, 0);
    unreachable_.assign(blocks, 0);
    instr_edges_.clear();
    next_index_ = 0;
    // Blocks are numbered from 0 as a rule: the table is made for them at once.
    vertex_by_number_.assign(blocks, NO_VERTEX);
    entry_count_ = 0;
    extra_values_.clear();
    tree_accepted_.clear();
}
