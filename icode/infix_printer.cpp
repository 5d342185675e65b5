// The node rules of the infix printer: leaves, statement forms, the special
// arithmetic forms, conversions, calls, and the general unary and binary
// rules.
#include "icode/infix_printer.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "icode/infix_tables.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/symtab.h"
#include "icode/type_core.h"
#include "icode/types.h"

namespace icode {

namespace {

// A floating constant prints its text as read; one made from a number
// prints its decimal form.
std::string floating_text(const NODE* node) {
    return node->text() != nullptr ? std::string(node->text()) : node->decimal_text();
}

// A negative floating constant prints with its sign, so it binds like a
// unary minus (14); every other one is a plain leaf (99).
int floating_precedence(const NODE* node) { return floating_text(node)[0] == '-' ? 14 : 99; }

// The precedence a node is compared with.  STARG and DDNODE print only
// their operand, so they bind like it.
int node_precedence(const NODE* node) {
    while (node != nullptr && (node->opcode() == STARG || node->opcode() == DDNODE))
        node = node->left();
    if (node == nullptr) return 0;
    if (node->opcode() == FCON) return floating_precedence(node);
    return infix_precedence(node->opcode());
}

bool is_right_associative(int opcode) {
    switch (opcode) {
        case MULTASG:
        case COLON:
        case DIVASG:
        case MODASG:
        case SLLASG:
        case SRLASG:
        case STASG:
        case PLUSASG:
        case MINUSASG:
        case QUEST: return true;
        default: return false;
    }
}

// How many operands the general rule prints.  The operator table decides;
// a node whose opcode has no operands but which carries some anyway is
// printed by what it carries, so that nothing it holds is lost.
int printed_arity(const NODE* node) {
    switch (node->opcode()) {
        case UMINUS:
        case UAND:
        case EXCLAIM:
        case NOTB: return 1;
        case SKIP:  // never carries an operand in I-code, whatever the table says
            return node->left() != nullptr ? 1 : 0;
        default: break;
    }
    int count = OperatorTable::operand_count(node->opcode());
    if (count == 2 || node->right() != nullptr) return 2;
    if (count == 1 || node->left() != nullptr) return 1;
    return 0;
}

// The comparison that holds exactly when the given one does not; 0 for
// other opcodes.
int complement(int opcode) {
    switch (opcode) {
        case EQ: return NEQ;
        case NEQ: return EQ;
        case LE: return GT;
        case GT: return LE;
        case LT: return GE;
        case GE: return LT;
        case ULE: return UGT;
        case UGT: return ULE;
        case ULT: return UGE;
        case UGE: return ULT;
        default: return 0;
    }
}

bool is_zero_constant(const NODE* node) {
    return infix_is_constant(node) && infix_constant(node) == 0;
}

}  // namespace

// ---- output -----------------------------------------------------------------

void INFIX_PRINTER::put_char(char c) {
    if (out_.overflow) return;
    if (out_.fill >= INFIX_LIMIT) {
        out_.overflow = true;
        return;
    }
    out_.text[out_.fill++] = c;
}

void INFIX_PRINTER::put(const char* text) {
    while (*text != '\0' && !out_.overflow) put_char(*text++);
}

void INFIX_PRINTER::put_signed(int64_t value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, value < 0 ? "(%" PRId64 ")" : "%" PRId64, value);
    put(digits);
}

void INFIX_PRINTER::put_integer(uint64_t value, const TYPE* type) {
    if (is_signed(type)) {
        put_signed(static_cast<int64_t>(value));
        return;
    }
    char digits[32];
    std::snprintf(digits, sizeof digits, "%" PRIu64, infix_reduce(value, type));
    put(digits);
}

void INFIX_PRINTER::put_quotient(const NODE* constant, uint64_t step) {
    const TYPE* type = constant->type();
    if (is_signed(type))
        put_integer(static_cast<uint64_t>(static_cast<int64_t>(constant->value()) /
                                          static_cast<int64_t>(step)),
                    type);
    else
        put_integer(infix_reduce(constant->value(), type) / step, type);
}

// ---- the node walk ------------------------------------------------------------

void INFIX_PRINTER::print(const NODE* node, int p) {
    if (out_.overflow) return;
    if (node == nullptr) {
        put("((nil))");
        return;
    }
    if (depth_ >= MAX_DEPTH) {
        out_.overflow = true;
        return;
    }
    ++depth_;
    const int precedence = node_precedence(node);
    const bool parenthesized = p > precedence;
    if (parenthesized) put_char('(');
    print_body(node, precedence, parenthesized);
    if (parenthesized) put_char(')');
    --depth_;
}

void INFIX_PRINTER::print_body(const NODE* node, int precedence, bool parenthesized) {
    if (print_leaf(node)) return;
    if (print_statement_form(node, precedence)) return;
    if (print_arithmetic_form(node, precedence, parenthesized)) return;
    if (print_conversion_form(node, precedence)) return;
    if (print_call_form(node)) return;
    print_general(node, precedence);
}

void INFIX_PRINTER::print_binary(const NODE* left, const char* symbol, const NODE* right,
                                 int left_p, int right_p) {
    print(left, left_p);
    put(symbol);
    print(right, right_p);
}

void INFIX_PRINTER::print_general(const NODE* node, int precedence) {
    const int op = node->opcode();
    switch (printed_arity(node)) {
        case 1:
            put(infix_symbol(op));
            print(node->left(), precedence);
            break;
        case 2:
            if (is_right_associative(op))
                print_binary(node->left(), infix_symbol(op), node->right(), precedence + 1,
                             precedence);
            else
                print_binary(node->left(), infix_symbol(op), node->right(), precedence,
                             precedence + 1);
            break;
        default: break;
    }
}

// Lists are chains of COMMA nodes, in either direction; the chain is walked
// with a stack of its own so that long lists cost no nesting.
void INFIX_PRINTER::print_list(const NODE* node, const char* sep, int p) {
    if (node == nullptr) return;
    std::vector<const NODE*> pending{node};
    bool first = true;
    while (!pending.empty() && !out_.overflow) {
        const NODE* element = pending.back();
        pending.pop_back();
        if (element != nullptr && element->opcode() == COMMA) {
            pending.push_back(element->right());
            pending.push_back(element->left());
            continue;
        }
        if (!first) put(sep);
        first = false;
        print(element, p);
    }
}

// Arguments bind above the comma, so a comma expression among them keeps
// its parentheses.
void INFIX_PRINTER::print_args(const NODE* node) {
    print_list(node, ", ", infix_precedence(COMMA) + 1);
}

// ---- leaves -------------------------------------------------------------------

bool INFIX_PRINTER::print_leaf(const NODE* node) {
    char number[48];
    switch (node->opcode()) {
        case NAME: {
            // The compiler decorates external names with one "_" or ".".
            if (const I_SYMTAB* symbol = node->symbol()) {
                const char* name = symbol->name().c_str();
                if (*name == '_' || *name == '.') ++name;
                put(name);
            }
            return true;
        }
        case LABEL:
            std::snprintf(number, sizeof number, "goto g%" PRId64,
                          static_cast<int64_t>(node->value()));
            put(number);
            if (node->weight() != -1) {
                std::snprintf(number, sizeof number, "#%u", static_cast<unsigned>(node->weight()));
                put(number);
            }
            return true;
        case SCON: {
            put_char('"');
            if (const std::string* bytes = node->text_string()) {
                for (char c : *bytes) {
                    if (out_.overflow) break;
                    switch (c) {
                        case '\b': put("\\b"); break;
                        case '\t': put("\\t"); break;
                        case '\n': put("\\n"); break;
                        case '\f': put("\\f"); break;
                        case '\r': put("\\r"); break;
                        case '"': put("\\\""); break;
                        case '\\': put("\\\\"); break;
                        default: {
                            unsigned char byte = static_cast<unsigned char>(c);
                            if (byte < 32 || byte > 126) {
                                std::snprintf(number, sizeof number, "\\%03o", byte);
                                put(number);
                            } else {
                                put_char(c);
                            }
                        }
                    }
                }
            }
            put_char('"');
            return true;
        }
        case FIELD:
            if (const FieldMember* field = node->field()) put(field->name.c_str());
            return true;
        case ICON: put_integer(node->value(), node->type()); return true;
        case FCON: put(floating_text(node).c_str()); return true;
        case LCON:
            if (node->text() != nullptr) put(node->text());
            return true;
        case OP_LABEL_DEF:
            // The number is shared with FORD; the label definition is the one
            // without operands.
            if (node->left() != nullptr || node->right() != nullptr) return false;
            std::snprintf(number, sizeof number, "g%" PRId64 ":",
                          static_cast<int64_t>(node->value()));
            put(number);
            return true;
        default: return false;
    }
}

// ---- statement forms ----------------------------------------------------------

bool INFIX_PRINTER::print_statement_form(const NODE* node, int precedence) {
    switch (node->opcode()) {
        case SWITCH:
            put("switch (");
            print(node->left(), 0);
            put(" ) {");
            print_list(node->right(), " ", 0);
            put("}");
            return true;
        case CASE:
            put("case ");
            print(node->left(), 0);
            put(": ");
            print(node->right(), 0);
            put(";");
            return true;
        case LOOP:
            put("LOOP(");
            print(node->left(), 0);
            put("):");
            return true;
        case ENDLOOP:
            put("if ( --");
            print(node->left(), infix_precedence(MINMIN) + 1);
            put(" != 0 ) ");
            print(node->right(), 0);
            return true;
        case RETURN:
            put("return ");
            print(node->left(), 0);
            return true;
        case CBRANCH:
            // The branch is taken when the condition is false, so the text shows
            // the condition under which it jumps.
            put("( ");
            print_inverted_condition(node->left());
            put(" ) ");
            return true;
        case STARG:
        case DDNODE:
        case BRANCH: print(node->left(), precedence); return true;
        default: return false;
    }
}

void INFIX_PRINTER::print_inverted_condition(const NODE* condition) {
    if (condition == nullptr) {
        print(condition, 0);
        return;
    }
    const int op = condition->opcode();
    if (op == EXCLAIM) {
        print(condition->left(), 0);
        return;
    }
    if (op == EQ) {
        const NODE* right = condition->right();
        if (right != nullptr && right->opcode() == PCONV) right = right->left();
        if (is_zero_constant(right)) {
            print(condition->left(), 0);
            return;
        }
    }
    if (int inverse = complement(op)) {
        const int p = infix_precedence(inverse);
        print_binary(condition->left(), infix_symbol(inverse), condition->right(), p, p + 1);
        return;
    }
    print(condition, 0);
}

// ---- arithmetic forms ---------------------------------------------------------

bool INFIX_PRINTER::print_arithmetic_form(const NODE* node, int precedence, bool parenthesized) {
    const int op = node->opcode();
    const NODE* left = node->left();
    const NODE* right = node->right();
    switch (op) {
        case PLUS:
            // a + -3 reads as a - 3.
            if (!infix_is_constant(right) || !is_signed(right->type()) ||
                static_cast<int64_t>(right->value()) >= 0)
                return false;
            print(left, precedence);
            put(infix_symbol(MINUS));
            put_integer(0 - right->value(), right->type());
            return true;
        case PLUSASG:
        case MINUSASG: {
            if (parenthesized || !infix_is_constant(right)) return false;
            const uint64_t step = infix_step(left);
            if (infix_constant(right) == static_cast<int64_t>(step)) {
                put(op == PLUSASG ? "++" : "--");
                print(left, infix_precedence(PLUSPLUS) + 1);
            } else {
                print(left, precedence + 1);
                put(infix_symbol(op));
                put_quotient(right, step);
            }
            return true;
        }
        case PLUSPLUS:
        case MINMIN:
            print(left, precedence + 1);
            put(infix_symbol(op));
            if (!infix_is_constant(right)) {
                put("{");
                print(right, 0);
                put("}");
            } else if (infix_constant(right) != static_cast<int64_t>(infix_step(left))) {
                put("{");
                put_quotient(right, infix_step(left));
                put("}");
            }
            return true;
        case ANDB:
        case ORB:
        case XORB: {
            if (!infix_is_constant(right)) return false;
            const int64_t value = infix_constant(right);
            if (value >= 0 && value <= 7) return false;
            print(left, precedence);
            put(infix_symbol(op));
            put_integer(right->value(), right->type());
            return true;
        }
        case QUEST:
            // A condition that is a dereference or a leaf reads well without the
            // parentheses; the general rule prints it.
            if (left == nullptr || left->opcode() == UMULT ||
                (left->left() == nullptr && left->right() == nullptr))
                return false;
            put("(");
            print(left, 0);
            put(") ? ");
            print(right, precedence);
            return true;
        case STFIELD:
            // The second operand is the field's offset in bits.
            put("*(&");
            print(left, infix_precedence(UAND));
            if (!is_zero_constant(right)) {
                put("+");
                if (infix_is_constant(right)) {
                    put_quotient(right, 8);
                } else {
                    print(right, infix_precedence(DIV));
                    put("/8");
                }
            }
            put(")");
            return true;
        case ARGREF:
            put("&");
            if (left != nullptr && left->left() == nullptr && left->right() == nullptr)
                print(left, 0);
            else
                print(left, 999);
            return true;
        case ARASG:
            print(left, infix_precedence(ASG) + 1);
            put(" = ");
            print(right, infix_precedence(ASG));
            return true;
        case PMCONV:
        case PVCONV:
            // Scaling by an element size given in bits.
            print(left, infix_precedence(MULT));
            if (infix_is_constant(right) && infix_constant(right) == 8) return true;
            put(op == PMCONV ? "*" : "/");
            if (infix_is_constant(right)) {
                put_quotient(right, 8);
            } else {
                print(right, infix_precedence(MULT) + 1);
                put("/8");
            }
            return true;
        case UMULT: return print_array_access(node);
        case ASG: return print_address_assignment(node);
        default: return false;
    }
}

// ---- conversions --------------------------------------------------------------

bool INFIX_PRINTER::print_conversion_form(const NODE* node, int precedence) {
    switch (node->opcode()) {
        case SCONV:
        case PCONV:
        case ACONV: {
            // Conversions are implied in C-like text; only the null pointer gets
            // a name of its own.
            const NODE* operand = node->left();
            const TYPE* target = infix_plain_type(node->type());
            if (target != nullptr && target->kind() == TypeKind::POINTER &&
                is_zero_constant(operand))
                put("NULL");
            else
                print(operand, precedence);
            return true;
        }
        default: return false;
    }
}

// ---- calls --------------------------------------------------------------------

bool INFIX_PRINTER::print_call_form(const NODE* node) {
    const int op = node->opcode();
    switch (op) {
        case CALL:
        case UCALL: {
            const NODE* callee = node->left();
            if (callee != nullptr && callee->opcode() == UAND) {
                print(callee->left(), infix_precedence(CALL));
                put("(");
            } else {
                put("(*");
                print(callee, infix_precedence(UMULT));
                put(")(");
            }
            print_args(node->right());
            put(")");
            return true;
        }
        case ABS:
        case EPVAL:
        case SQRT:
        case SQR:
        case NASSERT:
        case ASSERT:
        case MEMCPY:
        case TOIEEE:
        case FRIEEE: {
            const NODE* args = node->left();
            if (op == ASSERT && args != nullptr && args->opcode() == COMMA) args = args->left();
            put(infix_symbol(op));
            put("(");
            print_args(args);
            if (node->right() != nullptr) {
                put(", ");
                print_args(node->right());
            }
            put(")");
            return true;
        }
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL:
            // Calls of run-time routines, the memory-access ones included: the
            // routine's name and its arguments.  A dereference of such a call is
            // printed by the general rule as "*" before it.
            if (node->text() != nullptr) put(node->text());
            put("(");
            print_args(node->left());
            put(")");
            return true;
        default: return false;
    }
}

}  // namespace icode
