// Opcodes of expression-tree nodes and the operator table that gives each
// opcode its printed name and the number of operands the I-code carries.
#pragma once

namespace icode {

// Every opcode of the operator table with its number as it appears in I-code.
// Numbers not listed have no operator and take no operands.
enum Opcode : int {
    NOP = 0,
    LABEL = 1,
    NAME = 2,
    SCON = 3,
    ICON = 4,
    FCON = 5,
    PLUS = 6,
    PLUSASG = 7,
    MINUS = 8,
    MINUSASG = 9,
    UMINUS = 10,
    MULT = 11,
    MULTASG = 12,
    UMULT = 13,
    ANDB = 14,
    ANDBASG = 15,
    UAND = 16,
    ORB = 17,
    ORBASG = 18,
    XORB = 19,
    XORBASG = 20,
    QUEST = 21,
    COLON = 22,
    ANDAND = 23,
    OROR = 24,
    LCON = 25,
    FIELD = 26,
    ABS = 27,
    RETURN = 36,
    SWITCH = 40,
    DEFAULT = 46,
    CASE = 47,
    COMMA = 56,
    PCOMMA = 57,
    ASG = 58,
    COMMAOP = 59,
    DIV = 60,
    DIVASG = 61,
    MOD = 62,
    MODASG = 63,
    SLL = 64,
    SLLASG = 65,
    SRL = 66,
    SRLASG = 67,
    STDOT = 68,
    STREF = 69,
    CALL = 70,
    UCALL = 72,
    LOOP = 74,
    ENDLOOP = 75,
    EXCLAIM = 76,
    NOTB = 77,
    PLUSPLUS = 78,
    MINMIN = 79,
    EQ = 80,
    NEQ = 81,
    LE = 82,
    LT = 83,
    GE = 84,
    GT = 85,
    ULE = 86,
    ULT = 87,
    UGE = 88,
    UGT = 89,
    STFIELD = 96,
    ARGREF = 97,
    STASG = 98,
    STARG = 99,
    ARASG = 103,
    SCONV = 104,
    PCONV = 105,
    PMCONV = 106,
    PVCONV = 107,
    ACONV = 108,
    CBRANCH = 109,
    EPVAL = 110,
    ENDINIT = 112,
    BRANCH = 114,
    SKIP = 115,
    URETURN = 118,
    DDNODE = 119,
    SQRT = 121,
    SQR = 122,
    NASSERT = 123,
    ASSERT = 124,
    MEMCPY = 125,
    TOIEEE = 127,
    FRIEEE = 128,
    ICALL = 129,
    UICALL = 130,
    RECIP = 131,
    MCALL = 132,
    UMCALL = 133,
    VPACK = 134,
    VPACKM = 135,
    VPACK1P = 136,
    VFIELD = 138,
    VRCONV = 139,
    COMPLEX = 140,
    REAL = 141,
    IMAG = 142,
    FEQ = 143,
    FNEQ = 144,
    FLE = 145,
    FLT = 146,
    FGE = 147,
    FGT = 148,
    FEQN = 149,
    FNEQN = 150,
    FLEN = 151,
    FLTN = 152,
    FGEN = 153,
    FGTN = 154,
    FORD = 155,
    FUNO = 156,
    VREG = 163,

    // Opcodes that only the profile manager builds; they never reach an output
    // unit, so their numbers may coincide with the floating comparisons above.
    OP_TEXT_NODE = 153,       // a text record carried as a statement payload
    OP_TWO_WAY_BRANCH = 154,  // condition, then COMMA(LABEL true, LABEL false)
    OP_LABEL_DEF = 155,       // a label definition; the value is the label number

    MAX_OPCODE = 163,  // highest opcode an I-code node may carry
};

// Name and operand count of each opcode 0..MAX_OPCODE.  The table is constant
// data, so it needs no filling step and no process-wide state.
class OperatorTable {
public:
    // True when the opcode has an entry (a name) in the table.
    static bool has_entry(int opcode);
    // The printed name, or nullptr for numbers without an operator and for
    // numbers outside 0..MAX_OPCODE.
    static const char* name(int opcode);
    // The operand count the I-code carries after the node (0, 1 or 2); 0 for
    // numbers without an operator.
    static int operand_count(int opcode);
};

}  // namespace icode
