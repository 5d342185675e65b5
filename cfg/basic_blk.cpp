// BASIC_BLK: successors worked out from a block's last statement, the
// per-edge counter indices and weights, and the branch annotation.
#include "cfg/basic_blk.h"

#include <charconv>

#include "diag/trelv_diags.h"
#include "icode/icode_errors.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/stmt_dump.h"

using icode::NODE;

namespace {
// The dump text of a statement, the form in which block listings, graph
// dumps and the coverage table show statements.
std::string dump_text(const STMT_ENTRY& e) {
    icode::STMT_VIEW view;
    view.kind = e.kind;
    view.tree = e.tree;
    view.symbol = e.symbol;
    view.pragma = e.pragma.get();
    view.position = e.position ? &*e.position : nullptr;
    return icode::statement_text(view);
}

STATEMENT_PRINTER statement_printer = dump_text;
}  // namespace

void set_statement_printer(STATEMENT_PRINTER printer) {
    statement_printer = printer ? printer : dump_text;
}

uint64_t target_label(const NODE* operand) {
    if (!operand) return 0;
    if (operand->opcode() == icode::EPVAL) return operand->left() ? operand->left()->value() : 0;
    return operand->value();
}

BASIC_BLK::BASIC_BLK(int number, BLOCK_CONTEXT* context, STMT_ENTRY* first)
    : number_(number), context_(context) {
    set_first(first);
    last_ = first;
}

void BASIC_BLK::restart(int number, STMT_ENTRY* first) {
    number_ = number;
    succs_.clear();
    default_succ_ = -1;
    preds_.clear();
    weight_ = 0;
    succ_cursor_ = 0;
    stmt_cursor_ = nullptr;
    has_default_ = false;
    next_ = nullptr;
    // The old first statement belonged to another function.
    first_ = nullptr;
    set_first(first);
    last_ = first;
}

void BASIC_BLK::set_first(STMT_ENTRY* e) {
    if (first_ && first_->starts_block == this) first_->starts_block = nullptr;
    first_ = e;
    if (e) e->starts_block = this;
}

SUCC_INFO* BASIC_BLK::find_succ(const BASIC_BLK* succ) {
    for (auto& s : succs_)
        if (s.succ == succ) return &s;
    return nullptr;
}

const SUCC_INFO* BASIC_BLK::find_succ(const BASIC_BLK* succ) const {
    for (const auto& s : succs_)
        if (s.succ == succ) return &s;
    return nullptr;
}

int BASIC_BLK::succ_weight(const BASIC_BLK* succ) const {
    const SUCC_INFO* s = find_succ(succ);
    return s ? s->weight : -1;
}

bool BASIC_BLK::is_switch() const { return last_ && last_->root_opcode() == icode::SWITCH; }

std::string BASIC_BLK::spelled_name() const {
    char text[16] = {'L'};
    const char* end = std::to_chars(text + 1, std::end(text), number_).ptr;
    return std::string(text, std::size_t(end - text));
}

void BASIC_BLK::set_succ_index(const BASIC_BLK* succ, int index) {
    if (SUCC_INFO* s = find_succ(succ)) {
        s->index = index;
        return;
    }
    const std::string name = spelled_name();  // for the warnings below
    if (succs_.empty()) {
        DIAG::trelv_warn_no_succ(TRELV_HERE, context_->function_name(), name.c_str()).emit();
        return;
    }
    // A block that is not a successor of this one.
    std::string succ_name = succ->name();
    DIAG::trelv_warn_bad_succ(TRELV_HERE, context_->function_name(), succ_name.c_str(),
                              name.c_str())
        .emit();
}

void BASIC_BLK::set_succ_weight(const BASIC_BLK* succ, int weight) {
    if (SUCC_INFO* s = find_succ(succ)) s->weight = weight;
}

std::string BASIC_BLK::stmt_text(int i) const {
    // Counting from the first statement; one past the last gives the
    // statement that follows the block, when there is one.
    if (i < 0 || !first_) return "";
    const STMT_ENTRY* e = first_;
    for (int k = 0; k < i; ++k) {
        if (e == last_) {
            e = last_->next;
            if (k + 1 != i) e = nullptr;
            break;
        }
        e = e->next;
        if (!e) break;
    }
    if (!e || !statement_printer) return "";
    return statement_printer(*e);
}

STMT_ENTRY* BASIC_BLK::first_stmt() {
    stmt_cursor_ = first_;
    return stmt_cursor_;
}

STMT_ENTRY* BASIC_BLK::next_stmt() {
    if (stmt_cursor_) stmt_cursor_ = stmt_cursor_->next;
    return stmt_cursor_;
}

bool BASIC_BLK::at_end() const { return stmt_cursor_ && last_ && stmt_cursor_ == last_->next; }

std::string BASIC_BLK::succ_label(const BASIC_BLK* succ) const {
    const SUCC_INFO* s = find_succ(succ);
    if (!s || context_->instrumenting()) return "0";
    if (s->weight == -1) return "";
    return std::to_string(s->weight);
}

BASIC_BLK* BASIC_BLK::first_succ() {
    succ_cursor_ = 1;
    return succs_.empty() ? nullptr : succs_[0].succ;
}

BASIC_BLK* BASIC_BLK::next_succ() {
    if (succ_cursor_ < succs_.size()) return succs_[succ_cursor_++].succ;
    return nullptr;
}

void BASIC_BLK::add_succ(BASIC_BLK* succ, int weight) {
    // A block is a successor at most once; a null or missing block is never
    // added (the caller refuses branches to labels that begin no block).
    if (!succ || find_succ(succ)) return;
    succs_.push_back(SUCC_INFO{succ, -1, weight});
}

BASIC_BLK* BASIC_BLK::fallthrough_block() const {
    for (const STMT_ENTRY* e = last_ ? last_->next : nullptr; e; e = e->next) {
        if (e->kind == icode::REC_EXPR_STMT || e->kind == icode::REC_LABEL) return e->starts_block;
    }
    return nullptr;
}

namespace {

// A branch to a label that begins no block breaks the rule that every
// label a function branches to is defined in it: the unit is damaged.
BASIC_BLK* target_block(BLOCK_CONTEXT* context, uint64_t label);

// The target operand of a branch or conditional branch; null for any other
// statement.
const NODE* branch_target(const NODE* root) {
    if (root->opcode() == icode::BRANCH) return root->left();
    if (root->opcode() == icode::CBRANCH) return root->right();
    return nullptr;
}

// Visits the nodes of a switch tree in pre-order: a node, its left subtree,
// then the chain of right operands.  Iterative, so long case lists are safe.
template <class VISIT>
void visit_switch(const NODE* root, VISIT visit) {
    std::vector<const NODE*> todo{root};
    while (!todo.empty()) {
        const NODE* n = todo.back();
        todo.pop_back();
        for (; n; n = n->right()) {
            visit(n);
            if (n->left()) {
                // Visit the left subtree before continuing to the right.
                if (n->right()) todo.push_back(n->right());
                todo.push_back(n->left());
                break;
            }
        }
    }
}

}  // namespace

void BASIC_BLK::compute_successors(bool with_predecessors) {
    const NODE* root = last_ ? last_->tree : nullptr;
    if (!root || last_->kind != icode::REC_EXPR_STMT) {
        add_succ(fallthrough_block(), -1);
    } else if (!is_switch()) {
        int op = root->opcode();
        if (op == icode::URETURN || op == icode::RETURN) return;
        if (op == icode::BRANCH || op == icode::CBRANCH) {
            const NODE* target = branch_target(root);
            add_succ(target_block(context_, target_label(target)), target ? target->weight() : -1);
        }
        if (op != icode::BRANCH) add_succ(fallthrough_block(), -1);
    } else {
        has_default_ = false;
        visit_switch(root, [&](const NODE* n) {
            if (n->opcode() == icode::DEFAULT) has_default_ = true;
            if (n->opcode() == icode::LABEL)
                add_succ(target_block(context_, n->value()), n->weight());
        });
        if (!has_default_) {
            BASIC_BLK* ft = fallthrough_block();
            if (ft && !find_succ(ft)) {
                succs_.push_back(SUCC_INFO{ft, -1, -1});
                default_succ_ = int(succs_.size()) - 1;
            } else if (ft) {
                for (size_t i = 0; i < succs_.size(); ++i)
                    if (succs_[i].succ == ft) default_succ_ = int(i);
            }
        }
    }
    if (!with_predecessors) return;
    for (auto& s : succs_) {
        auto& p = s.succ->preds_;
        bool present = false;
        for (BASIC_BLK* b : p) present |= b == this;
        if (!present) p.push_back(this);
    }
}

void BASIC_BLK::check_targets() const {
    const NODE* root = last_ ? last_->tree : nullptr;
    if (!root || last_->kind != icode::REC_EXPR_STMT) return;
    if (is_switch()) {
        visit_switch(root, [&](const NODE* n) {
            if (n->opcode() == icode::LABEL) target_block(context_, n->value());
        });
    } else if (root->opcode() == icode::BRANCH || root->opcode() == icode::CBRANCH) {
        target_block(context_, target_label(branch_target(root)));
    }
}

namespace {

BASIC_BLK* target_block(BLOCK_CONTEXT* context, uint64_t label) {
    BASIC_BLK* b = context->block_with_label(label);
    if (!b) icode::invalid_record();
    return b;
}

}  // namespace

BASIC_BLK* BASIC_BLK::fallthrough_succ() const {
    int op = last_ ? last_->root_opcode() : -1;
    if (op == icode::BRANCH) return nullptr;
    if (is_switch()) return default_succ_ >= 0 ? succs_[size_t(default_succ_)].succ : nullptr;
    if (op == icode::CBRANCH) return succs_.size() > 1 ? succs_[1].succ : nullptr;
    return succs_.empty() ? nullptr : succs_[0].succ;
}

void BASIC_BLK::annotate_branch(const BASIC_BLK* succ, int weight) {
    NODE* root = last_ ? last_->tree : nullptr;
    if (!root) return;
    if (is_switch()) {
        uint64_t label;
        if (!succ->first_label(label)) return;
        // The case list is COMMA(COMMA(..., e2), e3): walk it from the last
        // element back to the first.
        for (NODE* n = root->right(); n;) {
            NODE* element = n;
            NODE* rest = nullptr;
            if (n->opcode() == icode::COMMA) {
                element = n->right();
                rest = n->left();
            }
            NODE* looked = nullptr;
            if (element) {
                if (element->opcode() == icode::CASE)
                    looked = element->right();
                else if (element->opcode() == icode::DEFAULT)
                    looked = element->left();
                else if (element->opcode() == icode::LABEL)
                    looked = element;
            }
            if (looked && looked->value() == label) {
                looked->set_weight(weight);
                return;
            }
            n = rest;
        }
        return;
    }
    if (root->opcode() == icode::BRANCH && root->left())
        root->left()->set_weight(weight);
    else if (root->opcode() == icode::CBRANCH && root->right())
        root->right()->set_weight(weight);
}
