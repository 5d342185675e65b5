// The layout table: the fields of every record kind's payload, with their
// encodings and the format versions that carry them.
#include "icode/record_layout.h"

#include <cstring>

#include "icode/type_codes.h"

namespace icode {

namespace {

constexpr int16_t V_ANY_MAX = 32767;

FIELD_DESC f(const char* name, ENC enc) { return FIELD_DESC{name, enc}; }
FIELD_DESC since(int16_t v, const char* name, ENC enc) {
    return FIELD_DESC{name, enc, v, V_ANY_MAX};
}
FIELD_DESC between(int16_t lo, int16_t hi, const char* name, ENC enc) {
    return FIELD_DESC{name, enc, lo, hi};
}
FIELD_DESC signed_by(const char* name, int8_t from) {
    FIELD_DESC d{name, ENC::SIGNED_BY_TYPE};
    d.sign_from = from;
    return d;
}

// ---- node leaf data, by opcode -------------------------------------------

const LAYOUT_PART NODE_NONE{"", {}};
const LAYOUT_PART NODE_LABEL{"", {f("label", ENC::ULEB)}};
const LAYOUT_PART NODE_NAME{"", {f("level", ENC::ULEB), f("index", ENC::ULEB)}};
const LAYOUT_PART NODE_SCON{"", {f("bytes", ENC::COUNTED)}};
// The value of an integer constant is signed LEB128 exactly when the node's
// type (field 1 of the head) is a signed type.
const LAYOUT_PART NODE_ICON{"", {signed_by("value", 1)}};
const LAYOUT_PART NODE_TEXT{"", {f("text", ENC::STRING)}};
const LAYOUT_PART NODE_FIELD{
    "", {f("byte", ENC::I8), f("member", ENC::ULEB), f("class", ENC::TYPEREF)}};
const LAYOUT_PART NODE_NUMBER{"", {f("number", ENC::ULEB)}};
const LAYOUT_PART NODE_CALL{"", {f("extra", ENC::ULEB), f("eht", ENC::ULEB)}};
const LAYOUT_PART NODE_UCALL{"", {f("eht", ENC::ULEB)}};
const LAYOUT_PART NODE_EPVAL{"", {f("weight", ENC::ULEB)}};
const LAYOUT_PART NODE_DDNODE{"",
                              {f("id", ENC::ULEB), f("locale", ENC::ULEB), f("flags", ENC::U8)}};
const LAYOUT_PART NODE_NAMED_CALL{"", {f("name", ENC::STRING)}};
const LAYOUT_PART NODE_VREG{"", {f("reg", ENC::SLEB)}};

// ---- type records, by type code --------------------------------------------

std::vector<FIELD_DESC> integral_fields() {
    return {f("explicit_sign", ENC::BOOL), f("size", ENC::ULEB), f("align", ENC::ULEB),
            f("flag1", ENC::BOOL), f("flag2", ENC::BOOL)};
}

struct TYPE_TABLE {
    LAYOUT_PART by_code[256];
    bool known[256] = {};

    void set(int code, const char* name, std::vector<FIELD_DESC> fields) {
        by_code[code] = LAYOUT_PART{name, std::move(fields)};
        known[code] = true;
    }

    TYPE_TABLE() {
        static const char* const integral_names[] = {"bool",   "char", "uchar", "wchar", "short",
                                                     "ushort", "int",  "uint",  "long",  "ulong"};
        for (int c = TC_BOOL; c <= TC_ULONG; ++c) set(c, integral_names[c], integral_fields());
        set(TC_LLONG, "llong", integral_fields());
        set(TC_ULLONG, "ullong", integral_fields());
        set(TC_FLOAT, "float", {f("size", ENC::ULEB), f("align", ENC::ULEB)});
        set(TC_DOUBLE, "double", {f("size", ENC::ULEB), f("align", ENC::ULEB)});
        set(TC_LDOUBLE, "ldouble", {f("size", ENC::ULEB), f("align", ENC::ULEB)});
        set(TC_FIXED, "fixed",
            {f("byte1", ENC::I8), f("byte2", ENC::U8), f("base", ENC::TYPEREF),
             f("size", ENC::ULEB), f("align", ENC::ULEB)});
        set(TC_TYPEDEF, "typedef",
            {f("name", ENC::STRING), f("base", ENC::TYPEREF), f("size", ENC::ULEB),
             f("align", ENC::ULEB), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL),
             f("pos", ENC::POS)});
        set(TC_POINTER, "pointer",
            {f("pointee", ENC::TYPEREF), f("size", ENC::ULEB), f("align", ENC::ULEB)});
        set(TC_REFERENCE, "reference",
            {f("target", ENC::TYPEREF), f("size", ENC::ULEB), f("align", ENC::ULEB)});
        set(TC_QUALIFIED, "qualified",
            {f("base", ENC::TYPEREF), f("quals", ENC::ULEB), f("size", ENC::ULEB),
             f("align", ENC::ULEB)});
        set(TC_ARRAY, "array",
            {f("elem", ENC::TYPEREF), f("count", ENC::ULEB), f("size", ENC::ULEB),
             f("align", ENC::ULEB), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL),
             since(-76, "vector", ENC::BOOL), between(-75, -74, "ignored", ENC::BOOL)});
        set(TC_PTRMEM, "ptrmem",
            {f("pointee", ENC::TYPEREF), f("class", ENC::TYPEREF), f("size", ENC::ULEB),
             f("align", ENC::ULEB)});
        set(TC_FUNCTION, "function",
            {f("ret", ENC::TYPEREF), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL),
             f("byte", ENC::U8), f("flag3", ENC::BOOL)});
        set(TC_ENUM, "enum",
            {f("name", ENC::STRING), f("size", ENC::ULEB), f("align", ENC::ULEB),
             f("base", ENC::TYPEREF), since(-81, "mangled", ENC::BOOL), f("pos", ENC::POS)});
        set(TC_CSU, "csu",
            {f("csu", ENC::U8), f("name", ENC::STRING), f("flag1", ENC::BOOL),
             f("flag2", ENC::BOOL), f("size", ENC::ULEB), f("align", ENC::ULEB),
             f("has_fields", ENC::BOOL), since(-84, "flag3", ENC::BOOL),
             since(-81, "mangled", ENC::BOOL), f("pos", ENC::POS)});
        set(TC_CSU_LISTS, "csu_lists",
            {f("csu", ENC::U8), f("name", ENC::STRING), f("flag1", ENC::BOOL),
             f("flag2", ENC::BOOL), f("size", ENC::ULEB), f("align", ENC::ULEB),
             f("extra", ENC::ULEB), f("list2", ENC::BOOL), f("list3", ENC::BOOL),
             f("list4", ENC::BOOL), f("list5", ENC::BOOL), f("list6", ENC::BOOL),
             f("list7", ENC::BOOL), f("list8", ENC::BOOL), f("list9", ENC::BOOL),
             f("list0", ENC::BOOL), since(-84, "flag3", ENC::BOOL),
             since(-81, "mangled", ENC::BOOL), f("pos", ENC::POS)});
        set(TC_COMPLEX, "complex",
            {f("size", ENC::ULEB), f("align", ENC::ULEB), f("part", ENC::TYPEREF)});
        set(TC_VOID, "void", {});
        set(TC_OPEN_LIST, "open", {f("list", ENC::U8)});
        set(TC_CLOSE_LIST, "close", {f("list", ENC::U8)});
        // Members of attribute lists; the record's id names the owner.
        set(TC_PARAM, "param",
            {f("type", ENC::TYPEREF), f("flag", ENC::BOOL), f("number", ENC::ULEB),
             f("name", ENC::STRING)});
        // An enumerator's value is signed exactly when its enum (the owner,
        // field 0 of the head) has a signed underlying type.
        {
            FIELD_DESC value = signed_by("value", 0);
            set(TC_ENUMERATOR, "enumerator", {f("name", ENC::STRING), value, f("pos", ENC::POS)});
        }
        set(TC_BASE_CLASS, "base_class",
            {f("type", ENC::TYPEREF), f("offset", ENC::SLEB), f("byte", ENC::U8),
             f("flag", ENC::BOOL)});
        set(TC_MEMBER3, "member3", {f("type", ENC::TYPEREF), f("byte", ENC::U8)});
        set(TC_MEMBER4, "member4", {f("name", ENC::STRING), f("type", ENC::TYPEREF)});
        set(TC_MEMBER5, "member5", {f("type", ENC::TYPEREF)});
        set(TC_MEMBER6, "member6", {f("type", ENC::TYPEREF)});
        // Fields: the byte after the offset exists from version -74 on; the
        // oldest version orders the tail is-bit-field, width, one flag.
        set(TC_FIELD, "field",
            {f("member", ENC::ULEB), f("name", ENC::STRING), f("type", ENC::TYPEREF),
             f("byte1", ENC::U8), f("offset", ENC::SLEB), since(-74, "byte2", ENC::U8),
             between(-86, -86, "is_bitfield", ENC::BOOL), f("width", ENC::ULEB),
             since(-85, "is_bitfield", ENC::BOOL), f("flag1", ENC::BOOL),
             since(-85, "flag2", ENC::BOOL), f("pos", ENC::POS)});
        set(TC_MEMBER8, "member8",
            {f("name", ENC::STRING), f("type", ENC::TYPEREF), f("byte", ENC::U8)});
        set(TC_MEMBER9, "member9",
            {f("name", ENC::STRING), f("type", ENC::TYPEREF), f("byte", ENC::U8),
             f("number", ENC::SLEB), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL),
             f("flag3", ENC::BOOL), f("flag4", ENC::BOOL)});
    }
};

const TYPE_TABLE& type_table() {
    static const TYPE_TABLE t;
    return t;
}

// ---- the drop-only kind 108, by sub-kind ------------------------------------

// The tail's names continue after the head's "a", so that every field of a
// record has a name of its own in the text form.
const LAYOUT_PART DROP108_0{"0",
                            {f("b", ENC::ULEB), f("c", ENC::SLEB), f("type", ENC::TYPEREF),
                             f("d", ENC::SLEB), f("e", ENC::ULEB)}};
const LAYOUT_PART DROP108_1{"1",
                            {f("b", ENC::ULEB), f("c", ENC::ULEB), f("type", ENC::TYPEREF),
                             f("d", ENC::SLEB), f("e", ENC::ULEB)}};
const LAYOUT_PART DROP108_2{"2", {f("b", ENC::ULEB)}};

const LAYOUT_PART* drop108_select(int64_t sub) {
    switch (sub) {
        case 0: return &DROP108_0;
        case 1: return &DROP108_1;
        case 2: return &DROP108_2;
        default: return nullptr;
    }
}

// ---- the record kinds ---------------------------------------------------------

std::vector<RECORD_LAYOUT> make_layouts() {
    std::vector<RECORD_LAYOUT> v;
    auto add = [&](RECORD_KIND k, const char* name, std::vector<FIELD_DESC> head,
                   DEPTH_EFFECT depth = DEPTH_EFFECT::NONE) {
        v.push_back(RECORD_LAYOUT{k, name, std::move(head), -1, nullptr, depth});
    };
    add(REC_FUNC_BEGIN, "func_begin", {f("pos", ENC::POS), f("sym", ENC::ULEB)},
        DEPTH_EFFECT::ENTER_FUNCTION);
    add(REC_FUNC_END, "func_end", {f("pos", ENC::POS)}, DEPTH_EFFECT::LEAVE_FUNCTION);
    add(REC_BLOCK_BEGIN, "block_begin", {f("pos", ENC::POS)}, DEPTH_EFFECT::OPEN_BLOCK);
    add(REC_BLOCK_END, "block_end", {f("pos", ENC::POS)}, DEPTH_EFFECT::CLOSE_BLOCK);
    add(REC_BODY_BEGIN, "body_begin", {f("pos", ENC::POS)}, DEPTH_EFFECT::OPEN_BODY);
    add(REC_MARK, "mark", {f("pos", ENC::POS)});
    {
        FIELD_DESC version = f("version", ENC::I16);
        version.sets_version = true;
        add(REC_HEADER, "header",
            {f("magic", ENC::STRING), version, f("target", ENC::I16), f("strings", ENC::U32),
             f("init", ENC::U32), f("types", ENC::U32), f("files", ENC::U32),
             f("symbols", ENC::U32), f("name", ENC::STRING), since(-83, "reserved", ENC::U32)});
    }
    add(REC_OPAQUE, "opaque", {f("pos", ENC::POS), f("bytes", ENC::REST)});
    add(REC_SYMBOL, "symbol",
        {f("name", ENC::STRING), f("size", ENC::ULEB), f("value", ENC::ULEB), f("class", ENC::U8),
         f("quals", ENC::I16), f("type", ENC::TYPEREF), f("type2", ENC::TYPEREF),
         f("align", ENC::ULEB), f("pragmas", ENC::U8), f("defoff", ENC::ULEB), f("opt", ENC::ULEB),
         f("pos", ENC::POS), between(-71, -71, "ref", ENC::U8)});
    add(REC_TEXT_AT, "text_at", {f("text", ENC::STRING), f("pos", ENC::POS)});
    add(REC_DROP_38, "drop38",
        {f("a", ENC::ULEB), f("b", ENC::ULEB), f("c", ENC::ULEB), f("d", ENC::ULEB),
         f("e", ENC::ULEB), f("s", ENC::I16)});
    add(REC_LABEL, "label", {f("label", ENC::ULEB)});
    add(REC_DROP_45, "drop45",
        {f("a", ENC::ULEB), f("b", ENC::ULEB), f("c", ENC::ULEB), f("d", ENC::ULEB),
         f("e", ENC::ULEB)});
    add(REC_EXPR_STMT, "expr", {f("pos", ENC::POS)});
    add(REC_TEXT, "text", {f("text", ENC::STRING)});
    add(REC_DROP_58, "drop58", {f("a", ENC::ULEB), f("b", ENC::ULEB), f("c", ENC::ULEB)});
    add(REC_DROP_59, "drop59", {f("a", ENC::ULEB), f("b", ENC::U8), f("values", ENC::U16S)});
    add(REC_EHT_CATCHES, "eht_catches", {f("items", ENC::CATCHES)});
    add(REC_DROP_64, "drop64", {f("a", ENC::I8)});
    add(REC_EHT_ENTRY, "eht_entry",
        {f("first", ENC::ULEB), f("kind", ENC::ULEB), f("third", ENC::ULEB),
         f("count", ENC::ULEB)});
    add(REC_EHT, "eht", {f("count", ENC::ULEB)});
    add(REC_PRAGMA, "pragma", {f("kind", ENC::ULEB), f("args", ENC::STRINGS)});
    v.push_back(RECORD_LAYOUT{
        REC_NODE, "node", {f("opcode", ENC::U8), f("type", ENC::TYPEREF)}, 0, &node_leaf_layout});
    add(REC_INIT, "init", {f("sym", ENC::ULEB)});
    v.push_back(RECORD_LAYOUT{
        REC_DROP_108, "drop108", {f("a", ENC::ULEB), f("sub", ENC::U8)}, 1, &drop108_select});
    add(REC_STRING_LIST, "string_list", {f("id", ENC::ULEB), f("strings", ENC::STRINGS)});
    v.push_back(RECORD_LAYOUT{
        REC_TYPE, "type", {f("id", ENC::ULEB), f("code", ENC::U8)}, 1, &type_code_layout});
    add(REC_DROP_123, "drop123",
        {f("sym", ENC::ULEB), f("a", ENC::SLEB), f("b", ENC::U8), f("c", ENC::ULEB),
         f("pos", ENC::POS)},
        DEPTH_EFFECT::ENTER_FUNCTION);
    add(REC_DROP_124, "drop124",
        {f("a", ENC::ULEB), f("level", ENC::SLEB), f("index", ENC::SLEB), f("b", ENC::U8)});
    add(REC_DROP_125, "drop125", {f("pos", ENC::POS)}, DEPTH_EFFECT::LEAVE_FUNCTION);
    add(REC_FILE_NAME, "file_name", {f("name", ENC::STRING)});
    return v;
}

struct LAYOUT_INDEX {
    std::vector<RECORD_LAYOUT> all = make_layouts();
    const RECORD_LAYOUT* by_kind[256] = {};
    LAYOUT_INDEX() {
        for (const auto& l : all) by_kind[l.kind] = &l;
    }
};

const LAYOUT_INDEX& layouts() {
    static const LAYOUT_INDEX idx;
    return idx;
}

}  // namespace

int depth_after(DEPTH_EFFECT effect, int depth) {
    switch (effect) {
        case DEPTH_EFFECT::NONE: return depth;
        case DEPTH_EFFECT::ENTER_FUNCTION: return 1;
        case DEPTH_EFFECT::LEAVE_FUNCTION: return 0;
        case DEPTH_EFFECT::OPEN_BLOCK: return depth + 1;
        case DEPTH_EFFECT::CLOSE_BLOCK: return depth - 1;
        case DEPTH_EFFECT::OPEN_BODY: return 2;
    }
    return depth;
}

const RECORD_LAYOUT* layout_of(uint8_t kind) { return layouts().by_kind[kind]; }

const RECORD_LAYOUT* layout_named(const char* name) {
    for (const auto& l : layouts().all)
        if (std::strcmp(l.name, name) == 0) return &l;
    return nullptr;
}

const LAYOUT_PART* node_leaf_layout(int64_t opcode) {
    switch (opcode) {
        case 1: return &NODE_LABEL;
        case 2: return &NODE_NAME;
        case 3: return &NODE_SCON;
        case 4: return &NODE_ICON;
        case 5:
        case 25: return &NODE_TEXT;
        case 26: return &NODE_FIELD;
        case 40:
        case 115: return &NODE_NUMBER;
        case 70: return &NODE_CALL;
        case 72: return &NODE_UCALL;
        case 110: return &NODE_EPVAL;
        case 119: return &NODE_DDNODE;
        case 129:
        case 130:
        case 132:
        case 133: return &NODE_NAMED_CALL;
        case 163: return &NODE_VREG;
        default: return opcode >= 0 && opcode <= 163 ? &NODE_NONE : nullptr;
    }
}

const LAYOUT_PART* type_code_layout(int64_t code) {
    if (code < 0 || code > 255 || !type_table().known[code]) return nullptr;
    return &type_table().by_code[code];
}

int type_code_named(const char* name) {
    for (int c = 0; c < 256; ++c)
        if (type_table().known[c] && std::strcmp(type_table().by_code[c].name, name) == 0) return c;
    return -1;
}

bool is_leaf_opcode(int opcode) {
    switch (opcode) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 25:
        case 26:
        case 115:
        case 163: return true;
        default: return false;
    }
}

int member_list_of_code(int code) {
    switch (code) {
        case TC_PARAM: return 0;
        case TC_ENUMERATOR: return 1;
        case TC_BASE_CLASS: return 2;
        case TC_MEMBER3: return 3;
        case TC_MEMBER4: return 4;
        case TC_MEMBER5: return 5;
        case TC_MEMBER6: return 6;
        case TC_FIELD: return 7;
        case TC_MEMBER8: return 8;
        case TC_MEMBER9: return 9;
        default: return -1;
    }
}

}  // namespace icode
