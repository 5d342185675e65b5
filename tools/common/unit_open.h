// Opening a unit for reading, as every tool that reads units does it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace icode {
class IcodeClient;
class IcodeFile;
class TYPE_PKG;
}  // namespace icode

namespace icode_text {

// Opens the unit on an open stream for reading through `client`, with
// `types` as its type package.  When the stream holds no acceptable unit it
// is closed and null comes back with the reason in *error.
std::unique_ptr<icode::IcodeFile> open_unit(std::FILE* stream, icode::IcodeClient& client,
                                            icode::TYPE_PKG& types, std::string* error);

// The same from a file name; *error then starts with the name.
std::unique_ptr<icode::IcodeFile> open_unit(const std::string& path, icode::IcodeClient& client,
                                            icode::TYPE_PKG& types, std::string* error);

// The same, saying why on standard error when the unit cannot be opened:
// what the inspecting commands do before they give up with status 1.
std::unique_ptr<icode::IcodeFile> open_unit_or_say(const std::string& path,
                                                   icode::IcodeClient& client,
                                                   icode::TYPE_PKG& types);

}  // namespace icode_text
