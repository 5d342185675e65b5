// The direct code of every part of the layout table, instantiated once and
// chosen at run time by record kind and selector, and the items of decoded
// lists.
#include "icode/record_direct.h"

namespace icode {

namespace {

// The tables below list only parts that exist: addresses of distinct
// objects cannot be compared in constant expressions everywhere (not in
// sanitizer builds), so no part is ever tested against null here.
template <const LAYOUT_PART* P>
constexpr DIRECT_CODEC codec_of() {
    return DIRECT_CODEC{P, &decode_fields<*P>, &encode_fields<*P>};
}

template <size_t... I>
constexpr std::array<DIRECT_CODEC, sizeof...(I)> head_codecs(std::index_sequence<I...>) {
    return {{codec_of<layout_table::RECORD_LAYOUTS[I].head_part>()...}};
}
template <size_t... I>
constexpr std::array<DIRECT_CODEC, sizeof...(I)> node_codecs(std::index_sequence<I...>) {
    return {{codec_of<node_leaf_layout(int64_t(I))>()...}};
}
template <size_t... I>
constexpr std::array<DIRECT_CODEC, sizeof...(I)> type_codecs(std::index_sequence<I...>) {
    return {{codec_of<layout_table::TYPE_PARTS[I].part>()...}};
}
template <size_t... I>
constexpr std::array<DIRECT_CODEC, sizeof...(I)> drop108_codecs(std::index_sequence<I...>) {
    return {{codec_of<layout_table::drop108_select(int64_t(I))>()...}};
}

constexpr size_t KINDS = std::size(layout_table::RECORD_LAYOUTS);
constexpr auto HEADS = head_codecs(std::make_index_sequence<KINDS>());
constexpr auto NODE_TAILS = node_codecs(std::make_index_sequence<NODE_OPCODES>());
constexpr auto TYPE_TAILS =
    type_codecs(std::make_index_sequence<std::size(layout_table::TYPE_PARTS)>());
constexpr auto DROP108_TAILS =
    drop108_codecs(std::make_index_sequence<layout_table::DROP108_SUBKINDS>());

template <size_t N>
constexpr size_t most_fields(const std::array<DIRECT_CODEC, N>& parts) {
    size_t most = 0;
    for (const DIRECT_CODEC& c : parts)
        if (c.part->fields.size() > most) most = c.part->fields.size();
    return most;
}
static_assert(most_fields(NODE_TAILS) <= NODE_MAX_LEAF_FIELDS, "a node has more leaf fields");
static_assert(most_fields(HEADS) <= DIRECT_MAX_FIELDS &&
                  layout_table::TYPE.fields.size() + most_fields(TYPE_TAILS) <= DIRECT_MAX_FIELDS &&
                  layout_table::DROP_108.fields.size() + most_fields(DROP108_TAILS) <=
                      DIRECT_MAX_FIELDS,
              "a record has more fields than the direct codec holds");

// Heads are in the order of the layouts they come from.
const DIRECT_CODEC* head_codec(const RECORD_LAYOUT* layout) {
    return layout ? &HEADS[size_t(layout - layout_table::RECORD_LAYOUTS)] : nullptr;
}

template <size_t N>
const DIRECT_CODEC* find_part(const std::array<DIRECT_CODEC, N>& table, const LAYOUT_PART* part) {
    for (const DIRECT_CODEC& c : table)
        if (c.part == part) return &c;
    return nullptr;
}

// The tail a record of this layout has for a selector value, or null.
const DIRECT_CODEC* tail_codec(const RECORD_LAYOUT& layout, int64_t selector) {
    const DIRECT_CODEC* c = nullptr;
    if (selector < 0) return nullptr;
    if (layout.kind == REC_NODE && selector < int64_t(NODE_TAILS.size())) {
        c = &NODE_TAILS[size_t(selector)];
    } else if (layout.kind == REC_TYPE) {
        for (size_t i = 0; i < TYPE_TAILS.size(); ++i)
            if (layout_table::TYPE_PARTS[i].code == selector) c = &TYPE_TAILS[i];
    } else if (layout.kind == REC_DROP_108 && selector < int64_t(DROP108_TAILS.size())) {
        c = &DROP108_TAILS[size_t(selector)];
    }
    return c;
}

}  // namespace

const DIRECT_CODEC* direct_codec(const LAYOUT_PART* part) {
    if (!part) return nullptr;
    for (const DIRECT_CODEC* c : {find_part(HEADS, part), find_part(NODE_TAILS, part),
                                  find_part(TYPE_TAILS, part), find_part(DROP108_TAILS, part)})
        if (c) return c;
    return nullptr;
}

const DIRECT_CODEC* node_leaf_codec(int64_t opcode) {
    if (opcode < 0 || opcode >= int64_t(NODE_TAILS.size())) return nullptr;
    return &NODE_TAILS[size_t(opcode)];
}

size_t decode_direct(uint8_t kind, BYTE_SOURCE& in, CODEC_CONTEXT ctx, DIRECT_VALUE* out) {
    const RECORD_LAYOUT* layout = layout_of(kind);
    const DIRECT_CODEC* head = head_codec(layout);
    if (!layout || !head) throw DECODE_ERROR("record kind without layout");
    size_t nhead = layout->head.size();
    head->decode(in, ctx.version, out, 0, ctx.oracle);
    if (!layout->select) return nhead;
    int64_t selector = out[layout->select_by].num;
    const DIRECT_CODEC* tail = tail_codec(*layout, selector);
    if (!tail)
        throw DECODE_ERROR(std::string("no layout for ") + layout->name + " " +
                           layout->head[size_t(layout->select_by)].name + " " +
                           std::to_string(selector));
    tail->decode(in, ctx.version, out, nhead, ctx.oracle);
    return nhead + tail->part->fields.size();
}

bool encode_direct(uint8_t kind, BYTE_SINK& out, CODEC_CONTEXT ctx, const DIRECT_VALUE* values,
                   std::string* why) {
    const RECORD_LAYOUT* layout = layout_of(kind);
    const DIRECT_CODEC* head = head_codec(layout);
    if (!layout || !head) return false;
    if (!head->encode(out, ctx.version, values, 0, ctx.oracle, why)) return false;
    if (!layout->select) return true;
    const DIRECT_CODEC* tail = tail_codec(*layout, values[layout->select_by].num);
    return tail && tail->encode(out, ctx.version, values, layout->head.size(), ctx.oracle, why);
}

std::vector<std::string> direct_strings(const DIRECT_VALUE& v) {
    std::vector<std::string> items;
    items.reserve(size_t(v.num));
    BYTE_SOURCE in(reinterpret_cast<const uint8_t*>(v.text.data()), v.text.size());
    for (int64_t k = 0; k < v.num; ++k) items.push_back(in.get_string());
    return items;
}

std::vector<uint16_t> direct_shorts(const DIRECT_VALUE& v) {
    std::vector<uint16_t> items;
    BYTE_SOURCE in(reinterpret_cast<const uint8_t*>(v.text.data()), v.text.size());
    for (int64_t k = 0; k < v.num; ++k) items.push_back(in.get_u16());
    return items;
}

std::vector<CATCH_ITEM> direct_catches(const DIRECT_VALUE& v) {
    std::vector<CATCH_ITEM> items;
    BYTE_SOURCE in(reinterpret_cast<const uint8_t*>(v.text.data()), v.text.size());
    for (int64_t k = 0; k < v.num; ++k) items.push_back(get_catch(in));
    return items;
}

namespace {

// The items put into `scratch` one by one, and the value that views them.
template <class ITEM, class PUT>
DIRECT_VALUE listed(const std::vector<ITEM>& items, std::string& scratch, PUT put) {
    BYTE_SINK out;
    for (const ITEM& item : items) put(out, item);
    scratch = std::move(out.bytes());
    DIRECT_VALUE v;
    v.num = int64_t(items.size());
    v.text = scratch;
    return v;
}

}  // namespace

DIRECT_VALUE direct_list(const std::vector<std::string>& items, std::string& scratch) {
    return listed(items, scratch, [](BYTE_SINK& out, const std::string& s) { out.put_string(s); });
}

DIRECT_VALUE direct_list(const std::vector<uint16_t>& items, std::string& scratch) {
    return listed(items, scratch, put_short);
}

DIRECT_VALUE direct_list(const std::vector<CATCH_ITEM>& items, std::string& scratch) {
    return listed(items, scratch, put_catch);
}

}  // namespace icode
