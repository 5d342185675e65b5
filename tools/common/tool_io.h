// File helpers shared by the tools.
#pragma once

#include <string>

namespace icode_text {

bool read_whole_file(const std::string& path, std::string& out);
bool write_whole_file(const std::string& path, const std::string& data);

}  // namespace icode_text
