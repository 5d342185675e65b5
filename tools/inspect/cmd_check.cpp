// icode check UNIT: reads a unit through the profiler's reader and prints,
// for every function, its name, the number of statements the profiler would
// collect and the number of tree nodes; then the totals.  A unit the reader
// refuses gives the same message and status as the profiler.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "icode/icode_file.h"
#include "icode/node.h"
#include "icode/type_pkg.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/unit_open.h"

namespace {

using namespace icode;

size_t count_nodes(const NODE* root) {
    size_t n = 0;
    std::vector<const NODE*> todo;
    if (root) todo.push_back(root);
    while (!todo.empty()) {
        const NODE* x = todo.back();
        todo.pop_back();
        ++n;
        if (x->left()) todo.push_back(x->left());
        if (x->right()) todo.push_back(x->right());
    }
    return n;
}

class COUNTING_CLIENT : public IcodeClient {
public:
    size_t functions = 0, statements = 0, nodes = 0;

    SYMTAB* create_symbol(SymbolRecord record, int level) override {
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(record)));
        if (level != 0) statement();
        return symbols_.back().get();
    }
    void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) override {
        if (symbol)
            symbol->add_pragma_front(std::move(pragma));
        else
            statement();
    }
    void function_begin(SYMTAB* symbol, OptPos) override {
        name_ = symbol ? symbol->name() : "";
        stmts_ = nodes_ = 0;
        in_function_ = true;
    }
    void function_end(OptPos) override {
        std::printf("function %s: %zu statements, %zu nodes\n", name_.c_str(), stmts_, nodes_);
        ++functions;
        statements += stmts_;
        nodes += nodes_;
        in_function_ = false;
    }
    void block_begin(OptPos) override { statement(); }
    void block_end(OptPos) override { statement(); }
    void body_begin(OptPos) override { statement(); }
    void mark(OptPos) override { statement(); }
    void text(RECORD_KIND, const std::string&, OptPos) override { statement(); }
    void label(uint32_t) override { statement(); }
    void expression_statement(NODE* tree, OptPos) override {
        statement();
        nodes_ += count_nodes(tree);
        free_tree(tree);
    }
    bool exception_table(std::vector<EHT_ENTRY>& entries) override {
        statement();
        for (const auto& e : entries) nodes_ += count_nodes(e.tree);
        return true;
    }

private:
    void statement() {
        if (in_function_) ++stmts_;
    }
    std::vector<std::unique_ptr<SYMTAB>> symbols_;
    std::string name_;
    size_t stmts_ = 0, nodes_ = 0;
    bool in_function_ = false;
};

}  // namespace

namespace {

int check_unit(const char* name) {
    COUNTING_CLIENT client;
    TYPE_PKG types;
    std::unique_ptr<IcodeFile> unit = icode_text::open_unit_or_say(name, client, types);
    if (!unit) return 1;
    unit->read_unit();
    std::printf("total: %zu functions, %zu statements, %zu nodes\n", client.functions,
                client.statements, client.nodes);
    unit->close();
    return 0;
}

}  // namespace

void add_cmd_check(CLI::App& icode, int& status) {
    auto unit = std::make_shared<std::string>();
    CLI::App* sub =
        icode.add_subcommand("check", "read a unit as the profiler does; count functions");
    sub->add_option("UNIT", *unit, "the unit")->required();
    sub->callback([unit, &status] { status = check_unit(unit->c_str()); });
}
