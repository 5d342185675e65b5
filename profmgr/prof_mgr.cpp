// The profile manager: the statement list of the current function and its
// cutting into basic blocks.
#include "profmgr/prof_mgr.h"

#include <algorithm>
#include <boost/format.hpp>  // the counters array's name format, released here

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

PROFILE_ICODE_MGR::PROFILE_ICODE_MGR() { fn_.lowering = !keep_conditions(); }

PROFILE_ICODE_MGR::~PROFILE_ICODE_MGR() { reset(); }

const char* PROFILE_ICODE_MGR::function_name() const {
    return fn_.current ? fn_.current->name().c_str() : "";
}

BASIC_BLK* PROFILE_ICODE_MGR::first_block() {
    fn_.block_cursor = fn_.first_block;
    return fn_.block_cursor;
}

BASIC_BLK* PROFILE_ICODE_MGR::next_block() {
    if (fn_.block_cursor) fn_.block_cursor = fn_.block_cursor->next();
    return fn_.block_cursor;
}

bool PROFILE_ICODE_MGR::is_exit_block(const BASIC_BLK* block) {
    if (!fn_.exit_blocks_built) {
        fn_.exit_blocks.clear();
        for (BASIC_BLK* b = fn_.first_block; b; b = b->next()) {
            int op = b->last() ? b->last()->root_opcode() : -1;
            if (op == URETURN || op == RETURN) fn_.exit_blocks.push_back(b);
        }
        fn_.exit_blocks_built = true;
    }
    for (BASIC_BLK* b : fn_.exit_blocks)
        if (b == block) return true;
    return false;
}

BASIC_BLK* PROFILE_ICODE_MGR::block_with_label(uint64_t label) {
    // Built once per function, keeping the first block in block order for
    // each label, so that lookups stay constant-time on large functions.
    if (!fn_.label_blocks_built) {
        fn_.label_blocks_built = true;
        build_label_tables();
    }
    // Labels as read are positive and those made for the function negative:
    // each kind lies in a narrow range, looked up by its offset in it.
    for (const LABEL_RANGE& r : fn_.label_ranges) {
        uint64_t offset = label - r.base;
        if (offset < r.blocks.size()) return r.blocks[offset];
    }
    if (fn_.label_blocks.empty()) return nullptr;
    auto it = std::lower_bound(fn_.label_blocks.begin(), fn_.label_blocks.end(),
                               std::make_tuple(label, std::size_t(0), (BASIC_BLK*)nullptr));
    return it == fn_.label_blocks.end() || std::get<0>(*it) != label ? nullptr : std::get<2>(*it);
}

void PROFILE_ICODE_MGR::build_label_tables() {
    fn_.label_blocks.clear();
    for (LABEL_RANGE& r : fn_.label_ranges) r.blocks.clear();
    // The lowest and highest label of each sign, and how many there are.
    int64_t low[2] = {INT64_MAX, INT64_MAX}, high[2] = {INT64_MIN, INT64_MIN};
    std::size_t count[2] = {0, 0};
    uint64_t l;
    for (BASIC_BLK* b = fn_.first_block; b; b = b->next()) {
        if (!b->first_label(l)) continue;
        int side = int64_t(l) < 0;
        low[side] = std::min(low[side], int64_t(l));
        high[side] = std::max(high[side], int64_t(l));
        ++count[side];
    }
    bool dense = true;
    for (int side = 0; side < 2; ++side)
        if (count[side] > 0 && uint64_t(high[side]) - uint64_t(low[side]) > 4 * count[side] + 64)
            dense = false;
    if (dense) {
        for (int side = 0; side < 2; ++side) {
            LABEL_RANGE& r = fn_.label_ranges[side];
            r.base = uint64_t(low[side]);
            if (count[side] > 0) r.blocks.assign(uint64_t(high[side]) - r.base + 1, nullptr);
        }
        for (BASIC_BLK* b = fn_.first_block; b; b = b->next()) {
            if (!b->first_label(l)) continue;
            LABEL_RANGE& r = fn_.label_ranges[int64_t(l) < 0];
            BASIC_BLK*& slot = r.blocks[l - r.base];
            if (!slot) slot = b;
        }
        return;
    }
    // Labels spread too far apart for a table: sorted by label, and among
    // blocks with the same label in block order.
    std::size_t order = 0;
    for (BASIC_BLK* b = fn_.first_block; b; b = b->next())
        if (b->first_label(l)) fn_.label_blocks.emplace_back(l, order++, b);
    std::sort(fn_.label_blocks.begin(), fn_.label_blocks.end());
}

SYMTAB* PROFILE_ICODE_MGR::new_symbol(SymbolRecord record, int level) {
    // Globals sit in a deque: it never moves them, and holds them without
    // a separate allocation each (a unit has one per function at least).
    SYMTAB* s =
        level == 0
            ? &global_symbols_.emplace_back(std::move(record))
            : fn_.local_symbols.emplace_back(std::make_unique<SYMTAB>(std::move(record))).get();
    s->set_level(level);
    return s;
}

std::unique_ptr<STMT_ENTRY> PROFILE_ICODE_MGR::new_entry_past_gaps() {
    // Past the places of entries that never came back; then a new entry
    // with a place of its own.
    while (next_spare_entry_ < spare_entries_.size())
        if (std::unique_ptr<STMT_ENTRY>& kept = spare_entries_[next_spare_entry_++])
            return std::move(kept);
    auto e = std::make_unique<STMT_ENTRY>();
    e->slot = uint32_t(spare_entries_.size());
    spare_entries_.emplace_back();  // the new entry's place, empty while it is out
    next_spare_entry_ = spare_entries_.size();
    return e;
}

void PROFILE_ICODE_MGR::begin_function(SYMTAB* symbol, const OptPos& position) {
    fn_.current = symbol;
    fn_.label_blocks_built = false;
    std::unique_ptr<STMT_ENTRY> e = new_entry();
    e->kind = REC_FUNC_BEGIN;
    e->symbol = symbol;
    e->set_position(position);
    add_entry(std::move(e));
}

void PROFILE_ICODE_MGR::end_function(const OptPos& position) {
    std::unique_ptr<STMT_ENTRY> e = new_entry();
    e->kind = REC_FUNC_END;
    e->set_position(position);
    add_entry(std::move(e));
    process_function();
    retire_counters_array();
    reset();
}

void PROFILE_ICODE_MGR::retire_counters_array() {
    if (!fn_.counters_array_owned) return;
    // The function is written and nothing will name its counters array
    // again: the output keeps the array's records, and the symbol goes.
    if (output_) output_->freeze_global_symbol(fn_.counters_array_owned.get());
    fn_.counters_array_owned.reset();
    fn_.counters_array = nullptr;
}

void PROFILE_ICODE_MGR::add_entry(std::unique_ptr<STMT_ENTRY> entry) {
    STMT_ENTRY* e = entry.release();
    insert_entry(e, false);
    if (e->kind == REC_TEXT_AT || e->kind == REC_TEXT) fn_.block_ended = false;
}

// ---- the statement list ------------------------------------------------------

void PROFILE_ICODE_MGR::insert_entry(STMT_ENTRY* e, bool before) {
    STMT_ENTRY* p = fn_.insertion_point;
    if (!p) {
        e->prev = fn_.last_stmt;
        if (fn_.last_stmt)
            fn_.last_stmt->next = e;
        else
            fn_.first_stmt = e;
        fn_.last_stmt = e;
        return;
    }
    if (!before) {
        e->prev = p;
        e->next = p->next;
        if (p->next)
            p->next->prev = e;
        else
            fn_.last_stmt = e;
        p->next = e;
        fn_.insertion_point = e;
        return;
    }
    e->next = p;
    e->prev = p->prev;
    if (p->prev)
        p->prev->next = e;
    else
        fn_.first_stmt = e;
    p->prev = e;
    if (BASIC_BLK* b = p->starts_block) {
        // A statement put in front of a block's first statement becomes its
        // first, except in front of the label that opens the function.
        if (!(b == fn_.first_block && p->kind == REC_LABEL)) b->set_first(e);
    }
}

BASIC_BLK* PROFILE_ICODE_MGR::new_block(STMT_ENTRY* first) {
    if (!fn_.first_block) fn_.prologue_end = first->prev;
    BASIC_BLK* b;
    if (fn_.blocks_used < fn_.block_store.size()) {
        b = fn_.block_store[fn_.blocks_used].get();
        b->restart(fn_.next_block_number++, first);
    } else {
        b = fn_.block_store
                .emplace_back(std::make_unique<BASIC_BLK>(fn_.next_block_number++, this, first))
                .get();
    }
    ++fn_.blocks_used;
    if (fn_.last_block)
        fn_.last_block->set_next(b);
    else
        fn_.first_block = b;
    fn_.last_block = b;
    fn_.open_block = b;
    return b;
}

void PROFILE_ICODE_MGR::cut_blocks(STMT_ENTRY* e) {
    if (!fn_.first_block || fn_.block_ended || e->kind == REC_LABEL)
        new_block(e);
    else if (fn_.open_block)
        fn_.open_block->set_last(e);
    fn_.block_ended = e->kind == REC_EXPR_STMT && ends_block(e->root_opcode());
}

namespace {

// The label a branch names: its operand, or the operand of its weight
// wrapper.
const NODE* named_label(const NODE* operand) {
    if (operand && operand->opcode() == EPVAL) operand = operand->left();
    return operand && operand->opcode() == LABEL ? operand : nullptr;
}

// Whether a statement's tree holds a label made for this function.  New
// labels are negative, and the manager puts them only where a statement
// names its one label: a label definition, the target of a branch or of a
// conditional branch.  (A jump redirected to a new label is marked where it
// is redirected.)  Trees as read hold no negative labels.
bool names_new_label(const NODE* tree) {
    if (!tree) return false;
    const NODE* label = nullptr;
    switch (tree->opcode()) {
        case LABEL:
        case OP_LABEL_DEF: label = tree; break;
        case BRANCH: label = named_label(tree->left()); break;
        case CBRANCH: label = named_label(tree->right()); break;
        default: break;
    }
    return label && int64_t(label->value()) < 0;
}

}  // namespace

STMT_ENTRY* PROFILE_ICODE_MGR::add_tree_statement(NODE* tree, const OptPos& position,
                                                  RECORD_KIND kind, bool before) {
    STMT_ENTRY* e = new_entry().release();
    e->kind = kind;
    e->tree = tree;
    e->set_position(position);
    e->new_labels = names_new_label(tree);
    return place_statement(e, before);
}

STMT_ENTRY* PROFILE_ICODE_MGR::place_statement(STMT_ENTRY* e, bool before) {
    if (!fn_.cutting) {
        insert_entry(e, before);
        return e;
    }
    // With an insertion point the flag comes from the statement in front of
    // which, or after which, the new one goes.
    if (fn_.insertion_point && fn_.insertion_point->kind == REC_EXPR_STMT)
        fn_.block_ended = ends_block(fn_.insertion_point->root_opcode());
    insert_entry(e, before);
    cut_blocks(e);
    return e;
}

void PROFILE_ICODE_MGR::add_label(uint32_t number, const OptPos& position) {
    if (int64_t(number) > fn_.highest_label && number <= 0x7fffffffu)
        fn_.highest_label = int(number);
    add_tree_statement(label_def(int64_t(number)), position, REC_LABEL, false);
}

int PROFILE_ICODE_MGR::highest_label() const { return fn_.highest_label; }

void PROFILE_ICODE_MGR::add_statement(NODE* tree, const OptPos& position, RECORD_KIND kind,
                                      bool before) {
    if (tree && tree->opcode() == CBRANCH && fn_.lowering) {
        lower_condition(tree, position, before);
        return;
    }
    if (tree && tree->opcode() == OP_TWO_WAY_BRANCH) {
        NODE* cond = tree->left();
        NODE* targets = tree->right();
        NODE* lt = targets->left();
        NODE* lf = targets->right();
        tree->set_left(nullptr);
        tree->set_right(nullptr);
        targets->set_left(nullptr);
        targets->set_right(nullptr);
        TYPE* type = tree->type();
        // A freed root is no longer the statement as read (see
        // record_conditional).
        if (tree == input_tree_) input_tree_ = nullptr;
        free_tree(tree);
        free_tree(targets);
        add_two_way_branch(cond, lt, lf, type, position, kind, before);
        return;
    }
    add_tree_statement(tree, position, kind, before);
    record_conditional(tree);
}

void PROFILE_ICODE_MGR::add_two_way_branch(NODE* cond, NODE* lt, NODE* lf, TYPE* type,
                                           const OptPos& position, RECORD_KIND kind, bool before) {
    // CBRANCH(c, Lf), which jumps when c is false, followed by a new label
    // and a branch to Lt.
    NODE* cbranch = make_node(CBRANCH, type);
    cbranch->set_left(cond);
    cbranch->set_right(lf);
    add_tree_statement(cbranch, position, kind, before);
    add_label_def(new_label(), position, before);
    NODE* branch = make_node(BRANCH, int_type());
    branch->set_left(lt);
    add_tree_statement(branch, position, REC_EXPR_STMT, before);
    record_conditional(cbranch);
}

bool PROFILE_ICODE_MGR::takes_apart(const NODE* tree) const {
    return tree &&
           ((tree->opcode() == CBRANCH && fn_.lowering) || tree->opcode() == OP_TWO_WAY_BRANCH);
}

void PROFILE_ICODE_MGR::record_counted_conditional(NODE* tree) {
    // The statement as read was counted when it was read.
    int quests = tree == input_tree_ ? input_quests_ : count_quests(tree);
    if (quests == 0) return;
    fn_.cond_trees.push_back(COND_TREE{fn_.open_block, tree});
    fn_.extra_counter_count += quests;
}

int PROFILE_ICODE_MGR::count_quests(NODE* tree) {
    int quests = 0;
    walk_tree(tree, stacks_.nodes, [&](NODE* n) {
        if (n->opcode() == QUEST) ++quests;
        return true;
    });
    return quests;
}

NODE* PROFILE_ICODE_MGR::weights_on_input(NODE* tree) {
    std::vector<NODE*> todo;
    int quests = 0;
    return weights_on_input(tree, todo, quests);
}

void PROFILE_ICODE_MGR::add_input_statement(NODE* tree, const OptPos& position) {
    input_quests_ = 0;
    tree = weights_on_input(tree, stacks_.nodes, input_quests_);
    input_tree_ = tree;
    add_statement(tree, position, REC_EXPR_STMT);
    input_tree_ = nullptr;
}

NODE* PROFILE_ICODE_MGR::weights_on_input(NODE* tree, std::vector<NODE*>& todo, int& quests) {
    // An EPVAL node gives its weight to its operand, which takes its place
    // (and gives it on in turn when it is an EPVAL node too); the root stays,
    // and its operand gets its weight once the tree below it is done.  One
    // walk in pre-order, which replaces the operands of a node before it
    // goes down to them.
    auto unwrap = [](NODE** slot) {
        while (*slot && (*slot)->opcode() == EPVAL && (*slot)->left()) {
            NODE* n = *slot;
            NODE* operand = n->left();
            operand->set_weight(n->weight());
            *slot = operand;
            n->set_left(nullptr);
            free_tree(n);
        }
    };
    walk_tree(tree, todo, [&](NODE* n) {
        unwrap(n->left_slot());
        unwrap(n->right_slot());
        if (n->opcode() == QUEST) ++quests;
        return true;
    });
    if (tree && tree->opcode() == EPVAL && tree->left()) tree->left()->set_weight(tree->weight());
    return tree;
}

void PROFILE_ICODE_MGR::reset() {
    free_dead_nodes();
    // Each entry goes back to its own place, and the next function takes
    // them from the first place on (see new_entry).  An entry that never
    // reached the list was freed by its holder, and its place stays empty.
    next_spare_entry_ = 0;
    for (STMT_ENTRY* e = fn_.first_stmt; e;) {
        STMT_ENTRY* next = e->next;
        e->clear();
        if (e->slot < spare_entries_.size() && !spare_entries_[e->slot]) {
            spare_entries_[e->slot].reset(e);
        } else {  // not made by new_entry: it gets a place of its own
            e->slot = uint32_t(spare_entries_.size());
            spare_entries_.emplace_back(e);
        }
        e = next;
    }
    // A function given up half way may leave its counters array in the
    // output's table: it then stays as long as the table.
    if (fn_.counters_array_owned) abandoned_arrays_.push_back(std::move(fn_.counters_array_owned));
    fn_ = fn_.recycled();
    fn_.lowering = !keep_conditions();
}

FUNCTION_STATE FUNCTION_STATE::recycled() {
    FUNCTION_STATE next;
    auto keep = [](auto& from, auto& to) {
        from.clear();
        to = std::move(from);
    };
    keep(dead_nodes, next.dead_nodes);
    keep(handed_operands, next.handed_operands);
    keep(local_symbols, next.local_symbols);
    // The blocks themselves are kept, to be restarted by the next function.
    next.block_store = std::move(block_store);
    keep(cond_trees, next.cond_trees);
    keep(exit_blocks, next.exit_blocks);
    keep(label_blocks, next.label_blocks);
    keep(made_jumps, next.made_jumps);
    keep(trailing_jumps, next.trailing_jumps);
    for (int side = 0; side < 2; ++side)
        keep(label_ranges[side].blocks, next.label_ranges[side].blocks);
    return next;
}

void PROFILE_ICODE_MGR::free_dead_nodes() {
    std::vector<NODE*>& handed = fn_.handed_operands;
    if (fn_.dead_nodes.empty()) {
        handed.clear();
        return;
    }
    // The nodes to free are those reachable from the taken-apart branches
    // without passing through an operand that a statement holds: marked
    // first, those operands stop the walk, and every node is visited once.
    std::vector<NODE*>& dead = stacks_.dead;
    std::vector<NODE*>& todo = stacks_.nodes;
    for (NODE* n : handed) n->set_marked(true);
    dead.clear();
    todo.assign(fn_.dead_nodes.begin(), fn_.dead_nodes.end());
    while (!todo.empty()) {
        NODE* n = todo.back();
        todo.pop_back();
        if (!n || n->marked()) continue;
        n->set_marked(true);
        dead.push_back(n);
        todo.push_back(n->left());
        todo.push_back(n->right());
    }
    for (NODE* n : handed) n->set_marked(false);
    // Each node alone: its operands are in the list or kept.
    for (NODE* n : dead) delete n;
    fn_.dead_nodes.clear();
    handed.clear();
}
