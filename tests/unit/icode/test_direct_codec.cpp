// The direct codec against the generic one: for every record kind, every
// tail and versions on both sides of each version-dependent field, a payload
// encoded generically decodes directly to the same values and encodes back
// to the same bytes.  Decoding into reused values reads like decoding into
// fresh ones.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "icode/record_direct.h"
#include "icode/record_direct_read.h"

namespace {

using namespace icode;

// Type 6 is signed, every other unsigned.
class SIGNED_SIX : public SIGN_ORACLE {
public:
    bool is_signed(uint32_t id) const override { return id == 6; }
};

// A value for every field that differs from its neighbours' and uses the
// long forms of the encodings (multi-byte LEBs, negative SLEBs, positions
// with and without file).
void fill(RECORD& rec, int version) {
    for (size_t i = 0; i < rec.field_count(); ++i) {
        const FIELD_DESC& d = rec.desc(i);
        FIELD_VALUE& v = rec.values[i];
        const int64_t k = int64_t(i);
        if (int(i) == rec.layout->select_by) continue;  // set by start()
        switch (d.enc) {
            case ENC::U8:
            case ENC::BOOL: v.num = (k * 37 + 5) & 0xff; break;
            case ENC::I8: v.num = -k - 1; break;
            case ENC::I16: v.num = d.sets_version ? version : -300 - k; break;
            case ENC::U32: v.num = 0x12345678 + k; break;
            case ENC::ULEB: v.num = 200 + 1000 * k; break;
            case ENC::TYPEREF: v.num = k % 2 ? 6 : 7; break;
            case ENC::SLEB:
            case ENC::SIGNED_BY_TYPE: v.num = -70 - k; break;
            case ENC::STRING:
            case ENC::COUNTED:
            case ENC::REST: v.text = "t" + std::to_string(k); break;
            case ENC::POS: v.pos = k % 2 ? POS_VALUE{} : POS_VALUE{1 + uint32_t(k), 300, 7}; break;
            case ENC::STRINGS: v.strings = {"a", "", "bc"}; break;
            case ENC::U16S: v.shorts = {1, 0x1234, 0xffff}; break;
            case ENC::CATCHES: v.catches = {{"x", 700, 1}, {"", 0, 0}}; break;
        }
    }
}

void check(uint8_t kind, int version, int64_t selector) {
    SCOPED_TRACE(std::string(layout_of(kind)->name) + " selector " + std::to_string(selector) +
                 " version " + std::to_string(version));
    SIGNED_SIX signs;
    const CODEC_CONTEXT ctx{version, &signs};
    RECORD rec;
    ASSERT_TRUE(rec.start(kind, version, selector));
    fill(rec, version);
    BYTE_SINK generic;
    ASSERT_TRUE(encode_payload(rec, generic, ctx));
    const auto* data = reinterpret_cast<const uint8_t*>(generic.bytes().data());

    RECORD back;
    size_t used = 0;
    decode_payload(back, kind, data, generic.size(), ctx, &used);
    BYTE_SOURCE in(data, generic.size());
    DIRECT_VALUE values[DIRECT_MAX_FIELDS];
    size_t n = decode_direct(kind, in, ctx, values);
    ASSERT_EQ(n, back.field_count());
    EXPECT_EQ(generic.size() - in.remaining(), used);
    for (size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(back.desc(i).name);
        const FIELD_VALUE& g = back.values[i];
        const DIRECT_VALUE& d = values[i];
        std::string scratch;
        auto same_list = [&](const auto& items) {  // as the writer hands a list over
            DIRECT_VALUE w = direct_list(items, scratch);
            EXPECT_EQ(d.text, w.text);
            EXPECT_EQ(d.num, w.num);
        };
        switch (back.desc(i).enc) {
            case ENC::STRINGS: same_list(g.strings); break;
            case ENC::U16S: same_list(g.shorts); break;
            case ENC::CATCHES: same_list(g.catches); break;
            default:
                EXPECT_EQ(std::string(d.text), g.text);
                EXPECT_EQ(d.num, g.present ? g.num : 0);
                EXPECT_EQ(std::tie(d.pos.file, d.pos.line, d.pos.column),
                          std::tie(g.pos.file, g.pos.line, g.pos.column));
        }
    }
    BYTE_SINK direct;
    ASSERT_TRUE(encode_direct(kind, direct, ctx, values));
    EXPECT_EQ(direct.bytes(), generic.bytes());
}

TEST(DirectCodec, AgreesWithTheGenericCodecOnEveryKindTailAndVersion) {
    for (int k = 0; k < 256; ++k) {
        const RECORD_LAYOUT* layout = layout_of(uint8_t(k));
        if (!layout) continue;
        EXPECT_NE(direct_codec(layout->head_part), nullptr);
        for (int version : {-86, -85, -84, -81, -76, -75, -74, -71}) {
            if (!layout->select) {
                check(uint8_t(k), version, 0);
                continue;
            }
            for (int64_t s = 0; s < 256; ++s)
                if (const LAYOUT_PART* tail = layout->select(s)) {
                    EXPECT_NE(direct_codec(tail), nullptr);
                    check(uint8_t(k), version, s);
                }
        }
    }
}

TEST(DirectCodec, RefusesWhatTheGenericCodecRefuses) {
    const std::string label_cut("\x80", 1);  // a ULEB that runs off the end
    BYTE_SOURCE in(reinterpret_cast<const uint8_t*>(label_cut.data()), label_cut.size());
    DIRECT_VALUE values[DIRECT_MAX_FIELDS];
    EXPECT_THROW(decode_direct(REC_LABEL, in, CODEC_CONTEXT{}, values), DECODE_ERROR);
    const std::string unknown_opcode("\xa4\x01", 2);  // opcode 164 has no layout
    BYTE_SOURCE node(reinterpret_cast<const uint8_t*>(unknown_opcode.data()), 2);
    EXPECT_THROW(decode_direct(REC_NODE, node, CODEC_CONTEXT{}, values), DECODE_ERROR);
    values[5].num = 70000;  // beyond the 16-bit field s
    BYTE_SINK out;
    std::string why;
    EXPECT_FALSE(encode_direct(REC_DROP_38, out, CODEC_CONTEXT{}, values, &why));
}

TEST(DirectCodec, DecodingIntoReusedValuesReadsLikeDecodingIntoFreshOnes) {
    // Symbol records one after the other into the same values: one whose
    // version has the reference state and whose position has a file, then
    // one without either, then the first again.
    using S = SYMBOL_FIELDS;
    const std::tuple<int, POS_VALUE> records[] = {
        {-71, POS_VALUE{2, 300, 7}}, {-75, POS_VALUE{}}, {-71, POS_VALUE{2, 300, 7}}};
    DIRECT_VALUE reused[S::P.fields.size()];
    for (DIRECT_VALUE& v : reused) v.num = 12345;
    for (const auto& [version, pos] : records) {
        SCOPED_TRACE("version " + std::to_string(version));
        RECORD rec;
        ASSERT_TRUE(rec.start(REC_SYMBOL, version, 0));
        fill(rec, version);
        rec.values[S::POS].pos = pos;
        BYTE_SINK bytes;
        ASSERT_TRUE(encode_payload(rec, bytes, CODEC_CONTEXT{version, nullptr}));
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.bytes().data());
        DIRECT_VALUE fresh[S::P.fields.size()];
        BYTE_SOURCE a(data, bytes.size()), b(data, bytes.size());
        int va = version, vb = version;
        decode_fields<S::P>(a, va, fresh);
        decode_fields_reusing<S::P>(b, vb, reused);
        EXPECT_EQ(a.remaining(), b.remaining());
        for (size_t i = 0; i < S::P.fields.size(); ++i) {
            SCOPED_TRACE(S::P.fields[i].name);
            switch (S::P.fields[i].enc) {
                case ENC::STRING: EXPECT_EQ(reused[i].text, fresh[i].text); break;
                case ENC::POS:
                    EXPECT_EQ(
                        std::tie(reused[i].pos.file, reused[i].pos.line, reused[i].pos.column),
                        std::tie(fresh[i].pos.file, fresh[i].pos.line, fresh[i].pos.column));
                    break;
                default: EXPECT_EQ(reused[i].num, fresh[i].num);
            }
        }
    }
}

}  // namespace
