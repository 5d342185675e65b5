// The statement entry's ownership of its trees, and which opcodes end a block.
#include "cfg/stmt_entry.h"

#include "icode/opcodes.h"

STMT_ENTRY::~STMT_ENTRY() { clear(); }

void STMT_ENTRY::clear() {
    icode::free_tree(tree);
    for (auto& e : eht) icode::free_tree(e.tree);
    kind = {};
    tree = nullptr;
    symbol = nullptr;
    pragma.reset();
    // Exception tables are rare: their storage is not kept.
    eht = {};
    position.reset();
    aux = 0;
    next = nullptr;
    prev = nullptr;
    starts_block = nullptr;
    new_labels = false;
}

bool ends_block(int opcode) {
    switch (opcode) {
        case icode::BRANCH:
        case icode::CBRANCH:
        case icode::RETURN:
        case icode::URETURN:
        case icode::SWITCH: return true;
        default: return false;
    }
}
