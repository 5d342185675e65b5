// The branch counts of an annotated unit, for icode coverage --unit.
//
// A run that uses profile data writes each conditional branch's jump count
// as the weight of its target label, and the count of falling through as
// the weight of an explicit branch that it puts right after the
// conditional branch, without a position.  Reading them back needs no
// graph: the statements are taken in unit order as they stand.
#include <memory>
#include <optional>

#include "icode/icode_file.h"
#include "icode/infix.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/type_pkg.h"
#include "profmgr/prof_mgr.h"
#include "tools/coverage/cmd_coverage.h"
#include "tools/common/unit_open.h"

namespace {

using namespace icode;

class BRANCH_CLIENT : public IcodeClient {
public:
    explicit BRANCH_CLIENT(std::vector<BRANCH_COUNT>& branches) : branches_(branches) {}
    ~BRANCH_CLIENT() override { drop_pending(); }

    bool unit_header(int, int) override { return true; }
    void string_list(uint32_t, const std::vector<std::string>&) override {}
    SYMTAB* create_symbol(SymbolRecord record, int) override {
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(record)));
        return symbols_.back().get();
    }
    void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) override {
        if (symbol) symbol->add_pragma_front(std::move(pragma));
    }
    void attach_initializer(SYMTAB*, std::vector<NODE*> trees) override {
        for (NODE* tree : trees) free_tree(tree);
    }
    void function_begin(SYMTAB* symbol, OptPos) override {
        drop_pending();
        function_ = symbol ? symbol->name() : "";
    }
    void function_end(OptPos) override { drop_pending(); }
    void block_begin(OptPos) override {}
    void block_end(OptPos) override {}
    void body_begin(OptPos) override {}
    void mark(OptPos) override {}
    // A label or a text between the two branches means control can reach
    // the second one from elsewhere: it is not the fall-through count.
    void text(int, const std::string&, OptPos) override { drop_pending(); }
    void label(uint32_t) override { drop_pending(); }
    void expression_statement(NODE* tree, OptPos position) override {
        tree = PROFILE_ICODE_MGR::weights_on_input(tree);
        if (pending_ && !position && tree && tree->opcode() == BRANCH && tree->left())
            branches_.back().not_taken = weight_of(tree->left());
        pending_ = false;
        if (tree && tree->opcode() == CBRANCH && position) {
            BRANCH_COUNT b;
            b.function = function_;
            b.file = position->file;
            b.line = int(position->line);
            b.column = int(position->column);
            b.condition = infix_text(tree);
            while (!b.condition.empty() && b.condition.back() == ' ') b.condition.pop_back();
            if (tree->right()) b.taken = weight_of(tree->right());
            branches_.push_back(std::move(b));
            pending_ = true;
        }
        free_tree(tree);
    }
    bool exception_table(std::vector<EHT_ENTRY>&) override { return true; }

private:
    static int64_t weight_of(const NODE* n) {
        // A weight is a 32-bit count; -1 is none.
        return n->weight() == -1 ? -1 : int64_t(uint32_t(n->weight()));
    }
    void drop_pending() { pending_ = false; }

    std::vector<BRANCH_COUNT>& branches_;
    std::vector<std::unique_ptr<SYMTAB>> symbols_;
    std::string function_;
    bool pending_ = false;
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
    for (BRANCH_COUNT& b : branches)
        if (b.taken != -1 || b.not_taken != -1) counted.push_back(std::move(b));
    branches = std::move(counted);
    return true;
}
