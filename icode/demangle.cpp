// Demangling through the C++ runtime's demangler.
#include "icode/demangle.h"

#include <cxxabi.h>
#include <cstdlib>
#include <memory>

namespace icode {
namespace {

// The runtime's demangling of a full mangled name, or nothing.
bool try_demangle(const std::string& mangled, std::string& out) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> result(
        abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status), std::free);
    if (status != 0 || !result) return false;
    out = result.get();
    return true;
}

}  // namespace

std::string demangle_name(const std::string& name) {
    std::string out;
    if (name.compare(0, 2, "_Z") == 0) {
        if (try_demangle(name, out)) return out;
        return name;
    }
    // A bare type encoding such as "i" would demangle to "int"; only names
    // shaped like an encoded class name (length-prefixed or nested) are
    // tried, and only as a symbol name behind "_Z".
    if (!name.empty() && ((name[0] >= '1' && name[0] <= '9') || name[0] == 'N') &&
        try_demangle("_Z" + name, out))
        return out;
    return name;
}

}  // namespace icode
