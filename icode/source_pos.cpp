// The process-wide pool of interned file names.  It only grows: a name, once
// met, may be held by any position for as long as the process runs, and a
// unit names few files (each distinct name is stored once).
#include "icode/source_pos.h"

#include <unordered_set>

namespace icode {

namespace {

const std::string* intern(const std::string& name) {
    // Node-based, so the strings never move.
    static std::unordered_set<std::string> pool;
    return &*pool.insert(name).first;
}

}  // namespace

FILE_NAME::FILE_NAME() {
    static const std::string* const empty = intern(std::string());
    name_ = empty;
}

FILE_NAME::FILE_NAME(const std::string& name) : name_(intern(name)) {}

}  // namespace icode
