// The operator table: a constant array indexed by opcode, built from the list
// of operators so that every number without an entry stays empty.
#include "icode/opcodes.h"

#include <array>

namespace icode {
namespace {

struct OperatorEntry {
    const char* name;
    int operands;
};

struct OperatorDef {
    int code;
    const char* name;
    int operands;
};

constexpr OperatorDef kOperators[] = {
    {NOP, "NOP", 0},
    {LABEL, "LABEL", 0},
    {NAME, "NAME", 0},
    {SCON, "SCON", 0},
    {ICON, "ICON", 0},
    {FCON, "FCON", 0},
    {PLUS, "PLUS", 2},
    {PLUSASG, "PLUSASG", 2},
    {MINUS, "MINUS", 2},
    {MINUSASG, "MINUSASG", 2},
    {UMINUS, "UMINUS", 1},
    {MULT, "MULT", 2},
    {MULTASG, "MULTASG", 2},
    {UMULT, "UMULT", 1},
    {ANDB, "ANDB", 2},
    {ANDBASG, "ANDBASG", 2},
    {UAND, "UAND", 1},
    {ORB, "ORB", 2},
    {ORBASG, "ORBASG", 2},
    {XORB, "XORB", 2},
    {XORBASG, "XORBASG", 2},
    {QUEST, "QUEST", 2},
    {COLON, "COLON", 2},
    {ANDAND, "ANDAND", 2},
    {OROR, "OROR", 2},
    {LCON, "LCON", 0},
    {FIELD, "FIELD", 0},
    {ABS, "ABS", 1},
    {RETURN, "RETURN", 2},
    {SWITCH, "SWITCH", 2},
    {DEFAULT, "DEFAULT", 1},
    {CASE, "CASE", 2},
    {COMMA, "COMMA", 2},
    {PCOMMA, "PCOMMA", 2},
    {ASG, "ASG", 2},
    {COMMAOP, "COMMAOP", 2},
    {DIV, "DIV", 2},
    {DIVASG, "DIVASG", 2},
    {MOD, "MOD", 2},
    {MODASG, "MODASG", 2},
    {SLL, "SLL", 2},
    {SLLASG, "SLLASG", 2},
    {SRL, "SRL", 2},
    {SRLASG, "SRLASG", 2},
    {STDOT, "STDOT", 2},
    {STREF, "STREF", 2},
    {CALL, "CALL", 2},
    {UCALL, "UCALL", 1},
    {LOOP, "LOOP", 2},
    {ENDLOOP, "ENDLOOP", 2},
    {EXCLAIM, "EXCLAIM", 1},
    {NOTB, "NOTB", 1},
    {PLUSPLUS, "PLUSPLUS", 2},
    {MINMIN, "MINMIN", 2},
    {EQ, "EQ", 2},
    {NEQ, "NEQ", 2},
    {LE, "LE", 2},
    {LT, "LT", 2},
    {GE, "GE", 2},
    {GT, "GT", 2},
    {ULE, "ULE", 2},
    {ULT, "ULT", 2},
    {UGE, "UGE", 2},
    {UGT, "UGT", 2},
    {STFIELD, "STFIELD", 2},
    {ARGREF, "ARGREF", 1},
    {STASG, "STASG", 2},
    {STARG, "STARG", 1},
    {ARASG, "ARASG", 2},
    {SCONV, "SCONV", 1},
    {PCONV, "PCONV", 1},
    {PMCONV, "PMCONV", 2},
    {PVCONV, "PVCONV", 2},
    {ACONV, "ACONV", 1},
    {CBRANCH, "CBRANCH", 2},
    {EPVAL, "EPVAL", 1},
    {ENDINIT, "ENDINIT", 0},
    {BRANCH, "BRANCH", 1},
    {SKIP, "SKIP", 1},
    {URETURN, "URETURN", 1},
    {DDNODE, "DDNODE", 1},
    {SQRT, "SQRT", 1},
    {SQR, "SQR", 1},
    {NASSERT, "NASSERT", 1},
    {ASSERT, "ASSERT", 1},
    {MEMCPY, "MEMCPY", 1},
    {TOIEEE, "TOIEEE", 1},
    {FRIEEE, "FRIEEE", 1},
    {ICALL, "ICALL", 1},
    {UICALL, "UICALL", 0},
    {RECIP, "RECIP", 1},
    {MCALL, "MCALL", 1},
    {UMCALL, "UMCALL", 0},
    {VPACK, "VPACK", 1},
    {VPACKM, "VPACKM", 1},
    {VPACK1P, "VPACK1P", 2},
    {VFIELD, "VFIELD", 2},
    {VRCONV, "VRCONV", 1},
    {COMPLEX, "COMPLEX", 2},
    {REAL, "REAL", 1},
    {IMAG, "IMAG", 1},
    {FEQ, "FEQ", 2},
    {FNEQ, "FNEQ", 2},
    {FLE, "FLE", 2},
    {FLT, "FLT", 2},
    {FGE, "FGE", 2},
    {FGT, "FGT", 2},
    {FEQN, "FEQN", 2},
    {FNEQN, "FNEQN", 2},
    {FLEN, "FLEN", 2},
    {FLTN, "FLTN", 2},
    {FGEN, "FGEN", 2},
    {FGTN, "FGTN", 2},
    {FORD, "FORD", 2},
    {FUNO, "FUNO", 2},
    {VREG, "VREG", 0},
};

using Table = std::array<OperatorEntry, MAX_OPCODE + 1>;

constexpr Table build_table() {
    Table table{};
    for (const OperatorDef& def : kOperators) table[def.code] = {def.name, def.operands};
    return table;
}

constexpr Table kTable = build_table();

bool in_range(int opcode) { return opcode >= 0 && opcode <= MAX_OPCODE; }

}  // namespace

bool OperatorTable::has_entry(int opcode) {
    return in_range(opcode) && kTable[opcode].name != nullptr;
}

const char* OperatorTable::name(int opcode) {
    return in_range(opcode) ? kTable[opcode].name : nullptr;
}

int OperatorTable::operand_count(int opcode) {
    return in_range(opcode) ? kTable[opcode].operands : 0;
}

}  // namespace icode
