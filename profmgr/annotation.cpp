// Use of profile data: the derived counts written into the function's
// trees as branch weights (the writer puts them in weight nodes).
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "profiling/BGL_cfg.h"
#include "profmgr/prof_mgr.h"

using namespace icode;

void PROFILE_ICODE_MGR::conditional_weights(PROFILE_GRAPH& graph) {
    const std::map<int, int>& extra = graph.extra_values();
    if (extra.empty()) return;
    auto value = [&](int k) {
        auto it = extra.find(k);
        return it == extra.end() ? 0 : it->second;
    };
    int k = 0;
    std::vector<WEIGHTED_NODE>& todo = stacks_.weighted;
    for (const COND_TREE& ct : fn_.cond_trees) {
        // A node list is a node and the chain of its right operands; the
        // weight flows down the left subtrees.  Kept iterative: lists and
        // left-nested trees can be long.
        todo.assign(1, WEIGHTED_NODE{ct.tree, ct.block ? ct.block->exec_weight() : 0});
        while (!todo.empty()) {
            WEIGHTED_NODE it = todo.back();
            todo.pop_back();
            int w = it.weight;
            for (NODE* n = it.node; n; n = n->right()) {
                int left_w = w;
                if (n->opcode() == QUEST) {
                    n->set_weight(value(k));
                } else if (n->opcode() == COLON) {
                    int t = value(k);
                    w = int(uint32_t(w) - uint32_t(t));
                    n->set_weight(w);
                    ++k;
                    left_w = t;
                }
                if (n->left()) {
                    if (n->right()) todo.push_back(WEIGHTED_NODE{n->right(), w});
                    todo.push_back(WEIGHTED_NODE{n->left(), left_w});
                    break;
                }
            }
        }
    }
}

void PROFILE_ICODE_MGR::annotation() {
    // The entry weight: a branch of its own to a new label right after it,
    // placed where the body begins (after a parameter copy that opens it).
    int64_t entry_label = new_label();
    STMT_ENTRY* at = fn_.prologue_end;
    if (at && copies_parameter(fn_.first_block->first())) at = at->next;
    fn_.insertion_point = at;
    fn_.open_block = nullptr;
    add_branch(entry_label, std::nullopt, false, fn_.first_block->exec_weight());
    add_label_def(entry_label, std::nullopt, false);

    // Edge weights, on the blocks as they were before any insertion.  The
    // statements inserted go after a block's last statement, into blocks of
    // their own: a block's successors stay as they are while it is walked.
    bool explicit_fallthrough = job_.explicit_fallthrough;
    for_each_current_block([&](BASIC_BLK* b) {
        // b's fall-through successor, looked up when first needed and
        // again after an insertion into b.
        BASIC_BLK* fallthrough = nullptr;
        bool fallthrough_known = false;
        for (const SUCC_INFO& succ : b->successors()) {
            if (succ.weight == -1) continue;
            BASIC_BLK* const s = succ.succ;
            const int w = succ.weight;
            if (!fallthrough_known) fallthrough = b->fallthrough_succ();
            fallthrough_known = true;
            if (s != fallthrough) {
                b->annotate_branch(s, w);
                continue;
            }
            if (!explicit_fallthrough) continue;
            // A fall-through edge gets an explicit branch that carries its
            // weight, to the successor's label or to a new one right after.
            uint64_t target;
            STMT_ENTRY* const last = b->last();
            if (!fn_.cutting && last) {
                // Written after `last` by the writer (see trailing_jumps).
                const bool labelled = s->first_label(target);
                if (!labelled) target = uint64_t(new_label());
                fn_.trailing_jumps.emplace_back(last, int64_t(target), w, !labelled);
                last->jumps_follow = true;
                continue;
            }
            fn_.open_block = nullptr;
            if (!s->first_label(target)) {
                int64_t fresh = new_label();
                fn_.insertion_point = b->last();
                add_label_def(fresh, std::nullopt, false);
                target = uint64_t(fresh);
            }
            fn_.insertion_point = b->last();
            add_branch(int64_t(target), std::nullopt, false, w);
            fallthrough_known = false;
        }
    });
    fn_.insertion_point = nullptr;
    fn_.open_block = nullptr;
}
