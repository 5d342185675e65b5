// The steps of profile weight propagation over one PROFILE_GRAPH, in the
// order propagate_counters runs them.  Declared here so that each step can
// be exercised on its own.
#pragma once

#include <vector>

#include "profiling/BGL_cfg.h"

// The steps of one propagation over a PROFILE_GRAPH.
class PROPAGATION {
public:
    explicit PROPAGATION(PROFILE_GRAPH& pg)
        : p_(pg),
          g_(pg.g_),
          name_(pg.name_.c_str()),
          arcs_(pg.arcs_),
          ranges_(pg.arc_ranges_),
          states_(pg.edge_states_),
          in_doubt_(pg.in_doubt_) {}

    bool load_counters(const DATA_SETS& sets);
    void solve_tree_edges();
    void propagate();
    void check_balance();
    void write_back();

private:
    using ARC = PROFILE_GRAPH::ARC;
    using EDGE_STATE = PROFILE_GRAPH::EDGE_STATE;
    struct GATHER {
        int sum = 0;
        size_t count = 0;
    };
    void snapshot();
    void set_edge_counter(int i, uint32_t c);
    // The chord with index i; set_edge_counter asks for them in index order.
    const INSTR_EDGE& chord_at(int i);
    GATHER gather_inputs(CFG_VERTEX v);
    GATHER gather_outputs(CFG_VERTEX v);
    bool skipped_input(CFG_VERTEX u, CFG_VERTEX v) const;
    void vertex_step(CFG_VERTEX v);
    // Checks that the vertex's inputs equal its outputs.
    void check_vertex(CFG_VERTEX v);
    bool set_remaining_out(CFG_VERTEX v, int x);
    bool set_remaining_in(CFG_VERTEX v, int x);
    std::string vname(CFG_VERTEX v) const { return p_.vertex_name(v); }
    // The state of an arc's edge.
    EDGE_STATE& state(const ARC* a) const { return state_at_[a->edge]; }
    // A vertex's in-arcs and out-arcs.
    const ARC* in_begin(CFG_VERTEX v) const { return arc_at_ + range_at_[v].in_begin; }
    const ARC* in_end(CFG_VERTEX v) const { return arc_at_ + range_at_[v].in_end; }
    const ARC* out_begin(CFG_VERTEX v) const { return arc_at_ + range_at_[v].out_begin; }
    const ARC* out_end(CFG_VERTEX v) const { return arc_at_ + range_at_[v].out_end; }
    size_t in_count(CFG_VERTEX v) const { return range_at_[v].in_end - range_at_[v].in_begin; }
    size_t out_count(CFG_VERTEX v) const { return range_at_[v].out_end - range_at_[v].out_begin; }
    // Takes the arc of the edge at `edge` out of the range [begin, end) of
    // the table, keeping the order of the others; false when it is not there.
    bool drop_arc(uint32_t begin, uint32_t& end, uint32_t edge);

    PROFILE_GRAPH& p_;
    CFG_GRAPH& g_;
    const char* name_;
    // The in- and out-arcs of every vertex in list order, taken into one
    // table once the graph stops changing, so that the walks over them
    // read one array; and the state of every edge, by its place in the edge
    // set, which the steps read and change in place of the edge data and
    // which the edges take back when their data is next read (see
    // write_back).  Together they are a fraction of the size of the
    // graph's edges, and
    // stay in the nearest cache while the steps go over them again and
    // again.  Kept by the graph, whose storage is reused.
    std::vector<ARC>& arcs_;
    std::vector<PROFILE_GRAPH::ARC_RANGES>& ranges_;
    std::vector<EDGE_STATE>& states_;
    // Whether each vertex may be out of balance (see check_balance), and
    // whether the propagation completed every vertex.
    std::vector<char>& in_doubt_;
    bool done_ = false;
    // The tables the steps read for every arc and vertex, where snapshot
    // left them: held here, because a store into one of the graph's
    // tables of flags could change, for all the compiler knows, where its
    // vectors keep their data, and it would fetch that again each time.
    const ARC* arc_at_ = nullptr;
    EDGE_STATE* state_at_ = nullptr;
    const PROFILE_GRAPH::ARC_RANGES* range_at_ = nullptr;
    char* complete_ = nullptr;
    BASIC_BLK* const* block_at_ = nullptr;
    // Where chord_at looks first: just after the chord it found last.
    EDGE_TABLE::iterator chord_cursor_;
};
