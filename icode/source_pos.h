// A source position as the I-code carries it.
#pragma once

#include <cstdint>
#include <string>

namespace icode {

// A file name as positions hold it.  Every statement, symbol and type of a
// unit carries a position, and nearly all of them name one of a handful of
// files: the names are interned once per process, so that a position holds
// a pointer instead of its own copy of what is often a long path.
class FILE_NAME {
public:
    FILE_NAME();  // the empty name
    FILE_NAME(const std::string& name);
    FILE_NAME(const char* name) : FILE_NAME(std::string(name)) {}

    const std::string& str() const { return *name_; }
    operator const std::string&() const { return *name_; }
    bool empty() const { return name_->empty(); }
    const char* c_str() const { return name_->c_str(); }

    // Equal names are the same interned string.
    friend bool operator==(FILE_NAME a, FILE_NAME b) { return a.name_ == b.name_; }
    friend bool operator!=(FILE_NAME a, FILE_NAME b) { return a.name_ != b.name_; }

private:
    const std::string* name_;
};

// Where a symbol, type, statement or enumerator comes from.  A missing
// position is represented by the absence of a SourcePos (std::optional or a
// null pointer in the holder), never by a special value, so every SourcePos
// names a real place; its file name may still be empty when the unit's
// file-name table had no entry for the index.
struct SourcePos {
    FILE_NAME file;
    uint32_t line = 0;
    uint32_t column = 0;

    friend bool operator==(const SourcePos& a, const SourcePos& b) {
        return a.line == b.line && a.column == b.column && a.file == b.file;
    }
    friend bool operator!=(const SourcePos& a, const SourcePos& b) { return !(a == b); }
};

}  // namespace icode
