// The profile manager: the statement list of the current function and its
// cutting into basic blocks.
#include "profmgr/prof_mgr.h"

#include "icode/icode_file.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "profiling/BGL_cfg.h"
#include "profmgr/profile_data.h"

using namespace icode;

namespace {
int16_t label_counter = 0;
int array_sequence = 0;
int highest_label_value = 0;
}  // namespace

int16_t& new_label_counter() { return label_counter; }
int& counters_array_sequence() { return array_sequence; }

PROFILE_ICODE_MGR& profile_manager() {
    static PROFILE_ICODE_MGR manager;
    return manager;
}

void reset_profile_manager() {
    PROFILE_ICODE_MGR& m = profile_manager();
    m.reset();
    m.reset_profile_data();
    m.set_output(nullptr);
    m.set_types(nullptr);
    m.set_unit_name("");
    m.set_job(PROFILE_JOB());
    label_counter = 0;
    array_sequence = 0;
}

PROFILE_ICODE_MGR::PROFILE_ICODE_MGR() { lowering_ = !keep_conditions(); }

PROFILE_ICODE_MGR::~PROFILE_ICODE_MGR() { reset(); }

const char* PROFILE_ICODE_MGR::function_name() const {
    return current_ ? current_->name().c_str() : "";
}

BASIC_BLK* PROFILE_ICODE_MGR::first_block() {
    block_cursor_ = first_block_;
    return block_cursor_;
}

BASIC_BLK* PROFILE_ICODE_MGR::next_block() {
    if (block_cursor_) block_cursor_ = block_cursor_->next();
    return block_cursor_;
}

bool PROFILE_ICODE_MGR::is_exit_block(const BASIC_BLK* block) {
    if (!exit_blocks_built_) {
        exit_blocks_.clear();
        for (BASIC_BLK* b = first_block_; b; b = b->next()) {
            int op = b->last() ? b->last()->root_opcode() : -1;
            if (op == URETURN || op == RETURN) exit_blocks_.push_back(b);
        }
        exit_blocks_built_ = true;
    }
    for (BASIC_BLK* b : exit_blocks_)
        if (b == block) return true;
    return false;
}

BASIC_BLK* PROFILE_ICODE_MGR::block_with_label(uint64_t label) {
    // Built once per function, keeping the first block in block order for
    // each label, so that lookups stay constant-time on large functions.
    if (!label_blocks_built_) {
        label_blocks_.clear();
        for (BASIC_BLK* b = first_block_; b; b = b->next()) {
            uint64_t l;
            if (b->first_label(l)) label_blocks_.emplace(l, b);
        }
        label_blocks_built_ = true;
    }
    auto it = label_blocks_.find(label);
    return it == label_blocks_.end() ? nullptr : it->second;
}

SYMTAB* PROFILE_ICODE_MGR::new_symbol(SymbolRecord record, int level) {
    // Globals sit in a deque: it never moves them, and holds them without
    // a separate allocation each (a unit has one per function at least).
    SYMTAB* s =
        level == 0 ? &global_symbols_.emplace_back(std::move(record))
                   : local_symbols_.emplace_back(std::make_unique<SYMTAB>(std::move(record))).get();
    s->set_level(level);
    return s;
}

void PROFILE_ICODE_MGR::begin_function(SYMTAB* symbol, const OptPos& position) {
    current_ = symbol;
    label_blocks_built_ = false;
    auto e = std::make_unique<STMT_ENTRY>();
    e->kind = REC_FUNC_BEGIN;
    e->symbol = symbol;
    e->position = position;
    add_entry(std::move(e));
}

void PROFILE_ICODE_MGR::end_function(const OptPos& position) {
    auto e = std::make_unique<STMT_ENTRY>();
    e->kind = REC_FUNC_END;
    e->position = position;
    add_entry(std::move(e));
    process_function();
    retire_counters_array();
    reset();
}

void PROFILE_ICODE_MGR::retire_counters_array() {
    if (!counters_array_owned_) return;
    // The function is written and nothing will name its counters array
    // again: the output keeps the array's records, and the symbol goes.
    if (output_) output_->freeze_global_symbol(counters_array_owned_.get());
    counters_array_owned_.reset();
    counters_array_ = nullptr;
}

void PROFILE_ICODE_MGR::add_entry(std::unique_ptr<STMT_ENTRY> entry) {
    STMT_ENTRY* e = entry.release();
    insert_entry(e, false);
    if (e->kind == REC_TEXT_AT || e->kind == REC_TEXT) block_ended_ = false;
}

// ---- the statement list ------------------------------------------------------

void PROFILE_ICODE_MGR::insert_entry(STMT_ENTRY* e, bool before) {
    STMT_ENTRY* p = insertion_point_;
    if (!p) {
        e->prev = last_stmt_;
        if (last_stmt_)
            last_stmt_->next = e;
        else
            first_stmt_ = e;
        last_stmt_ = e;
        return;
    }
    if (!before) {
        e->prev = p;
        e->next = p->next;
        if (p->next)
            p->next->prev = e;
        else
            last_stmt_ = e;
        p->next = e;
        insertion_point_ = e;
        return;
    }
    e->next = p;
    e->prev = p->prev;
    if (p->prev)
        p->prev->next = e;
    else
        first_stmt_ = e;
    p->prev = e;
    if (BASIC_BLK* b = p->starts_block) {
        // A statement put in front of a block's first statement becomes its
        // first, except in front of the label that opens the function.
        if (!(b == first_block_ && p->kind == REC_LABEL)) b->set_first(e);
    }
}

BASIC_BLK* PROFILE_ICODE_MGR::new_block(STMT_ENTRY* first) {
    if (!first_block_) prologue_end_ = first->prev;
    block_store_.push_back(std::make_unique<BASIC_BLK>(next_block_number_++, this, first));
    BASIC_BLK* b = block_store_.back().get();
    if (last_block_)
        last_block_->set_next(b);
    else
        first_block_ = b;
    last_block_ = b;
    open_block_ = b;
    return b;
}

void PROFILE_ICODE_MGR::cut_blocks(STMT_ENTRY* e) {
    if (!first_block_ || block_ended_ || e->kind == REC_LABEL)
        new_block(e);
    else if (open_block_)
        open_block_->set_last(e);
    block_ended_ = e->kind == REC_EXPR_STMT && ends_block(e->root_opcode());
}

void PROFILE_ICODE_MGR::add_tree_statement(NODE* tree, const OptPos& position, int kind,
                                           bool before) {
    auto* e = new STMT_ENTRY;
    e->kind = kind;
    e->tree = tree;
    e->position = position;
    // With an insertion point the flag comes from the statement in front of
    // which, or after which, the new one goes.
    if (insertion_point_ && insertion_point_->kind == REC_EXPR_STMT)
        block_ended_ = ends_block(insertion_point_->root_opcode());
    insert_entry(e, before);
    cut_blocks(e);
}

void PROFILE_ICODE_MGR::add_label(uint32_t number, const OptPos& position) {
    if (int64_t(number) > highest_label_value && number <= 0x7fffffffu)
        highest_label_value = int(number);
    add_tree_statement(label_def(int64_t(number)), position, REC_LABEL, false);
}

int PROFILE_ICODE_MGR::highest_label() const { return highest_label_value; }

void PROFILE_ICODE_MGR::add_statement(NODE* tree, const OptPos& position, int kind, bool before) {
    if (tree && tree->opcode() == CBRANCH && lowering_) {
        lower_condition(tree, position, before);
        return;
    }
    if (tree && tree->opcode() == OP_TWO_WAY_BRANCH) {
        // TWO_WAY_BRANCH(c, COMMA(Lt, Lf)) becomes CBRANCH(c, Lf), which
        // jumps when c is false, followed by a new label and a branch to Lt.
        NODE* cond = tree->left();
        NODE* targets = tree->right();
        NODE* lt = targets->left();
        NODE* lf = targets->right();
        NODE* cbranch = make_node(CBRANCH, tree->type());
        cbranch->set_left(cond);
        cbranch->set_right(lf);
        tree->set_left(nullptr);
        tree->set_right(nullptr);
        targets->set_left(nullptr);
        targets->set_right(nullptr);
        free_tree(tree);
        free_tree(targets);
        add_tree_statement(cbranch, position, kind, before);
        add_label_def(new_label(), position, before);
        NODE* branch =
            make_node(BRANCH, types_ ? types_->integral_type(IntegralKind::INT) : nullptr);
        branch->set_left(lt);
        add_tree_statement(branch, position, REC_EXPR_STMT, before);
        record_conditional(cbranch);
        return;
    }
    add_tree_statement(tree, position, kind, before);
    record_conditional(tree);
}

void PROFILE_ICODE_MGR::record_conditional(NODE* tree) {
    if (no_data_ || !tree) return;
    int quests = 0;
    std::vector<const NODE*> todo{tree};
    while (!todo.empty()) {
        const NODE* n = todo.back();
        todo.pop_back();
        if (n->opcode() == QUEST) ++quests;
        if (n->right()) todo.push_back(n->right());
        if (n->left()) todo.push_back(n->left());
    }
    if (quests == 0) return;
    cond_trees_.push_back(COND_TREE{open_block_, tree});
    extra_counter_count_ += quests;
}

NODE* PROFILE_ICODE_MGR::weights_on_input(NODE* tree) {
    if (!tree) return tree;
    // Post-order over (node, slot of the parent that holds it).
    struct ITEM {
        NODE** slot;
        bool expanded;
    };
    NODE* root = tree;
    std::vector<ITEM> todo{{&root, false}};
    while (!todo.empty()) {
        ITEM it = todo.back();
        todo.pop_back();
        NODE* n = *it.slot;
        if (!n) continue;
        if (!it.expanded) {
            todo.push_back(ITEM{it.slot, true});
            if (n->right()) todo.push_back(ITEM{n->right_slot(), false});
            if (n->left()) todo.push_back(ITEM{n->left_slot(), false});
            continue;
        }
        if (n->opcode() != EPVAL || !n->left()) continue;
        NODE* operand = n->left();
        operand->set_weight(n->weight());
        if (it.slot == &root) continue;  // the statement keeps its root
        *it.slot = operand;
        n->set_left(nullptr);
        free_tree(n);
    }
    return root;
}

void PROFILE_ICODE_MGR::reset() {
    free_dead_nodes();
    for (STMT_ENTRY* e = first_stmt_; e;) {
        STMT_ENTRY* next = e->next;
        delete e;
        e = next;
    }
    first_stmt_ = last_stmt_ = prologue_end_ = nullptr;
    block_store_.clear();
    first_block_ = open_block_ = last_block_ = nullptr;
    insertion_point_ = nullptr;
    // A function given up half way may leave its counters array in the
    // output's table: it then stays as long as the table.
    if (counters_array_owned_) abandoned_arrays_.push_back(std::move(counters_array_owned_));
    counters_array_ = nullptr;
    current_ = nullptr;
    next_block_number_ = 0;
    highest_label_value = 0;
    highest_instr_index() = 0;
    exit_blocks_.clear();
    exit_blocks_built_ = false;
    cond_trees_.clear();
    extra_counter_count_ = 0;
    lowering_ = !keep_conditions();
    no_data_ = false;
    block_ended_ = false;
    block_cursor_ = nullptr;
    label_blocks_.clear();
    label_blocks_built_ = false;
    local_symbols_.clear();
}

void PROFILE_ICODE_MGR::free_dead_nodes() {
    if (dead_nodes_.empty()) return;
    // Nodes that lowering took apart may hold operands that live on in
    // statements (and, after instrumentation, nodes added to them).  Free
    // exactly the nodes that no statement holds, each once: everything
    // reachable from the dead nodes (marked), less what a statement reaches
    // (unmarked again).
    std::vector<NODE*> dead;
    std::vector<NODE*> todo(dead_nodes_.begin(), dead_nodes_.end());
    while (!todo.empty()) {
        NODE* n = todo.back();
        todo.pop_back();
        if (!n || n->marked()) continue;
        n->set_marked(true);
        dead.push_back(n);
        todo.push_back(n->left());
        todo.push_back(n->right());
    }
    std::size_t left = dead.size();
    auto spare = [&](NODE* root) {
        todo.assign(1, root);
        while (!todo.empty() && left > 0) {
            NODE* n = todo.back();
            todo.pop_back();
            if (!n) continue;
            if (n->marked()) {
                n->set_marked(false);
                --left;
            }
            todo.push_back(n->left());
            todo.push_back(n->right());
        }
    };
    for (STMT_ENTRY* e = first_stmt_; e && left > 0; e = e->next) {
        spare(e->tree);
        for (const auto& x : e->eht) spare(x.tree);
    }
    for (NODE* n : dead) {
        if (!n->marked()) continue;
        n->set_left(nullptr);
        n->set_right(nullptr);
        free_tree(n);
    }
    dead_nodes_.clear();
}
