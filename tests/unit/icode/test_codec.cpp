// The byte encodings and record payloads: shortest LEB128 forms at their
// limits, the exact bytes of fields whose
// encoding depends on a type's sign or on the format version, round trips of
// every kind of field, and payloads that do not fit their layout.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "icode/encoding.h"
#include "icode/record_codec.h"

namespace {

using namespace icode;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += char(b);
    return s;
}
BYTE_SOURCE source_of(const std::string& s) {
    return BYTE_SOURCE(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(Encoding, LebShortestFormsAndBack) {
    // {value, SLEB (or ULEB), shortest form}
    const std::vector<std::tuple<int64_t, bool, std::string>> cases = {
        {127, false, bytes({0x7f})},
        {128, false, bytes({0x80, 1})},
        {0x3fff, false, bytes({0xff, 0x7f})},
        {0x4000, false, bytes({0x80, 0x80, 1})},
        {0x1fffff, false, bytes({0xff, 0xff, 0x7f})},
        {0x200000, false, bytes({0x80, 0x80, 0x80, 1})},
        {0xfffffff, false, bytes({0xff, 0xff, 0xff, 0x7f})},
        {0x10000000, false, bytes({0x80, 0x80, 0x80, 0x80, 1})},
        {0xffffffffLL, false, bytes({0xff, 0xff, 0xff, 0xff, 0x0f})},
        {-1, true, bytes({0x7f})},
        {64, true, bytes({0xc0, 0})},
        {-65, true, bytes({0xbf, 0x7f})},
        {INT32_MIN, true, bytes({0x80, 0x80, 0x80, 0x80, 0x78})}};
    for (const auto& [v, is_signed, enc] : cases) {
        EXPECT_EQ(is_signed ? sleb_bytes(int32_t(v)) : uleb_bytes(uint32_t(v)), enc) << v;
        BYTE_SOURCE in = source_of(enc);
        EXPECT_EQ(is_signed ? int64_t(in.get_sleb()) : int64_t(in.get_uleb()), v);
        EXPECT_TRUE(in.at_end());
    }
    // Only a form shorter than 32 bits extends its sign.
    EXPECT_EQ(source_of(bytes({0x80, 0x80, 0x80, 0x40})).get_sleb(), -(1 << 27));
    EXPECT_EQ(source_of(bytes({0x80, 0x80, 0x80, 0x80, 0x70})).get_sleb(), 0);
}

// Type 6 is signed, type 7 unsigned.
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
RECORD decode(uint8_t kind, const std::string& payload, int version = -71,
              const SIGN_ORACLE* oracle = nullptr, size_t* used = nullptr) {
    RECORD rec;
    decode_payload(rec, kind, reinterpret_cast<const uint8_t*>(payload.data()), payload.size(),
                   CODEC_CONTEXT{version, oracle}, used);
    return rec;
}
std::string decode_error(uint8_t kind, const std::string& payload) {
    try {
        decode(kind, payload);
    } catch (const DECODE_ERROR& e) {
        return e.what();
    }
    return "(decoded)";
}
// A record with the given fields set where its version has them.
RECORD make(uint8_t kind, int version, int select,
            std::vector<std::pair<const char*, int64_t>> nums,
            std::vector<std::pair<const char*, const char*>> texts = {}) {
    RECORD rec;
    rec.start(kind, version, select);
    for (const auto& [name, v] : nums)
        if (FIELD_VALUE* f = rec.value(name)) f->num = v;
    for (const auto& [name, v] : texts)
        if (FIELD_VALUE* f = rec.value(name)) f->text = v;
    return rec;
}

TEST(RecordCodec, FieldsFollowTheSignOfTheirType) {
    TWO_TYPES types;
    // ICON: opcode 4, type, then the value as SLEB or ULEB.
    EXPECT_EQ(encode(make(REC_NODE, -71, 4, {{"type", 6}, {"value", 64}}), -71, &types),
              bytes({4, 6, 0xc0, 0}));
    EXPECT_EQ(encode(make(REC_NODE, -71, 4, {{"type", 7}, {"value", 64}}), -71, &types),
              bytes({4, 7, 0x40}));
    EXPECT_EQ(decode(REC_NODE, bytes({4, 6, 0x7f}), -71, &types).num("value"), -1);
    EXPECT_EQ(decode(REC_NODE, bytes({4, 7, 0x7f}), -71, &types).num("value"), 127);
    EXPECT_EQ(decode(REC_NODE, bytes({4, 6, 0x7f})).num("value"), 127) << "no oracle: unsigned";
}

TEST(RecordCodec, VersionDependentFieldsAtEachBoundary) {
    auto array = [](int v) {
        return make(REC_TYPE, v, 18,
                    {{"id", 5},
                     {"elem", 3},
                     {"count", 4},
                     {"size", 64},
                     {"align", 16},
                     {"vector", 1},
                     {"ignored", 1}});
    };
    auto field = [](int v) {
        return make(REC_TYPE, v, 28,
                    {{"id", 5},
                     {"member", 1},
                     {"type", 3},
                     {"offset", -8},
                     {"byte2", 2},
                     {"width", 5},
                     {"is_bitfield", 1},
                     {"flag1", 1},
                     {"flag2", 1}},
                    {{"name", "f"}});
    };
    auto csu = [](int v, int code) {
        return make(REC_TYPE, v, code,
                    {{"id", 5},
                     {"size", 32},
                     {"align", 16},
                     {"has_fields", 1},
                     {"list7", 1},
                     {"flag3", 1},
                     {"mangled", 1},
                     {"base", 3}},
                    {{"name", "S"}});
    };
    auto symbol = [](int v) { return make(REC_SYMBOL, v, 0, {{"ref", 3}}, {{"name", "x"}}); };
    const std::string a = bytes({5, 18, 3, 4, 64, 16, 0, 0}),
                      f = bytes({5, 28, 1, 'f', 0, 3, 0, 0x78}),
                      s = bytes({5, 24, 0, 'S', 0, 0, 0, 32, 16, 1}),
                      y = bytes({'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const std::vector<std::tuple<RECORD, int, std::string>> cases = {
        {array(-77), -77, a},  // vector from -76 on, one more bool at -75 and -74
        {array(-76), -76, a + bytes({1})},
        {array(-75), -75, a + bytes({1, 1})},
        {array(-73), -73, a + bytes({1})},
        // the byte after the offset from -74 on; -86 puts is-bit-field
        // before the width and has no second flag
        {field(-74), -74, f + bytes({2, 5, 1, 1, 1, 0})},
        {field(-75), -75, f + bytes({5, 1, 1, 1, 0})},
        {field(-86), -86, f + bytes({1, 5, 1, 0})},
        {csu(-85, 24), -85, s + bytes({0})},  // flag3 from -84 on, mangled from -81
        {csu(-84, 24), -84, s + bytes({1, 0})},
        {csu(-81, 24), -81, s + bytes({1, 1, 0})},
        {symbol(-72), -72, y},  // the reference state only at -71
        {symbol(-71), -71, y + bytes({3})},
    };
    for (const auto& [rec, version, payload] : cases) {
        SCOPED_TRACE(std::string(rec.layout->name) + " at " + std::to_string(version));
        EXPECT_EQ(encode(rec, version), payload);
        size_t used = 0;
        RECORD back = decode(rec.kind, payload, version, nullptr, &used);
        EXPECT_EQ(used, payload.size());
        EXPECT_EQ(encode(back, version), payload);
    }
}

TEST(RecordCodec, EveryKindOfFieldRoundTrips) {
    RECORD opaque = make(REC_OPAQUE, -71, 0, {});
    opaque.value("pos")->pos = POS_VALUE{2, 300, 7};
    opaque.value("bytes")->text = std::string("\0\xff\x01", 3);
    RECORD catches = make(REC_EHT_CATCHES, -71, 0, {});
    catches.value("items")->catches = {{"int", 3, 1}, {"", 0, 0}};
    RECORD shorts = make(REC_DROP_59, -71, 0, {{"a", 300}});
    shorts.value("values")->shorts = {1, 0xffff, 0x1234};
    RECORD pragma = make(REC_PRAGMA, -71, 0, {{"kind", 2}});
    pragma.value("args")->strings = {".ppdata", ""};
    RECORD scon = make(REC_NODE, -71, 3, {});
    scon.value("bytes")->text = std::string("a\0b", 3);
    RECORD header = make(REC_HEADER, -71, 0,
                         {{"version", -71}, {"strings", 0xffffffffLL}, {"reserved", 0x01020304}});
    EXPECT_EQ(encode(shorts, -71), bytes({0xac, 2, 0, 3, 1, 0, 0xff, 0xff, 0x34, 0x12}));
    EXPECT_EQ(encode(catches, -71), bytes({'i', 'n', 't', 0, 3, 1, 0, 0, 0}));
    EXPECT_EQ(encode(opaque, -71), bytes({2, 0xac, 2, 7, 0, 0xff, 1}));
    EXPECT_EQ(encode(scon, -71), bytes({3, 0, 3, 'a', 0, 'b'}));
    for (const RECORD* rec : {&opaque, &catches, &shorts, &pragma, &scon, &header})
        EXPECT_EQ(encode(decode(rec->kind, encode(*rec, -71)), -71), encode(*rec, -71))
            << rec->layout->name;
    // A position without a file is one byte; nothing after it belongs to it.
    size_t used = 0;
    decode(REC_FUNC_END, bytes({0, 5, 6}), -71, nullptr, &used);
    EXPECT_EQ(used, 1u);
}

TEST(RecordCodec, PayloadsThatDoNotFitTheirLayout) {
    EXPECT_EQ(decode_error(REC_LABEL, ""), "record ends inside a field");
    EXPECT_EQ(decode_error(7, bytes({1})), "record kind without layout");
    EXPECT_EQ(decode_error(REC_NODE, bytes({164, 1})), "no layout for node opcode 164");
    EXPECT_EQ(decode_error(REC_DROP_108, bytes({0, 3})), "no layout for drop108 sub 3");
    EXPECT_EQ(decode_error(REC_NODE, bytes({3, 0, 5, 'a'})), "counted bytes run past the record");
    EXPECT_EQ(decode_error(REC_PRAGMA, bytes({1, 0xc8, 1, 'a', 0})), "count runs past the record");
    EXPECT_EQ(decode_error(REC_DROP_59, bytes({0, 0, 2, 1, 0})), "count runs past the record");
    // A count that exactly fills the rest of the record is read.
    EXPECT_EQ(decode(REC_DROP_59, bytes({0, 0, 1, 5, 0})).value("values")->shorts,
              std::vector<uint16_t>{5});
}

}  // namespace
