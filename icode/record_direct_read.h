// The direct codec's decoding into values that are reused from record to
// record, for the reader's hottest path (the nodes of every tree), where
// clearing a fresh array of values for each record costs more than decoding
// its few fields.
#pragma once

#include <cstddef>
#include <utility>

#include "icode/record_direct.h"

namespace icode {

namespace direct_detail {

template <const LAYOUT_PART& P, size_t I>
inline void decode_one_reusing(BYTE_SOURCE& in, int& version, DIRECT_VALUE* all, size_t base,
                               const SIGN_ORACLE* oracle) {
    constexpr FIELD_DESC d = P.fields[I];
    if constexpr (!d.always_present()) {
        if (!d.present_in(version)) {
            all[base + I] = DIRECT_VALUE{};
            return;
        }
    }
    // A position without file leaves its line and column unset.
    if constexpr (d.enc == ENC::POS) all[base + I].pos = POS_VALUE{};
    decode_one<P, I>(in, version, all, base, oracle);
}

template <const LAYOUT_PART& P, size_t... I>
inline void decode_all_reusing([[maybe_unused]] BYTE_SOURCE& in, [[maybe_unused]] int& version,
                               [[maybe_unused]] DIRECT_VALUE* all, [[maybe_unused]] size_t base,
                               [[maybe_unused]] const SIGN_ORACLE* oracle,
                               std::index_sequence<I...>) {
    (decode_one_reusing<P, I>(in, version, all, base, oracle), ...);
}

}  // namespace direct_detail

// decode_fields() into values that may hold anything before: a field absent
// in the unit's version is set to zero, and of a field present only what
// its encoding decodes to is meaningful (num for numbers, text for strings
// and bytes, pos for positions, num and text for lists); the other members
// of its value keep what they held.
template <const LAYOUT_PART& P>
inline void decode_fields_reusing(BYTE_SOURCE& in, int& version, DIRECT_VALUE* all, size_t base = 0,
                                  const SIGN_ORACLE* oracle = nullptr) {
    direct_detail::decode_all_reusing<P>(in, version, all, base, oracle,
                                         std::make_index_sequence<P.fields.size()>());
}

// True when every field of the part ends by itself (none runs to the end
// of its record): the fields then decode the same from any bytes that hold
// them, so that a reader may decode them in place from more bytes than the
// record's length says, and take the record's own bytes only when that
// fails.
constexpr bool fields_end_by_themselves(const LAYOUT_PART& part) {
    for (const FIELD_DESC& d : part.fields)
        if (d.enc == ENC::REST || d.enc == ENC::CATCHES) return false;
    return true;
}

}  // namespace icode
