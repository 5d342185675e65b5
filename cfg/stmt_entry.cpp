// The statement entry's ownership of its trees.
#include "cfg/stmt_entry.h"

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
