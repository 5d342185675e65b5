// What the parts of the I-code writer share beyond IcodeFile itself.
#pragma once

#include <cstdint>

#include "icode/encoding.h"
#include "icode/record_codec.h"

namespace icode {

class TYPE_PKG;

// Answers the codec's signedness questions for a unit being written.  The
// writer writes the package's own type ids, so an id names the package type
// that carries it; ids the package never gave out are unsigned.
class PACKAGE_SIGNS : public SIGN_ORACLE {
public:
    explicit PACKAGE_SIGNS(const TYPE_PKG* package) : package_(package) {}
    bool is_signed(uint32_t type_id) const override;

private:
    const TYPE_PKG* package_;
};

// Appends the payload of a record being written.  A value that does not fit
// its field stops the process with the writer's fixed text; the only field
// that can refuse a value is a 16-bit one.
void encode_written_payload(const RECORD& rec, BYTE_SINK& out, const CODEC_CONTEXT& ctx);

}  // namespace icode
