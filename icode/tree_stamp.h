// TREE_STAMP: a tree that the writer writes many times over with one
// integer constant node (the hole) changed, encoded once (see
// IcodeFile::stamp_tree): the node records before the hole's and after it,
// and what the hole's record needs.  Writing it is copying bytes.
#pragma once

#include <cstdint>
#include <string>

namespace icode {

struct TREE_STAMP {
    std::string before;
    std::string after;
    uint32_t hole_type = 0;    // the type id of the constant
    bool hole_signed = false;  // of a signed type: written in signed LEB128
};

}  // namespace icode
