// Writing expression trees: one node record per node, in pre-order.
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/icode_writer_internal.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_layout.h"

namespace icode {

namespace {

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

namespace lt = layout_table;

// The leaf data of an opcode, as the layout table has it.
template <int OPCODE>
constexpr const LAYOUT_PART& LEAF = *node_leaf_layout(OPCODE);

// The number of leaf fields of every opcode with a layout.
template <size_t... I>
constexpr std::array<uint8_t, sizeof...(I)> leaf_field_counts(std::index_sequence<I...>) {
    return {{uint8_t(node_leaf_layout(int64_t(I))->fields.size())...}};
}
constexpr auto LEAF_FIELDS = leaf_field_counts(std::make_index_sequence<NODE_OPCODES>());

}  // namespace

template <const LAYOUT_PART& LEAF>
void IcodeFile::put_text_node(const NUMBERS<lt::NODE>& head, std::string_view text) {
    // The rare records whose length only the text bounds go through the
    // direct codec's values.
    constexpr size_t HEAD_FIELDS = lt::NODE.fields.size();
    static_assert(LEAF.fields.size() == 1, "one text");
    DIRECT_VALUE v[HEAD_FIELDS + 1];
    for (size_t i = 0; i < HEAD_FIELDS; ++i) v[i].num = head[i];
    v[HEAD_FIELDS].text = text;
    emit_node<lt::NODE, LEAF>(v);
}

void IcodeFile::write_text_node(const NODE* node, const NUMBERS<lt::NODE>& head) {
    switch (node->opcode()) {
        case SCON: {
            const std::string* bytes = node->text_string();
            return put_text_node<LEAF<SCON>>(head, bytes ? std::string_view(*bytes) : "");
        }
        case FCON: return put_text_node<LEAF<FCON>>(head, floating_text(node));
        case LCON: {
            const char* text = node->text();
            return put_text_node<LEAF<LCON>>(head, text ? text : "");
        }
        default: {  // the named calls
            static_assert(&LEAF<ICALL> == &LEAF<UICALL> && &LEAF<ICALL> == &LEAF<MCALL> &&
                              &LEAF<ICALL> == &LEAF<UMCALL>,
                          "the named calls share their leaf data");
            const char* name = node->text();
            return put_text_node<LEAF<ICALL>>(head, name ? name : "");
        }
    }
}

void IcodeFile::write_tree(const NODE* root) { write_tree_nodes<TREE_FORM::PLAIN>(root, nullptr); }

void IcodeFile::put_weight_node(bool in_block, const TYPE* type, int weight) {
    constexpr size_t OPCODE = field_index(lt::NODE, "opcode");
    constexpr size_t TYPE_ID = field_index(lt::NODE, "type");
    constexpr size_t WEIGHT = field_index(LEAF<EPVAL>, "weight");
    NUMBERS<lt::NODE> head{};
    head[OPCODE] = EPVAL;
    head[TYPE_ID] = type ? type->id() : 0;
    NUMBERS<LEAF<EPVAL>> leaf{};
    leaf[WEIGHT] = uint32_t(weight);
    put_node<LEAF<EPVAL>>(in_block, head, leaf);
}

void IcodeFile::put_label_node(bool in_block, const NUMBERS<lt::NODE>& head, int64_t value) {
    constexpr size_t LABEL_NUMBER = field_index(LEAF<LABEL>, "label");
    NUMBERS<LEAF<LABEL>> leaf{};
    leaf[LABEL_NUMBER] = written_label(value);
    put_node<LEAF<LABEL>>(in_block, head, leaf);
}

void IcodeFile::write_jump_statement(int64_t label, int weight, TYPE* type, const OptPos& position,
                                     TYPE* weight_type) {
    constexpr size_t OPCODE = field_index(lt::NODE, "opcode");
    constexpr size_t TYPE_ID = field_index(lt::NODE, "type");
    static_assert(LEAF_FIELDS[BRANCH] == 0, "a jump has no leaf data");
    write_position_record<REC_EXPR_STMT>(position);
    // The records write_tree_nodes makes for the tree, in its order: the
    // jump, the label's weight node when there is one, and the label.
    const bool in_block = tree_in_block();
    const TYPE* const resolved = referenced_type(type);
    NUMBERS<lt::NODE> head{};
    head[OPCODE] = BRANCH;
    head[TYPE_ID] = resolved ? resolved->id() : 0;
    put_node<lt::NODE_NONE>(in_block, head, {});
    if (weight_type && weight != -1)
        put_weight_node(in_block, referenced_type(weight_type), weight);
    head[OPCODE] = LABEL;  // of the jump's type
    put_label_node(in_block, head, label);
}

template <IcodeFile::TREE_FORM FORM>
void IcodeFile::write_tree_nodes(const NODE* root, [[maybe_unused]] TYPE* weight_type) {
    constexpr size_t OPCODE = field_index(lt::NODE, "opcode");
    constexpr size_t TYPE_ID = field_index(lt::NODE, "type");
    // Pre-order without recursion, so that a tree of any depth is safe: the
    // writer goes down the first operands, and a second operand waits on
    // the stack while the first one's subtree is written.  The stack is
    // kept from tree to tree.  Only the operands the reader reads after a
    // node are written; a link beyond them (the second link of a node may
    // chain list elements) would put the reader out of step.
    std::vector<const NODE*>& pending = write_stack_;
    pending.clear();
    const bool in_block = tree_in_block();
    const NODE* node = root;
    while (node) {
        // The node's record: the head, then the leaf data its opcode has.
        // Those made of numbers only, nearly all, are built here in place.
        const int opcode = node->opcode();
        if constexpr (FORM == TREE_FORM::STAMPED)
            if (node == stamp_hole_) stamp_hole_at_ = capture_->size();
        // Only a node with an opcode beyond the operator table has no layout.
        if (opcode < 0 || opcode >= NODE_OPCODES) invalid_record();
        if constexpr (FORM == TREE_FORM::WEIGHTED)
            if (node->weight() != -1 && opcode != EPVAL)
                put_weight_node(in_block, referenced_type(weight_type), node->weight());
        const TYPE* const type = referenced_type(node->type());
        NUMBERS<lt::NODE> head{};
        head[OPCODE] = opcode;
        head[TYPE_ID] = type ? type->id() : 0;
        switch (opcode) {
            case LABEL: put_label_node(in_block, head, int64_t(node->value())); break;
            case NAME: {
                constexpr size_t LEVEL = field_index(LEAF<NAME>, "level");
                constexpr size_t INDEX = field_index(LEAF<NAME>, "index");
                NUMBERS<LEAF<NAME>> leaf{};
                if (const I_SYMTAB* s = node->symbol()) {
                    // SYMTAB is the one symbol class; its index is its place in
                    // the table that its level selects.
                    const SYMTAB* symbol = static_cast<const SYMTAB*>(s);
                    leaf[LEVEL] = uint32_t(symbol->level());
                    leaf[INDEX] = table_index(symbol);
                } else {
                    // The format has no form for a name without symbol.  The
                    // reader takes level 0xFFFFFFFF as "no symbol", so that is
                    // written, with index 0.
                    leaf[LEVEL] = 0xFFFFFFFFLL;
                    leaf[INDEX] = 0;
                }
                put_node<LEAF<NAME>>(in_block, head, leaf);
                break;
            }
            case ICON: {
                // Signed LEB128 or unsigned by the node's type; either way the
                // low 32 bits are the value.
                constexpr size_t VALUE = field_index(LEAF<ICON>, "value");
                static_assert(LEAF<ICON>.fields[VALUE].sign_from == int(TYPE_ID),
                              "the value follows the node's type");
                NUMBERS<LEAF<ICON>> leaf{};
                const uint32_t value = node->value_low();
                leaf[VALUE] = value;
                // Most constants are small and need not ask their type.
                const bool value_signed =
                    value >= LEB_SIGN_FREE && type && PACKAGE_SIGNS(types_).is_signed_type(type);
                put_node<LEAF<ICON>>(in_block, head, leaf, value_signed);
                break;
            }
            case SCON:
            case FCON:
            case LCON:
            case ICALL:
            case UICALL:
            case MCALL:
            case UMCALL: write_text_node(node, head); break;
            case FIELD: {
                constexpr size_t BYTE = field_index(LEAF<FIELD>, "byte");
                constexpr size_t MEMBER = field_index(LEAF<FIELD>, "member");
                constexpr size_t CLASS = field_index(LEAF<FIELD>, "class");
                NUMBERS<LEAF<FIELD>> leaf{};
                leaf[BYTE] = node->field_flag();
                leaf[MEMBER] = node->field_member_number();
                leaf[CLASS] = type_ref(node->field_class());
                put_node<LEAF<FIELD>>(in_block, head, leaf);
                break;
            }
            case SWITCH: {
                constexpr size_t NUMBER = field_index(LEAF<SWITCH>, "number");
                NUMBERS<LEAF<SWITCH>> leaf{};
                leaf[NUMBER] = uint32_t(node->switch_number());
                put_node<LEAF<SWITCH>>(in_block, head, leaf);
                break;
            }
            case CALL: {
                constexpr size_t EXTRA = field_index(LEAF<CALL>, "extra");
                constexpr size_t EHT = field_index(LEAF<CALL>, "eht");
                NUMBERS<LEAF<CALL>> leaf{};
                leaf[EXTRA] = node->extra_arg_count();
                leaf[EHT] = uint32_t(node->call_number());
                put_node<LEAF<CALL>>(in_block, head, leaf);
                break;
            }
            case UCALL: {
                constexpr size_t EHT = field_index(LEAF<UCALL>, "eht");
                NUMBERS<LEAF<UCALL>> leaf{};
                leaf[EHT] = uint32_t(node->call_number());
                put_node<LEAF<UCALL>>(in_block, head, leaf);
                break;
            }
            case EPVAL: put_weight_node(in_block, type, node->weight()); break;
            case SKIP: {
                constexpr size_t NUMBER = field_index(LEAF<SKIP>, "number");
                NUMBERS<LEAF<SKIP>> leaf{};
                leaf[NUMBER] = node->skip_number();
                put_node<LEAF<SKIP>>(in_block, head, leaf);
                break;
            }
            case DDNODE: {
                // ID in the low half of the value, LOCALE in the high half,
                // FLAGS in the switch number: where the reader put them.
                constexpr size_t ID = field_index(LEAF<DDNODE>, "id");
                constexpr size_t LOCALE = field_index(LEAF<DDNODE>, "locale");
                constexpr size_t FLAGS = field_index(LEAF<DDNODE>, "flags");
                NUMBERS<LEAF<DDNODE>> leaf{};
                leaf[ID] = node->value_low();
                leaf[LOCALE] = node->value_high();
                leaf[FLAGS] = uint8_t(node->switch_number());
                put_node<LEAF<DDNODE>>(in_block, head, leaf);
                break;
            }
            case VREG: {
                constexpr size_t REG = field_index(LEAF<VREG>, "reg");
                NUMBERS<LEAF<VREG>> leaf{};
                leaf[REG] = node->register_number();
                put_node<LEAF<VREG>>(in_block, head, leaf);
                break;
            }
            default:
                // Every other opcode has no leaf data.
                if (LEAF_FIELDS[size_t(opcode)] == 0)
                    put_node<lt::NODE_NONE>(in_block, head, {});
                else
                    emit_node_any(head);  // a leaf this switch does not know
                break;
        }

        const int operands = operands_read_[size_t(opcode)];
        const NODE* first = operands >= 1 ? node->left() : nullptr;
        const NODE* second = operands >= 2 ? node->right() : nullptr;
        if (first && second) pending.push_back(second);
        node = first ? first : second;
        if (!node && !pending.empty()) {
            node = pending.back();
            pending.pop_back();
        }
    }
}

template void IcodeFile::write_tree_nodes<IcodeFile::TREE_FORM::WEIGHTED>(const NODE*, TYPE*);

TREE_STAMP IcodeFile::stamp_tree(const NODE* tree, const NODE* hole) {
    TREE_STAMP stamp;
    std::string bytes;
    std::string* const outer = capture_;
    capture_ = &bytes;
    stamp_hole_ = hole;
    stamp_hole_at_ = std::string::npos;
    write_tree_nodes<TREE_FORM::STAMPED>(tree, nullptr);
    capture_ = outer;
    stamp_hole_ = nullptr;
    if (!hole || hole->opcode() != ICON || stamp_hole_at_ == std::string::npos) invalid_record();
    // The hole's record: its kind, a one-byte length, the head and the value.
    const size_t length = size_t(uint8_t(bytes[stamp_hole_at_ + 1]));
    stamp.before = bytes.substr(0, stamp_hole_at_);
    stamp.after = bytes.substr(stamp_hole_at_ + 2 + length);
    const TYPE* type = hole->type() ? hole->type()->resolved() : nullptr;
    stamp.hole_type = type ? type->id() : 0;
    stamp.hole_signed = type && PACKAGE_SIGNS(types_).is_signed_type(type);
    return stamp;
}

void IcodeFile::put_records(const std::string& bytes) {
    if (capture_) {
        capture_->append(bytes);
        return;
    }
    put_block(bytes.data(), bytes.size());
    if (block_size_ >= WRITE_BUFFER_SIZE) flush_output();
}

void IcodeFile::emit_node_any(const NUMBERS<lt::NODE>& head) {
    // Its leaf fields go out zero.
    DIRECT_VALUE values[lt::NODE.fields.size() + NODE_MAX_LEAF_FIELDS];
    for (size_t i = 0; i < head.size(); ++i) values[i].num = head[i];
    const size_t start = open_record(REC_NODE);
    PACKAGE_SIGNS signs(types_);
    if (!encode_direct(REC_NODE, out_, CODEC_CONTEXT{version_, &signs}, values))
        value_exceeds_short();
    close_record(start, REC_NODE);
}

}  // namespace icode
