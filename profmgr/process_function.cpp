// The per-function driver of the profile manager.
#include "diag/diag_settings.h"
#include "diag/trelv_diags.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "profiling/BGL_cfg.h"
#include "profmgr/analysis_tables.h"
#include "profmgr/cfg_viewer.h"
#include "profmgr/prof_mgr.h"

using namespace icode;

bool PROFILE_ICODE_MGR::instrumenting() const { return job_.instrument; }

std::unique_ptr<PROFILE_GRAPH> PROFILE_ICODE_MGR::build_graph() {
    auto graph =
        std::make_unique<PROFILE_GRAPH>(fn_.first_block, function_name(), fn_.extra_counter_count);
    add_blocks_and_edges(*graph);
    return graph;
}

PROFILE_GRAPH& PROFILE_ICODE_MGR::function_graph() {
    if (graph_) {
        // Every block made for the function is in its list.
        graph_->restart(fn_.first_block, function_name(), fn_.extra_counter_count, fn_.blocks_used);
    } else
        graph_ = std::make_unique<PROFILE_GRAPH>(fn_.first_block, function_name(),
                                                 fn_.extra_counter_count);
    add_blocks_and_edges(*graph_);
    return *graph_;
}

void PROFILE_ICODE_MGR::add_blocks_and_edges(PROFILE_GRAPH& graph) {
    for (BASIC_BLK* b = fn_.first_block; b; b = b->next()) graph.add_block(b);
    // Only the instrumentation asks for the blocks' predecessors.
    const bool with_predecessors = instrumenting();
    CFG_VERTEX v = 0;
    for (BASIC_BLK* b = fn_.first_block; b; b = b->next(), ++v) {
        b->compute_successors(with_predecessors);
        graph.add_block_edges(v, b->successors());
    }
}

void PROFILE_ICODE_MGR::process_function() {
    bool gen = job_.instrument;
    bool use = job_.uses_profile();
    if (!fn_.no_data) {
        int level = job_.debug_level;
        if (gen) {
            const COUNTER_PLAN plan = function_graph().instrument();
            if (level > 2) dump_graph();
            insert_counters(plan);
        } else if (use) {
            PROFILE_GRAPH& graph = function_graph();
            graph.propagate_counters(function_data_sets());
            conditional_weights(graph);
            if (level > 2) dump_graph();
            fn_.cutting = job_.table.has_value();
            annotation();
            if (job_.table) {
                const ANALYSIS_TABLE_KIND& kind = analysis_table_kind(*job_.table);
                for (BASIC_BLK* b = fn_.first_block; b; b = b->next()) kind.write_rows(*this, b);
            }
        } else {
            check_function();
        }
    }
    if (!job_.analyze_only || fn_.no_data) write_function();
}

void PROFILE_ICODE_MGR::check_function() {
    // Shown edge by edge as the graph is built.
    if (DIAG::settings().debug) {
        build_graph();
        return;
    }
    if (!fn_.first_block) DIAG::trelv_fatal_empty_entryblk(TRELV_HERE, function_name()).emit();
    for (BASIC_BLK* b = fn_.first_block; b; b = b->next()) b->check_targets();
}

void PROFILE_ICODE_MGR::dump_graph() {
    // The dump and the output must agree on label numbers.
    renumber_new_labels();
    dump_cfg(*this);
}

void PROFILE_ICODE_MGR::renumber_new_labels() {
    for (STMT_ENTRY* e = fn_.first_stmt; e; e = e->next)
        if ((e->kind == REC_LABEL || e->kind == REC_EXPR_STMT) && e->new_labels)
            renumber_labels(e->tree);
}

std::vector<BASIC_BLK*> PROFILE_ICODE_MGR::block_list() const {
    std::vector<BASIC_BLK*> blocks;
    for (BASIC_BLK* b = fn_.first_block; b; b = b->next()) blocks.push_back(b);
    return blocks;
}

void PROFILE_ICODE_MGR::renumber_labels(NODE* tree) const {
    walk_tree(tree, stacks_.nodes, [&](NODE* n) {
        if (n->opcode() == LABEL || n->opcode() == OP_LABEL_DEF) {
            int64_t v = int64_t(n->value());
            if (v < 0) n->set_value(uint64_t(int64_t(highest_label()) - v));
        }
        return true;
    });
}

bool PROFILE_ICODE_MGR::copies_parameter(const STMT_ENTRY* e) const {
    if (!e || e->kind != REC_EXPR_STMT || !e->tree) return false;
    const NODE* root = e->tree;
    if (root->opcode() == PCOMMA) return true;
    if (root->opcode() != ASG && root->opcode() != STASG) return false;
    const NODE* l = root->left();
    const NODE* r = root->right();
    while (r && (r->opcode() == SCONV || r->opcode() == PCONV)) r = r->left();
    if (!l || !r || l->opcode() != NAME || r->opcode() != NAME) return false;
    const I_SYMTAB* ls = l->symbol();
    const I_SYMTAB* rs = r->symbol();
    return ls && rs && rs->storage_class() == 1 && ls->storage_class() == 2 &&
           ls->name() == rs->name();
}
