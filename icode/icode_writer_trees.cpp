// Writing expression trees: one node record per node, in pre-order.
#include <cstdio>
#include <cstring>
#include <vector>

#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_layout.h"

namespace icode {

namespace {

// The operands the reader reads after a node: none for the leaf opcodes,
// else as many as the operator table gives.  Only these are written; a link
// beyond them (the second link of a node may chain list elements) would put
// the reader out of step.
int operands_read(int opcode) {
    return is_leaf_opcode(opcode) ? 0 : OperatorTable::operand_count(opcode);
}

// A floating constant made from a number keeps no text; it is written in
// the exact hexadecimal form, as the node itself prints it.
std::string floating_text(const NODE* node) {
    if (const char* t = node->text()) return t;
    uint64_t bits = node->value();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%a", d);
    return buffer;
}

}  // namespace

void IcodeFile::write_tree(const NODE* root) {
    // Pre-order without recursion, so that a tree of any depth is safe: the
    // second operand waits on the stack while the first one's subtree is
    // written.
    std::vector<const NODE*> pending;
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        const NODE* node = pending.back();
        pending.pop_back();
        write_node(node);
        int operands = operands_read(node->opcode());
        if (operands >= 2 && node->right()) pending.push_back(node->right());
        if (operands >= 1 && node->left()) pending.push_back(node->left());
    }
}

void IcodeFile::write_node(const NODE* node) {
    int opcode = node->opcode();
    RECORD& r = begin_record(REC_NODE, opcode);
    r.values[1].num = type_ref(node->type());
    auto set = [&r](const char* name, int64_t v) { r.value(name)->num = v; };
    auto set_text = [&r](const char* name, std::string text) {
        r.value(name)->text = std::move(text);
    };
    switch (opcode) {
        case LABEL: set("label", node->label_number()); break;
        case NAME:
            if (const I_SYMTAB* s = node->symbol()) {
                // SYMTAB is the one symbol class; its index is its place in the
                // table that its level selects.
                const SYMTAB* symbol = static_cast<const SYMTAB*>(s);
                set("level", uint32_t(symbol->level()));
                set("index", table_index(symbol));
            } else {
                // The format has no form for a name without symbol.  The reader
                // takes level 0xFFFFFFFF as "no symbol", so that is written,
                // with index 0.
                set("level", 0xFFFFFFFFLL);
                set("index", 0);
            }
            break;
        case SCON:
            if (const std::string* bytes = node->text_string()) set_text("bytes", *bytes);
            break;
        case ICON:
            // Signed LEB128 or unsigned by the node's type (the codec asks the
            // package); either way the low 32 bits are the value.
            set("value", node->value_low());
            break;
        case FCON: set_text("text", floating_text(node)); break;
        case LCON: set_text("text", node->text() ? node->text() : ""); break;
        case FIELD:
            set("byte", node->field_flag());
            set("member", node->field_member_number());
            set("class", type_ref(node->field_class()));
            break;
        case SWITCH: set("number", uint32_t(node->switch_number())); break;
        case CALL:
            set("extra", node->extra_arg_count());
            set("eht", uint32_t(node->call_number()));
            break;
        case UCALL: set("eht", uint32_t(node->call_number())); break;
        case EPVAL: set("weight", uint32_t(node->weight())); break;
        case SKIP: set("number", node->skip_number()); break;
        case DDNODE:
            // ID in the low half of the value, LOCALE in the high half, FLAGS in
            // the switch number: where the reader put them.
            set("id", node->value_low());
            set("locale", node->value_high());
            set("flags", uint8_t(node->switch_number()));
            break;
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL: set_text("name", node->text() ? node->text() : ""); break;
        case VREG: set("reg", node->register_number()); break;
        default: break;
    }
    end_record();
}

}  // namespace icode
