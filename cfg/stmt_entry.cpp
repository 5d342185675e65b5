// The statement entry's ownership of its trees, and which opcodes end a block.
#include "cfg/stmt_entry.h"

#include "icode/opcodes.h"

STMT_ENTRY::~STMT_ENTRY() {
    icode::free_tree(tree);
    for (auto& e : eht) icode::free_tree(e.tree);
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
