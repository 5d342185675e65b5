// Test support for the I-code reader: a client that records every call it
// receives as one readable line, and a harness that assembles a unit from
// the text form, reads it through IcodeFile and captures what the reader
// prints and how the process would have ended.
//
// A recorded line names the operation and its arguments:
//   unit_header -71 700
//   string_list 1 ["-O2", "--x"]
//   symbol p level=1
//   pragma p SYM_IS_DEAD ["a"]          (pragma - ... for a free-standing one)
//   init g [ICON 3, ENDINIT]
//   function_begin f 1:2:3              (positions FILE:LINE:COLUMN or -)
//   function_end -
//   block_begin - / block_end - / body_begin - / mark -
//   text 36 "line" 1:4:3
//   label 7
//   expr ASG(NAME x@2, ICON 1) 1:5:6
//   eht [1/1/2/0 NOP, 3/2/0/1 ("int" 3 1)]
//   dropped 38
// Trees print in prefix form with their leaf data; a NAME shows its
// symbol's name and level, or "-" without a symbol.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "diag/process_exit.h"
#include "icode/attributes.h"
#include "icode/icode_client.h"
#include "icode/icode_file.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/text/text_form.h"
#include "icode/type_pkg.h"
#include "icode/types.h"

namespace reader_test {

using namespace icode;

// Thrown by the exit hook in place of ending the process.
struct READER_EXIT {
    int status;
};

[[noreturn]] inline void throwing_exit(int status) { throw READER_EXIT{status}; }

inline std::string quoted(const std::string& s) {
    std::string r = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            r += '\\';
            r += char(c);
        } else if (c < 32 || c >= 127) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            r += buf;
        } else {
            r += char(c);
        }
    }
    return r + "\"";
}

inline std::string show_pos(const SourcePos* p) {
    if (!p) return "-";
    return p->file.str() + ":" + std::to_string(p->line) + ":" + std::to_string(p->column);
}
inline std::string show_pos(const OptPos& p) { return show_pos(p ? &*p : nullptr); }

inline std::string show_strings(const std::vector<std::string>& v) {
    std::string r = "[";
    for (size_t i = 0; i < v.size(); ++i) r += (i ? ", " : "") + quoted(v[i]);
    return r + "]";
}

inline std::string opcode_name(int opcode) {
    const char* n = OperatorTable::name(opcode);
    return n ? n : "OP_" + std::to_string(opcode);
}

// One node with its leaf data, without operands.
inline std::string show_node(const NODE* n) {
    std::string s = opcode_name(n->opcode());
    auto num = [](long long v) { return std::to_string(v); };
    switch (n->opcode()) {
        case LABEL: return s + " " + num(n->label_number());
        case NAME: {
            const I_SYMTAB* sym = n->symbol();
            return s + " " + (sym ? sym->name() + "@" + num(sym->level()) : std::string("-"));
        }
        case SCON: return s + " " + quoted(n->text_string() ? *n->text_string() : std::string());
        case ICON: return s + " " + num(static_cast<int64_t>(n->value()));
        case FCON:
        case LCON:
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL: return s + " " + quoted(n->text() ? n->text() : "");
        case FIELD: {
            const FieldMember* f = n->field();
            return s + " " + num(n->field_flag()) + "/" + num(n->field_member_number()) + ":" +
                   (f ? f->name : std::string("-"));
        }
        case SWITCH: return s + " " + num(n->switch_number());
        case CALL: return s + " " + num(n->extra_arg_count()) + "/" + num(n->call_number());
        case UCALL: return s + " " + num(n->call_number());
        case EPVAL: return s + " " + num(n->weight());
        case SKIP: return s + " " + num(n->skip_number());
        case DDNODE:
            return s + " " + num(n->value_low()) + "/" + num(n->value_high()) + "/" +
                   num(n->switch_number());
        case VREG: return s + " " + num(n->register_number());
        default: return s;
    }
}

// A whole tree in prefix form: NODE(first, second).
inline std::string show_tree(const NODE* root) {
    if (!root) return "null";
    // Iterative, like the reader, so that deep chains cannot exhaust the
    // stack.  Each entry is a node to print or a piece of punctuation.
    struct ITEM {
        const NODE* node;
        const char* text;
    };
    std::string out;
    std::vector<ITEM> todo{{root, nullptr}};
    while (!todo.empty()) {
        ITEM it = todo.back();
        todo.pop_back();
        if (it.text) {
            out += it.text;
            continue;
        }
        out += show_node(it.node);
        const NODE* l = it.node->left();
        const NODE* r = it.node->right();
        if (!l && !r) continue;
        todo.push_back({nullptr, ")"});
        if (r) todo.push_back({r, nullptr});
        if (l && r) todo.push_back({nullptr, ", "});
        if (l) todo.push_back({l, nullptr});
        todo.push_back({nullptr, "("});
    }
    return out;
}

inline std::string show_trees(const std::vector<NODE*>& trees) {
    std::string r = "[";
    for (size_t i = 0; i < trees.size(); ++i) r += (i ? ", " : "") + show_tree(trees[i]);
    return r + "]";
}

class RECORDING_CLIENT : public IcodeClient {
public:
    // Every call in order, and the reader's function depth at each call
    // (when the file is known).
    std::vector<std::string> calls;
    std::vector<int> depths;
    // What the calls handed over, kept for closer inspection.
    std::vector<std::unique_ptr<SYMTAB>> symbols;
    std::vector<int> symbol_levels;  // the level argument of each create_symbol
    std::vector<TreePtr> trees;      // expression statements, in order
    std::vector<std::unique_ptr<Pragma>> free_pragmas;
    std::vector<std::vector<EHT_ENTRY>> tables;
    bool accept_header = true;
    // When true the client keeps exception tables (returns false, as the
    // profiler's client does); else the reader frees them.
    bool keep_tables = true;
    const IcodeFile* file = nullptr;

    ~RECORDING_CLIENT() override {
        for (auto& t : tables)
            for (auto& e : t) free_tree(e.tree);
    }

    // The calls whose line starts with `prefix`.
    std::vector<std::string> calls_of(const std::string& prefix) const {
        std::vector<std::string> r;
        for (const auto& c : calls)
            if (c.compare(0, prefix.size(), prefix) == 0) r.push_back(c);
        return r;
    }
    const SYMTAB* symbol(const std::string& name) const {
        for (const auto& s : symbols)
            if (s->name() == name) return s.get();
        return nullptr;
    }

    bool unit_header(int version, int target) override {
        log("unit_header " + std::to_string(version) + " " + std::to_string(target));
        return accept_header;
    }
    void string_list(uint32_t id, const std::vector<std::string>& strings) override {
        log("string_list " + std::to_string(id) + " " + show_strings(strings));
    }
    SYMTAB* create_symbol(SymbolRecord record, int level) override {
        log("symbol " + record.name + " level=" + std::to_string(level));
        symbols.push_back(std::make_unique<SYMTAB>(std::move(record)));
        symbol_levels.push_back(level);
        return symbols.back().get();
    }
    void attach_pragma(SYMTAB* sym, std::unique_ptr<Pragma> pragma) override {
        log("pragma " + (sym ? sym->name() : std::string("-")) + " " +
            attribute_name(pragma->kind) + " " + show_strings(pragma->args));
        if (sym)
            sym->add_pragma_front(std::move(pragma));
        else
            free_pragmas.push_back(std::move(pragma));
    }
    void attach_initializer(SYMTAB* sym, std::vector<NODE*> list) override {
        log("init " + sym->name() + " " + show_trees(list));
        sym->set_initializers(std::move(list));
    }
    void function_begin(SYMTAB* sym, OptPos position) override {
        log("function_begin " + (sym ? sym->name() : std::string("-")) + " " + show_pos(position));
    }
    void function_end(OptPos position) override { log("function_end " + show_pos(position)); }
    void block_begin(OptPos position) override { log("block_begin " + show_pos(position)); }
    void block_end(OptPos position) override { log("block_end " + show_pos(position)); }
    void body_begin(OptPos position) override { log("body_begin " + show_pos(position)); }
    void mark(OptPos position) override { log("mark " + show_pos(position)); }
    void text(RECORD_KIND kind, const std::string& text, OptPos position) override {
        log("text " + std::to_string(kind) + " " + quoted(text) + " " + show_pos(position));
    }
    void label(uint32_t number) override { log("label " + std::to_string(number)); }
    void expression_statement(NODE* tree, OptPos position) override {
        log("expr " + show_tree(tree) + " " + show_pos(position));
        trees.emplace_back(tree);
    }
    bool exception_table(std::vector<EHT_ENTRY>& entries) override {
        std::string s = "eht [";
        for (size_t i = 0; i < entries.size(); ++i) {
            const EHT_ENTRY& e = entries[i];
            s += (i ? ", " : "") + std::to_string(e.first) + "/" + std::to_string(e.kind) + "/" +
                 std::to_string(e.third) + "/" + std::to_string(e.count);
            if (e.tree) s += " " + show_tree(e.tree);
            for (const EHT_CATCH& c : e.items)
                s += " (" + quoted(c.text) + " " + std::to_string(c.number) + " " +
                     (c.flag ? "1" : "0") + ")";
        }
        log(s + "]");
        if (!keep_tables) return true;
        tables.push_back(std::move(entries));
        return false;
    }
    void dropped_record(RECORD_KIND kind) override { log("dropped " + std::to_string(kind)); }

private:
    void log(std::string line) {
        calls.push_back(std::move(line));
        depths.push_back(file ? file->depth() : -1);
    }
};

// Assembles text that must be valid.
inline std::string assemble(const std::string& text) {
    std::string unit, error;
    EXPECT_TRUE(icode_text::assemble(text, "t.txt", unit, &error)) << error << "\n" << text;
    return unit;
}

// One read of a unit: open, set the type package, read everything, close.
// The process ending is turned into an exception; stdout and stderr are
// captured for the whole read.
class READER_RUN {
public:
    TYPE_PKG types;
    RECORDING_CLIENT client;
    std::unique_ptr<IcodeFile> file;
    bool opened = false;
    int status = -1;  // the exit status, -1 when the read did not end the run
    std::string out, err;

    // Reads unit bytes.  Without a package no type is resolved.
    void read_bytes(const std::string& unit, bool with_types = true) {
        std::FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        std::fwrite(unit.data(), 1, unit.size(), stream);
        std::rewind(stream);
        set_exit_hook(throwing_exit);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        try {
            file = IcodeFile::open_for_reading(stream, &client);
            opened = file != nullptr;
            if (file) {
                client.file = file.get();
                if (with_types) file->set_type_package(&types);
                file->read_unit();
            }
        } catch (const READER_EXIT& e) {
            status = e.status;
        }
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        reset_exit_hook();
        client.file = nullptr;
        if (file)
            file->close();  // closes the stream
        else
            std::fclose(stream);
    }

    // Assembles the text form and reads it.
    void read(const std::string& text, bool with_types = true) {
        read_bytes(assemble(text), with_types);
    }

    // A read that went through without a message or an ending.
    void expect_clean() const {
        EXPECT_TRUE(opened);
        EXPECT_EQ(status, -1);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "");
    }
};

// The fixed text of a record that cannot be decoded.
inline const char* const INVALID_RECORD = "\nINTERNAL ERROR: Invalid I-code record, aborting\n";
inline const char* const INVALID_EHT = "\nINTERNAL ERROR: Invalid EHT record in I-code, aborting\n";

}  // namespace reader_test
