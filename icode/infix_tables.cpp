// Precedences and operator symbols of the infix printer.
#include "icode/infix_tables.h"

#include "icode/opcodes.h"

namespace icode {

int infix_precedence(int opcode) {
    switch (opcode) {
        case LABEL:
        case NAME:
        case SCON:
        case ICON:
        case FCON:
        case LCON:
        case FIELD: return 99;
        case ABS:
        case STDOT:
        case STREF:
        case CALL:
        case UCALL:
        case SQRT:
        case SQR:
        case NASSERT:
        case ASSERT:
        case MEMCPY:
        case TOIEEE:
        case FRIEEE:
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL:
        case 100:
        case 102:
        case 116:
        case 117: return 15;
        case UMINUS:
        case UMULT:
        case UAND:
        case EXCLAIM:
        case NOTB:
        case PLUSPLUS:
        case MINMIN:
        case STFIELD:
        case ARGREF:
        case SCONV:
        case PCONV:
        case ACONV: return 14;
        case MULT:
        case DIV:
        case MOD:
        case PMCONV:
        case PVCONV:
        case RECIP: return 13;
        case PLUS:
        case MINUS: return 12;
        case SLL:
        case SRL: return 11;
        case LE:
        case LT:
        case GE:
        case GT:
        case ULE:
        case ULT:
        case UGE:
        case UGT: return 10;
        case EQ:
        case NEQ: return 9;
        case ANDB: return 8;
        case XORB: return 7;
        case ORB: return 6;
        case ANDAND: return 5;
        case OROR: return 4;
        case QUEST:
        case COLON: return 3;
        case PLUSASG:
        case MINUSASG:
        case MULTASG:
        case ANDBASG:
        case ORBASG:
        case XORBASG:
        case DIVASG:
        case MODASG:
        case SLLASG:
        case SRLASG:
        case ASG:
        case STASG:
        case ARASG: return 2;
        case COMMA:
        case PCOMMA:
        case COMMAOP: return 1;
        // The floating comparisons keep the values the compiler's table has
        // always had; the others of the family have none.
        case FLE:
        case FLT: return 15;
        case FGT: return 13;
        case FEQN: return 88;
        default: return 0;
    }
}

namespace {

// The C symbols, for the opcodes 6..131 that have one.
const char* c_symbol(int opcode) {
    switch (opcode) {
        case PLUS: return "+";
        case PLUSASG: return " += ";
        case MINUS:
        case UMINUS: return "-";
        case MINUSASG: return " -= ";
        case MULT:
        case UMULT: return "*";
        case MULTASG: return " *= ";
        case ANDB:
        case UAND: return "&";
        case ANDBASG: return " &= ";
        case ORB: return "|";
        case ORBASG: return " |= ";
        case XORB: return "^";
        case XORBASG: return " ^= ";
        case QUEST: return " ? ";
        case COLON: return " : ";
        case ANDAND: return " && ";
        case OROR: return " || ";
        case ABS: return "ABS";
        case RETURN: return "return ";
        case COMMA:
        case PCOMMA: return ", ";
        case ASG:
        case STASG:
        case ARASG: return " = ";
        case COMMAOP: return " , ";
        case DIV: return "/";
        case DIVASG: return " /= ";
        case MOD: return "%";
        case MODASG: return " %= ";
        case SLL: return "<<";
        case SLLASG: return " <<= ";
        case SRL: return ">>";
        case SRLASG: return " >>= ";
        case STDOT: return ".";
        case STREF: return "->";
        case EXCLAIM: return "!";
        case NOTB: return "~";
        case PLUSPLUS: return "++";
        case MINMIN: return "--";
        case EQ: return " == ";
        case NEQ: return " != ";
        case LE:
        case ULE: return " <= ";
        case LT:
        case ULT: return " < ";
        case GE:
        case UGE: return " >= ";
        case GT:
        case UGT: return " > ";
        case STFIELD: return "STFIELD";
        case EPVAL: return "EPVAL";
        case URETURN: return "return";
        case DDNODE: return "DDNODE";
        case SQRT: return "sqrt";
        case SQR: return "SQUARE";
        case NASSERT:
        case ASSERT: return "assert";
        case MEMCPY: return "memcpy";
        case TOIEEE: return "toieee";
        case FRIEEE: return "frieee";
        case RECIP: return "1/";
        default: return nullptr;
    }
}

// Fixed-width words for the nodes that have no C symbol.
const char* mnemonic(int opcode) {
    switch (opcode) {
        case LABEL: return "LABELREF";
        case NAME: return "NAME    ";
        case SCON: return "SCON    ";
        case ICON: return "ICON    ";
        case FCON: return "FCON    ";
        case LCON: return "LCON    ";
        case FIELD: return "FIELD   ";
        case SWITCH: return "SWITCH  ";
        case DEFAULT: return "DEFAULT ";
        case CASE: return "CASE    ";
        case CALL: return "CALL    ";
        case UCALL: return "UCALL   ";
        case LOOP: return "LOOP    ";
        case ENDLOOP: return "ENDLOOP ";
        case ARGREF: return "ARGREF  ";
        case STARG: return "STARG   ";
        case SCONV: return "SCONV   ";
        case PCONV: return "PCONV   ";
        case PMCONV: return "PMCONV  ";
        case PVCONV: return "PVCONV  ";
        case ACONV: return "ACONV   ";
        case CBRANCH: return "CBRANCH ";
        case ENDINIT: return "ENDINIT ";
        case BRANCH: return "BRANCH  ";
        case SKIP: return "SKIP    ";
        case URETURN: return "URETURN ";
        case ICALL: return "ICALL   ";
        case UICALL: return "UICALL  ";
        case MCALL: return "MCALL   ";
        case UMCALL: return "UMCALL  ";
        case 255: return " ?ILLOP?";
        default: return nullptr;
    }
}

}  // namespace

const char* infix_symbol(int opcode) {
    if (opcode >= PLUS && opcode <= RECIP) {
        if (const char* symbol = c_symbol(opcode)) return symbol;
    }
    if (const char* word = mnemonic(opcode)) return word;
    const char* name = OperatorTable::name(opcode);
    return name ? name : "?NODE?";
}

}  // namespace icode
