// Builds expression trees for the infix tests: symbols, types from
// a type package (int is 16 bits, long 32, char 8), and nodes by opcode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/symtab.h"
#include "icode/types.h"

namespace test_trees {

using namespace icode;

class TREE_BUILDER {
public:
    TYPE_PKG pkg;

    TYPE* int_t() { return pkg.integral_type(IntegralKind::INT); }
    TYPE* uint_t() { return pkg.integral_type(IntegralKind::UINT); }
    TYPE* long_t() { return pkg.integral_type(IntegralKind::LONG); }
    TYPE* ulong_t() { return pkg.integral_type(IntegralKind::ULONG); }
    TYPE* char_t() { return pkg.integral_type(IntegralKind::CHAR); }
    TYPE* ptr(TYPE* pointee) { return pkg.make_pointer(pointee, 16, 16); }
    TYPE* array(TYPE* element, uint32_t count) {
        return pkg.make_array(element, count, uint64_t{element->size()} * count, 16, false, false,
                              false);
    }
    // A NAME of a new symbol of its type (int by default).
    NODE* name(const std::string& symbol_name, TYPE* type = nullptr) {
        SymbolRecord record;
        record.name = symbol_name;
        record.type = type ? type : int_t();
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(record)));
        NODE* n = make_node(NAME, symbols_.back()->type());
        n->set_symbol(symbols_.back().get());
        return n;
    }
    NODE* icon(int64_t value, TYPE* type = nullptr) {
        NODE* n = make_node(ICON, type ? type : int_t());
        n->set_value(static_cast<uint64_t>(value));
        return n;
    }
    NODE* label(int64_t number) {
        NODE* n = make_node(LABEL, int_t());
        n->set_value(static_cast<uint64_t>(number));
        return n;
    }
    NODE* node(int opcode, TYPE* type, NODE* left = nullptr, NODE* right = nullptr) {
        NODE* n = make_node(opcode, type);
        n->set_left(left);
        n->set_right(right);
        return n;
    }
    NODE* node(int opcode, NODE* left = nullptr, NODE* right = nullptr) {
        return node(opcode, int_t(), left, right);
    }

private:
    std::vector<std::unique_ptr<SYMTAB>> symbols_;
};

}  // namespace test_trees
