// SYMTAB: construction from a symbol record, its attribute list and its
// initializer trees.
#include "icode/symtab.h"

#include <utility>

#include "icode/node.h"

namespace icode {

SYMTAB::SYMTAB(SymbolRecord record)
    : name_(std::move(record.name)),
      reference_state_(record.reference_state),
      storage_class_(record.storage_class),
      qualifiers_(record.qualifiers),
      alignment_(record.alignment),
      size_(record.size),
      value_(record.value),
      type_(record.type),
      effective_type_(record.type),
      second_type_(record.second_type),
      position_(std::move(record.position)),
      definition_offset_(record.definition_offset),
      opt_(record.opt) {}

SYMTAB::~SYMTAB() { free_initializers(); }

void SYMTAB::add_pragma_front(std::unique_ptr<Pragma> pragma) {
    if (!pragma) return;
    pragma->next = std::move(pragmas_);
    pragmas_ = std::move(pragma);
    ++pragma_count_;
}

const std::vector<NODE*>& SYMTAB::initializers() const {
    static const std::vector<NODE*> none;
    return initializers_ ? *initializers_ : none;
}

void SYMTAB::set_initializers(std::vector<NODE*> trees) {
    free_initializers();
    if (!trees.empty()) initializers_ = std::make_unique<std::vector<NODE*>>(std::move(trees));
}

std::vector<NODE*> SYMTAB::take_initializers() {
    std::vector<NODE*> trees;
    if (initializers_) trees.swap(*initializers_);
    initializers_.reset();
    return trees;
}

void SYMTAB::free_initializers() {
    if (!initializers_) return;
    for (NODE* tree : *initializers_) free_tree(tree);
    initializers_.reset();
}

}  // namespace icode
