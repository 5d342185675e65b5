// Fuzz target of the text form: the assembler on fuzzed text, and the
// disassembler on what it accepts.
#include <sstream>

#include "fuzz/fuzz_targets.h"
#include "icode/text/text_form.h"

namespace fuzz {

void text(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string unit, error;
    if (!icode_text::assemble(input, "fuzz.txt", unit, &error)) return;
    std::ostringstream out;
    icode_text::disassemble(unit, out, &error);
}

}  // namespace fuzz
