// Array forms of the infix printer, and the type questions they ask.
//
// The compiler lowers a[i] to *(&a + i*size) and p = &a[i] to
// p = &a + i*size.  The printer turns such address arithmetic back into
// "base[index]":
//   - the address is &x, or a pointer plus or minus a byte offset;
//   - when the pointer is &a of an array a, the base is a itself and the
//     element type is a's element type, so &hist + (i & 3)*2 shows as
//     hist[i&3]; any other pointer is the base as it stands ((&s)[0],
//     p[2]);
//   - the index is the byte offset over the element size: the scaled
//     operand when the offset is a PMCONV by exactly that size, the
//     constant divided when the offset is a constant, the offset itself for
//     one-byte elements, and "offset/size" otherwise.
// When the base points to something other than the accessed element, the
// text begins with a cast to pointer-to-element.
#include <string>

#include "icode/infix_printer.h"
#include "icode/infix_tables.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/type_core.h"
#include "icode/type_print.h"
#include "icode/types.h"

namespace icode {

// ---- type helpers -------------------------------------------------------------

const TYPE* infix_plain_type(const TYPE* type) {
    // Each typedef or qualified type names one made before it, so the chain
    // is short; the bound only guards against a damaged one.
    for (int steps = 0; type != nullptr && steps < 64; ++steps) {
        type = type->resolved();
        switch (type->kind()) {
            case TypeKind::TYPEDEF: type = type->typedef_part().base; break;
            case TypeKind::QUALIFIED: type = type->qualified_part().unqualified; break;
            default: return type;
        }
    }
    return nullptr;
}

const TYPE* infix_pointee(const TYPE* type) {
    const TYPE* plain = infix_plain_type(type);
    return plain != nullptr && plain->kind() == TypeKind::POINTER ? plain->pointer_part().pointee
                                                                  : nullptr;
}

uint64_t infix_reduce(uint64_t value, const TYPE* type) {
    if (type == nullptr || is_signed(type)) return value;
    const uint32_t bits = type->resolved()->size();
    if (bits == 0 || bits >= 64) return value;
    return value & ((uint64_t{1} << bits) - 1);
}

bool infix_is_constant(const NODE* node) { return node != nullptr && node->opcode() == ICON; }

int64_t infix_constant(const NODE* node) {
    return static_cast<int64_t>(infix_reduce(node->value(), node->type()));
}

uint64_t infix_step(const NODE* node) {
    const TYPE* pointee = infix_pointee(node != nullptr ? node->type() : nullptr);
    const uint64_t bytes = pointee != nullptr ? pointee->resolved()->size() / 8 : 0;
    return bytes != 0 ? bytes : 1;
}

namespace {

// The size of a type in bytes when it is a positive whole number of bytes,
// else 0.
uint64_t whole_bytes(const TYPE* type) {
    if (type == nullptr) return 0;
    const uint32_t bits = type->resolved()->size();
    return bits != 0 && bits % 8 == 0 ? bits / 8 : 0;
}

// Whether an access through a pointer to a reads an object of type b
// without a cast: typedefs and qualifiers do not matter; pointers and
// arrays compare their element types; enums and classes compare by name.
bool compatible(const TYPE* a, const TYPE* b, int depth = 0) {
    a = infix_plain_type(a);
    b = infix_plain_type(b);
    if (a == nullptr || b == nullptr) return false;
    if (a == b) return true;
    if (a->kind() != b->kind() || depth > 16) return false;
    switch (a->kind()) {
        case TypeKind::VOID: return true;
        case TypeKind::INTEGRAL: return a->integral_part().sub_kind == b->integral_part().sub_kind;
        case TypeKind::FLOATING: return a->floating_part().sub_kind == b->floating_part().sub_kind;
        case TypeKind::POINTER:
            return compatible(a->pointer_part().pointee, b->pointer_part().pointee, depth + 1);
        case TypeKind::ARRAY:
            return a->array_part().count == b->array_part().count &&
                   compatible(a->array_part().element, b->array_part().element, depth + 1);
        case TypeKind::ENUM:
        case TypeKind::CLASS:
        case TypeKind::STRUCT:
        case TypeKind::UNION: return !a->name().empty() && a->name() == b->name();
        default: return false;
    }
}

// The base of an address: an array object for &a, else the pointer itself.
void set_base(const NODE* pointer, INFIX_ADDRESS& address) {
    if (pointer != nullptr && pointer->opcode() == UAND && pointer->left() != nullptr) {
        const TYPE* object = infix_plain_type(pointer->left()->type());
        if (object != nullptr && object->kind() == TypeKind::ARRAY) {
            address.base = pointer->left();
            address.pointee = object->array_part().element;
            return;
        }
    }
    address.base = pointer;
    address.pointee = pointer != nullptr ? infix_pointee(pointer->type()) : nullptr;
}

// Takes address arithmetic apart: &x, or a pointer-typed PLUS or MINUS.
bool split_address(const NODE* address, INFIX_ADDRESS& out) {
    if (address == nullptr) return false;
    switch (address->opcode()) {
        case UAND: set_base(address, out); return true;
        case PLUS:
        case MINUS: {
            const TYPE* type = infix_plain_type(address->type());
            if (type == nullptr || type->kind() != TypeKind::POINTER) return false;
            set_base(address->left(), out);
            out.offset = address->right();
            out.negate = address->opcode() == MINUS;
            return true;
        }
        default: return false;
    }
}

}  // namespace

bool INFIX_PRINTER::print_array_access(const NODE* umult) {
    const TYPE* element = umult->type();
    if (umult->right() != nullptr) {
        // A dereference that carries its index as a second operand.
        INFIX_ADDRESS address;
        set_base(umult->left(), address);
        print_array_form(address, element, 0, umult->right());
        return true;
    }
    const uint64_t bytes = whole_bytes(element);
    INFIX_ADDRESS address;
    if (bytes == 0 || !split_address(umult->left(), address)) return false;
    print_array_form(address, element, bytes, nullptr);
    return true;
}

bool INFIX_PRINTER::print_address_assignment(const NODE* asg) {
    const TYPE* element = infix_pointee(asg->type());
    const TYPE* plain = infix_plain_type(element);
    if (plain == nullptr || plain->kind() == TypeKind::POINTER || plain->kind() == TypeKind::ARRAY)
        return false;
    const uint64_t bytes = whole_bytes(element);
    INFIX_ADDRESS address;
    if (bytes == 0 || !split_address(asg->right(), address)) return false;
    // p = &x reads better as it stands than as p = &(&x)[0].
    if (address.offset == nullptr && address.base == asg->right()) return false;
    print(asg->left(), infix_precedence(ASG) + 1);
    put(" = &");
    print_array_form(address, element, bytes, nullptr);
    return true;
}

void INFIX_PRINTER::print_array_form(const INFIX_ADDRESS& address, const TYPE* element,
                                     uint64_t element_bytes, const NODE* index) {
    if (!compatible(address.pointee, element)) {
        put("(");
        put((print_type(element) + "*").c_str());
        put(")");
    }
    print(address.base, infix_precedence(STREF));
    put("[");
    if (index != nullptr)
        print(index, 0);
    else if (address.offset == nullptr)
        put("0");
    else
        print_index(address.offset, element_bytes, address.negate);
    put("]");
}

void INFIX_PRINTER::print_index(const NODE* offset, uint64_t element_bytes, bool negate) {
    const int64_t size = static_cast<int64_t>(element_bytes);
    if (infix_is_constant(offset)) {
        const uint64_t raw = static_cast<uint64_t>(infix_constant(offset));
        const int64_t bytes = static_cast<int64_t>(negate ? 0 - raw : raw);
        if (bytes % size == 0) {
            put_signed(bytes / size);
            return;
        }
    }
    const NODE* scaled = nullptr;
    if (offset != nullptr && offset->opcode() == PMCONV && infix_is_constant(offset->right()) &&
        infix_constant(offset->right()) == size * 8)
        scaled = offset->left();
    else if (element_bytes == 1)
        scaled = offset;
    if (negate) put("-");
    if (scaled != nullptr) {
        print(scaled, negate ? infix_precedence(UMINUS) : 0);
        return;
    }
    if (negate) put("(");
    print(offset, infix_precedence(DIV));
    put("/");
    put_signed(size);
    if (negate) put(")");
}

}  // namespace icode
