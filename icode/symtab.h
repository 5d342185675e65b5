// Symbols of an I-code unit: the abstract I_SYMTAB, the concrete SYMTAB,
// and the entries of the unit's string-list table.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "icode/attributes.h"
#include "icode/source_pos.h"

namespace icode {

class TYPE;
class NODE;

// What every symbol offers, in fixed slot order.
class I_SYMTAB {
public:
    virtual const std::string& name() const = 0;
    virtual uint32_t size() const = 0;
    virtual uint32_t value() const = 0;
    virtual uint8_t storage_class() const = 0;
    virtual uint16_t qualifiers() const = 0;
    virtual TYPE* type() const = 0;
    virtual TYPE* second_type() const = 0;
    virtual uint16_t alignment() const = 0;
    virtual const SourcePos* position() const = 0;  // nullptr: no position
    virtual const Pragma* first_pragma() const = 0;
    virtual int pragma_count() const = 0;
    virtual uint32_t definition_offset() const = 0;
    virtual uint32_t opt() const = 0;
    virtual int level() const = 0;
    virtual void set_level(int level) = 0;
    virtual void set_definition_offset(uint32_t offset) = 0;
    virtual ~I_SYMTAB() = default;
};

// The fields of a symbol record, as the reader decodes them.
struct SymbolRecord {
    std::string name;
    uint32_t size = 0;
    uint32_t value = 0;
    uint8_t storage_class = 0;
    uint16_t qualifiers = 0;
    TYPE* type = nullptr;
    TYPE* second_type = nullptr;
    uint16_t alignment = 0;
    uint32_t definition_offset = 0;
    uint32_t opt = 0;
    std::optional<SourcePos> position;
    uint8_t reference_state = 0;
};

// A symbol.  It owns its name, its pragma list and its initializer trees;
// the types it names belong to the type package.
class SYMTAB final : public I_SYMTAB {
public:
    explicit SYMTAB(SymbolRecord record);
    ~SYMTAB() override;
    SYMTAB(const SYMTAB&) = delete;
    SYMTAB& operator=(const SYMTAB&) = delete;

    const std::string& name() const override { return name_; }
    uint32_t size() const override { return size_; }
    uint32_t value() const override { return value_; }
    uint8_t storage_class() const override { return storage_class_; }
    uint16_t qualifiers() const override { return qualifiers_; }
    TYPE* type() const override { return type_; }
    TYPE* second_type() const override { return second_type_; }
    uint16_t alignment() const override { return alignment_; }
    const SourcePos* position() const override { return position_ ? &*position_ : nullptr; }
    const Pragma* first_pragma() const override { return pragmas_.get(); }
    int pragma_count() const override { return pragma_count_; }
    uint32_t definition_offset() const override { return definition_offset_; }
    uint32_t opt() const override { return opt_; }
    int level() const override { return level_; }
    void set_level(int level) override { level_ = level; }
    void set_definition_offset(uint32_t offset) override { definition_offset_ = offset; }

    // Position in the global or local table of the unit being read; -1
    // while in no such table.
    int index() const { return index_; }
    void set_index(int index) { index_ = index; }
    // Position in the table of the unit being written; -1 while in none.  It
    // differs from index() once the written unit holds symbols that the read
    // one does not (the counters arrays) before this one.
    int output_index() const { return output_index_; }
    void set_output_index(int index) { output_index_ = index; }

    // 0 by default, 1 when referenced, 3 when dead (see reference_state_after).
    uint8_t reference_state() const { return reference_state_; }
    void set_reference_state(uint8_t state) { reference_state_ = state; }
    // Applies the reference-state rule for one attribute of the given kind.
    void apply_reference_rule(uint8_t kind) {
        reference_state_ = reference_state_after(reference_state_, kind);
    }

    // The type the profiler works with (a typedef may be replaced by one of
    // the right size); the type as read until set.
    TYPE* effective_type() const { return effective_type_; }
    void set_effective_type(TYPE* type) { effective_type_ = type; }

    // Puts an attribute at the front of the list: attributes attached in file
    // order end up in reverse file order, which is how they are written back.
    // The pragma is taken as a single attribute: its own next link is replaced.
    void add_pragma_front(std::unique_ptr<Pragma> pragma);

    // Initializer trees, up to and including the ENDINIT tree.  The symbol
    // owns them and frees them when it is destroyed or the list is replaced.
    const std::vector<NODE*>& initializers() const;
    void set_initializers(std::vector<NODE*> trees);
    // Hands the trees to the caller, leaving the list empty.
    std::vector<NODE*> take_initializers();

private:
    void free_initializers();

    std::string name_;
    int index_ = -1;
    int output_index_ = -1;
    uint8_t reference_state_;
    uint8_t storage_class_;
    uint16_t qualifiers_;
    uint16_t alignment_;
    uint32_t size_;
    uint32_t value_;
    TYPE* type_;
    TYPE* effective_type_;
    TYPE* second_type_;
    std::optional<SourcePos> position_;
    std::unique_ptr<Pragma> pragmas_;
    int pragma_count_ = 0;
    int level_ = 0;
    uint32_t definition_offset_;
    uint32_t opt_;
    // Most symbols have none: the list is made when one is set.
    std::unique_ptr<std::vector<NODE*>> initializers_;
};

// One entry of the unit's string-list table; count equals strings.size().
// Entries are copied from the input unit to the output unit unchanged.
struct StringListEntry {
    uint32_t id = 0;
    uint32_t count = 0;
    std::vector<std::string> strings;

    StringListEntry() = default;
    StringListEntry(uint32_t entry_id, std::vector<std::string> entry_strings)
        : id(entry_id),
          count(static_cast<uint32_t>(entry_strings.size())),
          strings(std::move(entry_strings)) {}
};

}  // namespace icode
