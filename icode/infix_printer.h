// The infix printer's working parts, shared by its source files; users call
// infix_text() (infix.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace icode {

class NODE;
class TYPE;

// Longest text the printer writes; a longer rendering is cut here and
// "..." is appended.
constexpr unsigned INFIX_LIMIT = 1980;

// An address taken apart for the array form "base[index]": the expression
// before the brackets, the type it points to, and the byte offset added to
// it (none for a plain address), subtracted when negate is set.
struct INFIX_ADDRESS {
    const NODE* base = nullptr;
    const TYPE* pointee = nullptr;
    const NODE* offset = nullptr;
    bool negate = false;
};

// The text being built: a fixed array with a fill pointer and an overflow
// flag.  Nothing is written at or past INFIX_LIMIT; the first character that
// would go there sets the flag, and everything after it is dropped.
struct INFIX_BUFFER {
    static constexpr std::size_t SIZE = 1984;
    char text[SIZE];
    std::size_t fill = 0;
    bool overflow = false;
    bool busy = false;
};

// Renders one tree into a buffer.  Each node is printed with the
// precedence its parent requires and put in parentheses when it binds
// less tightly.
class INFIX_PRINTER {
public:
    explicit INFIX_PRINTER(INFIX_BUFFER& buffer) : out_(buffer) {}

    void put(const char* text);
    void put_char(char c);
    // Prints a node, in parentheses when p exceeds its precedence; a null
    // node prints "((nil))".
    void print(const NODE* node, int p);

private:
    // Nesting deeper than this stops the rendering as if the text were full,
    // so that a degenerate tree cannot exhaust the stack.  It is above the
    // limit of the text: operators print at least one character each, so a
    // chain of them that could still fit is never cut short by depth.
    static constexpr int MAX_DEPTH = 2000;

    void print_body(const NODE* node, int precedence, bool parenthesized);
    bool print_leaf(const NODE* node);
    bool print_statement_form(const NODE* node, int precedence);
    bool print_arithmetic_form(const NODE* node, int precedence, bool parenthesized);
    bool print_conversion_form(const NODE* node, int precedence);
    bool print_call_form(const NODE* node);
    void print_general(const NODE* node, int precedence);
    void print_binary(const NODE* left, const char* symbol, const NODE* right, int left_p,
                      int right_p);

    // Integer constants: decimal; unsigned values reduced to the type's width,
    // negative signed values in parentheses.
    void put_integer(uint64_t value, const TYPE* type);
    void put_signed(int64_t value);
    // An integer constant divided by a positive step, printed by the rules
    // of the constant's type.
    void put_quotient(const NODE* constant, uint64_t step);
    // The COMMA chain below node, elements separated by sep.
    void print_list(const NODE* node, const char* sep, int p);
    void print_args(const NODE* node);
    void print_inverted_condition(const NODE* condition);

    // Array forms (infix_arrays.cpp).
    bool print_array_access(const NODE* umult);
    bool print_address_assignment(const NODE* asg);
    void print_array_form(const INFIX_ADDRESS& address, const TYPE* element, uint64_t element_bytes,
                          const NODE* index);
    void print_index(const NODE* offset, uint64_t element_bytes, bool negate);

    INFIX_BUFFER& out_;
    int depth_ = 0;
};

// Type helpers of the printer.
// The type with typedefs and qualifiers taken off (null stays null).
const TYPE* infix_plain_type(const TYPE* type);
// The pointee of a pointer type, or null.
const TYPE* infix_pointee(const TYPE* type);
// A value reduced to the width of its type when the type is unsigned;
// unchanged for signed types.
uint64_t infix_reduce(uint64_t value, const TYPE* type);
// True for an ICON node.
bool infix_is_constant(const NODE* node);
// An integer constant's value: as stored (sign-extended) for signed types,
// reduced to the type's width for unsigned ones.
int64_t infix_constant(const NODE* node);
// Element size for ++, -- and += on a node: 1, or the pointee's size in
// bytes when the node is a pointer to a type of whole bytes.
uint64_t infix_step(const NODE* node);

}  // namespace icode
