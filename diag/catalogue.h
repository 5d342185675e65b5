// The table of every diagnostic descriptor of the system.
#pragma once

#include <cstdint>
#include <vector>

#include "diag/diag_desc.h"

namespace DIAG {

// All descriptors, in ascending code order.
const std::vector<const DIAG_DESC*>& all_descriptors();

// The descriptor with `code`, or null.
const DIAG_DESC* find_descriptor(std::uint32_t code);

}  // namespace DIAG
