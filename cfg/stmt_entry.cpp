// The statement entry's ownership of its trees.
#include "cfg/stmt_entry.h"

STMT_ENTRY::~STMT_ENTRY() { clear(); }

void STMT_ENTRY::release_rare_parts() {
    pragma.reset();
    for (auto& e : eht) icode::free_tree(e.tree);
    // Exception tables are rare: their storage is not kept.
    eht = {};
}
