// Statement, symbol, pragma and tree dumps.
#include "icode/stmt_dump.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "icode/attributes.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/source_pos.h"
#include "icode/symtab.h"
#include "icode/type_core.h"
#include "icode/type_print.h"

namespace icode {

namespace {

// The statement-text buffer: reused across calls so that listing many
// statements does not allocate per statement.
std::string g_statement_text;

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void appendf(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&out[at], static_cast<std::size_t>(length) + 1, format, args);
        out.resize(at + static_cast<std::size_t>(length));
    }
    va_end(args);
}

void append_position(std::string& out, const SourcePos& position) {
    appendf(out, "\t[%s,%d,%d]\n", position.file.empty() ? "NO_FILE" : position.file.c_str(),
            static_cast<int>(position.line), static_cast<int>(position.column));
}

// "Reads as the decimal number 1", the way the compiler's own atoi does:
// leading blanks and a sign are allowed, trailing text is ignored.
bool reads_as_one(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10) == 1; }

void append_pragma(std::string& out, const Pragma& pragma, const std::string& owner) {
    appendf(out, "***     PRAGMA [%s] #%02d (%d parm): %s", owner.c_str(), pragma.kind,
            static_cast<int>(pragma.args.size()), attribute_name(pragma.kind));
    if (!pragma.args.empty()) {
        out += "    ARGS:";
        std::size_t first_plain = 0;
        if (pragma.kind == static_cast<uint8_t>(AttributeKind::FUNC_ESPEC)) {
            // A FUNC_ESPEC attribute holds two flags, then the listed types.
            appendf(out, "[%d]%s  ", 0,
                    reads_as_one(pragma.args[0]) ? "Restricted" : "Non-restricted");
            if (pragma.args.size() > 1)
                appendf(out, "[%d]%s  ", 1,
                        reads_as_one(pragma.args[1]) ? "Checked" : "Non-checked");
            first_plain = 2;
        }
        for (std::size_t i = first_plain; i < pragma.args.size(); ++i)
            appendf(out, "[%d]%s  ", static_cast<int>(i), pragma.args[i].c_str());
    }
    out += "\n";
}

void append_symbol(std::string& out, const I_SYMTAB& symbol) {
    // Sizes, values and offsets are unsigned in the symbol but printed the
    // way the compiler's own dumps print them, as int.
    appendf(out, ">%-20s sz:%-5d val:%-5d cl:%-2d cq:%-2x al:%-3d ty:<%s> opt:%d @%x  ",
            symbol.name().c_str(), static_cast<int>(symbol.size()),
            static_cast<int>(symbol.value()), symbol.storage_class(), symbol.qualifiers(),
            symbol.alignment(), print_type(symbol.type()).c_str(), static_cast<int>(symbol.opt()),
            symbol.definition_offset());
    if (const SourcePos* position = symbol.position())
        append_position(out, *position);
    else
        out += "\t[no psn]\n";
    for (const Pragma* p = symbol.first_pragma(); p != nullptr; p = p->next.get())
        append_pragma(out, *p, symbol.name());
}

// A string constant between single quotes, with the bytes that would break
// the line shown as escapes.
void append_quoted_bytes(std::string& out, const std::string* bytes) {
    out += '\'';
    if (bytes != nullptr) {
        for (char c : *bytes) {
            switch (c) {
                case '\0': out += "\\0"; break;
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\v': out += "\\v"; break;
                case '\r': out += "\\r"; break;
                default: out += c; break;
            }
        }
    }
    out += "'\n";
}

void append_node_line(std::string& out, const NODE& node) {
    const int op = node.opcode();
    const char* name = OperatorTable::name(op);
    const TYPE* type = node.type();
    appendf(out, "%-16ssz:%-4d <%s>\t\t\t", name ? name : "?NODE?",
            type ? static_cast<int>(type->resolved()->size()) : 0, print_type(type).c_str());
    switch (op) {
        case LABEL:
        case ICON:
        case SKIP:
            appendf(out, "%ld\n", static_cast<long>(static_cast<int64_t>(node.value())));
            break;
        case NAME: {
            const I_SYMTAB* symbol = node.symbol();
            // A NAME without symbol stands for level 0xFFFFFFFF in the unit.
            const SYMTAB* entry = dynamic_cast<const SYMTAB*>(symbol);
            appendf(out, "[%d,%d] %s\n", symbol ? symbol->level() : -1, entry ? entry->index() : -1,
                    symbol ? symbol->name().c_str() : "");
            break;
        }
        case SCON: append_quoted_bytes(out, node.text_string()); break;
        case FCON:
        case LCON:
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL: {
            if (node.text() != nullptr) {
                appendf(out, "'%s'\n", node.text());
            } else if (op == FCON) {
                // A constant made from a number has no text of its own yet.
                appendf(out, "'%s'\n", node.decimal_text().c_str());
            } else {
                out += "''\n";
            }
            break;
        }
        case FIELD: {
            const FieldMember* field = node.field();
            appendf(out, "%s\n", field ? field->name.c_str() : "");
            break;
        }
        case EPVAL: appendf(out, "%u\n", static_cast<unsigned>(node.weight())); break;
        case DDNODE:
            appendf(out, "ID=%d, LOCALE=%d, FLAGS=0x%02x\n", static_cast<int>(node.value_low()),
                    static_cast<int>(node.value_high()),
                    static_cast<unsigned>(node.switch_number()));
            break;
        case VREG: appendf(out, "VR%d\n", node.register_number()); break;
        case CALL:
            if (node.extra_arg_count() != 0)
                appendf(out, "%d extra args ", static_cast<int>(node.extra_arg_count()));
            [[fallthrough]];
        case UCALL:
            if (node.call_number() != 0) appendf(out, "EHT: [%d]", node.call_number());
            out += "\n";
            break;
        default: out += "\n"; break;
    }
}

void append_tree(std::string& out, const NODE* root) {
    std::vector<const NODE*> todo;
    if (root != nullptr) todo.push_back(root);
    while (!todo.empty()) {
        const NODE* node = todo.back();
        todo.pop_back();
        append_node_line(out, *node);
        if (node->right() != nullptr) todo.push_back(node->right());
        if (node->left() != nullptr) todo.push_back(node->left());
    }
}

}  // namespace

std::string statement_text(const STMT_VIEW& statement) {
    std::string& out = g_statement_text;
    out.clear();
    if (statement.position != nullptr) append_position(out, *statement.position);
    switch (statement.kind) {
        case REC_SYMBOL:
            if (statement.symbol != nullptr) append_symbol(out, *statement.symbol);
            break;
        case REC_LABEL:
            out += "LABEL ";
            if (statement.tree != nullptr)
                appendf(out, "%llu", static_cast<unsigned long long>(statement.tree->value()));
            break;
        case REC_EXPR_STMT: append_tree(out, statement.tree); break;
        case REC_PRAGMA:
            if (statement.pragma != nullptr) append_pragma(out, *statement.pragma, std::string());
            break;
        // The other kinds show their position only.
        case REC_FUNC_BEGIN:
        case REC_FUNC_END:
        case REC_BLOCK_BEGIN:
        case REC_BLOCK_END:
        case REC_BODY_BEGIN:
        case REC_MARK:
        case REC_HEADER:
        case REC_OPAQUE:
        case REC_TEXT_AT:
        case REC_DROP_38:
        case REC_DROP_45:
        case REC_TEXT:
        case REC_DROP_58:
        case REC_DROP_59:
        case REC_EHT_CATCHES:
        case REC_DROP_64:
        case REC_EHT_ENTRY:
        case REC_EHT:
        case REC_NODE:
        case REC_INIT:
        case REC_DROP_108:
        case REC_STRING_LIST:
        case REC_TYPE:
        case REC_DROP_123:
        case REC_DROP_124:
        case REC_DROP_125:
        case REC_FILE_NAME:
        case REC_END: break;
    }
    return out;
}

std::string pragma_dump(const Pragma& pragma, const std::string& owner) {
    std::string out;
    append_pragma(out, pragma, owner);
    return out;
}

std::string symbol_dump(const I_SYMTAB& symbol) {
    std::string out;
    append_symbol(out, symbol);
    return out;
}

std::string tree_dump(const NODE* root) {
    std::string out;
    append_tree(out, root);
    return out;
}

void reset_statement_text_buffer() { std::string().swap(g_statement_text); }

}  // namespace icode
