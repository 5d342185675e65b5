// Writing expression trees: one node record per node, in pre-order.
#include <cstdio>
#include <cstring>
#include <vector>

#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/icode_writer_internal.h"
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
    // written.  The stack is kept from tree to tree.
    std::vector<const NODE*>& pending = write_stack_;
    pending.clear();
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

namespace {

namespace lt = layout_table;

// The leaf data of an opcode, as the layout table has it.
template <int OPCODE>
constexpr const LAYOUT_PART& LEAF = *node_leaf_layout(OPCODE);

// Where a leaf field goes: after the head's fields.
constexpr size_t leaf_field(const LAYOUT_PART& leaf, const char* name) {
    return lt::NODE.fields.size() + field_index(leaf, name);
}

}  // namespace

void IcodeFile::write_node(const NODE* node) {
    constexpr size_t OPCODE = field_index(lt::NODE, "opcode");
    constexpr size_t TYPE_ID = field_index(lt::NODE, "type");
    DIRECT_VALUE v[lt::NODE.fields.size() + NODE_MAX_LEAF_FIELDS];
    const int opcode = node->opcode();
    v[OPCODE].num = opcode;
    v[TYPE_ID].num = type_ref(node->type());
    // Only a node with an opcode beyond the operator table has no layout.
    if (!node_leaf_layout(opcode)) invalid_record();
    std::string text;  // a text made for the record
    switch (opcode) {
        case LABEL: {
            constexpr size_t LABEL_NUMBER = leaf_field(LEAF<LABEL>, "label");
            v[LABEL_NUMBER].num = node->label_number();
            return emit_node<lt::NODE, LEAF<LABEL>>(v);
        }
        case NAME: {
            constexpr size_t LEVEL = leaf_field(LEAF<NAME>, "level");
            constexpr size_t INDEX = leaf_field(LEAF<NAME>, "index");
            if (const I_SYMTAB* s = node->symbol()) {
                // SYMTAB is the one symbol class; its index is its place in the
                // table that its level selects.
                const SYMTAB* symbol = static_cast<const SYMTAB*>(s);
                v[LEVEL].num = uint32_t(symbol->level());
                v[INDEX].num = table_index(symbol);
            } else {
                // The format has no form for a name without symbol.  The reader
                // takes level 0xFFFFFFFF as "no symbol", so that is written,
                // with index 0.
                v[LEVEL].num = 0xFFFFFFFFLL;
                v[INDEX].num = 0;
            }
            return emit_node<lt::NODE, LEAF<NAME>>(v);
        }
        case SCON: {
            constexpr size_t BYTES = leaf_field(LEAF<SCON>, "bytes");
            if (const std::string* bytes = node->text_string()) v[BYTES].text = *bytes;
            return emit_node<lt::NODE, LEAF<SCON>>(v);
        }
        case ICON: {
            // Signed LEB128 or unsigned by the node's type (the codec asks the
            // package); either way the low 32 bits are the value.
            constexpr size_t VALUE = leaf_field(LEAF<ICON>, "value");
            v[VALUE].num = node->value_low();
            return emit_node<lt::NODE, LEAF<ICON>>(v);
        }
        case FCON: {
            constexpr size_t TEXT = leaf_field(LEAF<FCON>, "text");
            text = floating_text(node);
            v[TEXT].text = text;
            return emit_node<lt::NODE, LEAF<FCON>>(v);
        }
        case LCON: {
            constexpr size_t TEXT = leaf_field(LEAF<LCON>, "text");
            if (node->text()) v[TEXT].text = node->text();
            return emit_node<lt::NODE, LEAF<LCON>>(v);
        }
        case FIELD: {
            constexpr size_t BYTE = leaf_field(LEAF<FIELD>, "byte");
            constexpr size_t MEMBER = leaf_field(LEAF<FIELD>, "member");
            constexpr size_t CLASS = leaf_field(LEAF<FIELD>, "class");
            v[BYTE].num = node->field_flag();
            v[MEMBER].num = node->field_member_number();
            v[CLASS].num = type_ref(node->field_class());
            return emit_node<lt::NODE, LEAF<FIELD>>(v);
        }
        case SWITCH: {
            constexpr size_t NUMBER = leaf_field(LEAF<SWITCH>, "number");
            v[NUMBER].num = uint32_t(node->switch_number());
            return emit_node<lt::NODE, LEAF<SWITCH>>(v);
        }
        case CALL: {
            constexpr size_t EXTRA = leaf_field(LEAF<CALL>, "extra");
            constexpr size_t EHT = leaf_field(LEAF<CALL>, "eht");
            v[EXTRA].num = node->extra_arg_count();
            v[EHT].num = uint32_t(node->call_number());
            return emit_node<lt::NODE, LEAF<CALL>>(v);
        }
        case UCALL: {
            constexpr size_t EHT = leaf_field(LEAF<UCALL>, "eht");
            v[EHT].num = uint32_t(node->call_number());
            return emit_node<lt::NODE, LEAF<UCALL>>(v);
        }
        case EPVAL: {
            constexpr size_t WEIGHT = leaf_field(LEAF<EPVAL>, "weight");
            v[WEIGHT].num = uint32_t(node->weight());
            return emit_node<lt::NODE, LEAF<EPVAL>>(v);
        }
        case SKIP: {
            constexpr size_t NUMBER = leaf_field(LEAF<SKIP>, "number");
            v[NUMBER].num = node->skip_number();
            return emit_node<lt::NODE, LEAF<SKIP>>(v);
        }
        case DDNODE: {
            // ID in the low half of the value, LOCALE in the high half, FLAGS in
            // the switch number: where the reader put them.
            constexpr size_t ID = leaf_field(LEAF<DDNODE>, "id");
            constexpr size_t LOCALE = leaf_field(LEAF<DDNODE>, "locale");
            constexpr size_t FLAGS = leaf_field(LEAF<DDNODE>, "flags");
            v[ID].num = node->value_low();
            v[LOCALE].num = node->value_high();
            v[FLAGS].num = uint8_t(node->switch_number());
            return emit_node<lt::NODE, LEAF<DDNODE>>(v);
        }
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL: {
            static_assert(&LEAF<ICALL> == &LEAF<UICALL> && &LEAF<ICALL> == &LEAF<MCALL> &&
                              &LEAF<ICALL> == &LEAF<UMCALL>,
                          "the named calls share their leaf data");
            constexpr size_t NAME_TEXT = leaf_field(LEAF<ICALL>, "name");
            if (node->text()) v[NAME_TEXT].text = node->text();
            return emit_node<lt::NODE, LEAF<ICALL>>(v);
        }
        case VREG: {
            constexpr size_t REG = leaf_field(LEAF<VREG>, "reg");
            v[REG].num = node->register_number();
            return emit_node<lt::NODE, LEAF<VREG>>(v);
        }
        default:
            // Every other opcode has no leaf data.
            if (node_leaf_layout(opcode) == &lt::NODE_NONE)
                return emit_node<lt::NODE, lt::NODE_NONE>(v);
            // A leaf this switch does not know goes out with its fields zero.
            return emit_node_any(v);
    }
}

void IcodeFile::emit_node_any(const DIRECT_VALUE* values) {
    const size_t start = open_record(REC_NODE);
    PACKAGE_SIGNS signs(types_);
    if (!encode_direct(REC_NODE, out_, CODEC_CONTEXT{version_, &signs}, values))
        value_exceeds_short();
    close_record(start, REC_NODE);
}

}  // namespace icode
