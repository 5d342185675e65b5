// Lowering of compound conditions: every simple condition of a conditional
// branch gets a branch of its own, so that the graph has an edge for each
// outcome of each simple condition.
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "profmgr/prof_mgr.h"

using namespace icode;

int64_t PROFILE_ICODE_MGR::new_label() {
    int16_t& counter = new_label_counter();
    if (counter < -30000) counter = 0;
    counter = int16_t(counter - 1);
    return counter;
}

TYPE* PROFILE_ICODE_MGR::int_type() const {
    return types_ ? types_->integral_type(IntegralKind::INT) : nullptr;
}

NODE* PROFILE_ICODE_MGR::label_ref(int64_t label, int weight) {
    NODE* n = make_node(LABEL, int_type());
    n->set_value(uint64_t(label));
    n->set_weight(weight);
    return n;
}

NODE* PROFILE_ICODE_MGR::label_def(int64_t label) {
    NODE* n = make_node(OP_LABEL_DEF, int_type());
    n->set_value(uint64_t(label));
    return n;
}

void PROFILE_ICODE_MGR::add_label_def(int64_t label, const OptPos& position, bool before) {
    add_tree_statement(label_def(label), position, REC_LABEL, before);
}

void PROFILE_ICODE_MGR::add_branch(int64_t label, const OptPos& position, bool before, int weight) {
    STMT_ENTRY* e = new_entry().release();
    e->kind = REC_EXPR_STMT;
    e->made_jump = true;
    e->aux = int(fn_.made_jumps.size());
    // Built in its place, not copied from a temporary stored in pieces.
    fn_.made_jumps.emplace_back(label, weight);
    e->set_position(position);
    place_statement(e, before);
}

void PROFILE_ICODE_MGR::lower_condition(NODE* cbranch, const OptPos& position, bool before) {
    // CBRANCH(c, T) jumps to T when c is false: lower c with the true
    // target N, a new label right after it, and the false target T.  The
    // walk keeps its own stack so that deeply nested conditions are safe;
    // labels are made in the same order a recursive walk would make them.
    using WORK = LOWERING_STEP;
    NODE* cond = cbranch->left();
    int64_t t = int64_t(cbranch->right() ? cbranch->right()->value() : 0);
    if (cbranch->right() && cbranch->right()->opcode() == EPVAL && cbranch->right()->left())
        t = int64_t(cbranch->right()->left()->value());
    int64_t n = new_label();
    std::vector<WORK> work = std::move(stacks_.lowering);
    work.clear();
    work.push_back({WORK::DEFINE, nullptr, n, 0});
    work.push_back({WORK::LOWER, cond, n, t});
    while (!work.empty()) {
        WORK w = work.back();
        work.pop_back();
        if (w.what == WORK::DEFINE) {
            add_label_def(w.lt, position, before);
            continue;
        }
        if (w.what == WORK::STATEMENT) {
            if (!takes_apart(w.node)) fn_.handed_operands.push_back(w.node);
            add_statement(w.node, position, REC_EXPR_STMT, before);
            continue;
        }
        NODE* c = w.node;
        int op = c ? c->opcode() : -1;
        if (op == ANDAND && c->left() && c->right()) {
            int64_t m = new_label();
            work.push_back({WORK::LOWER, c->right(), w.lt, w.lf});
            work.push_back({WORK::DEFINE, nullptr, m, 0});
            work.push_back({WORK::LOWER, c->left(), m, w.lf});
        } else if (op == OROR && c->left() && c->right()) {
            int64_t m = new_label();
            work.push_back({WORK::LOWER, c->right(), w.lt, w.lf});
            work.push_back({WORK::DEFINE, nullptr, m, 0});
            work.push_back({WORK::LOWER, c->left(), w.lt, m});
        } else if (op == EXCLAIM && c->left()) {
            work.push_back({WORK::LOWER, c->left(), w.lf, w.lt});
        } else if (op == QUEST && c->left() && c->right() && c->right()->opcode() == COLON) {
            int64_t m1 = new_label();
            int64_t m2 = new_label();
            NODE* colon = c->right();
            work.push_back({WORK::LOWER, colon->right(), w.lt, w.lf});
            work.push_back({WORK::DEFINE, nullptr, m2, 0});
            work.push_back({WORK::LOWER, colon->left(), w.lt, w.lf});
            work.push_back({WORK::DEFINE, nullptr, m1, 0});
            work.push_back({WORK::LOWER, c->left(), m1, m2});
        } else if (op == COMMAOP && c->right()) {
            work.push_back({WORK::LOWER, c->right(), w.lt, w.lf});
            NODE* first = c->left();
            // A two-way branch is freed as it becomes statements: the comma
            // must not keep it.
            if (first && first->opcode() == OP_TWO_WAY_BRANCH) {
                c->set_left(nullptr);
                // The statement as read is no longer what was counted.
                input_tree_ = nullptr;
            }
            if (first) work.push_back({WORK::STATEMENT, first, 0, 0});
        } else {
            if (c) fn_.handed_operands.push_back(c);
            add_two_way_branch(c, label_ref(w.lt), label_ref(w.lf), cbranch->type(), position,
                               REC_EXPR_STMT, before);
        }
    }
    stacks_.lowering = std::move(work);
    // The operator nodes taken apart here belong to no statement any more;
    // the tree stays recorded for its conditional expressions and is freed
    // with the function.
    fn_.dead_nodes.push_back(cbranch);
    record_conditional(cbranch);
}
