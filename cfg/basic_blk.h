// Basic blocks of one function.
//
// The profile manager cuts a function's statement list into BASIC_BLKs as
// the statements arrive; each block knows its first and last statement,
// works out its successors from its last statement, and carries the results
// of the profiling algorithms: a counter index and a weight per successor
// edge, and a weight for the block.  Every count goes back into the I-code
// through the blocks.
#pragma once

#include <boost/container/small_vector.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "cfg/stmt_entry.h"

class BASIC_BLK;

// What a block needs to know about the function it belongs to.
class BLOCK_CONTEXT {
public:
    virtual ~BLOCK_CONTEXT() = default;
    // Name of the function, for messages.
    virtual const char* function_name() const = 0;
    // The first block, in block order, that begins with a definition of this
    // label; null when none does.
    virtual BASIC_BLK* block_with_label(uint64_t label) = 0;
    // True while the run instruments code (edge labels of graph dumps).
    virtual bool instrumenting() const = 0;
};

// The abstract block interface.
class GENERIC_BASIC_BLOCK {
public:
    virtual int succ_weight(const BASIC_BLK* succ) const { return -1; }
    virtual int weight() const { return -1; }
    virtual bool is_switch() const { return false; }
    virtual std::string name() const = 0;
    virtual void set_succ_weight(const BASIC_BLK* succ, int weight) = 0;
    virtual void set_weight(int weight) = 0;
    virtual void set_succ_index(const BASIC_BLK* succ, int index) = 0;
    virtual std::string stmt_text(int i) const = 0;
    virtual STMT_ENTRY* first_stmt() = 0;
    virtual STMT_ENTRY* next_stmt() = 0;
    virtual bool at_end() const = 0;
    virtual int exec_weight() const = 0;
    virtual std::string succ_label(const BASIC_BLK* succ) const = 0;
    virtual bool number_ge(const BASIC_BLK* other) const = 0;
    virtual std::string label() const = 0;
    virtual int number() const = 0;
    virtual BASIC_BLK* first_succ() = 0;
    virtual BASIC_BLK* next_succ() = 0;
    virtual ~GENERIC_BASIC_BLOCK() = default;
};

// One successor edge of a block.
struct SUCC_INFO {
    BASIC_BLK* succ = nullptr;
    int index = -1;   // counter index of the edge, -1 for none
    int weight = -1;  // execution count, -1 for none
};

class BASIC_BLK final : public GENERIC_BASIC_BLOCK {
public:
    BASIC_BLK(int number, BLOCK_CONTEXT* context, STMT_ENTRY* first);
    // Makes the block a new block of the same context, as the constructor
    // does, keeping the storage of its successor and predecessor lists.
    void restart(int number, STMT_ENTRY* first);

    int succ_weight(const BASIC_BLK* succ) const override;
    int weight() const override { return weight_; }
    bool is_switch() const override;
    std::string name() const override { return spelled_name(); }
    void set_succ_weight(const BASIC_BLK* succ, int weight) override;
    // The same, looking first at the successor in place `k`: the graph
    // adds a block's edges in the order of its successors, so the k-th
    // edge out of a block is, as a rule, to its k-th successor.
    void set_succ_weight_at(std::size_t k, const BASIC_BLK* succ, int weight) {
        if (k < succs_.size() && succs_[k].succ == succ)
            succs_[k].weight = weight;
        else
            set_succ_weight(succ, weight);
    }
    void set_weight(int weight) override { weight_ = weight; }
    void set_succ_index(const BASIC_BLK* succ, int index) override;
    std::string stmt_text(int i) const override;
    STMT_ENTRY* first_stmt() override;
    STMT_ENTRY* next_stmt() override;
    bool at_end() const override;
    int exec_weight() const override { return weight_; }
    std::string succ_label(const BASIC_BLK* succ) const override;
    bool number_ge(const BASIC_BLK* other) const override { return number_ >= other->number_; }
    std::string label() const override { return spelled_name(); }
    int number() const override { return number_; }
    BASIC_BLK* first_succ() override;
    BASIC_BLK* next_succ() override;

    // Fills the successor table and the successors' predecessor lists from
    // the last statement.  Called once, after every block of the function
    // exists.  Only the instrumentation reads the predecessor lists: the
    // other jobs leave them empty (with_predecessors false), which saves a
    // store into another block for every edge of every function.
    void compute_successors(bool with_predecessors = true);
    // Looks up every label the last statement branches to, as
    // compute_successors does, without recording successors: a label that
    // begins no block ends the run the same way.
    void check_targets() const;
    // The block that control reaches without a jump, or null.
    BASIC_BLK* fallthrough_succ() const;
    // Writes an edge weight into the branch that leads to succ.
    void annotate_branch(const BASIC_BLK* succ, int weight);

    STMT_ENTRY* first() const { return first_; }
    STMT_ENTRY* last() const { return last_; }
    // Makes e the block's first statement (keeping the entries' back links).
    void set_first(STMT_ENTRY* e);
    void set_last(STMT_ENTRY* e) { last_ = e; }
    BASIC_BLK* next() const { return next_; }
    void set_next(BASIC_BLK* b) { next_ = b; }
    // Nearly every block has one or two successors, and most one or two
    // predecessors: the lists hold that many in the block itself, so that
    // working out the edges of a function touches the blocks and nothing
    // else.
    using SUCCESSORS = boost::container::small_vector<SUCC_INFO, 2>;
    using PREDECESSORS = boost::container::small_vector<BASIC_BLK*, 2>;
    const SUCCESSORS& successors() const { return succs_; }
    const PREDECESSORS& predecessors() const { return preds_; }
    // The label that the block's first statement defines; false if none.
    // Label statements are told apart by their kind: the opcode number of
    // a label definition is also that of a floating comparison.
    bool first_label(uint64_t& label) const {
        if (!first_ || first_->kind != icode::REC_LABEL || !first_->tree) return false;
        label = first_->tree->value();
        return true;
    }

private:
    // "L" and the number: most blocks are never named, and those that are
    // are named a few times at most, so the name is not kept.
    std::string spelled_name() const;
    void add_succ(BASIC_BLK* succ, int weight);
    BASIC_BLK* fallthrough_block() const;
    SUCC_INFO* find_succ(const BASIC_BLK* succ);
    const SUCC_INFO* find_succ(const BASIC_BLK* succ) const;

    // What every walk over the blocks and every graph build reads comes
    // first, so that it shares the block's first cache line: a function's
    // blocks are walked many times, and the rest is read rarely.
    int number_;
    int default_succ_ = -1;  // position in succs_ of the default successor
    BLOCK_CONTEXT* context_;
    BASIC_BLK* next_ = nullptr;
    STMT_ENTRY* first_ = nullptr;
    STMT_ENTRY* last_ = nullptr;
    // The weight beside the successors, which hold the edges' weights:
    // setting the weights and writing them into the code read and write
    // them together.
    int weight_ = 0;
    bool has_default_ = false;
    SUCCESSORS succs_;
    PREDECESSORS preds_;
    size_t succ_cursor_ = 0;
    STMT_ENTRY* stmt_cursor_ = nullptr;
};

// The label number that a branch target operand names: the operand's value,
// or its operand's value when it is a weight wrapper.
uint64_t target_label(const icode::NODE* operand);

// Text of a statement for listings and graph dumps: the statement's dump
// text unless another printer is set; a null printer restores the dump.
using STATEMENT_PRINTER = std::string (*)(const STMT_ENTRY&);
void set_statement_printer(STATEMENT_PRINTER printer);
