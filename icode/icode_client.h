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
#include "icode/record_kinds.h"
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

// What a reader hands out, record by record.  Every operation but
// create_symbol has a default that lets the record go (freeing what the
// client would own), so that a client states only the records it uses.
class IcodeClient {
public:
    virtual ~IcodeClient() = default;

    // False stops the reading.
    virtual bool unit_header(int version, int target) { return true; }
    virtual void string_list(uint32_t id, const std::vector<std::string>& strings) {}
    // Creates the symbol for a symbol record read at function depth
    // `level`; the reader then registers it in its global or local table
    // and attaches its pragmas.  The client owns the symbol.
    virtual SYMTAB* create_symbol(SymbolRecord record, int level) = 0;
    // A pragma for a symbol, or (symbol null) a free-standing pragma record
    // of the function stream.
    virtual void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) {}
    // The trees of an initializer record, ending with the ENDINIT tree.
    // The client owns them; by default they are freed.
    virtual void attach_initializer(SYMTAB* symbol, std::vector<NODE*> trees);
    virtual void function_begin(SYMTAB* symbol, OptPos position) {}
    virtual void function_end(OptPos position) {}
    virtual void block_begin(OptPos position) {}
    virtual void block_end(OptPos position) {}
    virtual void body_begin(OptPos position) {}
    virtual void mark(OptPos position) {}
    // kind is REC_TEXT_AT (with a position) or REC_TEXT (without).
    virtual void text(RECORD_KIND kind, const std::string& text, OptPos position) {}
    virtual void label(uint32_t number) {}
    // The client owns the tree from here on; by default it is freed.
    virtual void expression_statement(NODE* tree, OptPos position);
    // Returns true when the reader may free the entries (and their trees);
    // false when the client keeps them.
    virtual bool exception_table(std::vector<EHT_ENTRY>& entries) { return true; }
    // Records that the program reads only to stay in step; by default
    // nothing happens.
    virtual void dropped_record(RECORD_KIND kind) {}
};

}  // namespace icode
