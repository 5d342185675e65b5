// Reading text files line by line without trusting them to end their
// lines: a device, a binary file or a pipe that never sends a line end must
// not make a reader hold more than a fixed amount.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

enum class LINE_READ { LINE, END, TOO_LONG };

// Reads one line into `line` without its line end, as std::getline does,
// but stores no more than `max` characters: a longer line is TOO_LONG, and
// the stream then stands inside it.  `*terminated` tells whether a line
// end was read.
LINE_READ read_bounded_line(std::istream& in, std::string& line, std::size_t max,
                            bool* terminated = nullptr);
