// The branch counts of an annotated unit, for icode coverage --unit.
//
// A run that uses profile data writes the count of every edge it knows as
// a weight: a conditional branch's jump count on its target label, and the
// count of falling through on an explicit branch that it puts right after
// the conditional branch, without a position; a switch's count of each
// case on the case's label, and of matching no case (when it has no
// default) on an explicit branch after it; a conditional expression's
// true arm on its "?" and its false arm on its ":".  Reading them back needs no graph: the
// statements are taken in unit order as they stand.
//
// A conditional branch jumps when its condition is false, so the jump is
// the condition's false arm and falling through its true arm: the arms are
// named as the source wrote the condition.
#include <memory>
#include <optional>

#include "icode/icode_file.h"
#include "icode/infix.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/type_pkg.h"
#include "profmgr/prof_mgr.h"
#include "tools/common/unit_open.h"
#include "tools/coverage/cmd_coverage.h"

namespace {

using namespace icode;

std::string trimmed_infix(const NODE* tree) {
    std::string text = infix_text(tree);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (!text.empty() && text.front() == ' ') text.erase(text.begin());
    return text;
}

class BRANCH_CLIENT : public IcodeClient {
public:
    explicit BRANCH_CLIENT(std::vector<BRANCH_COUNT>& branches) : branches_(branches) {}
    ~BRANCH_CLIENT() override { drop_pending(); }

    SYMTAB* create_symbol(SymbolRecord record, int) override {
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(record)));
        return symbols_.back().get();
    }
    void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) override {
        if (symbol) symbol->add_pragma_front(std::move(pragma));
    }
    void function_begin(SYMTAB* symbol, OptPos) override {
        drop_pending();
        function_ = symbol ? symbol->name() : "";
    }
    void function_end(OptPos) override { drop_pending(); }
    // A label or a text between the two branches means control can reach
    // the second one from elsewhere: it is not the fall-through count.
    void text(RECORD_KIND, const std::string&, OptPos) override { drop_pending(); }
    void label(uint32_t) override { drop_pending(); }
    void expression_statement(NODE* tree, OptPos position) override {
        tree = PROFILE_ICODE_MGR::weights_on_input(tree);
        if (pending_ && !position && tree && tree->opcode() == BRANCH && tree->left())
            branches_.back().arms[pending_arm_].count = weight_of(tree->left());
        pending_ = false;
        if (tree && position) {
            add_conditional_expressions(tree, *position);
            if (tree->opcode() == CBRANCH)
                add_condition(tree, *position);
            else if (tree->opcode() == SWITCH)
                add_switch(tree, *position);
        }
        free_tree(tree);
    }

private:
    static int64_t weight_of(const NODE* n) {
        // A weight is a 32-bit count; -1 is none.
        return n->weight() == -1 ? -1 : int64_t(uint32_t(n->weight()));
    }
    void drop_pending() { pending_ = false; }

    BRANCH_COUNT& add_branch(const SourcePos& position) {
        BRANCH_COUNT& b = branches_.emplace_back();
        b.function = function_;
        b.file = position.file;
        b.line = int(position.line);
        b.column = int(position.column);
        return b;
    }

    void add_condition(const NODE* tree, const SourcePos& position) {
        BRANCH_COUNT& b = add_branch(position);
        b.condition = tree->left() ? trimmed_infix(tree->left()) : "";
        b.arms = {{"true", -1}, {"false", -1}};
        if (tree->right()) b.arms[1].count = weight_of(tree->right());
        pending_ = true;
        pending_arm_ = 0;
    }

    // Every "c ? x : y" in the statement, outermost first.
    void add_conditional_expressions(const NODE* tree, const SourcePos& position) {
        std::vector<const NODE*> todo{tree};
        while (!todo.empty()) {
            const NODE* n = todo.back();
            todo.pop_back();
            if (!n) continue;
            if (n->opcode() == QUEST && n->right() && n->right()->opcode() == COLON &&
                (n->weight() != -1 || n->right()->weight() != -1)) {
                BRANCH_COUNT& b = add_branch(position);
                b.condition = n->left() ? trimmed_infix(n->left()) : "";
                b.is_conditional_expression = true;
                b.arms = {{"true", weight_of(n)}, {"false", weight_of(n->right())}};
            }
            todo.push_back(n->right());
            todo.push_back(n->left());
        }
    }

    // One arm per target: cases that share their label share their count.
    void add_switch(const NODE* tree, const SourcePos& position) {
        BRANCH_COUNT& b = add_branch(position);
        b.is_switch = true;
        b.condition = tree->left() ? trimmed_infix(tree->left()) : "";
        std::vector<const NODE*> cases;
        std::vector<const NODE*> list{tree->right()};
        // The case list leans left: walk it in source order.
        while (!list.empty()) {
            const NODE* n = list.back();
            list.pop_back();
            if (!n) continue;
            if (n->opcode() == COMMA) {
                list.push_back(n->right());
                list.push_back(n->left());
            } else if (n->opcode() == CASE || n->opcode() == DEFAULT) {
                cases.push_back(n);
            }
        }
        std::vector<const NODE*> targets;
        bool has_default = false;
        for (const NODE* c : cases) {
            const NODE* target = c->opcode() == CASE ? c->right() : c->left();
            std::string name = c->opcode() == CASE && c->left() ? trimmed_infix(c->left()) : "";
            has_default = has_default || c->opcode() == DEFAULT;
            std::size_t arm = 0;
            while (
                arm < targets.size() &&
                !(target && targets[arm] && target->label_number() == targets[arm]->label_number()))
                ++arm;
            if (arm == targets.size()) {
                targets.push_back(target);
                b.arms.push_back({"", -1});
            }
            // The weight stands on one of the labels of the shared target.
            if (target && b.arms[arm].count == -1) b.arms[arm].count = weight_of(target);
            std::string& label = b.arms[arm].label;
            if (c->opcode() == DEFAULT)
                label += label.empty() ? "default" : "|default";
            else
                label += (label.empty() ? "case " : "|") + name;
        }
        if (!has_default) {
            // No case matched: the explicit branch after the switch.
            b.arms.push_back({"default", -1});
            pending_ = true;
            pending_arm_ = b.arms.size() - 1;
        }
    }

    std::vector<BRANCH_COUNT>& branches_;
    std::vector<std::unique_ptr<SYMTAB>> symbols_;
    std::string function_;
    bool pending_ = false;
    std::size_t pending_arm_ = 0;  // the arm that the next explicit branch counts
};

}  // namespace

bool read_branch_counts(std::FILE* f, std::vector<BRANCH_COUNT>& branches, std::string* error) {
    BRANCH_CLIENT client(branches);
    TYPE_PKG types;
    std::unique_ptr<IcodeFile> unit = icode_text::open_unit(f, client, types, error);
    if (!unit) return false;
    unit->read_unit();
    unit->close();
    // Branches that carry no count at all belong to functions the run did
    // not annotate.
    std::vector<BRANCH_COUNT> counted;
    for (BRANCH_COUNT& b : branches) {
        bool any = false;
        for (const BRANCH_ARM& arm : b.arms) any = any || arm.count != -1;
        if (any) counted.push_back(std::move(b));
    }
    branches = std::move(counted);
    return true;
}
