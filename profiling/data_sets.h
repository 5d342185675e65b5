// The counter values that propagation maps onto a function's chords.
#pragma once

#include <cstdint>
#include <vector>

// The data sets of one function, numbered 0, 1, ... in the order they were
// read; a data set holds the values of one record, counter position 0 first.
using DATA_SET = std::vector<uint32_t>;
using DATA_SETS = std::vector<DATA_SET>;
