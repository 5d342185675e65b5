// icode copy IN OUT: reads a unit through the profiler's reader and writes
// every record back through the writer, as a profiler run without a job
// does: global symbols go into the output's table as they are read, the
// function stream is written record by record, each tree is written and
// freed, and the initializers of the global symbols are written at the end.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "icode/icode_file.h"
#include "icode/node.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/unit_open.h"

namespace {

using namespace icode;

class COPY_CLIENT : public IcodeClient {
public:
    // The string lists arrive when the input is opened, before the output
    // exists; they are handed over once it does.
    std::vector<StringListEntry> string_lists;

    void set_output(IcodeFile* out) { out_ = out; }

    void string_list(uint32_t id, const std::vector<std::string>& strings) override {
        string_lists.emplace_back(id, strings);
    }
    SYMTAB* create_symbol(SymbolRecord record, int level) override {
        flush_symbol();
        auto symbol = std::make_unique<SYMTAB>(std::move(record));
        SYMTAB* s = symbol.get();
        if (level == 0) {
            globals_.push_back(std::move(symbol));
            out_->register_global_symbol(s);
        } else {
            // A local symbol is written once its pragmas are attached, i.e.
            // at the next record of the stream.
            locals_.push_back(std::move(symbol));
            pending_ = s;
        }
        return s;
    }
    void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) override {
        if (symbol) {
            symbol->add_pragma_front(std::move(pragma));
            return;
        }
        flush_symbol();
        out_->write_pragma(*pragma);
    }
    void attach_initializer(SYMTAB* symbol, std::vector<NODE*> trees) override {
        symbol->set_initializers(std::move(trees));
    }
    void function_begin(SYMTAB* symbol, OptPos position) override {
        flush_symbol();
        // The reader has emptied its local table: the previous function's
        // symbols are no longer named.
        locals_.clear();
        out_->write_function_begin(symbol, position);
    }
    void function_end(OptPos position) override {
        flush_symbol();
        out_->write_function_end(position);
    }
    void block_begin(OptPos position) override {
        flush_symbol();
        out_->write_block_begin(position);
    }
    void block_end(OptPos position) override {
        flush_symbol();
        out_->write_block_end(position);
    }
    void body_begin(OptPos position) override {
        flush_symbol();
        out_->write_body_begin(position);
    }
    void mark(OptPos position) override {
        flush_symbol();
        out_->write_mark(position);
    }
    void text(RECORD_KIND kind, const std::string& text, OptPos position) override {
        flush_symbol();
        if (kind == REC_TEXT_AT)
            out_->write_text_at(text, position);
        else
            out_->write_text(text);
    }
    void label(uint32_t number) override {
        flush_symbol();
        out_->write_label(number);
    }
    void expression_statement(NODE* tree, OptPos position) override {
        flush_symbol();
        TreePtr owned(tree);
        out_->write_expression_statement(tree, position);
    }
    bool exception_table(std::vector<EHT_ENTRY>& entries) override {
        flush_symbol();
        out_->write_exception_table(entries);
        return true;  // written: the reader may free the entries
    }

    // Writes the symbol still waiting for its pragmas.
    void flush_symbol() {
        if (pending_) out_->write_symbol(pending_);
        pending_ = nullptr;
    }

    // Writes the initializers of the global symbols, in table order.
    void write_initializers() {
        flush_symbol();
        for (SYMTAB* symbol : out_->global_symbols()) {
            if (symbol->initializers().empty()) continue;
            out_->write_initializer(symbol);
            for (const NODE* tree : symbol->initializers()) out_->write_tree(tree);
        }
    }

private:
    IcodeFile* out_ = nullptr;
    std::vector<std::unique_ptr<SYMTAB>> globals_;
    std::vector<std::unique_ptr<SYMTAB>> locals_;
    SYMTAB* pending_ = nullptr;
};

}  // namespace

namespace {

int copy_unit(const char* in_name, const char* out_name) {
    COPY_CLIENT client;
    TYPE_PKG types;
    std::unique_ptr<IcodeFile> input = icode_text::open_unit_or_say(in_name, client, types);
    if (!input) return 1;
    FILE* out = std::fopen(out_name, "wb");
    if (!out) {
        std::fprintf(stderr, "%s: %s\n", out_name, std::strerror(errno));
        input->close();
        return 1;
    }
    std::unique_ptr<IcodeFile> output = IcodeFile::create_writer(out, &types, input->unit_name());
    for (const StringListEntry& e : client.string_lists) output->add_string_list(e);
    client.set_output(output.get());

    input->read_unit();
    client.write_initializers();
    int status = 0;
    if (input->close() != 0) {
        std::fprintf(stderr, "icode copy: %s: the stream reported an error\n", in_name);
        status = 1;
    }
    if (output->close() != 0) {
        std::fprintf(stderr, "icode copy: %s: the stream reported an error\n", out_name);
        status = 1;
    }
    return status;
}

}  // namespace

void add_cmd_copy(CLI::App& icode, int& status) {
    auto files = std::make_shared<std::pair<std::string, std::string>>();
    CLI::App* sub =
        icode.add_subcommand("copy", "read a unit and write it back through the writer");
    sub->add_option("IN", files->first, "the unit to read")->required();
    sub->add_option("OUT", files->second, "the unit to write")->required();
    sub->callback(
        [files, &status] { status = copy_unit(files->first.c_str(), files->second.c_str()); });
}
