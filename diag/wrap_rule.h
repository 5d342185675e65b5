// Where a diagnostic text breaks when it has to fit the columns left on a line.
#pragma once

#include <cstddef>

namespace DIAG {

// Blanks for the wrapping rule are all white space, so a tab inside a message
// is a place where a line may break.
bool is_wrap_blank(char c);

// Length of the first piece of `text` (of length `len`) that may be printed in
// `width` columns, or -1 when nothing fits.  With wrapping off, a negative
// width or a text shorter than the width, the piece is the whole text.
// Otherwise the break falls after the character at width - 1 when a blank
// follows it, else before the last run of blanks at or before that character.
// A text of exactly `width` characters is broken too: it only fits as a whole
// when it is strictly shorter.
long find_break(const char* text, std::size_t len, int width, bool wrap);

}  // namespace DIAG
