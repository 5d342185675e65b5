// Precedences and operator symbols of the infix printer.
#pragma once

namespace icode {

// Binding strength of an opcode: 99 for leaves, 15 for postfix and call
// forms, 14 for prefix forms, down to 1 for the comma operators; 0 for
// opcodes without a rule.  (FCON, STARG and DDNODE are decided per node by
// the printer.)
int infix_precedence(int opcode);

// The text printed for an operator: its C symbol with the blanks the
// printer wants ("+", " += ", " ? "), a word for the call-like forms, an
// eight-character mnemonic for nodes without a C symbol, " ?ILLOP?" for
// 255, the operator-table name for the rest, and "?NODE?" for numbers
// without one.
const char* infix_symbol(int opcode);

}  // namespace icode
