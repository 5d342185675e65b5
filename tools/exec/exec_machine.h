// The executor: runs the functions of an EXEC_UNIT over a byte-addressed
// memory laid out with the sizes of the unit's types.
//
// Values are held as 64-bit patterns; every operator result is wrapped to
// the size of its node's type and sign- or zero-extended by that type's
// signedness, so integral types of every size wrap as they do on the
// target.  Pointers are byte addresses and are not cut to the pointer size
// while they are computed; storing one into memory that cannot hold it is
// an error.  Memory starts with the globals (address 16 on; 0 to 15 are
// never valid, so a null pointer is a bad address), then one frame per
// active call holding the function's parameters and locals, zero-filled.
//
// Global initializers: the trees of an initializer before its ENDINIT fill
// the scalar slots of the object in order - a scalar is one slot, an array
// its elements in index order, a struct or class its fields in member order
// (a union its first field) - and slots without a tree stay 0.  A string
// constant fills a character array from its first slot.  Each tree is a
// constant expression: an integer constant, conversions of one, or the
// address of a global.
//
// Shifts by a negative count or by 64 and more give 0 (or the sign fill for
// an arithmetic right shift).  Division and remainder by zero are errors.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/exec/exec_trace.h"
#include "tools/exec/exec_unit.h"

namespace exec {

// A run-time failure; the message is one line without a trailing newline.
class EXEC_ERROR : public std::runtime_error {
public:
    explicit EXEC_ERROR(const std::string& message) : std::runtime_error(message) {}
};

struct EXEC_RESULT {
    uint64_t bits = 0;  // the value, extended to 64 bits by its type
    bool is_signed = true;
    bool is_void = false;
    int64_t as_signed() const { return int64_t(bits); }
    std::string text() const;
};

class EXEC_MACHINE {
public:
    // The globals are laid out and initialized here.
    EXEC_MACHINE(const EXEC_UNIT& unit, uint64_t max_steps);

    // Calls a function of the unit with integer arguments, bound in order
    // to its parameters.  Throws EXEC_ERROR.
    EXEC_RESULT call(const std::string& function, const std::vector<int64_t>& args);

    const EXEC_TRACE& trace() const { return trace_; }
    EXEC_TRACE& trace() { return trace_; }
    uint64_t steps() const { return steps_; }

    // The current values of a counters array (unsigned, element by element).
    std::vector<uint32_t> counter_values(const EXEC_COUNTERS& counters) const;

private:
    struct FRAME {
        const EXEC_FUNCTION* function;
        uint64_t base;
        FUNCTION_TRACE* trace;
    };
    struct LAYOUT {
        std::unordered_map<const icode::I_SYMTAB*, uint64_t> offset;
        uint64_t size = 0;
    };

    uint64_t run(const EXEC_FUNCTION& f, const std::vector<uint64_t>& args);
    uint64_t eval(const icode::NODE* n);
    uint64_t address_of(const icode::NODE* n);
    uint64_t symbol_address(const icode::I_SYMTAB* s);
    uint64_t call_node(const icode::NODE* n);
    uint64_t assign(const icode::NODE* n);
    uint64_t binary(int op, const icode::NODE* n, uint64_t a, uint64_t b);
    uint64_t compare(int op, const icode::NODE* l, const icode::NODE* r, uint64_t a, uint64_t b);
    const LAYOUT& layout_of(const EXEC_FUNCTION& f);

    uint64_t load(uint64_t address, const icode::TYPE* type);
    void store(uint64_t address, const icode::TYPE* type, uint64_t value);
    void check(uint64_t address, uint64_t bytes) const;
    void initialize(icode::SYMTAB* s);

    const EXEC_UNIT& unit_;
    uint64_t max_steps_;
    uint64_t steps_ = 0;
    // The recursion depth of eval and address_of, bounded (see NESTING).
    size_t nesting_ = 0;
    struct NESTING {
        explicit NESTING(size_t& depth);
        ~NESTING() { --depth_; }
        size_t& depth_;
    };
    std::vector<uint8_t> memory_;
    std::unordered_map<const icode::I_SYMTAB*, uint64_t> globals_;
    std::unordered_map<const EXEC_FUNCTION*, LAYOUT> layouts_;
    std::vector<FRAME> frames_;
    EXEC_TRACE trace_;
};

// Wraps a 64-bit pattern to the size of a type and extends it by the type's
// signedness; pointers and sizes of 64 bits and more are left alone.
uint64_t normalise(uint64_t value, const icode::TYPE* type);

}  // namespace exec
