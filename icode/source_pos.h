// A source position as the I-code carries it.
#pragma once

#include <cstdint>
#include <string>

namespace icode {

// Where a symbol, type, statement or enumerator comes from.  A missing
// position is represented by the absence of a SourcePos (std::optional or a
// null pointer in the holder), never by a special value, so every SourcePos
// names a real place; its file name may still be empty when the unit's
// file-name table had no entry for the index.
struct SourcePos {
  std::string file;
  uint32_t line = 0;
  uint32_t column = 0;

  friend bool operator==(const SourcePos& a, const SourcePos& b) {
    return a.line == b.line && a.column == b.column && a.file == b.file;
  }
  friend bool operator!=(const SourcePos& a, const SourcePos& b) { return !(a == b); }
};

}  // namespace icode
