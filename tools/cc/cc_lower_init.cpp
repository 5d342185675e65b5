// The C front end's initializers: a global's value as the list of its
// scalar slots (constants and addresses) that the initializer section
// holds, and the slots of a local aggregate for its assignments.
#include <clang/AST/RecordLayout.h>

#include "icode/opcodes.h"
#include "tools/cc/cc_lower.h"

namespace cc {

using namespace icode;
using clang::QualType;
using clang::SourceLocation;

void LOWERING::slots(QualType type, const clang::Expr* init, uint64_t offset,
                     std::vector<SLOT>& out, SourceLocation w) {
    QualType ct = type.getCanonicalType();
    if (init) init = init->IgnoreParens();
    if (auto* ce = llvm::dyn_cast_or_null<clang::ConstantExpr>(init)) init = ce->getSubExpr();
    if (init && llvm::isa<clang::ImplicitValueInitExpr>(init)) init = nullptr;
    if (ct->isIncompleteArrayType()) {  // a flexible array member
        if (init && !llvm::isa<clang::ImplicitValueInitExpr>(init))
            unsupported(init->getBeginLoc(), "initializer of a flexible array member");
        return;
    }
    if (const clang::ConstantArrayType* a = ctx_.getAsConstantArrayType(ct)) {
        QualType elem = a->getElementType();
        uint64_t count = a->getSize().getZExtValue();
        uint64_t step = bits_of(elem) / 8;
        const clang::Expr* strip = init ? init->IgnoreImplicit() : nullptr;
        if (auto* il = llvm::dyn_cast_or_null<clang::InitListExpr>(strip)) {
            if (il->getNumInits() == 1 &&
                llvm::isa<clang::StringLiteral>(il->getInit(0)->IgnoreParens()))
                strip = il->getInit(0)->IgnoreParens();
        }
        if (auto* s = llvm::dyn_cast_or_null<clang::StringLiteral>(strip)) {
            if (s->getCharByteWidth() != 1) unsupported(s->getBeginLoc(), "wide string");
            llvm::StringRef bytes = s->getBytes();
            for (uint64_t i = 0; i < count; ++i) {
                SLOT sl;
                sl.offset = offset + i * step;
                sl.type = elem;
                sl.is_char = true;
                sl.char_value = i < bytes.size() ? int64_t(bytes[i]) : 0;
                out.push_back(sl);
            }
            return;
        }
        auto* il = llvm::dyn_cast_or_null<clang::InitListExpr>(init);
        if (init && !il) unsupported(init->getBeginLoc(), "array initialized from an expression");
        if (count > 65536) unsupported(w, "array of more than 65536 elements with an initializer");
        for (uint64_t i = 0; i < count; ++i) {
            const clang::Expr* e = nullptr;
            if (il && i < il->getNumInits())
                e = il->getInit(unsigned(i));
            else if (il && il->hasArrayFiller())
                e = il->getArrayFiller();
            slots(elem, e, offset + i * step, out, w);
        }
        return;
    }
    if (auto* rt = ct->getAs<clang::RecordType>()) {
        const clang::RecordDecl* d = rt->getDecl()->getDefinition();
        if (!d) unsupported(w, "incomplete struct");
        auto* il = llvm::dyn_cast_or_null<clang::InitListExpr>(init);
        if (init && !il) {  // a whole struct from an expression
            SLOT sl;
            sl.offset = offset;
            sl.type = type;
            sl.value = init;
            out.push_back(sl);
            return;
        }
        const clang::ASTRecordLayout& layout = ctx_.getASTRecordLayout(d);
        unsigned i = 0;
        for (const clang::FieldDecl* f : d->fields()) {
            const clang::Expr* e = nullptr;
            if (f->isBitField()) {
                // The initializer list leaves out unnamed bit-fields.
                if (il && !f->isUnnamedBitfield() && i < il->getNumInits()) e = il->getInit(i);
                if (il && d->isUnion() && il->getInitializedFieldInUnion() != f)
                    unsupported(il->getBeginLoc(),
                                "union initialized by another than its first member");
                if (e && llvm::isa<clang::ImplicitValueInitExpr>(e->IgnoreParens())) e = nullptr;
                SLOT sl;
                sl.offset = offset;
                sl.type = f->getType();
                sl.value = e;
                sl.bit_field = f;
                out.push_back(sl);
                if (!f->isUnnamedBitfield()) ++i;
                if (d->isUnion()) break;
                continue;
            }
            if (il && d->isUnion()) {
                if (il->getInitializedFieldInUnion() && il->getInitializedFieldInUnion() != f)
                    unsupported(il->getBeginLoc(),
                                "union initialized by another than its first member");
                if (il->getNumInits() > 0) e = il->getInit(0);
            } else if (il && i < il->getNumInits()) {
                e = il->getInit(i);
            }
            slots(f->getType(), e, offset + layout.getFieldOffset(f->getFieldIndex()) / 8, out, w);
            ++i;
            if (d->isUnion()) break;
        }
        return;
    }
    if (auto* il = llvm::dyn_cast_or_null<clang::InitListExpr>(init)) {  // int x = { 3 };
        init = il->getNumInits() > 0 ? il->getInit(0) : nullptr;
    }
    if (init && llvm::isa<clang::ImplicitValueInitExpr>(init)) init = nullptr;
    SLOT sl;
    sl.offset = offset;
    sl.type = type;
    sl.value = init;
    out.push_back(sl);
}

NODE* LOWERING::constant(const SLOT& slot, SourceLocation w) {
    TYPE* t = type_of(slot.type, w);
    if (slot.is_char) return icon(t, slot.char_value);
    if (!slot.value) return icon(t, 0);
    const clang::Expr* e = slot.value;
    if (slot.type->isRecordType())
        unsupported(e->getBeginLoc(), "struct initialized from an expression");
    clang::Expr::EvalResult r;
    if (!e->EvaluateAsRValue(r, ctx_) || r.HasSideEffects)
        unsupported(e->getBeginLoc(), "initializer that is not a constant");
    const clang::APValue& v = r.Val;
    if (v.isInt())
        return icon(t, v.getInt().isSigned() ? v.getInt().getSExtValue()
                                             : int64_t(v.getInt().getZExtValue()));
    if (v.isFloat()) return fcon(t, v.getFloat());
    if (!v.isLValue()) unsupported(e->getBeginLoc(), "initializer of this kind");
    int64_t offset = v.getLValueOffset().getQuantity();
    clang::APValue::LValueBase base = v.getLValueBase();
    NODE* address = nullptr;
    if (!base) {
        return icon(t, offset);
    } else if (const clang::ValueDecl* d = base.dyn_cast<const clang::ValueDecl*>()) {
        SYMTAB* s =
            llvm::isa<clang::VarDecl>(d) ? variable(llvm::cast<clang::VarDecl>(d)) : global(d);
        address = mk(UAND, pointer_to(s->type()), name(s));
    } else if (const clang::Expr* be = base.dyn_cast<const clang::Expr*>()) {
        be = be->IgnoreParens();
        if (auto* pe = llvm::dyn_cast<clang::PredefinedExpr>(be)) be = pe->getFunctionName();
        auto* s = llvm::dyn_cast_or_null<clang::StringLiteral>(be);
        if (!s) unsupported(e->getBeginLoc(), "address of a temporary object in an initializer");
        address = scon(s, t);
    } else {
        unsupported(e->getBeginLoc(), "initializer of this kind");
    }
    if (offset != 0) address = mk(PLUS, t, address, icon(long_type(), offset));
    if (address->type() != t) address = mk(PCONV, t, address);
    return address;
}

void LOWERING::write_initializers() {
    // Initializers may make symbols (an address of a declared variable), so
    // the list may grow while it is walked.
    for (size_t i = 0; i < global_vars_.size(); ++i) {
        const clang::VarDecl* v = global_vars_[i].first;
        SYMTAB* s = global_vars_[i].second;
        const clang::VarDecl* def = nullptr;
        const clang::Expr* init = v->getAnyInitializer(def);
        if (!init) continue;
        last_position_ = def->getLocation();
        std::vector<SLOT> list;
        slots(def->getType(), init, 0, list, def->getLocation());
        std::vector<NODE*> trees;
        for (const SLOT& sl : list) trees.push_back(constant(sl, def->getLocation()));
        while (!trees.empty() && trees.back()->opcode() == ICON && trees.back()->value() == 0)
            trees.pop_back();
        out_.write_initializer(s);
        for (NODE* t : trees) out_.write_tree(t);
        out_.write_tree(mk(ENDINIT, s->type()));
        nodes_.clear();
    }
}

}  // namespace cc
