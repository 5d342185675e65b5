// The C front end's expressions: each C expression becomes one I-code tree.
#include "icode/opcodes.h"
#include "tools/cc/cc_lower.h"

namespace cc {

using namespace icode;
using clang::QualType;
using clang::SourceLocation;

namespace {

bool is_unsigned_operand(QualType t) {
    QualType c = t.getCanonicalType();
    return c->isPointerType() || c->isUnsignedIntegerOrEnumerationType();
}

}  // namespace

uint64_t LOWERING::pointee_bits(QualType pointer, SourceLocation w) {
    QualType p = pointer.getCanonicalType()->getPointeeType();
    if (p.isNull()) unsupported(w, "pointer arithmetic on a non-pointer");
    if (p->isVoidType() || p->isFunctionType()) return 8;  // as the GNU dialect counts
    if (p->isIncompleteType()) unsupported(w, "arithmetic on a pointer to an incomplete type");
    if (p->isVariablyModifiedType()) unsupported(w, "variable-length array");
    return bits_of(p);
}

NODE* LOWERING::scaled(NODE* index, QualType pointer, SourceLocation w) {
    return mk(PMCONV, long_type(), index, icon(int_type(), int64_t(pointee_bits(pointer, w))));
}

// __func__ and its GNU relatives are the function's name, as gcc spells
// them in C (clang's __PRETTY_FUNCTION__ would add the signature).
NODE* LOWERING::predefined(const clang::PredefinedExpr* p, TYPE* type) {
    if (!function_) return scon(p->getFunctionName(), type);
    std::string n = function_->getName().str();
    NODE* s = mk(SCON, type);
    s->set_bytes(n.data(), n.size());
    return s;
}

NODE* LOWERING::expr(const clang::Expr* e) {
    e = e->IgnoreParens();
    SourceLocation w = e->getBeginLoc();
    QualType qt = e->getType();
    if (qt->isComplexType()) unsupported(w, "complex numbers");
    // Integer constant expressions are folded, as the program would see them.
    if (!e->isValueDependent() && qt->isIntegralOrEnumerationType() &&
        !llvm::isa<clang::IntegerLiteral>(e)) {
        if (auto v = e->getIntegerConstantExpr(ctx_))
            return icon(type_of(qt, w),
                        v->isSigned() ? v->getSExtValue() : int64_t(v->getZExtValue()));
    }
    if (auto* il = llvm::dyn_cast<clang::IntegerLiteral>(e)) {
        const llvm::APInt& v = il->getValue();
        return icon(type_of(qt, w),
                    qt->isSignedIntegerType() ? v.getSExtValue() : int64_t(v.getZExtValue()));
    }
    if (auto* f = llvm::dyn_cast<clang::FloatingLiteral>(e))
        return fcon(type_of(qt, w), f->getValue());
    if (auto* c = llvm::dyn_cast<clang::ConstantExpr>(e)) return expr(c->getSubExpr());
    if (auto* c = llvm::dyn_cast<clang::CastExpr>(e)) return cast(c);
    if (auto* b = llvm::dyn_cast<clang::BinaryOperator>(e)) return binary(b);
    if (auto* u = llvm::dyn_cast<clang::UnaryOperator>(e)) return unary(u);
    if (auto* c = llvm::dyn_cast<clang::CallExpr>(e)) return call(c);
    if (auto* m = llvm::dyn_cast<clang::MemberExpr>(e)) return member(m);
    if (auto* d = llvm::dyn_cast<clang::DeclRefExpr>(e)) {
        const clang::ValueDecl* v = d->getDecl();
        if (auto* var = llvm::dyn_cast<clang::VarDecl>(v)) return name(variable(var));
        if (llvm::isa<clang::FunctionDecl>(v)) return name(global(v));
        unsupported(w, "reference to " + v->getNameAsString());
    }
    if (auto* a = llvm::dyn_cast<clang::ArraySubscriptExpr>(e)) {
        const clang::Expr* base = a->getBase();
        NODE* address = mk(PLUS, type_of(base->getType(), w), expr(base),
                           scaled(expr(a->getIdx()), base->getType(), w));
        return mk(UMULT, type_of(qt, w), address);
    }
    if (auto* c = llvm::dyn_cast<clang::ConditionalOperator>(e)) {
        TYPE* t = type_of(qt, w);
        NODE* arms = mk(COLON, t, expr(c->getTrueExpr()), expr(c->getFalseExpr()));
        return mk(QUEST, t, expr(c->getCond()), arms);
    }
    if (auto* s = llvm::dyn_cast<clang::StringLiteral>(e)) return scon(s, type_of(qt, w));
    if (auto* p = llvm::dyn_cast<clang::PredefinedExpr>(e)) return predefined(p, type_of(qt, w));
    if (auto* g = llvm::dyn_cast<clang::GenericSelectionExpr>(e)) return expr(g->getResultExpr());
    if (auto* c = llvm::dyn_cast<clang::ChooseExpr>(e)) return expr(c->getChosenSubExpr());
    if (llvm::isa<clang::ImplicitValueInitExpr>(e) && qt->isScalarType())
        return icon(type_of(qt, w), 0);
    if (auto* cl = llvm::dyn_cast<clang::CompoundLiteralExpr>(e)) return compound_literal(cl);
    if (llvm::isa<clang::StmtExpr>(e)) unsupported(w, "statement expression");
    if (auto* va = llvm::dyn_cast<clang::VAArgExpr>(e)) {
        if (!qt->isScalarType()) unsupported(w, "va_arg of a struct");
        return mk(CALL, type_of(qt, w), helper("__builtin_va_arg"), expr(va->getSubExpr()));
    }
    if (llvm::isa<clang::BinaryConditionalOperator>(e))
        unsupported(w, "?: without a middle operand");
    if (auto* u = llvm::dyn_cast<clang::UnaryExprOrTypeTraitExpr>(e)) {
        const clang::VariableArrayType* vla = vla_of(u->getTypeOfArgument());
        if (u->getKind() != clang::UETT_SizeOf || !vla)
            unsupported(w, "sizeof of a variable-length array");
        NODE* bytes = vla_bytes(vla, w);
        TYPE* t = type_of(qt, w);
        return bytes->type() == t ? bytes : mk(SCONV, t, bytes);
    }
    unsupported(w, std::string("expression ") + e->getStmtClassName());
}

NODE* LOWERING::cast(const clang::CastExpr* c) {
    const clang::Expr* sub = c->getSubExpr();
    SourceLocation w = c->getBeginLoc();
    switch (c->getCastKind()) {
        case clang::CK_LValueToRValue:
        case clang::CK_NoOp:
        case clang::CK_ToVoid:
        case clang::CK_BuiltinFnToFnPtr: return expr(sub);
        case clang::CK_ArrayToPointerDecay: {
            const clang::Expr* s = sub->IgnoreParens();
            if (auto* p = llvm::dyn_cast<clang::PredefinedExpr>(s))
                return predefined(p, type_of(c->getType(), w));
            if (auto* lit = llvm::dyn_cast<clang::StringLiteral>(s))
                return scon(lit, type_of(c->getType(), w));
            if (sub->getType()->isVariableArrayType()) {
                auto* d = llvm::dyn_cast<clang::DeclRefExpr>(s);
                if (!d || !vla_of(sub->getType()))
                    unsupported(w, "variable-length array of this kind");
                return expr(d);  // the local holds the array's address
            }
            return mk(UAND, type_of(c->getType(), w), expr(sub));
        }
        case clang::CK_FunctionToPointerDecay: return mk(UAND, type_of(c->getType(), w), expr(sub));
        case clang::CK_IntegralCast:
        case clang::CK_IntegralToBoolean:
        case clang::CK_PointerToBoolean:
        case clang::CK_IntegralToFloating:
        case clang::CK_FloatingToIntegral:
        case clang::CK_FloatingCast:
        case clang::CK_FloatingToBoolean: {
            TYPE* t = type_of(c->getType(), w);
            NODE* v = expr(sub);
            if (v->type() == t) return v;
            return mk(SCONV, t, v);
        }
        case clang::CK_PointerToIntegral:
        case clang::CK_IntegralToPointer:
        case clang::CK_BitCast:
        case clang::CK_NullToPointer: {
            TYPE* t = type_of(c->getType(), w);
            NODE* v = expr(sub);
            if (v->type() == t) return v;
            return mk(PCONV, t, v);
        }
        case clang::CK_ToUnion: unsupported(w, "cast to a union");
        default: unsupported(w, std::string("conversion ") + c->getCastKindName());
    }
}

NODE* LOWERING::binary(const clang::BinaryOperator* b) {
    SourceLocation w = b->getOperatorLoc();
    const clang::Expr* l = b->getLHS();
    const clang::Expr* r = b->getRHS();
    QualType lt = l->getType().getCanonicalType();
    QualType rt = r->getType().getCanonicalType();
    TYPE* t = type_of(b->getType(), w);
    clang::BinaryOperatorKind k = b->getOpcode();
    bool unsigned_cmp = is_unsigned_operand(lt) || is_unsigned_operand(rt);
    switch (k) {
        case clang::BO_Add:
            if (lt->isPointerType()) return mk(PLUS, t, expr(l), scaled(expr(r), lt, w));
            if (rt->isPointerType()) return mk(PLUS, t, expr(r), scaled(expr(l), rt, w));
            return mk(PLUS, t, expr(l), expr(r));
        case clang::BO_Sub:
            if (lt->isPointerType() && rt->isPointerType()) {
                uint64_t bytes = pointee_bits(lt, w) / 8;
                NODE* diff = mk(MINUS, t, expr(l), expr(r));
                return bytes == 1 ? diff : mk(DIV, t, diff, icon(t, int64_t(bytes)));
            }
            if (lt->isPointerType()) return mk(MINUS, t, expr(l), scaled(expr(r), lt, w));
            return mk(MINUS, t, expr(l), expr(r));
        case clang::BO_Mul: return mk(MULT, t, expr(l), expr(r));
        case clang::BO_Div: return mk(DIV, t, expr(l), expr(r));
        case clang::BO_Rem: return mk(MOD, t, expr(l), expr(r));
        case clang::BO_Shl: return mk(SLL, t, expr(l), expr(r));
        case clang::BO_Shr: return mk(SRL, t, expr(l), expr(r));
        case clang::BO_And: return mk(ANDB, t, expr(l), expr(r));
        case clang::BO_Or: return mk(ORB, t, expr(l), expr(r));
        case clang::BO_Xor: return mk(XORB, t, expr(l), expr(r));
        case clang::BO_LT: return mk(unsigned_cmp ? ULT : LT, t, expr(l), expr(r));
        case clang::BO_LE: return mk(unsigned_cmp ? ULE : LE, t, expr(l), expr(r));
        case clang::BO_GT: return mk(unsigned_cmp ? UGT : GT, t, expr(l), expr(r));
        case clang::BO_GE: return mk(unsigned_cmp ? UGE : GE, t, expr(l), expr(r));
        case clang::BO_EQ: return mk(EQ, t, expr(l), expr(r));
        case clang::BO_NE: return mk(NEQ, t, expr(l), expr(r));
        case clang::BO_LAnd: return mk(ANDAND, t, expr(l), expr(r));
        case clang::BO_LOr: return mk(OROR, t, expr(l), expr(r));
        case clang::BO_Comma: return mk(COMMAOP, t, expr(l), expr(r));
        case clang::BO_Assign:
            if (lt->isRecordType()) return mk(STASG, t, expr(l), expr(r));
            return mk(ASG, t, expr(l), expr(r));
        default: break;
    }
    int op = 0;
    switch (k) {
        case clang::BO_MulAssign: op = MULTASG; break;
        case clang::BO_DivAssign: op = DIVASG; break;
        case clang::BO_RemAssign: op = MODASG; break;
        case clang::BO_AddAssign: op = PLUSASG; break;
        case clang::BO_SubAssign: op = MINUSASG; break;
        case clang::BO_ShlAssign: op = SLLASG; break;
        case clang::BO_ShrAssign: op = SRLASG; break;
        case clang::BO_AndAssign: op = ANDBASG; break;
        case clang::BO_XorAssign: op = XORBASG; break;
        case clang::BO_OrAssign: op = ORBASG; break;
        default: unsupported(w, std::string("operator ") + b->getOpcodeStr().str());
    }
    if (auto* ca = llvm::dyn_cast<clang::CompoundAssignOperator>(b)) {
        // Done in the type of the left operand, an operation gives the same
        // bits as in C's computation type when both are integers and the
        // operator is not /, % or >>.  Otherwise the long form is written:
        // l = (type of l)((computation type)l OP r).
        QualType comp = ca->getComputationLHSType().getCanonicalType();
        bool same = comp == lt || lt->isPointerType() ||
                    (comp->isIntegerType() && lt->isIntegerType() && op != DIVASG && op != MODASG &&
                     op != SRLASG);
        if (!same) {
            if (l->HasSideEffects(ctx_))
                unsupported(w, "compound assignment with side effects in its left operand");
            static const std::map<int, int> plain = {
                {MULTASG, MULT}, {DIVASG, DIV}, {MODASG, MOD},   {PLUSASG, PLUS}, {MINUSASG, MINUS},
                {SLLASG, SLL},   {SRLASG, SRL}, {ANDBASG, ANDB}, {XORBASG, XORB}, {ORBASG, ORB}};
            TYPE* ct = type_of(comp, w);
            NODE* left = expr(l);
            if (left->type() != ct) left = mk(SCONV, ct, left);
            NODE* value =
                mk(plain.at(op), type_of(ca->getComputationResultType(), w), left, expr(r));
            if (value->type() != t) value = mk(SCONV, t, value);
            return mk(ASG, t, expr(l), value);
        }
    }
    if (lt->isPointerType()) return mk(op, t, expr(l), scaled(expr(r), lt, w));
    return mk(op, t, expr(l), expr(r));
}

NODE* LOWERING::unary(const clang::UnaryOperator* u) {
    SourceLocation w = u->getOperatorLoc();
    const clang::Expr* sub = u->getSubExpr();
    QualType st = sub->getType().getCanonicalType();
    TYPE* t = type_of(u->getType(), w);
    auto step = [&]() {
        if (st->isPointerType()) return icon(long_type(), int64_t(pointee_bits(st, w) / 8));
        if (st->isRealFloatingType()) return fcon(type_of(st, w), llvm::APFloat(1.0));
        return icon(type_of(st, w), 1);
    };
    switch (u->getOpcode()) {
        case clang::UO_PostInc: return mk(PLUSPLUS, t, expr(sub), step());
        case clang::UO_PostDec: return mk(MINMIN, t, expr(sub), step());
        case clang::UO_PreInc: return mk(PLUSASG, t, expr(sub), step());
        case clang::UO_PreDec: return mk(MINUSASG, t, expr(sub), step());
        case clang::UO_AddrOf: return mk(UAND, t, expr(sub));
        case clang::UO_Deref: return mk(UMULT, t, expr(sub));
        case clang::UO_Plus:
        case clang::UO_Extension: return expr(sub);
        case clang::UO_Minus: return mk(UMINUS, t, expr(sub));
        case clang::UO_Not: return mk(NOTB, t, expr(sub));
        case clang::UO_LNot: return mk(EXCLAIM, t, expr(sub));
        default:
            unsupported(w, std::string("operator ") +
                               clang::UnaryOperator::getOpcodeStr(u->getOpcode()).str());
    }
}

NODE* LOWERING::call(const clang::CallExpr* c) {
    SourceLocation w = c->getBeginLoc();
    if (const clang::FunctionDecl* f = c->getDirectCallee()) {
        std::string n = f->getName().str();
        if (n == "__builtin_expect" && c->getNumArgs() == 2) return expr(c->getArg(0));
        if ((n == "__builtin_va_start" || n == "__builtin_va_end") && c->getNumArgs() >= 1)
            return mk(CALL, void_type(), helper(n), expr(c->getArg(0)));
        if (n == "__builtin_va_copy" && c->getNumArgs() == 2) {
            NODE* both = expr(c->getArg(0));
            both = mk(COMMA, both->type(), both, expr(c->getArg(1)));
            return mk(CALL, void_type(), helper(n), both);
        }
        if (n.rfind("__builtin_", 0) == 0) {  // __builtin_strlen: the library's strlen
            NODE* args = nullptr;
            for (const clang::Expr* a : c->arguments()) {
                NODE* x = expr(a);
                args = args ? mk(COMMA, x->type(), args, x) : x;
            }
            NODE* callee = helper(n.substr(10));
            TYPE* t = type_of(c->getType(), w);
            return args ? mk(CALL, t, callee, args) : mk(UCALL, t, callee);
        }
    }
    TYPE* t = type_of(c->getType(), w);
    NODE* callee = expr(c->getCallee());
    unsigned n = c->getNumArgs();
    if (n == 0) {
        NODE* call_node = mk(UCALL, t, callee);
        return call_node;
    }
    NODE* args = expr(c->getArg(0));
    for (unsigned i = 1; i < n; ++i) {
        NODE* a = expr(c->getArg(i));
        args = mk(COMMA, a->type(), args, a);
    }
    NODE* call_node = mk(CALL, t, callee, args);
    // The extra arguments are those a variadic callee takes beyond its
    // parameters.
    if (auto* proto =
            c->getCallee()->getType()->getPointeeType().isNull()
                ? nullptr
                : c->getCallee()->getType()->getPointeeType()->getAs<clang::FunctionProtoType>())
        if (proto->isVariadic() && n > proto->getNumParams())
            call_node->set_value(n - proto->getNumParams());
    return call_node;
}

NODE* LOWERING::member(const clang::MemberExpr* m) {
    SourceLocation w = m->getMemberLoc();
    auto* f = llvm::dyn_cast<clang::FieldDecl>(m->getMemberDecl());
    if (!f) unsupported(w, "member that is not a field");
    const clang::Expr* base = m->getBase();
    QualType record_type = m->isArrow() ? base->getType()->getPointeeType() : base->getType();
    const clang::RecordType* rt = record_type.getCanonicalType()->getAs<clang::RecordType>();
    if (!rt) unsupported(w, "member of a non-struct");
    TYPE* cls = record(rt, w, false);
    TYPE* t = type_of(m->getType(), w);
    NODE* field = mk(FIELD, t);
    field->set_field_ref(0, f->getFieldIndex() + 1, cls);
    return mk(m->isArrow() ? STREF : STDOT, t, expr(base), field);
}

}  // namespace cc
