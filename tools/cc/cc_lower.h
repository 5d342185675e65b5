// The lowering of a C translation unit, as clang's AST holds it, to I-code
// written through the unit writer.
//
// How C becomes I-code:
// - Types are clang's canonical types with the host's sizes (bits): the
//   integers by kind and signedness (plain char is CHAR, signed char CHAR
//   with an explicit sign), pointers, arrays, structs and unions with their
//   field offsets (bit-fields with their widths), float and double, enums
//   over their underlying integer, functions with their parameter lists.
//   Typedefs and qualifiers are seen through.  A struct
//   that a system header defines and the program reaches only through a
//   pointer (FILE) is written without its fields.
// - Global symbols are the file's variables and functions, in the order the
//   program first defines or uses them; declarations nothing uses are left
//   out.  Static locals are file-local globals.  Every function has its
//   parameters (level 1) and then all locals of its body, nested blocks and
//   compound literals included (level 2); a one-dimensional variable-length
//   array is a pointer local.
// - Statements become flat label/branch form: CBRANCH(condition, LABEL)
//   jumps when the condition is false, BRANCH jumps always, SWITCH holds a
//   left-leaning COMMA list of CASE and DEFAULT items (and is followed by a
//   jump past the switch when there is no default).  Loops test at the top
//   (do-while at the bottom) and jump back from their end.  Every
//   expression statement carries the position of the C statement it comes
//   from; the jumps that structure a loop or an if carry the position of
//   their loop or if, so that coverage counts stay on those lines.  Every
//   function opens with an entry statement on its header line, and a
//   direct call of a function that does not return is followed by a return
//   that never runs, so that the profiler's blocks match what can happen.
// - Expressions keep C's structure: lvalues are NAME, UMULT (through a
//   pointer), STDOT and STREF (members); a[i] is *(a + i * size) with the
//   scaling as PMCONV in bits; && and || and ?: stay operators; integer
//   constant expressions are folded to ICON (LCON beyond 32 bits); a
//   floating constant is an FCON with the "%a" text of its value; a string
//   literal is an SCON.
// - Initializers: a global's value is the list of its scalar slots in
//   order, each a constant or an address; a local aggregate is initialized
//   slot by slot with assignments.
#pragma once

#include <clang/AST/ASTContext.h>
#include <clang/AST/Decl.h>
#include <clang/AST/Expr.h>
#include <clang/AST/Stmt.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "icode/icode_file.h"
#include "icode/node.h"
#include "icode/symtab.h"
#include "icode/types.h"

namespace cc {

// A construct the lowering does not handle, with where it stands.
struct CC_UNSUPPORTED {
    std::string where;  // FILE:LINE:COL
    std::string what;
};

class LOWERING {
public:
    LOWERING(clang::ASTContext& context, icode::IcodeFile& out, icode::TYPE_PKG& types);
    ~LOWERING();
    // Lowers every function defined outside the system headers, then
    // writes the initializers of the globals.  Throws CC_UNSUPPORTED.
    void translation_unit();

private:
    // ---- types (cc_lower_types.cpp)
    icode::TYPE* type_of(clang::QualType type, clang::SourceLocation where);
    icode::TYPE* integral(icode::IntegralKind kind, bool explicit_sign, uint32_t bits);
    icode::TYPE* pointer_to(icode::TYPE* pointee);
    icode::TYPE* record(const clang::RecordType* type, clang::SourceLocation where, bool opaque);
    icode::TYPE* int_type();
    icode::TYPE* long_type();
    icode::TYPE* void_type();
    uint64_t bits_of(clang::QualType type) const;

    // ---- symbols and positions (cc_lower_types.cpp)
    icode::SYMTAB* global(const clang::NamedDecl* decl);
    icode::SYMTAB* variable(const clang::VarDecl* decl);
    // &NAME of a function the executor's library provides under this name
    // (the forms of va_start, va_arg, va_end and va_copy).
    icode::NODE* helper(const std::string& name);
    icode::OptPos pos(clang::SourceLocation where) const;
    std::string where(clang::SourceLocation where) const;
    [[noreturn]] void unsupported(clang::SourceLocation where, const std::string& what) const;
    bool in_system_header(clang::SourceLocation where) const;

    // ---- nodes
    icode::NODE* mk(int op, icode::TYPE* type, icode::NODE* left = nullptr,
                    icode::NODE* right = nullptr);
    icode::NODE* icon(icode::TYPE* type, int64_t value);
    icode::NODE* fcon(icode::TYPE* type, const llvm::APFloat& value);
    icode::NODE* name(icode::SYMTAB* symbol);
    icode::NODE* label_ref(uint32_t label);
    icode::NODE* scon(const clang::StringLiteral* literal, icode::TYPE* type);

    // ---- expressions (cc_lower_expr.cpp)
    icode::NODE* expr(const clang::Expr* e);
    icode::NODE* cast(const clang::CastExpr* e);
    icode::NODE* binary(const clang::BinaryOperator* e);
    icode::NODE* unary(const clang::UnaryOperator* e);
    icode::NODE* call(const clang::CallExpr* e);
    icode::NODE* member(const clang::MemberExpr* e);
    icode::NODE* predefined(const clang::PredefinedExpr* e, icode::TYPE* type);
    // index * size of the pointee, in bytes, as PMCONV(index, bits).
    icode::NODE* scaled(icode::NODE* index, clang::QualType pointer, clang::SourceLocation where);
    uint64_t pointee_bits(clang::QualType pointer, clang::SourceLocation where);

    // ---- statements (cc_lower_stmt.cpp)
    void function(const clang::FunctionDecl* f);
    void collect_locals(const clang::Stmt* s);
    void stmt(const clang::Stmt* s);
    void emit(icode::NODE* tree, clang::SourceLocation where);
    void expression_statement(const clang::Expr* e);
    void emit_label(uint32_t label);
    void branch(uint32_t label, clang::SourceLocation where);
    void branch_unless(const clang::Expr* condition, uint32_t label, clang::SourceLocation where);
    void switch_stmt(const clang::SwitchStmt* s);
    void local_init(const clang::VarDecl* v);
    icode::NODE* compound_literal(const clang::CompoundLiteralExpr* e);
    uint32_t new_label() { return ++labels_; }
    uint32_t label_of(const clang::LabelDecl* d);

    // ---- initializers (cc_lower_init.cpp)
    struct SLOT {
        uint64_t offset = 0;  // bytes from the object's start
        clang::QualType type;
        const clang::Expr* value = nullptr;  // null: zero
        bool is_char = false;                // a character of a string literal
        int64_t char_value = 0;
        // A bit-field: offset is then that of the struct that holds it.
        const clang::FieldDecl* bit_field = nullptr;
    };
    void slots(clang::QualType type, const clang::Expr* init, uint64_t offset,
               std::vector<SLOT>& out, clang::SourceLocation where);
    icode::NODE* constant(const SLOT& slot, clang::SourceLocation where);
    icode::NODE* slot_assignment(icode::SYMTAB* object, const SLOT& slot,
                                 clang::SourceLocation where);
    void write_initializers();

    clang::ASTContext& ctx_;
    clang::SourceManager& sm_;
    icode::IcodeFile& out_;
    icode::TYPE_PKG& types_;

    std::map<const clang::Type*, icode::TYPE*> type_map_;
    std::map<const clang::Type*, icode::TYPE*> opaque_map_;
    std::map<std::pair<int, uint32_t>, icode::TYPE*> integrals_;
    std::map<icode::TYPE*, icode::TYPE*> pointers_;
    icode::TYPE* void_ = nullptr;

    std::vector<std::unique_ptr<icode::SYMTAB>> symbols_;
    std::map<const clang::Decl*, icode::SYMTAB*> globals_;
    std::map<std::string, icode::SYMTAB*> helpers_;
    std::vector<std::pair<const clang::VarDecl*, icode::SYMTAB*>> global_vars_;
    const clang::FunctionDecl* function_ = nullptr;        // being lowered
    std::map<const clang::Decl*, icode::SYMTAB*> locals_;  // of the current function
    std::vector<const clang::VarDecl*> local_order_;
    // A one-dimensional variable-length array is a pointer local set, where
    // it is declared, to stack space that lasts until the function returns.
    static const clang::VariableArrayType* vla_of(clang::QualType type);
    icode::NODE* vla_bytes(const clang::VariableArrayType* vla, clang::SourceLocation where);
    std::map<const clang::CompoundLiteralExpr*, icode::SYMTAB*> literals_;
    std::vector<const clang::CompoundLiteralExpr*> literal_order_;

    // Nodes of the statement being built (or of the initializers); a node
    // does not own its operands, so each is freed on its own once written.
    std::vector<std::unique_ptr<icode::NODE>> nodes_;

    // The statement being lowered, for messages about implicit parts.
    clang::SourceLocation last_position_;
    uint32_t labels_ = 0;
    std::vector<uint32_t> break_to_;
    std::vector<uint32_t> continue_to_;
    std::map<const clang::SwitchCase*, uint32_t> case_labels_;
    std::map<const clang::LabelDecl*, uint32_t> goto_labels_;
};

}  // namespace cc
