// The operations through which the I-code reader hands a unit to its user.
//
// The reader only decodes records; everything a record means to the program
// happens in the client.  Operations are called in file order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "icode/attributes.h"
#include "icode/source_pos.h"
#include "icode/symtab.h"

namespace icode {

class NODE;

using OptPos = std::optional<SourcePos>;

// One catch item of an exception-table entry of kind 2.
struct EHT_CATCH {
    std::string text;
    uint32_t number = 0;
    bool flag = false;
};

// One entry of an exception table.  Kind 1 entries own a tree, kind 2
// entries a list of catch items.
struct EHT_ENTRY {
    uint32_t first = 0;
    uint32_t kind = 0;
    uint32_t third = 0;
    uint32_t count = 0;
    NODE* tree = nullptr;
    std::vector<EHT_CATCH> items;
};

class IcodeClient {
public:
    virtual ~IcodeClient() = default;

    virtual bool unit_header(int version, int target) = 0;
    virtual void string_list(uint32_t id, const std::vector<std::string>& strings) = 0;
    // Creates the symbol for a symbol record read at function depth
    // `level`; the reader then registers it in its global or local table
    // and attaches its pragmas.  The client owns the symbol.
    virtual SYMTAB* create_symbol(SymbolRecord record, int level) = 0;
    // A pragma for a symbol, or (symbol null) a free-standing pragma record
    // of the function stream.
    virtual void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) = 0;
    // The trees of an initializer record, ending with the ENDINIT tree.
    virtual void attach_initializer(SYMTAB* symbol, std::vector<NODE*> trees) = 0;
    virtual void function_begin(SYMTAB* symbol, OptPos position) = 0;
    virtual void function_end(OptPos position) = 0;
    virtual void block_begin(OptPos position) = 0;
    virtual void block_end(OptPos position) = 0;
    virtual void body_begin(OptPos position) = 0;
    virtual void mark(OptPos position) = 0;
    // kind is REC_TEXT_AT (with a position) or REC_TEXT (without).
    virtual void text(int kind, const std::string& text, OptPos position) = 0;
    virtual void label(uint32_t number) = 0;
    // The client owns the tree from here on.
    virtual void expression_statement(NODE* tree, OptPos position) = 0;
    // Returns true when the reader may free the entries (and their trees);
    // false when the client keeps them.
    virtual bool exception_table(std::vector<EHT_ENTRY>& entries) = 0;
    // Records that the program reads only to stay in step; by default
    // nothing happens.
    virtual void dropped_record(int kind) {}
};

}  // namespace icode
