// The infix printer: one expression tree as one line of C-like text, as the
// code-coverage table shows a statement.
#pragma once

namespace icode {

class NODE;

// Renders a tree.  The text lives in one process-wide buffer and stays valid
// until the next call; callers that keep it copy it.  A PCOMMA root gets the
// prefix "PARALLEL ASSIGNMENTS: ".  The printer never fails: missing
// operands print "((nil))", and a rendering longer than INFIX_LIMIT
// (infix_printer.h) characters (or nested deeper than the printer descends) ends in "...".
//
// The buffer is not reentrant.  A call made while a rendering is in
// progress (a symbol's name() that prints a tree, say) returns the fixed text
// "+*+*+ tree2infix called recursively +*+*+" and leaves the outer rendering
// untouched.
const char* infix_text(const NODE* root);

// Clears the buffer, its busy flag and its overflow flag (for tests).
void reset_infix_state();

}  // namespace icode
