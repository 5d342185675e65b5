// Record payloads through their layouts: exact bytes of the fields whose
// encoding depends on a type or on the format version, round trips of every
// kind of field, and payloads that do not fit their layout.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "icode/record_codec.h"

namespace {

using namespace icode;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += char(b);
    return s;
}

// Type 6 is signed (int), type 7 unsigned; nothing else is known.
class TWO_TYPES : public SIGN_ORACLE {
public:
    bool is_signed(uint32_t id) const override { return id == 6; }
};

std::string encode(const RECORD& rec, int version, const SIGN_ORACLE* oracle = nullptr) {
    BYTE_SINK out;
    std::string why;
    EXPECT_TRUE(encode_payload(rec, out, CODEC_CONTEXT{version, oracle}, &why)) << why;
    return out.bytes();
}

RECORD decode(uint8_t kind, const std::string& payload, int version,
              const SIGN_ORACLE* oracle = nullptr, size_t* used = nullptr) {
    RECORD rec;
    decode_payload(rec, kind, reinterpret_cast<const uint8_t*>(payload.data()), payload.size(),
                   CODEC_CONTEXT{version, oracle}, used);
    return rec;
}

std::string decode_error(uint8_t kind, const std::string& payload, int version = -71) {
    try {
        decode(kind, payload, version);
    } catch (const DECODE_ERROR& e) {
        return e.what();
    }
    return "(decoded)";
}

RECORD icon(uint32_t type, int64_t value) {
    RECORD rec;
    rec.start(REC_NODE, -71, 4);
    rec.value("type")->num = type;
    rec.value("value")->num = value;
    return rec;
}

TEST(RecordCodec, IntegerConstantFollowsTheSignOfItsType) {
    TWO_TYPES types;
    // opcode 4, type, then the value.
    EXPECT_EQ(encode(icon(6, -1), -71, &types), bytes({0x04, 0x06, 0x7f}));
    EXPECT_EQ(encode(icon(7, 4294967295LL), -71, &types),
              bytes({0x04, 0x07, 0xff, 0xff, 0xff, 0xff, 0x0f}));
    // 64 needs two bytes as SLEB and one as ULEB.
    EXPECT_EQ(encode(icon(6, 64), -71, &types), bytes({0x04, 0x06, 0xc0, 0x00}));
    EXPECT_EQ(encode(icon(7, 64), -71, &types), bytes({0x04, 0x07, 0x40}));

    EXPECT_EQ(decode(REC_NODE, bytes({0x04, 0x06, 0x7f}), -71, &types).num("value"), -1);
    EXPECT_EQ(decode(REC_NODE, bytes({0x04, 0x07, 0x7f}), -71, &types).num("value"), 127);
    // Without an oracle every type counts as unsigned.
    EXPECT_EQ(decode(REC_NODE, bytes({0x04, 0x06, 0x7f}), -71).num("value"), 127);
}

TEST(RecordCodec, EnumeratorValueFollowsTheSignOfItsEnum) {
    TWO_TYPES types;
    RECORD rec;
    rec.start(REC_TYPE, -71, 23);
    rec.value("id")->num = 6;  // the owner: an enum over a signed type
    rec.value("name")->text = "A";
    rec.value("value")->num = -2;
    EXPECT_EQ(encode(rec, -71, &types), bytes({0x06, 23, 'A', 0, 0x7e, 0x00}));
    rec.value("id")->num = 7;
    rec.value("value")->num = 0xfffffffe;
    EXPECT_EQ(encode(rec, -71, &types),
              bytes({0x07, 23, 'A', 0, 0xfe, 0xff, 0xff, 0xff, 0x0f, 0x00}));
}

TEST(RecordCodec, PositionWithoutFileIsOneByte) {
    RECORD rec;
    rec.start(REC_FUNC_END, -71);
    EXPECT_EQ(encode(rec, -71), bytes({0x00}));
    rec.value("pos")->pos = POS_VALUE{1, 300, 2};
    EXPECT_EQ(encode(rec, -71), bytes({0x01, 0xac, 0x02, 0x02}));

    // Nothing after a zero file index belongs to the position.
    size_t used = 0;
    RECORD back = decode(REC_FUNC_END, bytes({0x00, 0x05, 0x06}), -71, nullptr, &used);
    EXPECT_EQ(used, 1u);
    EXPECT_EQ(back.value("pos")->pos.file, 0u);
}

// Sets a field when the record has it in its version.
void set(RECORD& rec, const char* name, int64_t v) {
    if (FIELD_VALUE* f = rec.value(name)) f->num = v;
}
void set_text(RECORD& rec, const char* name, const char* v) {
    if (FIELD_VALUE* f = rec.value(name)) f->text = v;
}

RECORD array_type(int version) {
    RECORD rec;
    rec.start(REC_TYPE, version, 18);
    set(rec, "id", 5);
    set(rec, "elem", 3);
    set(rec, "count", 4);
    set(rec, "size", 64);
    set(rec, "align", 16);
    set(rec, "vector", 1);
    set(rec, "ignored", 1);
    return rec;
}

RECORD field_member(int version) {
    RECORD rec;
    rec.start(REC_TYPE, version, 28);
    set(rec, "id", 5);
    set(rec, "member", 1);
    set_text(rec, "name", "f");
    set(rec, "type", 3);
    set(rec, "offset", -8);
    set(rec, "byte2", 2);
    set(rec, "width", 5);
    set(rec, "is_bitfield", 1);
    set(rec, "flag1", 1);
    set(rec, "flag2", 1);
    return rec;
}

RECORD enum_type(int version) {
    RECORD rec;
    rec.start(REC_TYPE, version, 22);
    set(rec, "id", 5);
    set_text(rec, "name", "E");
    set(rec, "size", 16);
    set(rec, "align", 16);
    set(rec, "base", 3);
    set(rec, "mangled", 1);
    return rec;
}

RECORD csu_type(int version, int code) {
    RECORD rec;
    rec.start(REC_TYPE, version, code);
    set(rec, "id", 5);
    set_text(rec, "name", "S");
    set(rec, "size", 32);
    set(rec, "align", 16);
    set(rec, "has_fields", 1);
    set(rec, "list7", 1);
    set(rec, "flag3", 1);
    set(rec, "mangled", 1);
    return rec;
}

RECORD symbol(int version) {
    RECORD rec;
    rec.start(REC_SYMBOL, version);
    set_text(rec, "name", "x");
    set(rec, "ref", 3);
    return rec;
}

struct VERSION_CASE {
    const char* what;
    RECORD rec;
    int version;
    std::string payload;
};

TEST(RecordCodec, VersionDependentFieldsAtEachBoundary) {
    const std::string array_head = bytes({5, 18, 3, 4, 64, 16, 0, 0});
    const std::string field_head = bytes({5, 28, 1, 'f', 0, 3, 0, 0x78});
    const std::string enum_head = bytes({5, 22, 'E', 0, 16, 16, 3});
    const std::string csu_head = bytes({5, 24, 0, 'S', 0, 0, 0, 32, 16, 1});
    // code 25: csu .. align, extra, then lists 2..9 and 0 (list 7 set).
    const std::string lists_head =
        bytes({5, 25, 0, 'S', 0, 0, 0, 32, 16, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0});
    const std::string symbol_head = bytes({'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const std::vector<VERSION_CASE> cases = {
        // vector from -76 on; one more ignored bool at -75 and -74.
        {"array", array_type(-77), -77, array_head},
        {"array", array_type(-76), -76, array_head + bytes({1})},
        {"array", array_type(-75), -75, array_head + bytes({1, 1})},
        {"array", array_type(-74), -74, array_head + bytes({1, 1})},
        {"array", array_type(-73), -73, array_head + bytes({1})},
        // the byte after the offset from -74 on; at -86 is-bit-field comes
        // before the width and there is no second flag.
        {"field", field_member(-74), -74, field_head + bytes({2, 5, 1, 1, 1, 0})},
        {"field", field_member(-75), -75, field_head + bytes({5, 1, 1, 1, 0})},
        {"field", field_member(-85), -85, field_head + bytes({5, 1, 1, 1, 0})},
        {"field", field_member(-86), -86, field_head + bytes({1, 5, 1, 0})},
        // the mangled-name flag from -81 on.
        {"enum", enum_type(-82), -82, enum_head + bytes({0})},
        {"enum", enum_type(-81), -81, enum_head + bytes({1, 0})},
        // csu: flag3 from -84 on, mangled from -81 on.
        {"csu", csu_type(-85, 24), -85, csu_head + bytes({0})},
        {"csu", csu_type(-84, 24), -84, csu_head + bytes({1, 0})},
        {"csu", csu_type(-82, 24), -82, csu_head + bytes({1, 0})},
        {"csu", csu_type(-81, 24), -81, csu_head + bytes({1, 1, 0})},
        {"csu_lists", csu_type(-85, 25), -85, lists_head + bytes({0})},
        {"csu_lists", csu_type(-84, 25), -84, lists_head + bytes({1, 0})},
        {"csu_lists", csu_type(-81, 25), -81, lists_head + bytes({1, 1, 0})},
        // the reference state only in the newest version.
        {"symbol", symbol(-72), -72, symbol_head},
        {"symbol", symbol(-71), -71, symbol_head + bytes({3})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " at " + std::to_string(c.version));
        EXPECT_EQ(encode(c.rec, c.version), c.payload);
        size_t used = 0;
        RECORD back = decode(c.rec.kind, c.payload, c.version, nullptr, &used);
        EXPECT_EQ(used, c.payload.size());
        BYTE_SINK again;
        ASSERT_TRUE(encode_payload(back, again, CODEC_CONTEXT{c.version, nullptr}));
        EXPECT_EQ(again.bytes(), c.payload);
    }
}

TEST(RecordCodec, HeaderVersionDecidesTheReservedField) {
    // magic, version, target 700, five offsets, name "u", then maybe the
    // reserved u32.  The header takes its version from its own field,
    // whatever version the context says.
    auto header = [](int version) {
        std::string p = std::string("!<icode>\n", 9) + '\0';
        p += char(version & 0xff);
        p += char((version >> 8) & 0xff);
        p += bytes({0xbc, 0x02});
        p += std::string(20, '\0');
        p += bytes({'u', 0});
        return p;
    };
    size_t used = 0;
    RECORD old = decode(REC_HEADER, header(-84), -71, nullptr, &used);
    EXPECT_EQ(used, header(-84).size());
    EXPECT_EQ(old.num("version"), -84);
    EXPECT_EQ(old.num("target"), 700);
    EXPECT_EQ(old.find("reserved"), -1);

    RECORD cur = decode(REC_HEADER, header(-83) + bytes({1, 0, 0, 0}), -71);
    EXPECT_EQ(cur.num("reserved"), 1);
    EXPECT_EQ(decode_error(REC_HEADER, header(-83)), "record ends inside a field");
}

TEST(RecordCodec, EveryKindOfFieldRoundTrips) {
    RECORD opaque;
    opaque.start(REC_OPAQUE, -71);
    opaque.value("pos")->pos = POS_VALUE{2, 7, 1};
    opaque.value("bytes")->text = std::string("\0\xff\x01", 3);

    RECORD catches;
    catches.start(REC_EHT_CATCHES, -71);
    catches.value("items")->catches = {{"int", 3, 1}, {"", 0, 0}};

    RECORD shorts;
    shorts.start(REC_DROP_59, -71);
    shorts.value("a")->num = 300;
    shorts.value("values")->shorts = {1, 0xffff, 0x1234};

    RECORD pragma;
    pragma.start(REC_PRAGMA, -71);
    pragma.value("kind")->num = 2;
    pragma.value("args")->strings = {".ppdata", ""};

    RECORD scon;
    scon.start(REC_NODE, -71, 3);
    scon.value("bytes")->text = std::string("a\0b", 3);

    RECORD header;
    header.start(REC_HEADER, -71);
    header.value("version")->num = -71;
    header.value("strings")->num = 0xffffffffLL;
    header.value("reserved")->num = 0x01020304;

    for (const RECORD* rec : {&opaque, &catches, &shorts, &pragma, &scon, &header}) {
        SCOPED_TRACE(rec->layout->name);
        std::string payload = encode(*rec, -71);
        RECORD back = decode(rec->kind, payload, -71);
        ASSERT_EQ(back.field_count(), rec->field_count());
        for (size_t i = 0; i < back.field_count(); ++i) {
            const FIELD_VALUE& a = rec->values[i];
            const FIELD_VALUE& b = back.values[i];
            EXPECT_EQ(a.num, b.num) << rec->desc(i).name;
            EXPECT_EQ(a.text, b.text) << rec->desc(i).name;
            EXPECT_EQ(a.strings, b.strings) << rec->desc(i).name;
            EXPECT_EQ(a.shorts, b.shorts) << rec->desc(i).name;
            EXPECT_EQ(a.catches.size(), b.catches.size()) << rec->desc(i).name;
            EXPECT_EQ(a.pos.file, b.pos.file);
            EXPECT_EQ(a.pos.line, b.pos.line);
        }
    }
    EXPECT_EQ(encode(shorts, -71), bytes({0xac, 0x02, 0, 3, 1, 0, 0xff, 0xff, 0x34, 0x12}));
    EXPECT_EQ(encode(catches, -71), bytes({'i', 'n', 't', 0, 3, 1, 0, 0, 0}));
}

TEST(RecordCodec, PayloadsThatDoNotFitTheirLayout) {
    EXPECT_EQ(decode_error(REC_LABEL, ""), "record ends inside a field");
    EXPECT_EQ(decode_error(7, bytes({1})), "record kind without layout");
    EXPECT_EQ(decode_error(REC_NODE, bytes({164, 1})), "no layout for node opcode 164");
    EXPECT_EQ(decode_error(REC_TYPE, bytes({1, 26})), "no layout for type code 26");
    EXPECT_EQ(decode_error(REC_DROP_108, bytes({0, 3})), "no layout for drop108 sub 3");
    EXPECT_EQ(decode_error(REC_TEXT, bytes({'a', 'b'})), "string without terminator");
    EXPECT_EQ(decode_error(REC_NODE, bytes({3, 0, 5, 'a'})), "counted bytes run past the record");
    // A list count can never ask for more elements than there are bytes.
    EXPECT_EQ(decode_error(REC_PRAGMA, bytes({1, 0xc8, 0x01, 'a', 0})),
              "count runs past the record");
    EXPECT_EQ(decode_error(REC_DROP_59, bytes({0, 0, 2, 1, 0})), "count runs past the record");

    // Bytes after the last field are left to the caller.
    size_t used = 0;
    decode(REC_LABEL, bytes({5, 9, 9}), -71, nullptr, &used);
    EXPECT_EQ(used, 1u);

    RECORD many;
    many.start(REC_DROP_59, -71);
    many.value("values")->shorts.assign(256, 0);
    BYTE_SINK out;
    std::string why;
    EXPECT_FALSE(encode_payload(many, out, CODEC_CONTEXT{}, &why));
    EXPECT_EQ(why, "more than 255 values");
}

TEST(RecordLayouts, EveryFormatKindAndCodeHasOne) {
    const std::set<int> kinds = {1,   2,   3,   4,   5,   6,   8,   34,  35, 36, 38,
                                 42,  45,  46,  47,  58,  59,  63,  64,  91, 93, 94,
                                 101, 105, 108, 111, 116, 123, 124, 125, 126};
    for (int k = 0; k < 256; ++k) {
        SCOPED_TRACE(k);
        const RECORD_LAYOUT* l = layout_of(uint8_t(k));
        EXPECT_EQ(l != nullptr, kinds.count(k) != 0);
        if (l) {
            EXPECT_EQ(layout_named(l->name), l) << "keywords are unique";
        }
    }
    const std::set<int> codes = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,  11, 12, 13,
                                 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,  25, 28, 29,
                                 30, 31, 32, 33, 34, 35, 36, 49, 50, 51, 254, 255};
    for (int c = 0; c < 256; ++c) {
        SCOPED_TRACE(c);
        const LAYOUT_PART* part = type_code_layout(c);
        EXPECT_EQ(part != nullptr, codes.count(c) != 0);
        if (part) {
            EXPECT_EQ(type_code_named(part->name), c) << "type code names are unique";
        }
    }
    for (int op = 0; op <= 163; ++op) EXPECT_NE(node_leaf_layout(op), nullptr) << op;
    EXPECT_EQ(node_leaf_layout(164), nullptr);
    EXPECT_EQ(node_leaf_layout(255), nullptr);
}

TEST(RecordLayouts, FieldNamesAreUniqueWithinEachVersion) {
    // The text form finds fields by name, so two fields present in the same
    // version must not share one.
    auto check = [](RECORD& rec, int version) {
        std::set<std::string> seen;
        for (size_t i = 0; i < rec.field_count(); ++i)
            if (rec.values[i].present) {
                EXPECT_TRUE(seen.insert(rec.desc(i).name).second)
                    << rec.layout->name << " " << rec.desc(i).name << " at " << version;
            }
    };
    for (int version = -86; version <= -71; ++version) {
        for (int k = 0; k < 256; ++k) {
            RECORD rec;
            if (!layout_of(uint8_t(k))) continue;
            if (!layout_of(uint8_t(k))->select) {
                rec.start(uint8_t(k), version);
                check(rec, version);
                continue;
            }
            for (int sel = 0; sel < 256; ++sel)
                if (rec.start(uint8_t(k), version, sel)) check(rec, version);
        }
    }
}

}  // namespace
