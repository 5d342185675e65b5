// File helpers shared by the tools.
#pragma once

#include <string>

namespace icode_text {

bool read_whole_file(const std::string& path, std::string& out);
// Writes `data` to `path`.  False, with errno set, when it cannot be opened
// or written in full; a regular file that was not written in full is
// removed.
bool write_whole_file(const std::string& path, const std::string& data);

// Removes a half-written output file; anything but a regular file (a
// device, a pipe) is left alone.
void remove_partial_file(const std::string& path);

}  // namespace icode_text
