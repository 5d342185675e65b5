// Profile weight propagation: from the counters of the chords to a count
// for every edge and block, by flow conservation.
//
// Counts are 32-bit integers and sums wrap as 32-bit integers do, so all
// arithmetic on them goes through uint32_t.
#include "profiling/propagation.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "cfg/basic_blk.h"
#include "diag/flag_levels.h"
#include "diag/trelv_diags.h"

namespace {

int wrap_add(int a, int b) { return int(uint32_t(a) + uint32_t(b)); }
int wrap_sub(int a, int b) { return int(uint32_t(a) - uint32_t(b)); }

}  // namespace

void PROPAGATION::snapshot() {
    // The arcs, as the search for unreachable blocks left them, as a rule;
    // the edges' states as they are now.
    p_.take_arcs();
    const auto& edges = g_.m_edges;
    states_.resize(edges.size());
    EDGE_STATE* const states = states_.data();
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const EDGE_INFO& info = edges[i].get_property();
        states[i] = EDGE_STATE{info.count, info.measured, info.valid};
    }
    arc_at_ = arcs_.data();
    state_at_ = states;
    range_at_ = ranges_.data();
    complete_ = p_.complete_.data();
    block_at_ = p_.block_of_.data();
}

bool PROPAGATION::drop_arc(uint32_t begin, uint32_t& end, uint32_t edge) {
    for (uint32_t i = end; i-- > begin;) {
        if (arcs_[i].edge != edge) continue;
        std::copy(arcs_.begin() + std::ptrdiff_t(i) + 1, arcs_.begin() + std::ptrdiff_t(end),
                  arcs_.begin() + std::ptrdiff_t(i));
        --end;
        return true;
    }
    return false;
}

bool PROPAGATION::load_counters(const DATA_SETS& sets) {
    int expected = p_.next_index_ + p_.extra_counters_;
    p_.entry_count_ = 0;
    std::vector<uint32_t> sums(size_t(std::max(expected, 0)), 0);
    for (std::size_t k = 0; k < sets.size(); ++k) {
        const DATA_SET& set = sets[k];
        if (int(set.size()) != expected) {
            DIAG::trelv_warn_dataset_mismatch(TRELV_HERE, name_, int(set.size()), expected, int(k))
                .emit();
            continue;
        }
        for (std::size_t pos = 0; pos < set.size(); ++pos) sums[pos] += set[pos];
    }
    // The chords are found in index order, with a cursor through the
    // table from its start (see chord_at).
    chord_cursor_ = p_.instr_edges_.begin();
    for (int i = 0; i < p_.next_index_; ++i) set_edge_counter(i, sums[size_t(i)]);
    for (int j = p_.next_index_; j < expected; ++j)
        p_.extra_values_[j - p_.next_index_] = int(sums[size_t(j)]);
    if (p_.entry_count_ == 0) p_.entry_->set_weight(0);
    return p_.entry_count_ != 0;
}

void PROPAGATION::set_edge_counter(int i, uint32_t c) {
    if (i >= p_.next_index_) {
        DIAG::trelv_warn_bad_edge_index(TRELV_HERE, name_, i, p_.next_index_).emit();
        return;
    }
    if (i == 0) return void(p_.entry_count_ = int(c));
    const INSTR_EDGE& chord = chord_at(i);
    chord.info->count = int(c);
    chord.info->measured = true;
    if (!DIAG::settings().debug) return;  // the trace is made only when shown
    DIAG::trelv_dbg_edge_prof_wt(TRELV_HERE, name_, vname(chord.source).c_str(),
                                 vname(chord.target).c_str(), i, int(c))
        .emit();
}

void PROPAGATION::solve_tree_edges() {
    snapshot();
    // A depth-first walk over the unsolved (tree) edges from the entry.  It
    // visits in-edges, then out-edges, of each vertex in list order and
    // solves an edge when the walk returns through it; kept iterative so a
    // very deep tree cannot exhaust the stack.
    //
    // The vertex at hand: the edge it was reached by (none for the entry),
    // the next of its arcs to visit (its in-arcs, up to `mid`, then its
    // out-arcs, which follow them in the table until the walk is over), and
    // its in-counts less its out-counts so far, which wrap as the counts
    // do.  It is kept in locals, and the vertices on the path back to the
    // entry wait on a stack: the graph's, kept from function to function,
    // so that the walk allocates nothing once it has grown.
    //
    // A vertex whose edges are all solved balances unless the edge it was
    // reached by needed a count below 0 (it takes the count's size): a
    // vertex that balances is taken out of doubt (see check_balance).
    std::vector<PROFILE_GRAPH::SOLVE_FRAME>& stack = p_.solve_stack_;
    stack.clear();
    in_doubt_.assign(p_.vertex_count(), 1);
    char* const doubt = in_doubt_.data();
    const CFG_VERTEX entry = p_.vertex_of(p_.entry_);
    // The tables, in locals: the stores into the states could, for all the
    // compiler knows, change the members that point to them.
    EDGE_STATE* const states = state_at_;
    const ARC* const arcs = arc_at_;
    const PROFILE_GRAPH::ARC_RANGES* const ranges = range_at_;
    EDGE_STATE* via = nullptr;
    const ARC* next = arcs + ranges[entry].in_begin;
    const ARC* mid = arcs + ranges[entry].in_end;
    const ARC* end = arcs + ranges[entry].out_end;
    uint32_t balance = 0;
    for (;;) {
        if (next != end) {
            EDGE_STATE& info = states[next->edge];
            if (&info != via && !info.measured && !info.valid) {
                // Built in its place: a frame built aside and copied in is
                // stored in pieces and read back whole, which the processor
                // cannot forward and waits for.
                stack.emplace_back(via, next, mid, end, balance);
                const PROFILE_GRAPH::ARC_RANGES& r = ranges[next->other];
                via = &info;
                next = arcs + r.in_begin;
                mid = arcs + r.in_end;
                end = arcs + r.out_end;
                balance = 0;
                continue;  // back at this edge once the other end is solved
            }
            if (next < mid)
                balance += uint32_t(info.count);
            else
                balance -= uint32_t(info.count);
            ++next;
            continue;
        }
        // Every arc is done: the edge the vertex was reached by balances it.
        if (stack.empty()) break;  // the entry, reached by no edge
        const PROFILE_GRAPH::SOLVE_FRAME& up = stack.back();
        {
            const int d = int(balance);
            // The balance took in the edge's count before it was solved,
            // as an input when the edge is an out-arc of the vertex the
            // walk goes back to, whose arc it is at.
            const auto before = uint32_t(via->count);
            via->count = d < 0 ? int(0u - balance) : d;
            via->valid = true;
            const uint32_t change = uint32_t(via->count) - before;
            if (balance + (up.next >= up.mid ? change : 0u - change) == 0)
                doubt[up.next->other] = 0;
        }
        via = up.via;
        next = up.next;
        mid = up.mid;
        end = up.end;
        balance = up.balance;
        stack.pop_back();
    }
    // The exit edges have done their part, the walk having gone through
    // them as through any other edge; from here on the entry block's
    // extra input is the entry count.  They leave the graph and the arc
    // table, whose runs keep the order of the arcs that stay: the table is
    // then the one the graph would give, without being taken again.
    // The last one added leaves first: edges leave the graph's edge set
    // only from its end (see BGL_cfg.h).
    for (auto r = p_.recorded_edges_.rbegin(); r != p_.recorded_edges_.rend(); ++r) {
        const INSTR_EDGE& rec = r->second;
        const auto place = uint32_t(p_.recorded_places_[std::size_t(r->first)]);
        PROFILE_GRAPH::ARC_RANGES& from = ranges_[rec.source];
        const ARC* out = std::find_if(out_begin(rec.source), out_end(rec.source),
                                      [&](const ARC& a) { return a.edge == place; });
        if (out == out_end(rec.source)) continue;
        const CFG_VERTEX target = out->other;
        PROFILE_GRAPH::ARC_RANGES& to = ranges_[target];
        drop_arc(to.in_begin, to.in_end, place);
        drop_arc(from.out_begin, from.out_end, place);
        p_.remove_last_edge(CFG_EDGE(rec.source, target, rec.info));
    }
    p_.recorded_edges_.clear();
}

bool PROPAGATION::skipped_input(CFG_VERTEX u, CFG_VERTEX v) const {
    // An edge out of a block with a single successor may still be
    // overridden at that block; it is not taken as an input until the
    // block is complete.  That one out-arc is this arc, from u to v: it is
    // no self-loop when u is not v.
    return u != v && !complete_[u] && out_count(u) == 1;
}

PROPAGATION::GATHER PROPAGATION::gather_inputs(CFG_VERTEX v) {
    GATHER r;
    for (const ARC *a = in_begin(v), *end = in_end(v); a != end; ++a) {
        EDGE_STATE& info = state(a);
        if (!info.measured && !info.valid) continue;
        if (skipped_input(a->other, v)) continue;
        r.sum = wrap_add(r.sum, info.count);
        ++r.count;
        info.valid = true;
    }
    if (block_at_[v] == p_.entry_) r.sum = wrap_add(r.sum, p_.entry_count_);
    return r;
}

PROPAGATION::GATHER PROPAGATION::gather_outputs(CFG_VERTEX v) {
    GATHER r;
    for (const ARC *a = out_begin(v), *end = out_end(v); a != end; ++a) {
        EDGE_STATE& info = state(a);
        if (!info.measured && !info.valid) continue;
        r.sum = wrap_add(r.sum, info.count);
        ++r.count;
        info.valid = true;
    }
    return r;
}

bool PROPAGATION::set_remaining_out(CFG_VERTEX v, int x) {
    for (const ARC *a = out_begin(v), *end = out_end(v); a != end; ++a) {
        EDGE_STATE& info = state(a);
        if (info.valid) continue;
        if (x < 0) {
            DIAG::trelv_warn_negative_edge_weight(TRELV_HERE, name_, "out", vname(v).c_str(),
                                                  vname(a->other).c_str(), x)
                .emit();
            return false;
        }
        info.count = x;
        info.valid = true;
        in_doubt_[v] = in_doubt_[a->other] = 1;
        return true;
    }
    return false;
}

bool PROPAGATION::set_remaining_in(CFG_VERTEX v, int x) {
    for (const ARC *a = in_begin(v), *end = in_end(v); a != end; ++a) {
        EDGE_STATE& info = state(a);
        if (info.valid) continue;
        if (x < 0)
            DIAG::trelv_warn_negative_edge_weight(TRELV_HERE, name_, "in", vname(a->other).c_str(),
                                                  vname(v).c_str(), x)
                .emit();
        info.count = x;
        info.valid = true;
        in_doubt_[v] = in_doubt_[a->other] = 1;
        return true;
    }
    return false;
}

void PROPAGATION::vertex_step(CFG_VERTEX v) {
    if (complete_[v]) return;
    size_t n_in = in_count(v), n_out = out_count(v);
    GATHER in = gather_inputs(v);
    if (in.count == n_in && n_out == 1 && out_begin(v)->other != v) {
        EDGE_STATE& info = state(out_begin(v));
        CFG_VERTEX t = out_begin(v)->other;
        const bool known = info.measured || info.valid;
        if (info.measured && info.count != in.sum) {
            DIAG::trelv_rem_override_edge_wt(TRELV_HERE, name_, vname(v).c_str(), vname(t).c_str(),
                                             info.count, in.sum)
                .emit();
            complete_[t] = 0;
        }
        // A new count, or none, puts both ends in doubt.
        if (!known || info.count != in.sum || in.sum < 0) in_doubt_[v] = in_doubt_[t] = 1;
        info.measured = false;
        if (in.sum >= 0) {
            // The one output carries what came in, as set_remaining_out
            // would find once gather_outputs had found it unknown.
            info.count = in.sum;
            info.valid = true;
            complete_[v] = 1;
            p_.node_weight_[v] = in.sum;
            return;
        }
        info.valid = false;  // the general steps report the negative count
    }
    GATHER out = gather_outputs(v);
    size_t i = in.count, o = out.count;
    if (i == n_in && o + 1 == n_out) {
        if (set_remaining_out(v, wrap_sub(in.sum, out.sum))) ++o;
    } else if (i + 1 == n_in && o != 0 && o == n_out) {
        if (set_remaining_in(v, wrap_sub(out.sum, in.sum))) ++i;
    }
    if (i == n_in && o == n_out) {
        complete_[v] = 1;
        p_.node_weight_[v] = std::max(out.sum, in.sum);
    }
}

void PROPAGATION::propagate() {
    size_t n = p_.vertex_count();
    bool done = false;
    for (int pass = 0; pass < 11 && !done; ++pass) {
        for (CFG_VERTEX v = 0; v < n; ++v) vertex_step(v);
        size_t complete = 0;
        for (CFG_VERTEX v = 0; v < n; ++v) complete += p_.complete_[v] ? 1 : 0;
        done = complete == n;
    }
    done_ = done;
    if (done) return;
    DIAG::trelv_warn_incomplete_prof_info(TRELV_HERE, name_).emit();
    std::string list;
    for (CFG_VERTEX v = 0; v < n; ++v)
        if (!p_.complete_[v]) list += " " + vname(v);
    DIAG::trelv_warn_incomplete_blk_list(TRELV_HERE, list.c_str()).emit();
}

void PROPAGATION::check_balance() {
    // When every block is complete, only a vertex left in doubt can be out
    // of balance.  Every other one balanced once the tree edges were
    // solved, every arc being known from then on, and has kept every count
    // since (a step that gives an arc a new count, or takes it away, puts
    // both its ends in doubt); and nothing holds back an input any more
    // (see skipped_input).  The entry, whose extra input changes from the
    // exit edges to the entry count, stays in doubt, having been reached by
    // no edge; a block that the exit edges left has no output to check.
    // Otherwise every vertex is checked.
    const size_t n = p_.vertex_count();
    const char* const doubt = in_doubt_.data();
    for (CFG_VERTEX v = 0; v < n; ++v)
        if (!done_ || doubt[v]) check_vertex(v);
}

void PROPAGATION::check_vertex(CFG_VERTEX v) {
    if (out_count(v) == 1 && out_begin(v)->other == v) return;
    // Its inputs and outputs, as gather_inputs and gather_outputs count
    // them; the inputs matter only when there are outputs.
    uint32_t out = 0;
    bool counted_output = false;
    for (const ARC *a = out_begin(v), *end = out_end(v); a != end; ++a) {
        const EDGE_STATE& info = state(a);
        if (!info.measured && !info.valid) continue;
        out += uint32_t(info.count);
        counted_output = true;
    }
    if (!counted_output) return;
    uint32_t in = 0;
    for (const ARC *a = in_begin(v), *end = in_end(v); a != end; ++a) {
        const EDGE_STATE& info = state(a);
        if (!info.measured && !info.valid) continue;
        if (skipped_input(a->other, v)) continue;
        in += uint32_t(info.count);
    }
    if (block_at_[v] == p_.entry_) in += uint32_t(p_.entry_count_);
    if (in != out)
        DIAG::trelv_warn_node_weight_mismatch(TRELV_HERE, name_, vname(v).c_str(), int(in),
                                              int(out))
            .emit();
}

void PROPAGATION::write_back() {
    // The edges take their states back when their data is next read.
    p_.edge_states_pending_ = true;
    // Block by block, so that each block is visited once: its out-arcs are
    // its edges in the order of the graph's edge list.
    size_t n = p_.vertex_count();
    for (CFG_VERTEX v = 0; v < n; ++v) {
        if (p_.unreachable_[v]) continue;
        BASIC_BLK* const b = block_at_[v];
        const ARC* const first = out_begin(v);
        for (const ARC *a = first, *end = out_end(v); a != end; ++a)
            b->set_succ_weight_at(std::size_t(a - first), block_at_[a->other], state(a).count);
        b->set_weight(p_.node_weight_[v]);
    }
    p_.entry_->set_weight(p_.entry_count_);
}

void PROFILE_GRAPH::propagate_counters(const DATA_SETS& data_sets) {
    if (data_sets.empty()) {
        DIAG::trelv_warn_missing_profinfo(TRELV_HERE, name_.c_str()).emit();
        return;
    }
    number_chords();
    DIAG::trelv_dbg_num_instr_edge(TRELV_HERE, name_.c_str(), next_index_).emit();
    find_unreachable();
    PROPAGATION p(*this);
    if (!p.load_counters(data_sets)) return;
    p.solve_tree_edges();
    p.propagate();
    if (flag_level(debug_profile_key()) >= 4) {
        for (CFG_VERTEX v = 0; v < vertex_count(); ++v)
            if (complete_[v])
                DIAG::trelv_dbg_node_prof_wt(TRELV_HERE, name_.c_str(), vertex_name(v).c_str(),
                                             node_weight_[v])
                    .emit();
    }
    p.check_balance();
    p.write_back();
}

const INSTR_EDGE& PROPAGATION::chord_at(int i) {
    // The counters are loaded in index order, and the table is ordered by
    // index: a cursor moving through it finds each chord without a search.
    EDGE_TABLE& table = p_.instr_edges_;
    if (chord_cursor_ == table.end() || chord_cursor_->first != i) chord_cursor_ = table.find(i);
    if (chord_cursor_ == table.end()) return table.at(i);  // throws, as for any missing chord
    return (chord_cursor_++)->second;
}
