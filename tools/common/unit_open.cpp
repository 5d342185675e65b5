#include "tools/common/unit_open.h"

#include <cerrno>
#include <cstring>

#include "icode/icode_file.h"

namespace icode_text {

std::unique_ptr<icode::IcodeFile> open_unit(std::FILE* stream, icode::IcodeClient& client,
                                            icode::TYPE_PKG& types, std::string* error) {
    std::unique_ptr<icode::IcodeFile> unit;
    try {
        unit = icode::IcodeFile::open_for_reading(stream, &client);
    } catch (...) {
        // A damaged header ends the run; where that ending is an exception
        // (tests, fuzzing) the stream is not left open.
        std::fclose(stream);
        throw;
    }
    if (!unit) {
        std::fclose(stream);
        if (error) *error = "not an I-code unit of a version from -86 to -71 for target 700";
        return nullptr;
    }
    unit->set_type_package(&types);
    return unit;
}

std::unique_ptr<icode::IcodeFile> open_unit(const std::string& path, icode::IcodeClient& client,
                                            icode::TYPE_PKG& types, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) *error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<icode::IcodeFile> unit = open_unit(f, client, types, error);
    if (!unit && error) *error = path + ": " + *error;
    return unit;
}

std::unique_ptr<icode::IcodeFile> open_unit_or_say(const std::string& path,
                                                   icode::IcodeClient& client,
                                                   icode::TYPE_PKG& types) {
    std::string error;
    std::unique_ptr<icode::IcodeFile> unit = open_unit(path, client, types, &error);
    if (!unit) std::fprintf(stderr, "%s\n", error.c_str());
    return unit;
}

}  // namespace icode_text
