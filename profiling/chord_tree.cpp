// The minimum spanning tree whose complement gives the chords: Kruskal's
// algorithm over the graph's edges, made of the parts the graph library's
// own Kruskal uses (a heap ordered by weight, the library's disjoint sets)
// but with their storage kept from function to function: the library's
// function makes its queue anew for every function, a few allocations per
// function that a run of many small functions pays for every time.
#include <algorithm>
#include <boost/pending/disjoint_sets.hpp>

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

void PROFILE_GRAPH::spanning_tree(bool record) {
    tree_accepted_.clear();
    // The edge set is the edge list, in order (see BGL_cfg.h): the edges
    // are read from it by their place.
    const auto& edges = g_.m_edges;
    const std::size_t m = edges.size();
    tree_weights_.resize(m);
    tree_member_.assign(m, 0);
    for (std::size_t k = 0; k < m; ++k) tree_weights_[k] = edges[k].get_property().tree_weight;
    std::size_t n = boost::num_vertices(g_);
    if (n == 0) return;
    tree_parent_.resize(n);
    tree_rank_.resize(n);
    // Halving the path at every find walks it once, where full compression
    // walks it twice; which edges join the tree does not depend on it.
    boost::disjoint_sets<std::size_t*, CFG_VERTEX*, boost::find_with_path_halving> forest(
        tree_rank_.data(), tree_parent_.data());
    for (CFG_VERTEX v = 0; v < n; ++v) forest.make_set(v);
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
    // An edge joining two parts of the forest grown so far joins the tree;
    // which edges do depends only on what the forest connects, not on how
    // the sets are linked.
    for (std::size_t i : tree_order_) {
        const auto& e = edges[i];
        CFG_VERTEX u = forest.find_set(e.m_source);
        CFG_VERTEX v = forest.find_set(e.m_target);
        if (u == v) continue;
        if (record) tree_accepted_.push_back(i);
        tree_member_[i] = 1;
        forest.link(u, v);
    }
}
