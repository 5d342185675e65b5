// The C front end's functions and statements: one function's records, its
// symbols first, then its statements in label/branch form.
#include <algorithm>

#include "icode/opcodes.h"
#include "tools/cc/cc_lower.h"

namespace cc {

using namespace icode;
using clang::SourceLocation;

void LOWERING::emit(NODE* tree, SourceLocation w) {
    out_.write_expression_statement(tree, pos(w));
    nodes_.clear();
}

// An expression whose value is not used: a comma expression becomes one
// statement per operand, and a statement expression (the GNU form that the
// library's assert expands to) its statements; constants are dropped.
void LOWERING::expression_statement(const clang::Expr* e) {
    const clang::Expr* x = e->IgnoreParens();
    if (auto* c = llvm::dyn_cast<clang::CastExpr>(x)) {
        if (c->getCastKind() == clang::CK_ToVoid) return expression_statement(c->getSubExpr());
    } else if (auto* u = llvm::dyn_cast<clang::UnaryOperator>(x)) {
        if (u->getOpcode() == clang::UO_Extension) return expression_statement(u->getSubExpr());
    } else if (auto* b = llvm::dyn_cast<clang::BinaryOperator>(x)) {
        if (b->getOpcode() == clang::BO_Comma) {
            expression_statement(b->getLHS());
            return expression_statement(b->getRHS());
        }
    } else if (auto* se = llvm::dyn_cast<clang::StmtExpr>(x)) {
        return stmt(se->getSubStmt());
    }
    if (!x->isValueDependent() && !x->HasSideEffects(ctx_) &&
        x->getType()->isIntegralOrEnumerationType() && x->getIntegerConstantExpr(ctx_))
        return;
    emit(expr(x), x->getBeginLoc());
    // A call that does not return (exit, abort, a failed assert) ends its
    // block with a return that never runs: the block then leaves the
    // function, and the profiler's counts stay those of what happened.
    if (auto* c = llvm::dyn_cast<clang::CallExpr>(x->IgnoreParenCasts()))
        if (const clang::FunctionDecl* f = c->getDirectCallee())
            if (f->isNoReturn())
                emit(mk(URETURN, void_type(), mk(NOP, void_type())), x->getBeginLoc());
}

void LOWERING::emit_label(uint32_t label) { out_.write_label(label); }

void LOWERING::branch(uint32_t label, SourceLocation w) {
    emit(mk(BRANCH, int_type(), label_ref(label)), w);
}

void LOWERING::branch_unless(const clang::Expr* condition, uint32_t label, SourceLocation w) {
    emit(mk(CBRANCH, int_type(), expr(condition), label_ref(label)), w);
}

uint32_t LOWERING::label_of(const clang::LabelDecl* d) {
    uint32_t& l = goto_labels_[d];
    if (!l) l = new_label();
    return l;
}

void LOWERING::collect_locals(const clang::Stmt* s) {
    if (!s) return;
    if (auto* ds = llvm::dyn_cast<clang::DeclStmt>(s)) {
        for (const clang::Decl* d : ds->decls()) {
            auto* v = llvm::dyn_cast<clang::VarDecl>(d);
            if (!v) continue;
            if (v->getType()->isVariablyModifiedType() && !vla_of(v->getType()))
                unsupported(v->getLocation(), "variable-length array of more than one dimension");
            if (v->hasLocalStorage())
                local_order_.push_back(v);
            else if (!v->hasExternalStorage())
                global(v);  // a static local: a file-local global
        }
    }
    if (llvm::isa<clang::GCCAsmStmt>(s) || llvm::isa<clang::MSAsmStmt>(s))
        unsupported(s->getBeginLoc(), "inline assembly");
    if (auto* cl = llvm::dyn_cast<clang::CompoundLiteralExpr>(s))
        if (!cl->isFileScope()) literal_order_.push_back(cl);
    for (const clang::Stmt* child : s->children()) collect_locals(child);
}

void LOWERING::function(const clang::FunctionDecl* f) {
    last_position_ = f->getLocation();
    function_ = f;
    SYMTAB* fs = global(f);
    locals_.clear();
    local_order_.clear();
    literals_.clear();
    literal_order_.clear();
    goto_labels_.clear();
    case_labels_.clear();
    labels_ = 0;
    std::vector<SYMTAB*> own;
    auto make = [&](const std::string& n, clang::QualType t, SourceLocation at,
                    uint8_t storage_class, int level) {
        SymbolRecord r;
        r.name = n;
        r.type = type_of(t, at);
        r.size = uint32_t(bits_of(t));
        r.alignment = uint16_t(ctx_.getTypeAlign(t));
        r.storage_class = storage_class;
        r.position = pos(at);
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(r)));
        SYMTAB* s = symbols_.back().get();
        s->set_level(level);
        s->set_index(int(own.size()));
        own.push_back(s);
        return s;
    };
    for (const clang::ParmVarDecl* p : f->parameters())
        locals_[p] = make(p->getName().str(), p->getType(), p->getLocation(), 1, 1);
    const auto* body = llvm::cast<clang::CompoundStmt>(f->getBody());
    collect_locals(body);
    size_t params = own.size();
    for (const clang::VarDecl* v : local_order_)
        locals_[v] =
            make(v->getName().str(),
                 vla_of(v->getType()) ? ctx_.getPointerType(vla_of(v->getType())->getElementType())
                                      : v->getType(),
                 v->getLocation(), 2, 2);
    for (const clang::CompoundLiteralExpr* cl : literal_order_)
        literals_[cl] = make("__literal_" + std::to_string(literals_.size() + 1), cl->getType(),
                             cl->getBeginLoc(), 2, 2);

    out_.write_function_begin(fs, pos(f->getLocation()));
    for (size_t i = 0; i < params; ++i) out_.write_symbol(own[i]);
    out_.write_body_begin(pos(body->getLBracLoc()));
    for (size_t i = params; i < own.size(); ++i) out_.write_symbol(own[i]);
    // The entry: a statement of its own on the function's line, so that the
    // first block is never the target of a jump (a loop at the top of the
    // body jumps back to its test, not into the entry) and the header line
    // carries the number of calls.
    emit(mk(NOP, void_type()), f->getLocation());
    stmt(body);
    out_.write_function_end(pos(body->getRBracLoc()));
    function_ = nullptr;
}

const clang::VariableArrayType* LOWERING::vla_of(clang::QualType type) {
    auto* vla = llvm::dyn_cast<clang::VariableArrayType>(type.getCanonicalType().getTypePtr());
    if (!vla || vla->getElementType()->isVariablyModifiedType() || !vla->getSizeExpr())
        return nullptr;
    return vla;
}

// The bytes of a variable-length array: its length, evaluated again, times
// the size of its element.
NODE* LOWERING::vla_bytes(const clang::VariableArrayType* vla, SourceLocation w) {
    TYPE* size_t_type = type_of(ctx_.getSizeType(), w);
    NODE* n = expr(vla->getSizeExpr());
    if (n->type() != size_t_type) n = mk(SCONV, size_t_type, n);
    return mk(MULT, size_t_type, n, icon(size_t_type, int64_t(bits_of(vla->getElementType()) / 8)));
}

void LOWERING::local_init(const clang::VarDecl* v) {
    if (const clang::VariableArrayType* vla = vla_of(v->getType())) {
        SYMTAB* s = locals_.at(v);
        emit(mk(ASG, s->type(), name(s),
                mk(CALL, s->type(), helper("__builtin_alloca"), vla_bytes(vla, v->getLocation()))),
             v->getBeginLoc());
        return;
    }
    const clang::Expr* init = v->getInit();
    if (!init) return;
    SYMTAB* s = locals_.at(v);
    SourceLocation w = v->getBeginLoc();
    clang::QualType t = v->getType().getCanonicalType();
    if (t->isScalarType()) {
        const clang::Expr* e = init;
        if (auto* il = llvm::dyn_cast<clang::InitListExpr>(e->IgnoreParens()))
            e = il->getNumInits() ? il->getInit(0) : nullptr;
        emit(mk(ASG, s->type(), name(s), e ? expr(e) : icon(s->type(), 0)), w);
        return;
    }
    std::vector<SLOT> list;
    slots(t, init, 0, list, w);
    for (const SLOT& sl : list) emit(slot_assignment(s, sl, w), w);
}

// The assignment of one slot of a local aggregate: *(&object + offset) = value.
NODE* LOWERING::slot_assignment(SYMTAB* s, const SLOT& sl, SourceLocation w) {
    TYPE* st = type_of(sl.type, w);
    NODE* target;
    if (sl.bit_field) {  // the field of the struct at that offset
        TYPE* cls = type_of(ctx_.getRecordType(sl.bit_field->getParent()), w);
        NODE* base = mk(UAND, pointer_to(cls), name(s));
        if (sl.offset)
            base = mk(PLUS, pointer_to(cls), base, icon(long_type(), int64_t(sl.offset)));
        NODE* field = mk(FIELD, st);
        field->set_field_ref(0, sl.bit_field->getFieldIndex() + 1, cls);
        target = mk(STDOT, st, mk(UMULT, cls, base), field);
    } else if (sl.offset == 0 && st == s->type()) {
        target = name(s);
    } else {
        NODE* base = mk(UAND, pointer_to(st), name(s));
        if (sl.offset) base = mk(PLUS, pointer_to(st), base, icon(long_type(), int64_t(sl.offset)));
        target = mk(UMULT, st, base);
    }
    NODE* value = sl.is_char ? icon(st, sl.char_value) : sl.value ? expr(sl.value) : icon(st, 0);
    return mk(sl.type->isRecordType() ? STASG : ASG, st, target, value);
}

// A compound literal in a function is an unnamed local, filled where the
// literal stands: (slot assignments, ..., the local) as one COMMAOP chain.
NODE* LOWERING::compound_literal(const clang::CompoundLiteralExpr* e) {
    auto it = literals_.find(e);
    if (it == literals_.end()) unsupported(e->getBeginLoc(), "compound literal outside a function");
    SYMTAB* s = it->second;
    SourceLocation w = e->getBeginLoc();
    std::vector<SLOT> list;
    clang::QualType t = e->getType().getCanonicalType();
    if (t->isScalarType()) {
        SLOT sl;
        sl.type = t;
        const clang::Expr* init = e->getInitializer()->IgnoreParens();
        if (auto* il = llvm::dyn_cast<clang::InitListExpr>(init))
            init = il->getNumInits() ? il->getInit(0) : nullptr;
        sl.value = init;
        list.push_back(sl);
    } else {
        slots(t, e->getInitializer(), 0, list, w);
    }
    NODE* chain = nullptr;
    for (const SLOT& sl : list) {
        NODE* a = slot_assignment(s, sl, w);
        chain = chain ? mk(COMMAOP, a->type(), chain, a) : a;
    }
    return chain ? mk(COMMAOP, s->type(), chain, name(s)) : name(s);
}

void LOWERING::switch_stmt(const clang::SwitchStmt* s) {
    SourceLocation w = s->getSwitchLoc();
    if (s->getInit()) stmt(s->getInit());
    if (s->getConditionVariableDeclStmt()) unsupported(w, "declaration in a switch condition");
    std::vector<const clang::SwitchCase*> cases;
    for (const clang::SwitchCase* c = s->getSwitchCaseList(); c; c = c->getNextSwitchCase())
        cases.push_back(c);
    std::reverse(cases.begin(), cases.end());  // the list runs from the last case back
    uint32_t exit = new_label();
    TYPE* t = type_of(s->getCond()->getType(), w);
    NODE* items = nullptr;
    bool has_default = false;
    std::vector<NODE*> list;
    for (const clang::SwitchCase* c : cases) {
        uint32_t l = new_label();
        case_labels_[c] = l;
        if (auto* cs = llvm::dyn_cast<clang::CaseStmt>(c)) {
            if (cs->caseStmtIsGNURange()) unsupported(cs->getBeginLoc(), "case range");
            llvm::APSInt v = cs->getLHS()->EvaluateKnownConstInt(ctx_);
            list.push_back(mk(CASE, t,
                              icon(t, v.isSigned() ? v.getSExtValue() : int64_t(v.getZExtValue())),
                              label_ref(l)));
        } else {
            has_default = true;
            list.push_back(mk(DEFAULT, t, label_ref(l)));
        }
    }
    // Every label is made before the tree, whose nodes the statement owns.
    NODE* cond = expr(s->getCond());
    if (list.empty()) {
        emit(cond, w);
    } else {
        for (NODE* item : list) items = items ? mk(COMMA, t, items, item) : item;
        emit(mk(SWITCH, t, cond, items), w);
    }
    if (!has_default) branch(exit, w);
    break_to_.push_back(exit);
    stmt(s->getBody());
    break_to_.pop_back();
    emit_label(exit);
}

void LOWERING::stmt(const clang::Stmt* s) {
    if (!s) return;
    SourceLocation w = s->getBeginLoc();
    if (w.isValid()) last_position_ = w;
    if (auto* c = llvm::dyn_cast<clang::CompoundStmt>(s)) {
        for (const clang::Stmt* child : c->body()) stmt(child);
    } else if (auto* ds = llvm::dyn_cast<clang::DeclStmt>(s)) {
        for (const clang::Decl* d : ds->decls())
            if (auto* v = llvm::dyn_cast<clang::VarDecl>(d))
                if (v->hasLocalStorage()) local_init(v);
    } else if (llvm::isa<clang::NullStmt>(s)) {
    } else if (auto* e = llvm::dyn_cast<clang::Expr>(s)) {
        expression_statement(e);
    } else if (auto* i = llvm::dyn_cast<clang::IfStmt>(s)) {
        if (i->getInit() || i->getConditionVariableDeclStmt())
            unsupported(w, "declaration in an if condition");
        uint32_t otherwise = new_label();
        branch_unless(i->getCond(), otherwise, w);
        stmt(i->getThen());
        if (i->getElse()) {
            uint32_t end = new_label();
            branch(end, w);
            emit_label(otherwise);
            stmt(i->getElse());
            emit_label(end);
        } else {
            emit_label(otherwise);
        }
    } else if (auto* wh = llvm::dyn_cast<clang::WhileStmt>(s)) {
        if (wh->getConditionVariableDeclStmt()) unsupported(w, "declaration in a while condition");
        uint32_t top = new_label(), exit = new_label();
        emit_label(top);
        branch_unless(wh->getCond(), exit, w);
        break_to_.push_back(exit);
        continue_to_.push_back(top);
        stmt(wh->getBody());
        break_to_.pop_back();
        continue_to_.pop_back();
        branch(top, w);
        emit_label(exit);
    } else if (auto* d = llvm::dyn_cast<clang::DoStmt>(s)) {
        uint32_t top = new_label(), next = new_label(), exit = new_label();
        emit_label(top);
        break_to_.push_back(exit);
        continue_to_.push_back(next);
        stmt(d->getBody());
        break_to_.pop_back();
        continue_to_.pop_back();
        emit_label(next);
        branch_unless(d->getCond(), exit, d->getWhileLoc());
        branch(top, d->getWhileLoc());
        emit_label(exit);
    } else if (auto* f = llvm::dyn_cast<clang::ForStmt>(s)) {
        if (f->getConditionVariableDeclStmt()) unsupported(w, "declaration in a for condition");
        stmt(f->getInit());
        uint32_t top = new_label(), next = new_label(), exit = new_label();
        emit_label(top);
        // Each part of the header keeps its own line; the jump back goes
        // with the increment, or else with the test.
        SourceLocation cond_at = f->getCond() ? f->getCond()->getBeginLoc() : w;
        SourceLocation inc_at = f->getInc() ? f->getInc()->getBeginLoc() : cond_at;
        if (f->getCond()) branch_unless(f->getCond(), exit, cond_at);
        break_to_.push_back(exit);
        continue_to_.push_back(next);
        stmt(f->getBody());
        break_to_.pop_back();
        continue_to_.pop_back();
        emit_label(next);
        if (f->getInc()) emit(expr(f->getInc()), inc_at);
        branch(top, inc_at);
        emit_label(exit);
    } else if (auto* sw = llvm::dyn_cast<clang::SwitchStmt>(s)) {
        switch_stmt(sw);
    } else if (auto* sc = llvm::dyn_cast<clang::SwitchCase>(s)) {
        auto it = case_labels_.find(sc);
        if (it == case_labels_.end()) unsupported(w, "case outside a switch");
        emit_label(it->second);
        stmt(sc->getSubStmt());
    } else if (llvm::isa<clang::BreakStmt>(s)) {
        branch(break_to_.back(), w);
    } else if (llvm::isa<clang::ContinueStmt>(s)) {
        branch(continue_to_.back(), w);
    } else if (auto* g = llvm::dyn_cast<clang::GotoStmt>(s)) {
        branch(label_of(g->getLabel()), w);
    } else if (auto* l = llvm::dyn_cast<clang::LabelStmt>(s)) {
        emit_label(label_of(l->getDecl()));
        stmt(l->getSubStmt());
    } else if (auto* r = llvm::dyn_cast<clang::ReturnStmt>(s)) {
        if (const clang::Expr* v = r->getRetValue()) {
            NODE* value = expr(v);
            emit(mk(RETURN, value->type(), value, mk(NOP, void_type())), w);
        } else {
            emit(mk(URETURN, void_type(), mk(NOP, void_type())), w);
        }
    } else if (llvm::isa<clang::IndirectGotoStmt>(s)) {
        unsupported(w, "computed goto");
    } else if (llvm::isa<clang::GCCAsmStmt>(s) || llvm::isa<clang::MSAsmStmt>(s)) {
        unsupported(w, "inline assembly");
    } else {
        unsupported(w, std::string("statement ") + s->getStmtClassName());
    }
}

}  // namespace cc
