// The layout table: the fields of every record kind's payload, with their
// encodings and the format versions that carry them.
//
// Everything here is constexpr, so that the direct codec (record_direct.h)
// can lay out each record's code at compile time from these same tables,
// while the generic codec, the text form and the tools walk them at run
// time.  Included by record_layout.h; not meant to be included alone.
#pragma once

#include "icode/type_codes.h"

namespace icode {

namespace layout_table {

constexpr int16_t V_ANY_MAX = 32767;

constexpr FIELD_DESC f(const char* name, ENC enc) { return FIELD_DESC{name, enc}; }
constexpr FIELD_DESC since(int16_t v, const char* name, ENC enc) {
    return FIELD_DESC{name, enc, v, V_ANY_MAX};
}
constexpr FIELD_DESC between(int16_t lo, int16_t hi, const char* name, ENC enc) {
    return FIELD_DESC{name, enc, lo, hi};
}
constexpr FIELD_DESC signed_by(const char* name, int8_t from) {
    return FIELD_DESC{name, ENC::SIGNED_BY_TYPE, -32768, V_ANY_MAX, from};
}
constexpr FIELD_DESC version_field(const char* name, ENC enc) {
    return FIELD_DESC{name, enc, -32768, V_ANY_MAX, -1, true};
}
template <class... T>
constexpr std::array<FIELD_DESC, sizeof...(T)> fields(T... f) {
    return {{f...}};
}

// ---- record heads -------------------------------------------------------------

inline constexpr auto POS_ONLY_F = fields(f("pos", ENC::POS));
inline constexpr auto FUNC_BEGIN_F = fields(f("pos", ENC::POS), f("sym", ENC::ULEB));
inline constexpr auto HEADER_F =
    fields(f("magic", ENC::STRING), version_field("version", ENC::I16), f("target", ENC::I16),
           f("strings", ENC::U32), f("init", ENC::U32), f("types", ENC::U32), f("files", ENC::U32),
           f("symbols", ENC::U32), f("name", ENC::STRING), since(-83, "reserved", ENC::U32));
inline constexpr auto OPAQUE_F = fields(f("pos", ENC::POS), f("bytes", ENC::REST));
inline constexpr auto SYMBOL_F =
    fields(f("name", ENC::STRING), f("size", ENC::ULEB), f("value", ENC::ULEB), f("class", ENC::U8),
           f("quals", ENC::I16), f("type", ENC::TYPEREF), f("type2", ENC::TYPEREF),
           f("align", ENC::ULEB), f("pragmas", ENC::U8), f("defoff", ENC::ULEB),
           f("opt", ENC::ULEB), f("pos", ENC::POS), between(-71, -71, "ref", ENC::U8));
inline constexpr auto TEXT_AT_F = fields(f("text", ENC::STRING), f("pos", ENC::POS));
inline constexpr auto DROP_38_F = fields(f("a", ENC::ULEB), f("b", ENC::ULEB), f("c", ENC::ULEB),
                                         f("d", ENC::ULEB), f("e", ENC::ULEB), f("s", ENC::I16));
inline constexpr auto LABEL_F = fields(f("label", ENC::ULEB));
inline constexpr auto DROP_45_F = fields(f("a", ENC::ULEB), f("b", ENC::ULEB), f("c", ENC::ULEB),
                                         f("d", ENC::ULEB), f("e", ENC::ULEB));
inline constexpr auto TEXT_F = fields(f("text", ENC::STRING));
inline constexpr auto DROP_58_F = fields(f("a", ENC::ULEB), f("b", ENC::ULEB), f("c", ENC::ULEB));
inline constexpr auto DROP_59_F =
    fields(f("a", ENC::ULEB), f("b", ENC::U8), f("values", ENC::U16S));
inline constexpr auto EHT_CATCHES_F = fields(f("items", ENC::CATCHES));
inline constexpr auto DROP_64_F = fields(f("a", ENC::I8));
inline constexpr auto EHT_ENTRY_F = fields(f("first", ENC::ULEB), f("kind", ENC::ULEB),
                                           f("third", ENC::ULEB), f("count", ENC::ULEB));
inline constexpr auto EHT_F = fields(f("count", ENC::ULEB));
inline constexpr auto PRAGMA_F = fields(f("kind", ENC::ULEB), f("args", ENC::STRINGS));
inline constexpr auto NODE_F = fields(f("opcode", ENC::U8), f("type", ENC::TYPEREF));
inline constexpr auto INIT_F = fields(f("sym", ENC::ULEB));
inline constexpr auto DROP_108_F = fields(f("a", ENC::ULEB), f("sub", ENC::U8));
inline constexpr auto STRING_LIST_F = fields(f("id", ENC::ULEB), f("strings", ENC::STRINGS));
inline constexpr auto TYPE_F = fields(f("id", ENC::ULEB), f("code", ENC::U8));
inline constexpr auto DROP_123_F = fields(f("sym", ENC::ULEB), f("a", ENC::SLEB), f("b", ENC::U8),
                                          f("c", ENC::ULEB), f("pos", ENC::POS));
inline constexpr auto DROP_124_F =
    fields(f("a", ENC::ULEB), f("level", ENC::SLEB), f("index", ENC::SLEB), f("b", ENC::U8));
inline constexpr auto FILE_NAME_F = fields(f("name", ENC::STRING));

inline constexpr LAYOUT_PART FUNC_BEGIN{"func_begin", FUNC_BEGIN_F};
inline constexpr LAYOUT_PART FUNC_END{"func_end", POS_ONLY_F};
inline constexpr LAYOUT_PART BLOCK_BEGIN{"block_begin", POS_ONLY_F};
inline constexpr LAYOUT_PART BLOCK_END{"block_end", POS_ONLY_F};
inline constexpr LAYOUT_PART BODY_BEGIN{"body_begin", POS_ONLY_F};
inline constexpr LAYOUT_PART MARK{"mark", POS_ONLY_F};
inline constexpr LAYOUT_PART HEADER{"header", HEADER_F};
inline constexpr LAYOUT_PART OPAQUE{"opaque", OPAQUE_F};
inline constexpr LAYOUT_PART SYMBOL{"symbol", SYMBOL_F};
inline constexpr LAYOUT_PART TEXT_AT{"text_at", TEXT_AT_F};
inline constexpr LAYOUT_PART DROP_38{"drop38", DROP_38_F};
inline constexpr LAYOUT_PART LABEL{"label", LABEL_F};
inline constexpr LAYOUT_PART DROP_45{"drop45", DROP_45_F};
inline constexpr LAYOUT_PART EXPR_STMT{"expr", POS_ONLY_F};
inline constexpr LAYOUT_PART TEXT{"text", TEXT_F};
inline constexpr LAYOUT_PART DROP_58{"drop58", DROP_58_F};
inline constexpr LAYOUT_PART DROP_59{"drop59", DROP_59_F};
inline constexpr LAYOUT_PART EHT_CATCHES{"eht_catches", EHT_CATCHES_F};
inline constexpr LAYOUT_PART DROP_64{"drop64", DROP_64_F};
inline constexpr LAYOUT_PART EHT_ENTRY{"eht_entry", EHT_ENTRY_F};
inline constexpr LAYOUT_PART EHT{"eht", EHT_F};
inline constexpr LAYOUT_PART PRAGMA{"pragma", PRAGMA_F};
inline constexpr LAYOUT_PART NODE{"node", NODE_F};
inline constexpr LAYOUT_PART INIT{"init", INIT_F};
inline constexpr LAYOUT_PART DROP_108{"drop108", DROP_108_F};
inline constexpr LAYOUT_PART STRING_LIST{"string_list", STRING_LIST_F};
inline constexpr LAYOUT_PART TYPE{"type", TYPE_F};
inline constexpr LAYOUT_PART DROP_123{"drop123", DROP_123_F};
inline constexpr LAYOUT_PART DROP_124{"drop124", DROP_124_F};
inline constexpr LAYOUT_PART DROP_125{"drop125", POS_ONLY_F};
inline constexpr LAYOUT_PART FILE_NAME{"file_name", FILE_NAME_F};

// ---- node leaf data, by opcode -------------------------------------------

inline constexpr std::array<FIELD_DESC, 0> NO_FIELDS{};
inline constexpr auto NODE_LABEL_F = fields(f("label", ENC::ULEB));
inline constexpr auto NODE_NAME_F = fields(f("level", ENC::ULEB), f("index", ENC::ULEB));
inline constexpr auto NODE_SCON_F = fields(f("bytes", ENC::COUNTED));
// The value of an integer constant is signed LEB128 exactly when the node's
// type (field 1 of the head) is a signed type.
inline constexpr auto NODE_ICON_F = fields(signed_by("value", 1));
inline constexpr auto NODE_TEXT_F = fields(f("text", ENC::STRING));
inline constexpr auto NODE_FIELD_F =
    fields(f("byte", ENC::I8), f("member", ENC::ULEB), f("class", ENC::TYPEREF));
inline constexpr auto NODE_NUMBER_F = fields(f("number", ENC::ULEB));
inline constexpr auto NODE_CALL_F = fields(f("extra", ENC::ULEB), f("eht", ENC::ULEB));
inline constexpr auto NODE_UCALL_F = fields(f("eht", ENC::ULEB));
inline constexpr auto NODE_EPVAL_F = fields(f("weight", ENC::ULEB));
inline constexpr auto NODE_DDNODE_F =
    fields(f("id", ENC::ULEB), f("locale", ENC::ULEB), f("flags", ENC::U8));
inline constexpr auto NODE_NAMED_CALL_F = fields(f("name", ENC::STRING));
inline constexpr auto NODE_VREG_F = fields(f("reg", ENC::SLEB));

inline constexpr LAYOUT_PART NODE_NONE{"", NO_FIELDS};
inline constexpr LAYOUT_PART NODE_LABEL{"", NODE_LABEL_F};
inline constexpr LAYOUT_PART NODE_NAME{"", NODE_NAME_F};
inline constexpr LAYOUT_PART NODE_SCON{"", NODE_SCON_F};
inline constexpr LAYOUT_PART NODE_ICON{"", NODE_ICON_F};
inline constexpr LAYOUT_PART NODE_TEXT{"", NODE_TEXT_F};
inline constexpr LAYOUT_PART NODE_FIELD{"", NODE_FIELD_F};
inline constexpr LAYOUT_PART NODE_NUMBER{"", NODE_NUMBER_F};
inline constexpr LAYOUT_PART NODE_CALL{"", NODE_CALL_F};
inline constexpr LAYOUT_PART NODE_UCALL{"", NODE_UCALL_F};
inline constexpr LAYOUT_PART NODE_EPVAL{"", NODE_EPVAL_F};
inline constexpr LAYOUT_PART NODE_DDNODE{"", NODE_DDNODE_F};
inline constexpr LAYOUT_PART NODE_NAMED_CALL{"", NODE_NAMED_CALL_F};
inline constexpr LAYOUT_PART NODE_VREG{"", NODE_VREG_F};

// ---- type records, by type code --------------------------------------------

inline constexpr auto INTEGRAL_F =
    fields(f("explicit_sign", ENC::BOOL), f("size", ENC::ULEB), f("align", ENC::ULEB),
           f("flag1", ENC::BOOL), f("flag2", ENC::BOOL));
inline constexpr auto FLOATING_F = fields(f("size", ENC::ULEB), f("align", ENC::ULEB));
inline constexpr auto FIXED_F =
    fields(f("byte1", ENC::I8), f("byte2", ENC::U8), f("base", ENC::TYPEREF), f("size", ENC::ULEB),
           f("align", ENC::ULEB));
inline constexpr auto TYPEDEF_F =
    fields(f("name", ENC::STRING), f("base", ENC::TYPEREF), f("size", ENC::ULEB),
           f("align", ENC::ULEB), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL), f("pos", ENC::POS));
inline constexpr auto POINTER_F =
    fields(f("pointee", ENC::TYPEREF), f("size", ENC::ULEB), f("align", ENC::ULEB));
inline constexpr auto REFERENCE_F =
    fields(f("target", ENC::TYPEREF), f("size", ENC::ULEB), f("align", ENC::ULEB));
inline constexpr auto QUALIFIED_F = fields(f("base", ENC::TYPEREF), f("quals", ENC::ULEB),
                                           f("size", ENC::ULEB), f("align", ENC::ULEB));
inline constexpr auto ARRAY_F =
    fields(f("elem", ENC::TYPEREF), f("count", ENC::ULEB), f("size", ENC::ULEB),
           f("align", ENC::ULEB), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL),
           since(-76, "vector", ENC::BOOL), between(-75, -74, "ignored", ENC::BOOL));
inline constexpr auto PTRMEM_F = fields(f("pointee", ENC::TYPEREF), f("class", ENC::TYPEREF),
                                        f("size", ENC::ULEB), f("align", ENC::ULEB));
inline constexpr auto FUNCTION_F =
    fields(f("ret", ENC::TYPEREF), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL), f("byte", ENC::U8),
           f("flag3", ENC::BOOL));
inline constexpr auto ENUM_F =
    fields(f("name", ENC::STRING), f("size", ENC::ULEB), f("align", ENC::ULEB),
           f("base", ENC::TYPEREF), since(-81, "mangled", ENC::BOOL), f("pos", ENC::POS));
inline constexpr auto CSU_F =
    fields(f("csu", ENC::U8), f("name", ENC::STRING), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL),
           f("size", ENC::ULEB), f("align", ENC::ULEB), f("has_fields", ENC::BOOL),
           since(-84, "flag3", ENC::BOOL), since(-81, "mangled", ENC::BOOL), f("pos", ENC::POS));
inline constexpr auto CSU_LISTS_F = fields(
    f("csu", ENC::U8), f("name", ENC::STRING), f("flag1", ENC::BOOL), f("flag2", ENC::BOOL),
    f("size", ENC::ULEB), f("align", ENC::ULEB), f("extra", ENC::ULEB), f("list2", ENC::BOOL),
    f("list3", ENC::BOOL), f("list4", ENC::BOOL), f("list5", ENC::BOOL), f("list6", ENC::BOOL),
    f("list7", ENC::BOOL), f("list8", ENC::BOOL), f("list9", ENC::BOOL), f("list0", ENC::BOOL),
    since(-84, "flag3", ENC::BOOL), since(-81, "mangled", ENC::BOOL), f("pos", ENC::POS));
inline constexpr auto COMPLEX_F =
    fields(f("size", ENC::ULEB), f("align", ENC::ULEB), f("part", ENC::TYPEREF));
inline constexpr auto LIST_F = fields(f("list", ENC::U8));
// Members of attribute lists; the record's id names the owner.
inline constexpr auto PARAM_F = fields(f("type", ENC::TYPEREF), f("flag", ENC::BOOL),
                                       f("number", ENC::ULEB), f("name", ENC::STRING));
// An enumerator's value is signed exactly when its enum (the owner, field 0
// of the head) has a signed underlying type.
inline constexpr auto ENUMERATOR_F =
    fields(f("name", ENC::STRING), signed_by("value", 0), f("pos", ENC::POS));
inline constexpr auto BASE_CLASS_F = fields(f("type", ENC::TYPEREF), f("offset", ENC::SLEB),
                                            f("byte", ENC::U8), f("flag", ENC::BOOL));
inline constexpr auto MEMBER3_F = fields(f("type", ENC::TYPEREF), f("byte", ENC::U8));
inline constexpr auto MEMBER4_F = fields(f("name", ENC::STRING), f("type", ENC::TYPEREF));
inline constexpr auto TYPE_ONLY_F = fields(f("type", ENC::TYPEREF));
// Fields: the byte after the offset exists from version -74 on; the oldest
// version orders the tail is-bit-field, width, one flag.
inline constexpr auto FIELD_F =
    fields(f("member", ENC::ULEB), f("name", ENC::STRING), f("type", ENC::TYPEREF),
           f("byte1", ENC::U8), f("offset", ENC::SLEB), since(-74, "byte2", ENC::U8),
           between(-86, -86, "is_bitfield", ENC::BOOL), f("width", ENC::ULEB),
           since(-85, "is_bitfield", ENC::BOOL), f("flag1", ENC::BOOL),
           since(-85, "flag2", ENC::BOOL), f("pos", ENC::POS));
inline constexpr auto MEMBER8_F =
    fields(f("name", ENC::STRING), f("type", ENC::TYPEREF), f("byte", ENC::U8));
inline constexpr auto MEMBER9_F = fields(
    f("name", ENC::STRING), f("type", ENC::TYPEREF), f("byte", ENC::U8), f("number", ENC::SLEB),
    f("flag1", ENC::BOOL), f("flag2", ENC::BOOL), f("flag3", ENC::BOOL), f("flag4", ENC::BOOL));

inline constexpr LAYOUT_PART T_BOOL{"bool", INTEGRAL_F};
inline constexpr LAYOUT_PART T_CHAR{"char", INTEGRAL_F};
inline constexpr LAYOUT_PART T_UCHAR{"uchar", INTEGRAL_F};
inline constexpr LAYOUT_PART T_WCHAR{"wchar", INTEGRAL_F};
inline constexpr LAYOUT_PART T_SHORT{"short", INTEGRAL_F};
inline constexpr LAYOUT_PART T_USHORT{"ushort", INTEGRAL_F};
inline constexpr LAYOUT_PART T_INT{"int", INTEGRAL_F};
inline constexpr LAYOUT_PART T_UINT{"uint", INTEGRAL_F};
inline constexpr LAYOUT_PART T_LONG{"long", INTEGRAL_F};
inline constexpr LAYOUT_PART T_ULONG{"ulong", INTEGRAL_F};
inline constexpr LAYOUT_PART T_LLONG{"llong", INTEGRAL_F};
inline constexpr LAYOUT_PART T_ULLONG{"ullong", INTEGRAL_F};
inline constexpr LAYOUT_PART T_FLOAT{"float", FLOATING_F};
inline constexpr LAYOUT_PART T_DOUBLE{"double", FLOATING_F};
inline constexpr LAYOUT_PART T_LDOUBLE{"ldouble", FLOATING_F};
inline constexpr LAYOUT_PART T_FIXED{"fixed", FIXED_F};
inline constexpr LAYOUT_PART T_TYPEDEF{"typedef", TYPEDEF_F};
inline constexpr LAYOUT_PART T_POINTER{"pointer", POINTER_F};
inline constexpr LAYOUT_PART T_REFERENCE{"reference", REFERENCE_F};
inline constexpr LAYOUT_PART T_QUALIFIED{"qualified", QUALIFIED_F};
inline constexpr LAYOUT_PART T_ARRAY{"array", ARRAY_F};
inline constexpr LAYOUT_PART T_PTRMEM{"ptrmem", PTRMEM_F};
inline constexpr LAYOUT_PART T_FUNCTION{"function", FUNCTION_F};
inline constexpr LAYOUT_PART T_ENUM{"enum", ENUM_F};
inline constexpr LAYOUT_PART T_CSU{"csu", CSU_F};
inline constexpr LAYOUT_PART T_CSU_LISTS{"csu_lists", CSU_LISTS_F};
inline constexpr LAYOUT_PART T_COMPLEX{"complex", COMPLEX_F};
inline constexpr LAYOUT_PART T_VOID{"void", NO_FIELDS};
inline constexpr LAYOUT_PART T_OPEN_LIST{"open", LIST_F};
inline constexpr LAYOUT_PART T_CLOSE_LIST{"close", LIST_F};
inline constexpr LAYOUT_PART T_PARAM{"param", PARAM_F};
inline constexpr LAYOUT_PART T_ENUMERATOR{"enumerator", ENUMERATOR_F};
inline constexpr LAYOUT_PART T_BASE_CLASS{"base_class", BASE_CLASS_F};
inline constexpr LAYOUT_PART T_MEMBER3{"member3", MEMBER3_F};
inline constexpr LAYOUT_PART T_MEMBER4{"member4", MEMBER4_F};
inline constexpr LAYOUT_PART T_MEMBER5{"member5", TYPE_ONLY_F};
inline constexpr LAYOUT_PART T_MEMBER6{"member6", TYPE_ONLY_F};
inline constexpr LAYOUT_PART T_FIELD{"field", FIELD_F};
inline constexpr LAYOUT_PART T_MEMBER8{"member8", MEMBER8_F};
inline constexpr LAYOUT_PART T_MEMBER9{"member9", MEMBER9_F};

// ---- the drop-only kind 108, by sub-kind ------------------------------------

// The tail's names continue after the head's "a", so that every field of a
// record has a name of its own in the text form.
inline constexpr auto DROP108_0_F =
    fields(f("b", ENC::ULEB), f("c", ENC::SLEB), f("type", ENC::TYPEREF), f("d", ENC::SLEB),
           f("e", ENC::ULEB));
inline constexpr auto DROP108_1_F =
    fields(f("b", ENC::ULEB), f("c", ENC::ULEB), f("type", ENC::TYPEREF), f("d", ENC::SLEB),
           f("e", ENC::ULEB));
inline constexpr auto DROP108_2_F = fields(f("b", ENC::ULEB));
inline constexpr LAYOUT_PART DROP108_0{"0", DROP108_0_F};
inline constexpr LAYOUT_PART DROP108_1{"1", DROP108_1_F};
inline constexpr LAYOUT_PART DROP108_2{"2", DROP108_2_F};

constexpr const LAYOUT_PART* drop108_select(int64_t sub) {
    switch (sub) {
        case 0: return &DROP108_0;
        case 1: return &DROP108_1;
        case 2: return &DROP108_2;
        default: return nullptr;
    }
}

}  // namespace layout_table

constexpr const LAYOUT_PART* node_leaf_layout(int64_t opcode) {
    using namespace layout_table;
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

namespace layout_table {

struct TYPE_CODE_PART {
    TYPE_CODE code;
    const LAYOUT_PART* part;
};

// Every type code with a layout.
inline constexpr TYPE_CODE_PART TYPE_PARTS[] = {
    {TC_BOOL, &T_BOOL},
    {TC_CHAR, &T_CHAR},
    {TC_UCHAR, &T_UCHAR},
    {TC_WCHAR, &T_WCHAR},
    {TC_SHORT, &T_SHORT},
    {TC_USHORT, &T_USHORT},
    {TC_INT, &T_INT},
    {TC_UINT, &T_UINT},
    {TC_LONG, &T_LONG},
    {TC_ULONG, &T_ULONG},
    {TC_LLONG, &T_LLONG},
    {TC_ULLONG, &T_ULLONG},
    {TC_FLOAT, &T_FLOAT},
    {TC_DOUBLE, &T_DOUBLE},
    {TC_LDOUBLE, &T_LDOUBLE},
    {TC_FIXED, &T_FIXED},
    {TC_TYPEDEF, &T_TYPEDEF},
    {TC_POINTER, &T_POINTER},
    {TC_REFERENCE, &T_REFERENCE},
    {TC_QUALIFIED, &T_QUALIFIED},
    {TC_ARRAY, &T_ARRAY},
    {TC_PTRMEM, &T_PTRMEM},
    {TC_FUNCTION, &T_FUNCTION},
    {TC_ENUM, &T_ENUM},
    {TC_CSU, &T_CSU},
    {TC_CSU_LISTS, &T_CSU_LISTS},
    {TC_COMPLEX, &T_COMPLEX},
    {TC_VOID, &T_VOID},
    {TC_OPEN_LIST, &T_OPEN_LIST},
    {TC_CLOSE_LIST, &T_CLOSE_LIST},
    {TC_PARAM, &T_PARAM},
    {TC_ENUMERATOR, &T_ENUMERATOR},
    {TC_BASE_CLASS, &T_BASE_CLASS},
    {TC_MEMBER3, &T_MEMBER3},
    {TC_MEMBER4, &T_MEMBER4},
    {TC_MEMBER5, &T_MEMBER5},
    {TC_MEMBER6, &T_MEMBER6},
    {TC_FIELD, &T_FIELD},
    {TC_MEMBER8, &T_MEMBER8},
    {TC_MEMBER9, &T_MEMBER9},
};

// The drop-only kind 108 has sub-kinds 0 to DROP108_SUBKINDS - 1.
inline constexpr int DROP108_SUBKINDS = 3;

}  // namespace layout_table

constexpr const LAYOUT_PART* type_code_layout(int64_t code) {
    for (const auto& entry : layout_table::TYPE_PARTS)
        if (entry.code == code) return entry.part;
    return nullptr;
}

namespace layout_table {

constexpr RECORD_LAYOUT plain(RECORD_KIND kind, const LAYOUT_PART& head,
                              DEPTH_EFFECT depth = DEPTH_EFFECT::NONE) {
    return RECORD_LAYOUT{kind, head.name, head.fields, -1, nullptr, depth, &head};
}
constexpr RECORD_LAYOUT selecting(RECORD_KIND kind, const LAYOUT_PART& head, int select_by,
                                  const LAYOUT_PART* (*select)(int64_t)) {
    return RECORD_LAYOUT{kind,   head.name,          head.fields, select_by,
                         select, DEPTH_EFFECT::NONE, &head};
}

// Every record kind with a payload, in kind order.
inline constexpr RECORD_LAYOUT RECORD_LAYOUTS[] = {
    plain(REC_FUNC_BEGIN, FUNC_BEGIN, DEPTH_EFFECT::ENTER_FUNCTION),
    plain(REC_FUNC_END, FUNC_END, DEPTH_EFFECT::LEAVE_FUNCTION),
    plain(REC_BLOCK_BEGIN, BLOCK_BEGIN, DEPTH_EFFECT::OPEN_BLOCK),
    plain(REC_BLOCK_END, BLOCK_END, DEPTH_EFFECT::CLOSE_BLOCK),
    plain(REC_BODY_BEGIN, BODY_BEGIN, DEPTH_EFFECT::OPEN_BODY),
    plain(REC_MARK, MARK),
    plain(REC_HEADER, HEADER),
    plain(REC_OPAQUE, OPAQUE),
    plain(REC_SYMBOL, SYMBOL),
    plain(REC_TEXT_AT, TEXT_AT),
    plain(REC_DROP_38, DROP_38),
    plain(REC_LABEL, LABEL),
    plain(REC_DROP_45, DROP_45),
    plain(REC_EXPR_STMT, EXPR_STMT),
    plain(REC_TEXT, TEXT),
    plain(REC_DROP_58, DROP_58),
    plain(REC_DROP_59, DROP_59),
    plain(REC_EHT_CATCHES, EHT_CATCHES),
    plain(REC_DROP_64, DROP_64),
    plain(REC_EHT_ENTRY, EHT_ENTRY),
    plain(REC_EHT, EHT),
    plain(REC_PRAGMA, PRAGMA),
    selecting(REC_NODE, NODE, 0, &node_leaf_layout),
    plain(REC_INIT, INIT),
    selecting(REC_DROP_108, DROP_108, 1, &drop108_select),
    plain(REC_STRING_LIST, STRING_LIST),
    selecting(REC_TYPE, TYPE, 1, &type_code_layout),
    plain(REC_DROP_123, DROP_123, DEPTH_EFFECT::ENTER_FUNCTION),
    plain(REC_DROP_124, DROP_124),
    plain(REC_DROP_125, DROP_125, DEPTH_EFFECT::LEAVE_FUNCTION),
    plain(REC_FILE_NAME, FILE_NAME),
};

// The place of each kind's layout in RECORD_LAYOUTS, -1 for none.
constexpr std::array<int8_t, 256> layout_places() {
    std::array<int8_t, 256> places{};
    for (auto& p : places) p = -1;
    for (size_t i = 0; i < std::size(RECORD_LAYOUTS); ++i)
        places[RECORD_LAYOUTS[i].kind] = int8_t(i);
    return places;
}
inline constexpr std::array<int8_t, 256> LAYOUT_PLACES = layout_places();

}  // namespace layout_table

inline const RECORD_LAYOUT* layout_of(uint8_t kind) {
    const int place = layout_table::LAYOUT_PLACES[kind];
    return place < 0 ? nullptr : &layout_table::RECORD_LAYOUTS[place];
}

}  // namespace icode
