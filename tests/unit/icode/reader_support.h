// Test support for the I-code reader and writer: a client that records every
// call it receives as one readable line, and a run that assembles a unit from
// the text form, reads it and captures what the reader prints and how the
// process would have ended.
//
// Recorded lines name the operation and its arguments, positions as
// FILE:LINE:COLUMN or "-", trees as NODE(first, second) with their leaf data
// (a NAME shows its symbol's name@level, or "-").
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "diag/process_exit.h"
#include "icode/icode_client.h"
#include "icode/icode_file.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/text/text_values.h"
#include "icode/type_pkg.h"
#include "icode/types.h"
#include "text_form_helpers.h"

namespace reader_test {

using namespace icode;
using Calls = std::vector<std::string>;

struct READER_EXIT {
    int status;
};
[[noreturn]] inline void throwing_exit(int status) { throw READER_EXIT{status}; }

inline std::string show_pos(const SourcePos* p) {
    return p ? p->file.str() + ":" + std::to_string(p->line) + ":" + std::to_string(p->column)
             : "-";
}
inline std::string show_pos(const OptPos& p) { return show_pos(p ? &*p : nullptr); }
inline std::string show_strings(const std::vector<std::string>& v) {
    std::string r = "[";
    for (size_t i = 0; i < v.size(); ++i) r += (i ? ", " : "") + icode_text::quote(v[i]);
    return r + "]";
}
inline std::string opcode_name(int opcode) {
    const char* n = OperatorTable::name(opcode);
    return n ? n : "OP_" + std::to_string(opcode);
}

// The calls one per line, to compare with a raw string.
inline std::string lines(const Calls& calls) {
    std::string s;
    for (const auto& c : calls) s += c + "\n";
    return s;
}

// One node with its leaf data, without operands.
inline std::string show_node(const NODE* n) {
    auto num = [](long long v) { return " " + std::to_string(v); };
    std::string s = opcode_name(n->opcode());
    switch (n->opcode()) {
        case LABEL: return s + num(n->label_number());
        case NAME: {
            const I_SYMTAB* sym = n->symbol();
            return s + " " + (sym ? sym->name() + "@" + std::to_string(sym->level()) : "-");
        }
        case SCON: return s + " " + icode_text::quote(n->text_string() ? *n->text_string() : "");
        case ICON: return s + num(int64_t(n->value()));
        case FCON:
        case LCON:
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL: return s + " " + icode_text::quote(n->text() ? n->text() : "");
        case FIELD:
            return s + num(n->field_flag()) + "/" + std::to_string(n->field_member_number()) + ":" +
                   (n->field() ? n->field()->name : "-");
        case SWITCH: return s + num(n->switch_number());
        case CALL: return s + num(n->extra_arg_count()) + "/" + std::to_string(n->call_number());
        case UCALL: return s + num(n->call_number());
        case EPVAL: return s + num(n->weight());
        case SKIP: return s + num(n->skip_number());
        case DDNODE:
            return s + num(n->value_low()) + "/" + std::to_string(n->value_high()) + "/" +
                   std::to_string(n->switch_number());
        case VREG: return s + num(n->register_number());
        default: return s;
    }
}

// A whole tree as NODE(first, second); iterative, as deep trees are read.
inline std::string show_tree(const NODE* root) {
    struct ITEM {
        const NODE* node;
        const char* text;
    };
    std::string out;
    std::vector<ITEM> todo{{root, nullptr}};
    while (!todo.empty()) {
        ITEM it = todo.back();
        todo.pop_back();
        if (it.text || !it.node) {
            out += it.text ? it.text : "null";
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

class RECORDING_CLIENT : public IcodeClient {
public:
    Calls calls;
    std::vector<std::unique_ptr<SYMTAB>> symbols;
    std::vector<TreePtr> trees;  // expression statements, in order
    Calls calls_of(const std::string& prefix) const {
        Calls r;
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
        return true;
    }
    void string_list(uint32_t id, const std::vector<std::string>& strings) override {
        log("string_list " + std::to_string(id) + " " + show_strings(strings));
    }
    SYMTAB* create_symbol(SymbolRecord record, int level) override {
        log("symbol " + record.name + " level=" + std::to_string(level));
        symbols.push_back(std::make_unique<SYMTAB>(std::move(record)));
        return symbols.back().get();
    }
    void attach_pragma(SYMTAB* sym, std::unique_ptr<Pragma> pragma) override {
        log("pragma " + (sym ? sym->name() : "-") + " " + attribute_name(pragma->kind) + " " +
            show_strings(pragma->args));
        if (sym) sym->add_pragma_front(std::move(pragma));
    }
    void attach_initializer(SYMTAB* sym, std::vector<NODE*> list) override {
        std::string s = "init " + sym->name() + " [";
        for (size_t i = 0; i < list.size(); ++i) s += (i ? ", " : "") + show_tree(list[i]);
        log(s + "]");
        sym->set_initializers(std::move(list));
    }
    void function_begin(SYMTAB* sym, OptPos p) override {
        log("function_begin " + (sym ? sym->name() : "-") + " " + show_pos(p));
    }
    void function_end(OptPos p) override { log("function_end " + show_pos(p)); }
    void block_begin(OptPos p) override { log("block_begin " + show_pos(p)); }
    void block_end(OptPos p) override { log("block_end " + show_pos(p)); }
    void body_begin(OptPos p) override { log("body_begin " + show_pos(p)); }
    void mark(OptPos p) override { log("mark " + show_pos(p)); }
    void text(RECORD_KIND kind, const std::string& text, OptPos p) override {
        log("text " + std::to_string(kind) + " " + icode_text::quote(text) + " " + show_pos(p));
    }
    void label(uint32_t number) override { log("label " + std::to_string(number)); }
    void expression_statement(NODE* tree, OptPos p) override {
        log("expr " + show_tree(tree) + " " + show_pos(p));
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
                s += " (" + icode_text::quote(c.text) + " " + std::to_string(c.number) + " " +
                     (c.flag ? "1" : "0") + ")";
        }
        log(s + "]");
        return true;  // the reader frees the entries
    }
    void dropped_record(RECORD_KIND kind) override { log("dropped " + std::to_string(kind)); }

private:
    void log(std::string line) { calls.push_back(std::move(line)); }
};

// One read of a unit: open, set the type package, read everything, close.
// The process ending becomes an exception; stdout and stderr are captured.
struct READER_RUN {
    TYPE_PKG types;
    RECORDING_CLIENT client;
    std::unique_ptr<IcodeFile> file;
    bool opened = false;
    int status = -1;  // the exit status, -1 when the read did not end the run
    std::string out, err;

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
                if (with_types) file->set_type_package(&types);
                file->read_unit();
            }
        } catch (const READER_EXIT& e) {
            status = e.status;
        }
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        reset_exit_hook();
        if (file)
            file->close();
        else
            std::fclose(stream);
    }
    void read(const std::string& text, bool with_types = true) {
        read_bytes(text_form_test::assemble_ok(text), with_types);
    }
    void expect_clean() const {
        EXPECT_TRUE(opened);
        EXPECT_EQ(status, -1);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "");
    }
};

inline const char* const INVALID_RECORD = "\nINTERNAL ERROR: Invalid I-code record, aborting\n";
inline const char* const INVALID_EHT = "\nINTERNAL ERROR: Invalid EHT record in I-code, aborting\n";

}  // namespace reader_test
