// The minimum spanning tree whose complement gives the chords: Kruskal's
// algorithm over the graph's edges, with its storage kept from function to
// function.
#include <algorithm>

#include "profiling/BGL_cfg.h"

namespace {

// Edges leave the heap by increasing weight.  The heap compares weights
// only, exactly as a priority queue of edges ordered by their weight does,
// so equal weights leave it in the same order as from such a queue.
struct HEAVIER {
    bool operator()(const PROFILE_GRAPH::TREE_CANDIDATE& a,
                    const PROFILE_GRAPH::TREE_CANDIDATE& b) const {
        return a.weight > b.weight;
    }
};

}  // namespace

CFG_VERTEX PROFILE_GRAPH::tree_root(CFG_VERTEX v) {
    while (tree_parent_[v] != v) {
        tree_parent_[v] = tree_parent_[tree_parent_[v]];
        v = tree_parent_[v];
    }
    return v;
}

void PROFILE_GRAPH::spanning_tree() {
    tree_edges_.clear();
    std::size_t n = boost::num_vertices(g_);
    if (n == 0) return;
    tree_parent_.resize(n);
    for (CFG_VERTEX v = 0; v < n; ++v) tree_parent_[v] = v;
    tree_edge_list_.clear();
    tree_weights_.clear();
    for (auto [it, end] = boost::edges(g_); it != end; ++it) {
        tree_edge_list_.push_back(*it);
        tree_weights_.push_back(g_[*it].tree_weight);
    }
    // The order in which the edges leave the heap depends on nothing but
    // their weights in edge-list order: functions of the same shape, which
    // follow one another in a unit, take it from the last one worked out.
    if (tree_weights_ != tree_order_weights_) {
        // The candidates enter the heap in edge-list order, one at a time,
        // as the edges would enter a priority queue.
        tree_candidates_.clear();
        for (std::size_t i = 0; i < tree_weights_.size(); ++i) {
            tree_candidates_.push_back(TREE_CANDIDATE{tree_weights_[i], i});
            std::push_heap(tree_candidates_.begin(), tree_candidates_.end(), HEAVIER());
        }
        tree_order_.clear();
        while (!tree_candidates_.empty()) {
            std::pop_heap(tree_candidates_.begin(), tree_candidates_.end(), HEAVIER());
            tree_order_.push_back(tree_candidates_.back().edge);
            tree_candidates_.pop_back();
        }
        tree_order_weights_ = tree_weights_;
    }
    // An edge joining two parts of the forest grown so far joins the tree.
    for (std::size_t i : tree_order_) {
        const CFG_EDGE& e = tree_edge_list_[i];
        CFG_VERTEX u = tree_root(boost::source(e, g_));
        CFG_VERTEX v = tree_root(boost::target(e, g_));
        if (u == v) continue;
        tree_edges_.push_back(e);
        tree_parent_[u] = v;
    }
}
