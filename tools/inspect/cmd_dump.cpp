// icode dump UNIT: reads a unit through the profiler's reader and prints
// every statement of every function the way the profiler renders it: the
// statement text, and for expression statements also the infix text.
//
// Layout (stable; golden tests compare it byte for byte):
//
//   function NAME                   one heading per function, in file order
//   [N] KEYWORD                     per statement, numbered from 1 within the
//                                   function; KEYWORD is the record's
//                                   text-form keyword (func_begin, symbol,
//                                   expr, label, ...)
//   <statement text>                as statement_text() gives it; a text that
//                                   does not end in a newline (a label) gets
//                                   one, an empty text prints nothing
//   infix: <infix text>             expression statements only
//   (blank line)                    after each function
//
// A statement is printed when its function ends, because a symbol's
// attributes follow its record.  Trees are freed after each function;
// symbols live to the end, as NAME nodes of later initializers may name
// them.  A unit the reader refuses gives the same message and status as the
// profiler.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "icode/icode_file.h"
#include "icode/infix.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/record_layout.h"
#include "icode/stmt_dump.h"
#include "icode/type_pkg.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/unit_open.h"

namespace {

using namespace icode;

// One collected statement; it owns its tree and its pragma.
struct DUMP_STATEMENT {
    RECORD_KIND kind{};
    std::optional<SourcePos> position;
    NODE* tree = nullptr;
    const SYMTAB* symbol = nullptr;
    std::unique_ptr<Pragma> pragma;
};

void put_text(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

class DUMP_CLIENT : public IcodeClient {
public:
    ~DUMP_CLIENT() override { discard(); }

    SYMTAB* create_symbol(SymbolRecord record, int level) override {
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(record)));
        SYMTAB* symbol = symbols_.back().get();
        if (level != 0) add(REC_SYMBOL, std::nullopt).symbol = symbol;
        return symbol;
    }
    void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) override {
        if (symbol != nullptr)
            symbol->add_pragma_front(std::move(pragma));
        else if (in_function_)
            add(REC_PRAGMA, std::nullopt).pragma = std::move(pragma);
    }
    void function_begin(SYMTAB* symbol, OptPos position) override {
        discard();
        name_ = symbol ? symbol->name() : "";
        in_function_ = true;
        add(REC_FUNC_BEGIN, std::move(position));
    }
    void function_end(OptPos position) override {
        add(REC_FUNC_END, std::move(position));
        print_function();
        discard();
        in_function_ = false;
    }
    void block_begin(OptPos position) override { add(REC_BLOCK_BEGIN, std::move(position)); }
    void block_end(OptPos position) override { add(REC_BLOCK_END, std::move(position)); }
    void body_begin(OptPos position) override { add(REC_BODY_BEGIN, std::move(position)); }
    void mark(OptPos position) override { add(REC_MARK, std::move(position)); }
    void text(RECORD_KIND kind, const std::string&, OptPos position) override {
        if (in_function_) add(kind, std::move(position));
    }
    void label(uint32_t number) override {
        // Labels are carried as label-definition nodes, as the profiler keeps
        // them.
        NODE* definition = make_node(OP_LABEL_DEF, nullptr);
        definition->set_value(number);
        add(REC_LABEL, std::nullopt).tree = definition;
    }
    void expression_statement(NODE* tree, OptPos position) override {
        add(REC_EXPR_STMT, std::move(position)).tree = tree;
    }
    bool exception_table(std::vector<EHT_ENTRY>&) override {
        add(REC_EHT, std::nullopt);
        return true;
    }

private:
    DUMP_STATEMENT& add(RECORD_KIND kind, OptPos position) {
        statements_.emplace_back();
        statements_.back().kind = kind;
        statements_.back().position = std::move(position);
        return statements_.back();
    }

    void print_function() {
        std::printf("function %s\n", name_.c_str());
        int number = 0;
        for (const DUMP_STATEMENT& s : statements_) {
            const RECORD_LAYOUT* layout = layout_of(static_cast<uint8_t>(s.kind));
            std::printf("[%d] %s\n", ++number, layout ? layout->name : "?");
            STMT_VIEW view;
            view.kind = s.kind;
            view.tree = s.tree;
            view.symbol = s.symbol;
            view.pragma = s.pragma.get();
            view.position = s.position ? &*s.position : nullptr;
            std::string text = statement_text(view);
            if (!text.empty() && text.back() != '\n') text += '\n';
            put_text(text);
            if (s.kind == REC_EXPR_STMT) std::printf("infix: %s\n", infix_text(s.tree));
        }
        std::printf("\n");
    }

    void discard() {
        for (DUMP_STATEMENT& s : statements_) free_tree(s.tree);
        statements_.clear();
    }

    std::vector<std::unique_ptr<SYMTAB>> symbols_;
    std::vector<DUMP_STATEMENT> statements_;
    std::string name_;
    bool in_function_ = false;
};

}  // namespace

namespace {

int dump_unit(const char* name) {
    DUMP_CLIENT client;
    TYPE_PKG types;
    std::unique_ptr<IcodeFile> unit = icode_text::open_unit_or_say(name, client, types);
    if (!unit) return 1;
    unit->read_unit();
    unit->close();
    std::fflush(stdout);
    return 0;
}

}  // namespace

void add_cmd_dump(CLI::App& icode, int& status) {
    auto unit = std::make_shared<std::string>();
    CLI::App* sub = icode.add_subcommand("dump", "print each statement's dump and infix text");
    sub->add_option("UNIT", *unit, "the unit")->required();
    sub->callback([unit, &status] { status = dump_unit(unit->c_str()); });
}
