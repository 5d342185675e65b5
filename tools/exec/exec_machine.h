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
// constant fills a character array from its first slot; in a pointer slot
// it is the address of its bytes.  Each tree is a constant expression: an
// integer constant, conversions of one, or the address of a global.
//
// Shifts by a negative count or by 64 and more give 0 (or the sign fill for
// an arithmetic right shift).  Division and remainder by zero are errors.
//
// C programs (what `icode cc` writes) need a little more: every function has
// an address (one byte of the global area each), so calls go through
// pointers; every string constant gets its bytes and a NUL in the global
// area before the run; STASG copies a struct, and a struct passed or
// returned by value is copied; malloc'ed blocks live in a heap of their
// own from HEAP_BASE on, each block checked on every access.  A bit-field
// is read and written in the bytes that hold it.  A call of a
// function without a body in the unit goes to the small C library of
// exec_library.cpp, or is an error naming the function.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
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

// exit(), abort() or a failed assert() of the program: the run ends with
// this status.
struct EXEC_EXIT {
    int status;
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

    // Runs the unit as a C program: main() or main(argc, argv) with argv
    // made of the given words (the first is the program name).  Returns
    // the exit status: main's result, or exit()'s argument, cut to 8 bits.
    // Throws EXEC_ERROR.
    int run_program(const std::vector<std::string>& words);

    // Where the program's standard streams go (std::cout, std::cerr and
    // std::cin unless set).
    void set_streams(std::ostream* out, std::ostream* err, std::istream* in);

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
        std::vector<uint64_t> varargs;  // the arguments beyond the parameters
    };
    struct LAYOUT {
        std::unordered_map<const icode::I_SYMTAB*, uint64_t> offset;
        uint64_t size = 0;
    };

    // An argument: its bits, or the bytes of a struct passed by value.
    struct ARG {
        uint64_t bits = 0;
        std::vector<uint8_t> bytes;
    };
    uint64_t run(const EXEC_FUNCTION& f, const std::vector<ARG>& args);
    uint64_t eval(const icode::NODE* n);
    uint64_t address_of(const icode::NODE* n);
    uint64_t symbol_address(const icode::I_SYMTAB* s);
    uint64_t call_node(const icode::NODE* n);
    uint64_t assign(const icode::NODE* n);
    // A bit-field: the first byte that holds it, its bit offset in that
    // byte, its width and its declared type.
    struct BITS {
        uint64_t base = 0;
        uint32_t shift = 0;
        uint32_t width = 0;
        const icode::TYPE* type = nullptr;
    };
    BITS bits_of(const icode::NODE* member);
    uint64_t load_bits(const BITS& b);
    void store_bits(const BITS& b, uint64_t value);
    uint64_t assign_bits(const icode::NODE* n, const BITS& b);
    uint64_t binary(int op, const icode::NODE* n, uint64_t a, uint64_t b);
    uint64_t compare(int op, const icode::NODE* l, const icode::NODE* r, uint64_t a, uint64_t b);
    const LAYOUT& layout_of(const EXEC_FUNCTION& f);

    uint64_t load(uint64_t address, const icode::TYPE* type);
    void store(uint64_t address, const icode::TYPE* type, uint64_t value);
    void check(uint64_t address, uint64_t bytes) const;
    // The bytes at an address, in the global and stack area or in a heap
    // block; an error unless all n are inside one object area.
    uint8_t* bytes_at(uint64_t address, uint64_t n);
    uint64_t allocate_global(uint64_t bytes, uint64_t align);
    void initialize(icode::SYMTAB* s);
    void place_strings(const icode::NODE* n);

    // The C library (exec_library.cpp): true when it has the function.
    bool call_library(const std::string& name, const std::vector<uint64_t>& args, uint64_t& result);
    std::string read_string(uint64_t address, uint64_t limit = UINT64_MAX);
    std::string format(const std::string& name, const std::vector<uint64_t>& args, size_t first);
    std::ostream* stream_of(uint64_t file);
    // Calls a function of the unit (or of the library) by its address.
    uint64_t call_address(uint64_t address, const std::vector<uint64_t>& args);
    void sort(uint64_t base, uint64_t count, uint64_t size, uint64_t compare);
    uint32_t next_random();
    // The variable arguments a va_list at `list` has not yet taken.
    std::vector<uint64_t> va_rest(uint64_t list);
    void seed_random(uint32_t seed);
    uint64_t heap_allocate(uint64_t bytes);
    void heap_free(uint64_t address, const char* who);

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

    std::unordered_map<uint64_t, const icode::SYMTAB*> function_at_;  // address -> function
    std::unordered_map<const icode::NODE*, uint64_t> strings_;        // SCON -> its bytes
    uint64_t return_slot_ = 0;  // where a struct result is copied
    uint64_t return_bytes_ = 0;
    std::map<uint64_t, std::vector<uint8_t>> heap_;  // block address -> bytes
    uint64_t heap_next_;
    uint64_t heap_used_ = 0;
    // rand()'s state: the additive feedback generator of the host library
    // (seeded with 1 until srand is called).
    std::vector<uint32_t> random_;
    uint64_t errno_ = 0;   // the program's errno, an int of the global area
    uint64_t strtok_ = 0;  // where strtok goes on
    size_t random_next_ = 0;
    std::string program_name_ = "icode-run";  // argv[0] of run_program
    std::ostream* out_;
    std::ostream* err_;
    std::istream* in_;
};

// Wraps a 64-bit pattern to the size of a type and extends it by the type's
// signedness; pointers and sizes of 64 bits and more are left alone.
uint64_t normalise(uint64_t value, const icode::TYPE* type);

}  // namespace exec
