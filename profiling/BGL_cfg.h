// PROFILE_GRAPH: the control-flow graph of one function over its blocks.
//
// The graph is a bidirectional adjacency list with vertices, out-edge
// lists and the edge set in vectors, so that vertices are the indices
// 0..n-1 in insertion order, every walk over edges is in insertion order,
// and the storage of all of them is kept from function to function.
//
// Every edge goes in through append_edge, which fills the edge set only:
// the profiler's own steps read the edge set, the table of blocks by
// vertex and the arc table, which take_arcs makes from the edge set.  The
// library's view of the vertices (their blocks and out-edge lists) is
// brought up to date from those when the graph is asked for (graph()),
// which tools and dumps do; filling it for every function would cost a
// store into a vertex record for every vertex and edge that no step of a
// run reads.  The in-edge lists stay empty: what needs a vertex's
// in-edges (the search for unreachable blocks, the propagation) reads
// them from the arc table.  (The library's own adding of an edge would
// fill the lists; it is not used on this graph.)  The
// library moves the other edges when an edge leaves a vector, so edges
// leave only from the end (the exit edges, the last ones added, see
// PROPAGATION) or all at once (restart); and adding an edge may move
// the edge data, so pointers to it are taken once every edge is in, or
// set again (see add_vertex_edge).  The instrumenting run and the run that
// reads the counts back build the same graph in the same order and must
// number the chords identically; nothing here depends on anything but that
// order.
#pragma once

#include <boost/container/flat_map.hpp>
#include <boost/graph/adjacency_list.hpp>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cfg/basic_blk.h"
#include "diag/diag_settings.h"
#include "profiling/counter_plan.h"
#include "profiling/data_sets.h"

struct EDGE_INFO {
    int tree_weight = 0;    // minimised by the spanning tree; 1 for real edges
    bool measured = false;  // count came from a profile counter
    bool valid = false;     // count may be used by propagation
    int count = 0;          // execution count
    int index = 0;          // counter index: -1 tree edge, 1.. chord
};

// A vertex stands for a block, and is named after it when a name is asked
// for (messages, dumps): most vertices never are.
struct VERTEX_INFO {
    const BASIC_BLK* block = nullptr;
    std::string name() const { return block ? block->name() : std::string(); }
};

using CFG_GRAPH = boost::adjacency_list<boost::vecS, boost::vecS, boost::bidirectionalS,
                                        VERTEX_INFO, EDGE_INFO, boost::no_property, boost::vecS>;
using CFG_VERTEX = boost::graph_traits<CFG_GRAPH>::vertex_descriptor;
using CFG_EDGE = boost::graph_traits<CFG_GRAPH>::edge_descriptor;

// A chord or a recorded edge: its ends and its edge data (owned by the graph).
struct INSTR_EDGE {
    CFG_VERTEX source = 0;
    CFG_VERTEX target = 0;
    EDGE_INFO* info = nullptr;
};

// Chords or recorded edges by their number.  Numbers are handed out upwards,
// so every entry goes to the end of a sorted array, which is walked in
// order without chasing pointers and keeps its storage from function to
// function.
using EDGE_TABLE = boost::container::flat_map<int, INSTR_EDGE>;

class PROFILE_GRAPH {
public:
    // A null function name or entry block ends the run with its fatal
    // diagnostic.
    PROFILE_GRAPH(BASIC_BLK* entry, const char* function_name, int extra_counters);
    PROFILE_GRAPH(const PROFILE_GRAPH&) = delete;
    PROFILE_GRAPH& operator=(const PROFILE_GRAPH&) = delete;
    // Makes the graph a new, empty one, as the constructor does, keeping
    // the storage of its tables for the next function, whose number of
    // blocks is given: exactly that many add_block calls must follow, before
    // the graph is asked anything (each takes over the vertex kept for it).
    void restart(BASIC_BLK* entry, const char* function_name, int extra_counters,
                 std::size_t blocks);

    // Adds the next block's vertex: as a rule one kept by restart, whose
    // record takes the block when the library's view is brought up to date.
    void add_block(BASIC_BLK* block) {
        const CFG_VERTEX v = block_of_.size();
        adjacency_current_ = false;
        if (v >= boost::num_vertices(g_)) boost::add_vertex(g_);
        block_of_.push_back(block);
        // After restart the other tables by vertex have their rows already.
        if (node_weight_.size() < block_of_.size()) {
            node_weight_.push_back(0);
            complete_.push_back(0);
            unreachable_.push_back(0);
        }
        note_vertex(block, v);
    }
    void add_edge(BASIC_BLK* source, BASIC_BLK* target, int weight) {
        const CFG_VERTEX s = numbered_vertex(source);
        if (s == NO_VERTEX) return add_checked_edge(source, target, weight);
        add_edge_from(s, source, target, weight);
    }
    // The edges of the block added as vertex s, as add_edge adds them: the
    // manager adds the blocks in order, so it knows their vertices.
    void add_block_edges(CFG_VERTEX s, const BASIC_BLK::SUCCESSORS& successors) {
        BASIC_BLK* const source = block_of_[s];
        for (const SUCC_INFO& succ : successors) add_edge_from(s, source, succ.succ, 1);
    }
    // The common edge, of a valid weight from `source`, vertex s, to a
    // block found by its number, with no trace shown, is added here; the
    // others go to add_checked_edge, which reports what is wrong with them.
    void add_edge_from(CFG_VERTEX s, BASIC_BLK* source, BASIC_BLK* target, int weight) {
        const CFG_VERTEX t = numbered_vertex(target);
        if (weight < 1 || t == NO_VERTEX || settings_->debug)
            return add_checked_edge(source, target, weight);
        append_edge(s, t, EDGE_INFO{weight});
    }
    void add_checked_edge(BASIC_BLK* source, BASIC_BLK* target, int weight);
    // Removes the edge added last, which `e` must be (std::logic_error
    // otherwise): the library removes no edge from an edge vector.
    void remove_last_edge(const CFG_EDGE& e);
    void add_vertex_edge(CFG_VERTEX u, CFG_VERTEX v, int weight, bool record);
    void find_unreachable();

    // Instrumentation: numbers the chords, hands each chord's counter index
    // to its source block, and returns where the counters go.
    COUNTER_PLAN instrument();
    // Spanning tree and chord numbering, shared by both jobs.
    void number_chords();
    // Maps counter values onto the chords and derives every count.
    void propagate_counters(const DATA_SETS& data_sets);

    // Results and state, for the profile manager and tests: the graph only
    // to be read, its edges going in through the calls above.  The graph
    // is brought up to date when asked for: one asked for before a change
    // is asked for again to see it.
    const CFG_GRAPH& graph() const {
        if (!adjacency_current_) update_adjacency();
        if (edge_states_pending_) settle_edge_states();
        return g_;
    }
    // The name of a vertex's block, as the graph's vertex gives it.
    std::string vertex_name(CFG_VERTEX v) const {
        return VERTEX_INFO{v < block_of_.size() ? block_of_[v] : nullptr}.name();
    }
    int next_index() const { return next_index_; }
    int entry_count() const { return entry_count_; }
    int extra_counters() const { return extra_counters_; }
    const std::map<int, int>& extra_values() const { return extra_values_; }
    // The edges' data, which the entries point to, settled first.
    const EDGE_TABLE& instr_edges() const {
        if (edge_states_pending_) settle_edge_states();
        return instr_edges_;
    }
    const EDGE_TABLE& recorded_edges() const {
        if (edge_states_pending_) settle_edge_states();
        return recorded_edges_;
    }
    bool unreachable(CFG_VERTEX v) const { return unreachable_.at(v) != 0; }
    bool complete(CFG_VERTEX v) const { return complete_.at(v) != 0; }
    int node_weight(CFG_VERTEX v) const { return node_weight_.at(v); }
    BASIC_BLK* block_of(CFG_VERTEX v) const { return block_of_.at(v); }
    size_t vertex_count() const { return block_of_.size(); }
    // Throws std::out_of_range for a block without a vertex.
    CFG_VERTEX vertex_of(const BASIC_BLK* b) const;
    const std::string& function_name() const { return name_; }

    // An edge waiting in the spanning tree's heap: its weight and its
    // place in the edge list.
    struct TREE_CANDIDATE {
        int weight;
        std::size_t edge;
    };

    // What propagation reads and changes of an edge, kept apart from the
    // graph while it runs (see PROPAGATION::snapshot).
    struct EDGE_STATE {
        int count;
        bool measured;
        bool valid;
    };
    // One end's view of an edge, as propagation walks it: the edge's place
    // in the edge set (and in the table of edge states) and the vertex at
    // its other end.  A function has far fewer than 2^32 vertices and
    // edges: their blocks and edges alone would take more memory than
    // there is.
    struct ARC {
        uint32_t edge;
        uint32_t other;
    };
    // Where a vertex's arcs lie in the arc table: its in-arcs, then its
    // out-arcs, each in the order of the graph's edge lists.
    struct ARC_RANGES {
        uint32_t in_begin, in_end, out_begin, out_end;
    };

    // A vertex on the stack of the walk that solves the tree edges: the
    // edge it was reached by, its next arc to visit, where its out-arcs
    // begin and end, and its in-counts less its out-counts so far.
    struct SOLVE_FRAME {
        SOLVE_FRAME(EDGE_STATE* via_edge, const ARC* next_arc, const ARC* mid_arc,
                    const ARC* end_arc, uint32_t balance_so_far)
            : via(via_edge), next(next_arc), mid(mid_arc), end(end_arc), balance(balance_so_far) {}
        EDGE_STATE* via;
        const ARC* next;
        const ARC* mid;
        const ARC* end;
        uint32_t balance;
    };

private:
    friend class PROPAGATION;
    std::vector<SOLVE_FRAME> solve_stack_;
    // Whether each vertex's balance is in doubt after the propagation (see
    // PROPAGATION::check_balance).
    std::vector<char> in_doubt_;

    // Kruskal's minimum spanning tree into tree_member_, for numbering the
    // chords; with `record`, also the places of the tree edges, in the
    // order the tree accepted them, into tree_accepted_ (for the trace that
    // lists them).
    void spanning_tree(bool record);
    std::vector<TREE_CANDIDATE> tree_candidates_;
    // Whether each edge, by its place in the edge list, is a tree edge.
    std::vector<char> tree_member_;
    // Whether each vertex has an out-edge (see number_chords).
    std::vector<char> has_out_;
    // The forest grown so far, as the library's disjoint sets over kept
    // storage (parent and rank of every vertex).
    std::vector<CFG_VERTEX> tree_parent_;
    std::vector<std::size_t> tree_rank_;
    // The weights of the edges in edge-list order, and the order in which
    // the heap hands out the edges for the weights tree_order_weights_.
    std::vector<int> tree_weights_;
    std::vector<int> tree_order_weights_;
    std::vector<std::size_t> tree_order_;

    EDGE_TABLE recorded_edges_;
    // The place in the edge set of every recorded edge, by ordinal: its
    // data pointer is set again whenever adding an edge moves the set.
    std::vector<std::size_t> recorded_places_;
    // Mutable for what graph() brings up to date: its vertices' records and
    // its edges' data.
    mutable CFG_GRAPH g_;
    mutable bool adjacency_current_ = true;
    void update_adjacency() const;
    // Tables by vertex index (vertices are 0..n-1, so a vector is a table
    // ordered by key).
    std::vector<BASIC_BLK*> block_of_;
    std::vector<int> node_weight_;
    std::vector<char> complete_;
    std::vector<char> unreachable_;
    EDGE_TABLE instr_edges_;
    int next_index_ = 0;
    // The vertex of each block by block number (NO_VERTEX for none); a
    // block whose number does not lead to it is searched for.
    static constexpr CFG_VERTEX NO_VERTEX = CFG_VERTEX(-1);
    std::vector<CFG_VERTEX> vertex_by_number_;
    void note_vertex(const BASIC_BLK* block, CFG_VERTEX v) {
        // Block numbers count the blocks of a function from 0; a number far
        // beyond the blocks is left to the search.
        const std::size_t number = std::size_t(block->number());
        if (block->number() < 0 || number > 4 * block_of_.size() + 64) return;
        if (number >= vertex_by_number_.size()) vertex_by_number_.resize(number + 1, NO_VERTEX);
        vertex_by_number_[number] = v;
    }
    // The vertex of a block: the one its number leads to, as a rule, or
    // the one the search finds.
    std::optional<CFG_VERTEX> find_vertex(const BASIC_BLK* block) const {
        const CFG_VERTEX v = numbered_vertex(block);
        if (v != NO_VERTEX) return v;
        return search_vertex(block);
    }
    // The vertex its number leads to, or NO_VERTEX.
    CFG_VERTEX numbered_vertex(const BASIC_BLK* block) const {
        if (block && block->number() >= 0 &&
            std::size_t(block->number()) < vertex_by_number_.size()) {
            const CFG_VERTEX v = vertex_by_number_[std::size_t(block->number())];
            if (v < block_of_.size() && block_of_[v] == block) return v;
        }
        return NO_VERTEX;
    }
    std::optional<CFG_VERTEX> search_vertex(const BASIC_BLK* block) const;
    // Adds an edge from s to t to the edge set, building it in its place
    // (the library builds an edge on the stack, in pieces, and copies it
    // whole, which the processor cannot forward from the pieces and waits
    // for); its source's out-edge list takes it when the library's view
    // is brought up to date (see above).
    void append_edge(CFG_VERTEX s, CFG_VERTEX t, const EDGE_INFO& info) {
        if (edge_states_pending_) settle_edge_states();
        arcs_current_ = false;
        adjacency_current_ = false;
        g_.m_edges.emplace_back(s, t, info);
    }
    BASIC_BLK* entry_;
    // The run's settings, read for every edge: whether traces are shown.
    const DIAG::SETTINGS* settings_ = &DIAG::settings();
    std::string name_;
    int extra_counters_;
    int entry_count_ = 0;
    std::map<int, int> extra_values_;
    std::vector<std::size_t> tree_accepted_;
    // The arcs of every vertex, for the search for unreachable blocks and
    // for propagation: one table for all of them, kept from function to
    // function.  take_arcs makes it from the edge set, unless it is still
    // current: it stays so until an edge is added or removed.
    void take_arcs();
    bool arcs_current_ = false;
    std::vector<ARC> arcs_;
    std::vector<ARC_RANGES> arc_ranges_;
    std::vector<EDGE_STATE> edge_states_;
    // The propagation leaves its results in edge_states_; the edges take
    // them when their data is next asked for or changed (settle_edge_states),
    // as a run reads the blocks' weights only.
    mutable bool edge_states_pending_ = false;
    void settle_edge_states() const;
};
