// The shared formatting buffer of diagnostic texts.
#include "diag/text_buffer.h"

namespace DIAG {

std::vector<char>& text_buffer() {
    static std::vector<char> buffer;
    return buffer;
}

}  // namespace DIAG
