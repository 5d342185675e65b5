// Record kinds of the I-code format.  A record is one kind byte, a ULEB
// payload length and the payload; REC_END is the single byte 255.
#pragma once

#include <cstdint>

namespace icode {

enum RECORD_KIND : uint8_t {
    REC_FUNC_BEGIN = 1,
    REC_FUNC_END = 2,
    REC_BLOCK_BEGIN = 3,
    REC_BLOCK_END = 4,
    REC_BODY_BEGIN = 5,
    REC_MARK = 6,
    REC_HEADER = 8,
    REC_OPAQUE = 34,
    REC_SYMBOL = 35,
    REC_TEXT_AT = 36,
    REC_DROP_38 = 38,
    REC_LABEL = 42,
    REC_DROP_45 = 45,
    REC_EXPR_STMT = 46,
    REC_TEXT = 47,
    REC_DROP_58 = 58,
    REC_DROP_59 = 59,
    REC_EHT_CATCHES = 63,
    REC_DROP_64 = 64,
    REC_EHT_ENTRY = 91,
    REC_EHT = 93,
    REC_PRAGMA = 94,
    REC_NODE = 101,
    REC_INIT = 105,
    REC_DROP_108 = 108,
    REC_STRING_LIST = 111,
    REC_TYPE = 116,
    REC_DROP_123 = 123,
    REC_DROP_124 = 124,
    REC_DROP_125 = 125,
    REC_FILE_NAME = 126,
    REC_END = 255,
};

// The magic text at the start of every unit, without its terminating NUL.
inline constexpr const char* ICODE_MAGIC = "!<icode>\n";
// Oldest and newest format versions that are read; units are written as the
// newest.
inline constexpr int ICODE_OLDEST_VERSION = -86;
inline constexpr int ICODE_NEWEST_VERSION = -71;
inline constexpr int ICODE_TARGET = 700;

}  // namespace icode
