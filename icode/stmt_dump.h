// The dump text of one statement of a function: its position, then a symbol,
// label, pragma or node-by-node tree dump.  Block listings and the graph
// viewers show this text, so its form is fixed byte for byte.
#pragma once

#include <string>

#include "icode/record_kinds.h"

namespace icode {

class NODE;
class I_SYMTAB;
struct Pragma;
struct SourcePos;

// What the dump needs of a statement; the profile manager's statement
// entries convert to it.  kind is the record kind that made the statement
// (1..6, 35, 36, 42, 46, 47, 93, 94); the payload field that the kind uses
// is set, the others are null:
//   35  symbol           42  tree: the label-definition node (OP_LABEL_DEF)
//   46  tree             94  pragma (a free-standing attribute statement)
// position is null for a statement without position.
struct STMT_VIEW {
    RECORD_KIND kind{};
    const NODE* tree = nullptr;
    const I_SYMTAB* symbol = nullptr;
    const Pragma* pragma = nullptr;
    const SourcePos* position = nullptr;
};

// The statement text:
//   "\t[file,line,column]\n" when there is a position ("NO_FILE" for an
//   empty file name), then by kind:
//   35  the symbol dump
//   42  "LABEL " and the label number as an unsigned 64-bit decimal, so a
//       new (negative) label shows as its value plus 2^64; no newline
//   46  the tree dump
//   94  the pragma dump with an empty owner name
// and nothing more for the other kinds.  The text is built in one
// process-wide buffer; the caller gets a copy.
std::string statement_text(const STMT_VIEW& statement);

// One line per attribute of a symbol (or a free-standing one):
//   "***     PRAGMA [owner] #kk (n parm): NAME" then, with arguments,
//   "    ARGS:" and "[i]arg  " per argument, and a newline.
// FUNC_ESPEC shows its first two arguments decoded ("Restricted" /
// "Non-restricted", "Checked" / "Non-checked").
std::string pragma_dump(const Pragma& pragma, const std::string& owner);

// The symbol line with its fields and printed type, its position (or
// "[no psn]"), then the pragma dump of each of its attributes in list order.
std::string symbol_dump(const I_SYMTAB& symbol);

// Pre-order node lines: "%-16ssz:%-4d <type>\t\t\t" and the opcode's leaf
// data.  Iterative, so trees of any depth are safe.
std::string tree_dump(const NODE* root);

// Empties and releases the statement-text buffer (for tests).
void reset_statement_text_buffer();

}  // namespace icode
