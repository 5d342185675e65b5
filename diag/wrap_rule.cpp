// The break rule of diagnostic wrapping: the last blank that fits.
#include "diag/wrap_rule.h"

#include <cctype>

namespace DIAG {

bool is_wrap_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

long find_break(const char* text, std::size_t len, int width, bool wrap) {
    if (!wrap || width < 0 || len < static_cast<std::size_t>(width)) return static_cast<long>(len);
    if (width == 0) return -1;
    long i = width - 1;
    // A blank right after the last column: the piece fills the line exactly.
    if (static_cast<std::size_t>(i + 1) < len && is_wrap_blank(text[i + 1])) return i + 1;
    if (!is_wrap_blank(text[i])) {
        while (i >= 0 && !is_wrap_blank(text[i])) --i;
        if (i < 0) return -1;
    }
    while (i >= 0 && is_wrap_blank(text[i])) --i;
    return i < 0 ? -1 : i + 1;
}

}  // namespace DIAG
