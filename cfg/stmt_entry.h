// STMT_ENTRY: one element of a function's statement list as the profile
// manager collects it from the reader and later writes it back.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "icode/attributes.h"
#include "icode/icode_client.h"
#include "icode/node.h"

class BASIC_BLK;

struct STMT_ENTRY {
    // The record kind the entry stands for: 1 function begin, 2 function
    // end, 3 block begin, 4 block end, 5 body begin, 6 mark, 35 symbol,
    // 36 and 47 texts, 42 label, 46 expression statement, 93 exception
    // table, 94 pragma.
    int kind = 0;
    // Kinds 42 (a label-definition node), 46 (the tree), 36 and 47 (a text
    // node holding the text).  Owned by the entry.
    icode::NODE* tree = nullptr;
    // Kinds 1 (the function) and 35 (a local symbol); owned elsewhere.
    icode::SYMTAB* symbol = nullptr;
    std::unique_ptr<icode::Pragma> pragma;  // kind 94
    std::vector<icode::EHT_ENTRY> eht;      // kind 93
    icode::OptPos position;
    int aux = 0;  // kind 93: the number of entries

    STMT_ENTRY* next = nullptr;
    STMT_ENTRY* prev = nullptr;
    // The block whose first statement this entry is, if any.
    BASIC_BLK* starts_block = nullptr;

    STMT_ENTRY() = default;
    STMT_ENTRY(const STMT_ENTRY&) = delete;
    STMT_ENTRY& operator=(const STMT_ENTRY&) = delete;
    ~STMT_ENTRY();

    // The tree root's opcode, or -1 for an entry without a tree.
    int root_opcode() const { return tree ? tree->opcode() : -1; }
};

// True for the opcodes that end a basic block.
bool ends_block(int opcode);
