// PROFILE_ICODE_MGR: collects each function's statements from the reader,
// cuts them into basic blocks, lowers compound conditions, builds the
// function's control-flow graph, runs the job of the run on it
// (instrument, or derive counts from profile data) and writes the function
// to the output unit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <boost/format/format_fwd.hpp>

#include "cfg/basic_blk.h"
#include "cfg/stmt_entry.h"
#include "icode/icode_client.h"
#include "icode/tree_stamp.h"
#include "profiling/BGL_cfg.h"
#include "profmgr/profile_job.h"

namespace icode {
class IcodeFile;
class TYPE;
class TYPE_PKG;
}  // namespace icode
class PROFILE_GRAPH;
class PROFILE_DATA;

// The block-iteration interface through which graph viewers reach the
// function being processed.
// The state of the function being collected and processed: its
// statements, its blocks and everything derived from them.  The manager
// replaces it whole once the function is written, so that nothing of one
// function reaches the next.
struct FUNCTION_STATE {
    // A conditional branch kept whole (conditions not lowered), with its
    // block.
    struct COND_TREE {
        BASIC_BLK* block;
        icode::NODE* tree;
    };

    icode::SYMTAB* current = nullptr;  // the function's symbol
    // Conditions of conditional branches are lowered while set.
    bool lowering = true;
    bool no_data = false;

    // The statement list, and where statements made by the jobs go.
    STMT_ENTRY* first_stmt = nullptr;
    STMT_ENTRY* last_stmt = nullptr;
    STMT_ENTRY* prologue_end = nullptr;
    STMT_ENTRY* insertion_point = nullptr;
    // The conditional branches that lowering took apart, and the operands
    // it handed on to statements.  At reset, everything reachable from the
    // branches short of those operands is freed: the operator nodes, the
    // branches' targets and whatever a job added under them.
    std::vector<icode::NODE*> dead_nodes;
    std::vector<icode::NODE*> handed_operands;
    std::vector<std::unique_ptr<icode::SYMTAB>> local_symbols;
    int highest_label = 0;

    // The blocks cut from the statements: the first blocks_used of the
    // store; the others are blocks of earlier functions, kept for reuse.
    std::vector<std::unique_ptr<BASIC_BLK>> block_store;
    std::size_t blocks_used = 0;
    BASIC_BLK* first_block = nullptr;
    BASIC_BLK* open_block = nullptr;
    BASIC_BLK* last_block = nullptr;
    int next_block_number = 0;
    bool block_ended = false;
    // Whether statements added now are cut into blocks.  Once a
    // profile-using run has annotated the graph, only the analysis tables
    // read the blocks; a run without a table adds the annotation's
    // statements to the list alone.
    bool cutting = true;
    BASIC_BLK* block_cursor = nullptr;
    std::vector<COND_TREE> cond_trees;
    std::vector<BASIC_BLK*> exit_blocks;
    bool exit_blocks_built = false;
    // The first block of each label by the label's offset from the lowest
    // one, for the labels as read and for the new (negative) ones; or, when
    // labels are too far apart for that, (label, position in block order,
    // block), sorted.
    struct LABEL_RANGE {
        uint64_t base = 0;
        std::vector<BASIC_BLK*> blocks;
    };
    LABEL_RANGE label_ranges[2];
    std::vector<std::tuple<uint64_t, std::size_t, BASIC_BLK*>> label_blocks;
    bool label_blocks_built = false;

    // The counters of the instrumenting run.
    int extra_counter_count = 0;
    icode::SYMTAB* counters_array = nullptr;
    // The counters array lives with its function: once the function is
    // written, nothing names it any more, and the output keeps its records.
    std::unique_ptr<icode::SYMTAB> counters_array_owned;
    // The block after which split edges get their new blocks: the first
    // that ends in a jump or a return.  Found at the first split; the
    // insertions keep it the first such block (they add jumps only after
    // it), so the later splits of the function do not search again.
    BASIC_BLK* split_host = nullptr;
    // Whose counters array the manager's counter_stamp_ names.
    bool counter_stamped = false;
    // The jumps the jobs add (see add_branch), by their place
    // (STMT_ENTRY::aux): each one's label and weight, from which the
    // writer writes it (IcodeFile::write_jump_statement).
    struct MADE_JUMP {
        MADE_JUMP(int64_t to, int count) : label(to), weight(count) {}
        int64_t label;
        int weight;
    };
    std::vector<MADE_JUMP> made_jumps;
    // The fall-through jumps of a profile-using run that does not cut its
    // annotation into blocks (see cutting), in the order they were made:
    // each goes right after the statement `after`, a block's last, with
    // its label defined right after it when the label is new.  A block has
    // one fall-through successor at most, so one jump follows a statement,
    // and the annotation makes them block by block, in list order.  They
    // are written from here: the writer is the only one to see them, and a
    // function has hundreds of them.
    struct TRAILING_JUMP {
        TRAILING_JUMP(STMT_ENTRY* after_entry, int64_t to, int count, bool new_label)
            : after(after_entry), jump(to, count), defines_label(new_label) {}
        STMT_ENTRY* after;
        MADE_JUMP jump;
        bool defines_label;
    };
    std::vector<TRAILING_JUMP> trailing_jumps;

    // A fresh state for the next function that keeps the storage of this
    // one's tables, emptied: the functions of a unit are much alike in
    // size, and growing the tables again for each of them costs time.
    FUNCTION_STATE recycled();
};

class CFG_MANAGER {
public:
    virtual const char* function_name() const = 0;
    virtual bool is_entry_block(const BASIC_BLK* block) const = 0;
    virtual bool is_exit_block(const BASIC_BLK* block) = 0;
    virtual BASIC_BLK* first_block() = 0;
    virtual BASIC_BLK* next_block() = 0;
    virtual bool weights_from_icode() const { return false; }
    virtual ~CFG_MANAGER() = default;
};

class PROFILE_ICODE_MGR : public CFG_MANAGER, public BLOCK_CONTEXT {
public:
    PROFILE_ICODE_MGR();
    ~PROFILE_ICODE_MGR() override;

    // ---- CFG_MANAGER and BLOCK_CONTEXT ----
    const char* function_name() const override;
    bool is_entry_block(const BASIC_BLK* block) const override { return block == fn_.first_block; }
    bool is_exit_block(const BASIC_BLK* block) override;
    BASIC_BLK* first_block() override;
    BASIC_BLK* next_block() override;
    bool weights_from_icode() const override { return false; }
    BASIC_BLK* block_with_label(uint64_t label) override;
    bool instrumenting() const override;

    virtual void process_function();
    virtual bool keep_conditions() const { return false; }

    // ---- the run around the manager ----
    // The job of the run, given by the driver before the first function.
    void set_job(PROFILE_JOB job) { job_ = std::move(job); }
    const PROFILE_JOB& job() const { return job_; }
    void set_output(icode::IcodeFile* output) { output_ = output; }
    icode::IcodeFile* output() const { return output_; }
    // Also forgets the types looked up or made in the previous package.
    void set_types(icode::TYPE_PKG* types);
    void set_unit_name(const std::string& name) { unit_name_ = name; }
    // The translation-unit name of the input header (analysis file names).
    const std::string& unit_name() const { return unit_name_; }
    icode::TYPE_PKG* types() const { return types_; }

    // ---- profile data (PROFILE_DATA lives for the whole run) ----
    // Reads the profile data files for the current function.
    void read_profile_data();
    // The current function has at least one data set.
    bool has_profile_data();
    // The data sets of the current function.
    const DATA_SETS& function_data_sets();
    // Forgets the profile data and every parsed file, for the next run.
    void reset_profile_data();
    PROFILE_DATA& data();

    // ---- statements from the client ----
    // An empty entry for add_entry, from the entries of earlier functions
    // when there are any.  Kept entries go out in the order they were first
    // made, which is the order of their addresses as a rule: the entries of
    // a function as read then lie in memory in list order, and those made
    // later lie together.  Asked for every statement: the common case is
    // inline.
    std::unique_ptr<STMT_ENTRY> new_entry() {
        if (next_spare_entry_ < spare_entries_.size() && spare_entries_[next_spare_entry_])
            return std::move(spare_entries_[next_spare_entry_++]);
        return new_entry_past_gaps();
    }
    void begin_function(icode::SYMTAB* symbol, const icode::OptPos& position);
    // Appends an entry that takes no part in block cutting (REC_FUNC_BEGIN to
    // REC_MARK, REC_SYMBOL, REC_EHT, REC_PRAGMA) or a text entry (REC_TEXT_AT,
    // REC_TEXT), which clears the block-ended flag.
    void add_entry(std::unique_ptr<STMT_ENTRY> entry);
    // Adds a statement (REC_LABEL or REC_EXPR_STMT) with its tree; conditions of
    // conditional branches are lowered while the lowering flag is set.
    void add_statement(icode::NODE* tree, const icode::OptPos& position, icode::RECORD_KIND kind,
                       bool before = false);
    void add_label(uint32_t number, const icode::OptPos& position);
    // Takes the weights that EPVAL nodes carry into the nodes they wrap.
    static icode::NODE* weights_on_input(icode::NODE* tree);
    // A statement as read: its weights taken as weights_on_input does, then
    // added as add_statement does.
    void add_input_statement(icode::NODE* tree, const icode::OptPos& position);
    void end_function(const icode::OptPos& position);

    // The function has no profile data: it is passed through unchanged.
    void set_no_data() {
        fn_.no_data = true;
        fn_.lowering = false;
    }
    bool no_data() const { return fn_.no_data; }
    bool in_function() const { return fn_.current != nullptr; }
    icode::SYMTAB* current_function() const { return fn_.current; }

    // A new symbol at `level`, owned by the manager: globals live for the
    // run, locals until reset().
    icode::SYMTAB* new_symbol(icode::SymbolRecord record, int level);
    // After a function is written: hands its counters array to the output.
    void retire_counters_array();

    // ---- inspection, for tools and tests ----
    STMT_ENTRY* statements() const { return fn_.first_stmt; }
    BASIC_BLK* blocks() const { return fn_.first_block; }
    // Builds the graph of the collected function (blocks' successors
    // included) without running a job; the caller owns it.
    std::unique_ptr<PROFILE_GRAPH> build_graph();
    // The same into the manager's own graph, which keeps its storage from
    // function to function; valid until the next function is processed.
    PROFILE_GRAPH& function_graph();
    int extra_counter_count() const { return fn_.extra_counter_count; }
    // Renumbers the new (negative) labels of a tree above the function's
    // highest label.
    void renumber_labels(icode::NODE* tree) const;
    // The same for every label and expression statement of the function, so
    // that listings show the numbers the output unit will carry.
    void renumber_new_labels();
    // The function's blocks in block order, as they are now (statements
    // inserted later may add blocks to the chain).
    std::vector<BASIC_BLK*> block_list() const;
    int highest_label() const;

    // Forgets the function: frees statements, blocks and trees.
    void reset();

private:
    using COND_TREE = FUNCTION_STATE::COND_TREE;
    using LABEL_RANGE = FUNCTION_STATE::LABEL_RANGE;

    // weights_on_input with the walk's stack given; also counts the
    // conditional expressions (QUEST) of the tree it returns.
    static icode::NODE* weights_on_input(icode::NODE* tree, std::vector<icode::NODE*>& todo,
                                         int& quests);
    // An element of the walk that spreads weights down conditional
    // expressions.
    struct WEIGHTED_NODE {
        icode::NODE* node;
        int weight;
    };
    // One step of lowering a condition.
    struct LOWERING_STEP {
        enum { LOWER, DEFINE, STATEMENT } what;
        icode::NODE* node;
        int64_t lt;
        int64_t lf;
    };
    // The stacks and lists of the walks over trees, blocks and edges, kept
    // from walk to walk and function to function: a walk empties what it
    // uses before it starts, so that once they have grown to the largest
    // tree and function of the unit, no walk allocates.  No walk runs
    // inside another that uses the same member.
    struct WALK_STACKS {
        std::vector<icode::NODE*> nodes;
        std::vector<icode::NODE*> dead;
        std::vector<WEIGHTED_NODE> weighted;
        // Lowering may run inside lowering (a comma operand that is itself
        // a conditional branch): each lowering takes the stack for itself
        // and gives it back, so an inner one starts an empty one of its own.
        std::vector<LOWERING_STEP> lowering;
    };
    // Visits the nodes of a tree in pre-order, left operands first, until
    // `visit` returns false; only right operands wait on `todo`, so that
    // the walk goes down large trees without a push for every node.
    template <class VISIT>
    static void walk_tree(icode::NODE* n, std::vector<icode::NODE*>& todo, VISIT visit) {
        if (!n) return;
        todo.clear();
        for (;;) {
            if (!visit(n)) return;
            icode::NODE* l = n->left();
            icode::NODE* r = n->right();
            if (l) {
                if (r) todo.push_back(r);
                n = l;
            } else if (r) {
                n = r;
            } else if (todo.empty()) {
                return;
            } else {
                n = todo.back();
                todo.pop_back();
            }
        }
    }
    // Calls visit(b) for every block that exists now, in block order.  A
    // block made meanwhile goes to the end of the list and is not visited.
    template <class VISIT>
    void for_each_current_block(VISIT visit) {
        BASIC_BLK* const last = fn_.last_block;
        for (BASIC_BLK* b = fn_.first_block; b; b = b->next()) {
            visit(b);
            if (b == last) break;
        }
    }

    // Statement list and block cutting.
    void insert_entry(STMT_ENTRY* e, bool before);
    // Inserts a filled entry as add_tree_statement does, cutting blocks
    // while FUNCTION_STATE::cutting holds.
    STMT_ENTRY* place_statement(STMT_ENTRY* e, bool before);
    void cut_blocks(STMT_ENTRY* e);
    BASIC_BLK* new_block(STMT_ENTRY* first);
    STMT_ENTRY* add_tree_statement(icode::NODE* tree, const icode::OptPos& position,
                                   icode::RECORD_KIND kind, bool before);
    // While a statement as read is added, the trees made from its parts
    // hold no conditional expression when it holds none: the common case
    // returns at once, inline.
    void record_conditional(icode::NODE* tree) {
        if (fn_.no_data || !tree || (input_tree_ && input_quests_ == 0)) return;
        record_counted_conditional(tree);
    }
    void record_counted_conditional(icode::NODE* tree);
    // The conditional expressions (QUEST) of a tree.
    int count_quests(icode::NODE* tree);
    // The statements of TWO_WAY_BRANCH(cond, COMMA(lt, lf)), of the given
    // type: a branch on cond to lf, a new label and a branch to lt.
    void add_two_way_branch(icode::NODE* cond, icode::NODE* lt, icode::NODE* lf, icode::TYPE* type,
                            const icode::OptPos& position, icode::RECORD_KIND kind, bool before);
    // add_statement takes the tree apart instead of keeping it as the
    // statement's tree: a conditional branch to lower or a two-way branch.
    bool takes_apart(const icode::NODE* tree) const;

    // Lowering.
    void lower_condition(icode::NODE* cbranch, const icode::OptPos& position, bool before);
    int64_t new_label();
    icode::NODE* label_ref(int64_t label, int weight = -1);
    icode::NODE* label_def(int64_t label);
    void add_label_def(int64_t label, const icode::OptPos& position, bool before);
    // A BRANCH to `label` of type int, whose LABEL carries `weight`.  The
    // jobs add these after every listing of the function is made, and
    // nothing but the writer reads them: they are kept without a tree of
    // their own (STMT_ENTRY::made_jump), and written as the tree would be.
    void add_branch(int64_t label, const icode::OptPos& position, bool before, int weight = -1);

    void add_blocks_and_edges(PROFILE_GRAPH& graph);

    // Jobs.
    void insert_counters(const COUNTER_PLAN& plan);
    void create_counters_array(int highest_index);
    // The tree that adds one to a counter; `hole`, when given, receives its
    // node of the counter's index.
    icode::NODE* make_counter_increment(int index, icode::NODE** hole = nullptr);
    // A statement that adds one to a counter, without its tree (see
    // STMT_ENTRY::counter), and its writing.
    void add_counter_increment(int index, bool before);
    void write_counter_increment(const STMT_ENTRY& e);
    void insert_edge_counter(BASIC_BLK* b, BASIC_BLK* s, int index);
    void conditional_weights(PROFILE_GRAPH& graph);
    void annotation();
    void write_function();
    // Writes a jump that add_branch or the annotation made: the tree it
    // stands for, of type int, with the jump's label and weight.
    void write_made_jump(const FUNCTION_STATE::MADE_JUMP& jump, const icode::OptPos& position,
                         icode::TYPE* weight_type);
    // Writes the trailing jump that follows `after` (see
    // FUNCTION_STATE::trailing_jumps), looking first at place `next`;
    // returns the place after it.
    std::size_t write_trailing_jump(const STMT_ENTRY& after, std::size_t next,
                                    icode::TYPE* weight_type);
    // A run that neither instruments nor uses profile data builds no graph:
    // this finds what building it would have found (a function without
    // blocks, a branch to a label that begins no block) and ends the run
    // the same way; with debug messages shown, it builds the graph for them.
    void check_function();
    void dump_graph();
    icode::TYPE* counter_type();
    // The type of the jumps and labels the jobs make: int, or none without
    // a type package.
    icode::TYPE* int_type() const;
    bool copies_parameter(const STMT_ENTRY* e) const;
    void free_dead_nodes();
    // The tables of block_with_label.
    void build_label_tables();

    // The function being processed, replaced whole by reset().
    FUNCTION_STATE fn_;
    // While a statement as read is added: its tree and how many conditional
    // expressions it holds (see record_conditional).
    const icode::NODE* input_tree_ = nullptr;
    int input_quests_ = 0;
    // Entries of earlier functions, emptied, for new_entry, each at its
    // place (STMT_ENTRY::slot); a place is empty while its entry is out.
    // Those from next_spare_entry_ on are still to be handed out.
    std::vector<std::unique_ptr<STMT_ENTRY>> spare_entries_;
    std::size_t next_spare_entry_ = 0;
    std::unique_ptr<STMT_ENTRY> new_entry_past_gaps();
    mutable WALK_STACKS stacks_;
    // The graph of the function being processed (see function_graph).
    std::unique_ptr<PROFILE_GRAPH> graph_;

    // The run: its job, its units and what outlives one function.
    PROFILE_JOB job_;
    std::unique_ptr<PROFILE_DATA> profile_data_;
    icode::IcodeFile* output_ = nullptr;
    icode::TYPE_PKG* types_ = nullptr;
    std::string unit_name_;
    icode::TYPE* counter_type_ = nullptr;
    bool counter_type_looked_up_ = false;
    icode::TYPE* array_pointer_type_ = nullptr;
    // Counters arrays of the same length share their array type and its
    // pointer type: a run over many functions adds one pair per distinct
    // length, not one per function.  Kept as long as the type package.
    std::map<uint32_t, std::pair<icode::TYPE*, icode::TYPE*>> counters_array_types_;
    // The encoding of the function's counter increments, made when the
    // first is written (FUNCTION_STATE::counter_stamped).
    icode::TREE_STAMP counter_stamp_;
    // The format of the counters arrays' names, made at the first use.
    std::unique_ptr<boost::format> counters_array_name_;
    boost::format& counters_array_name();
    std::deque<icode::SYMTAB> global_symbols_;
    // Counters arrays of functions given up half way (see reset()).
    std::vector<std::unique_ptr<icode::SYMTAB>> abandoned_arrays_;
};

// The one manager of the process, and its reset for tests.
PROFILE_ICODE_MGR& profile_manager();
void reset_profile_manager();

// Process-wide label and counters-array numbering.
int16_t& new_label_counter();
int& counters_array_sequence();
