// The writer's records of numbers against the direct codec: for every part
// of the layout table whose fields are all numbers, put_numbers() writes the
// bytes encode_fields() writes for the same values (short and long forms,
// negative values, values beyond 16 bits, a value that follows a signed or
// an unsigned type) and refuses what it refuses; and the numbers whose form
// does not depend on their sign.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "icode/record_direct_write.h"

namespace {

using namespace icode;

// Answers every question the same way.
class FIXED_SIGN : public SIGN_ORACLE {
public:
    explicit FIXED_SIGN(bool value) : value_(value) {}
    bool is_signed(uint32_t) const override { return value_; }

private:
    bool value_;
};

// Values for the fields of a part: `base`, `base` + 3, ... field by field,
// apart from a type field, which names type 3.
template <const LAYOUT_PART& P>
NUMBERS<P> values(int64_t base) {
    NUMBERS<P> v{};
    for (size_t i = 0; i < v.size(); ++i) v[i] = P.fields[i].enc == ENC::TYPEREF ? 3 : base + 3 * i;
    return v;
}

template <const LAYOUT_PART& P>
void check_part(const char* name) {
    if constexpr (numbers_only(P)) {
        for (int version : {-86, -71})
            for (int64_t base :
                 {0LL, 5LL, 127LL, 300LL, -1LL, -65LL, 70000LL, -40000LL, 0x7fffffffLL})
                for (bool value_signed : {false, true}) {
                    SCOPED_TRACE(std::string(name) + " version " + std::to_string(version) +
                                 " base " + std::to_string(base) +
                                 (value_signed ? " signed" : " unsigned"));
                    const NUMBERS<P> v = values<P>(base);
                    // Behind a head whose fields all name type 3, which a
                    // value that follows a type refers to.
                    constexpr size_t AT = 2;
                    DIRECT_VALUE direct[AT + P.fields.size()];
                    for (size_t i = 0; i < AT; ++i) direct[i].num = 3;
                    for (size_t i = 0; i < v.size(); ++i) direct[AT + i].num = v[i];
                    FIXED_SIGN sign(value_signed);
                    BYTE_SINK expected;
                    int expected_version = version;
                    const bool expected_fits =
                        encode_fields<P>(expected, expected_version, direct, AT, &sign);

                    uint8_t room[most_bytes(P) + 1];
                    RAW_SINK raw{room};
                    const bool fits = put_numbers<P>(raw, version, v, value_signed);
                    EXPECT_EQ(fits, expected_fits);
                    EXPECT_EQ(
                        std::string(reinterpret_cast<const char*>(room), size_t(raw.p - room)),
                        expected.bytes());
                }
    }
}

template <size_t... I>
void check_node_leaves(std::index_sequence<I...>) {
    (check_part<*node_leaf_layout(int64_t(I))>(("opcode " + std::to_string(I)).c_str()), ...);
}

template <size_t... I>
void check_heads(std::index_sequence<I...>) {
    (check_part<*layout_table::RECORD_LAYOUTS[I].head_part>(layout_table::RECORD_LAYOUTS[I].name),
     ...);
}

template <size_t... I>
void check_type_tails(std::index_sequence<I...>) {
    (check_part<*layout_table::TYPE_PARTS[I].part>(
         ("type code " + std::to_string(layout_table::TYPE_PARTS[I].code)).c_str()),
     ...);
}

TEST(DirectWrite, WritesWhatTheDirectCodecWritesForEveryPartOfNumbers) {
    check_node_leaves(std::make_index_sequence<NODE_OPCODES>());
    check_heads(std::make_index_sequence<std::size(layout_table::RECORD_LAYOUTS)>());
    check_type_tails(std::make_index_sequence<std::size(layout_table::TYPE_PARTS)>());
    // The parts the writer builds this way are among them.
    static_assert(numbers_only(layout_table::NODE) && numbers_only(layout_table::LABEL) &&
                  numbers_only(layout_table::NODE_ICON) && !numbers_only(layout_table::NODE_SCON));
}

TEST(DirectWrite, SmallNumbersHaveOneFormSignedOrNot) {
    for (uint32_t v = 0; v < LEB_SIGN_FREE; ++v) EXPECT_EQ(sleb_bytes(int32_t(v)), uleb_bytes(v));
    EXPECT_NE(sleb_bytes(int32_t(LEB_SIGN_FREE)), uleb_bytes(LEB_SIGN_FREE));
}

}  // namespace
