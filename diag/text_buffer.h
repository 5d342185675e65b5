// The one buffer every diagnostic text is formatted into before it is
// wrapped; it grows to the largest text seen and is reused.
#pragma once

#include <vector>

namespace DIAG {

std::vector<char>& text_buffer();

}  // namespace DIAG
