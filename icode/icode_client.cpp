// The defaults of the client operations that take ownership of trees.
#include "icode/icode_client.h"

#include "icode/node.h"

namespace icode {

void IcodeClient::attach_initializer(SYMTAB*, std::vector<NODE*> trees) {
    for (NODE* tree : trees) free_tree(tree);
}

void IcodeClient::expression_statement(NODE* tree, OptPos) { free_tree(tree); }

}  // namespace icode
