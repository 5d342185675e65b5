// The primitive encodings at their limits: shortest LEB128 forms around the
// 7-bit boundaries and the ends of the 32-bit range, the i16 window that the
// writer accepts, and reads that run past the end of a payload.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "icode/encoding.h"

namespace {

using icode::BYTE_SINK;
using icode::BYTE_SOURCE;
using icode::DECODE_ERROR;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += char(b);
    return s;
}

BYTE_SOURCE source_of(const std::string& s) {
    return BYTE_SOURCE(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

struct LEB_CASE {
    int64_t value;
    std::string encoded;
};

TEST(Encoding, UlebShortestFormsAndBackAgain) {
    const std::vector<LEB_CASE> cases = {
        {0, bytes({0x00})},
        {1, bytes({0x01})},
        {127, bytes({0x7f})},
        {128, bytes({0x80, 0x01})},
        {16383, bytes({0xff, 0x7f})},
        {16384, bytes({0x80, 0x80, 0x01})},
        {0x0fffffff, bytes({0xff, 0xff, 0xff, 0x7f})},
        {0x10000000, bytes({0x80, 0x80, 0x80, 0x80, 0x01})},
        {0xffffffffLL, bytes({0xff, 0xff, 0xff, 0xff, 0x0f})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(icode::uleb_bytes(uint32_t(c.value)), c.encoded);
        BYTE_SOURCE in = source_of(c.encoded);
        EXPECT_EQ(in.get_uleb(), uint32_t(c.value));
        EXPECT_TRUE(in.at_end());
    }
}

TEST(Encoding, UlebReadingKeepsOnlyThe32LowBits) {
    // A longer form than the writer makes is still read; groups beyond bit
    // 31 are lost and every byte is consumed.
    std::string six = bytes({0xff, 0xff, 0xff, 0xff, 0xff, 0x01});
    BYTE_SOURCE in = source_of(six);
    EXPECT_EQ(in.get_uleb(), 0xffffffffu);
    EXPECT_TRUE(in.at_end());

    std::string padded = bytes({0x85, 0x80, 0x00});
    BYTE_SOURCE in2 = source_of(padded);
    EXPECT_EQ(in2.get_uleb(), 5u);
    EXPECT_TRUE(in2.at_end());
}

TEST(Encoding, SlebShortestFormsAndBackAgain) {
    const std::vector<LEB_CASE> cases = {
        {0, bytes({0x00})},
        {-1, bytes({0x7f})},
        {63, bytes({0x3f})},
        {64, bytes({0xc0, 0x00})},
        {-64, bytes({0x40})},
        {-65, bytes({0xbf, 0x7f})},
        {8191, bytes({0xff, 0x3f})},
        {8192, bytes({0x80, 0xc0, 0x00})},
        {-8192, bytes({0x80, 0x40})},
        {-8193, bytes({0xff, 0xbf, 0x7f})},
        {INT32_MAX, bytes({0xff, 0xff, 0xff, 0xff, 0x07})},
        {INT32_MIN, bytes({0x80, 0x80, 0x80, 0x80, 0x78})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(icode::sleb_bytes(int32_t(c.value)), c.encoded);
        BYTE_SOURCE in = source_of(c.encoded);
        EXPECT_EQ(in.get_sleb(), int32_t(c.value));
        EXPECT_TRUE(in.at_end());
    }
}

TEST(Encoding, SlebSignExtendsOnlyBelow32Bits) {
    // Four bytes carry 28 bits: bit 6 of the last byte extends the sign.
    std::string four = bytes({0x80, 0x80, 0x80, 0x40});
    EXPECT_EQ(source_of(four).get_sleb(), -(1 << 27));
    // Five bytes carry 35 bits: no extension; the groups above bit 31 are
    // dropped even when bit 6 is set.
    std::string five = bytes({0x80, 0x80, 0x80, 0x80, 0x70});
    EXPECT_EQ(source_of(five).get_sleb(), 0);
}

TEST(Encoding, I16AcceptsSignedAndUnsignedShortsOnly) {
    const std::vector<std::pair<int64_t, std::string>> accepted = {
        {-32768, bytes({0x00, 0x80})}, {-1, bytes({0xff, 0xff})},    {0, bytes({0x00, 0x00})},
        {32767, bytes({0xff, 0x7f})},  {65535, bytes({0xff, 0xff})}, {-71, bytes({0xb9, 0xff})},
    };
    for (const auto& [v, enc] : accepted) {
        SCOPED_TRACE(v);
        BYTE_SINK out;
        EXPECT_TRUE(out.put_i16(v));
        EXPECT_EQ(out.bytes(), enc);
    }
    for (int64_t v : {int64_t(-32769), int64_t(65536), int64_t(INT32_MIN)}) {
        SCOPED_TRACE(v);
        BYTE_SINK out;
        EXPECT_FALSE(out.put_i16(v));
        EXPECT_EQ(out.size(), 0u) << "a refused value writes nothing";
    }
    // Reading is signed: 65535 comes back as -1.
    std::string ffff = bytes({0xff, 0xff});
    EXPECT_EQ(source_of(ffff).get_i16(), -1);
    EXPECT_EQ(source_of(ffff).get_u16(), 65535);
}

TEST(Encoding, FixedWidthIntegersAreLittleEndian) {
    BYTE_SINK out;
    out.put_u32(0x12345678);
    out.put_i8(-2);
    out.put_bool(0x100);  // only the low byte counts: false
    out.put_bool(7);
    EXPECT_EQ(out.bytes(), bytes({0x78, 0x56, 0x34, 0x12, 0xfe, 0x00, 0x01}));

    BYTE_SOURCE in = source_of(out.bytes());
    EXPECT_EQ(in.get_u32(), 0x12345678u);
    EXPECT_EQ(in.get_i8(), -2);
    EXPECT_FALSE(in.get_bool());
    EXPECT_TRUE(in.get_bool());
    EXPECT_TRUE(in.at_end());

    std::string two = bytes({0x02});
    EXPECT_TRUE(source_of(two).get_bool()) << "any non-zero byte is true";
}

TEST(Encoding, ReadsPastTheEndOfAPayloadAreDamage) {
    std::string empty;
    EXPECT_THROW(source_of(empty).get_u8(), DECODE_ERROR);

    std::string three = bytes({1, 2, 3});
    EXPECT_THROW(source_of(three).get_u32(), DECODE_ERROR);

    std::string unfinished = bytes({0x80, 0x80});
    EXPECT_THROW(source_of(unfinished).get_uleb(), DECODE_ERROR);
    EXPECT_THROW(source_of(unfinished).get_sleb(), DECODE_ERROR);

    std::string one = bytes({0x01});
    EXPECT_THROW(source_of(one).get_i16(), DECODE_ERROR);
}

TEST(Encoding, StringsNeedTheirTerminator) {
    BYTE_SINK out;
    out.put_string("ab");
    out.put_string("");
    EXPECT_EQ(out.bytes(), bytes({'a', 'b', 0, 0}));

    BYTE_SOURCE in = source_of(out.bytes());
    EXPECT_EQ(in.get_string(), "ab");
    EXPECT_EQ(in.get_string(), "");
    EXPECT_TRUE(in.at_end());

    std::string open = "abc";
    BYTE_SOURCE bad = source_of(open);
    EXPECT_THROW(bad.get_string(), DECODE_ERROR);
    EXPECT_EQ(bad.remaining(), 3u) << "a failed read consumes nothing";
}

TEST(Encoding, CountedBytesMayHoldNulAndMustFit) {
    std::string data = bytes({'x', 0, 'y', 'z'});
    BYTE_SOURCE in = source_of(data);
    EXPECT_EQ(in.get_bytes(3), std::string("x\0y", 3));
    EXPECT_THROW(in.get_bytes(2), DECODE_ERROR);
    EXPECT_EQ(in.get_bytes(1), "z");
    EXPECT_EQ(in.get_bytes(0), "");
}

}  // namespace
