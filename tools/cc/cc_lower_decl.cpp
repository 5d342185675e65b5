// The C front end's declarations: clang is run on the file, types and
// symbols are made for what the program defines and uses, and the globals'
// initializers (cc_lower_init.cpp) are written once every function is.
#include <clang/AST/RecordLayout.h>
#include <clang/Basic/SourceManager.h>
#include <clang/Frontend/ASTUnit.h>
#include <clang/Tooling/Tooling.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "icode/opcodes.h"
#include "tools/cc/cc_compile.h"
#include "tools/cc/cc_lower.h"

namespace cc {

using namespace icode;
using clang::QualType;
using clang::SourceLocation;

LOWERING::LOWERING(clang::ASTContext& context, IcodeFile& out, TYPE_PKG& types)
    : ctx_(context), sm_(context.getSourceManager()), out_(out), types_(types) {}

LOWERING::~LOWERING() = default;

// ---- positions and failures ------------------------------------------------

OptPos LOWERING::pos(SourceLocation where) const {
    if (where.isInvalid()) return std::nullopt;
    clang::PresumedLoc p = sm_.getPresumedLoc(sm_.getExpansionLoc(where));
    if (p.isInvalid()) return std::nullopt;
    SourcePos s;
    s.file = FILE_NAME(std::string(p.getFilename()));
    s.line = p.getLine();
    s.column = p.getColumn();
    return s;
}

std::string LOWERING::where(SourceLocation l) const {
    OptPos p = pos(l);
    if (!p) return "<unknown>";
    return p->file.str() + ":" + std::to_string(p->line) + ":" + std::to_string(p->column);
}

void LOWERING::unsupported(SourceLocation l, const std::string& what) const {
    if (l.isInvalid()) l = last_position_;
    throw CC_UNSUPPORTED{where(l), what};
}

bool LOWERING::in_system_header(SourceLocation l) const {
    return l.isValid() && sm_.isInSystemHeader(sm_.getExpansionLoc(l));
}

// ---- nodes -------------------------------------------------------------------

NODE* LOWERING::mk(int op, TYPE* type, NODE* left, NODE* right) {
    nodes_.emplace_back(make_node(op, type));
    NODE* n = nodes_.back().get();
    n->set_left(left);
    n->set_right(right);
    return n;
}

NODE* LOWERING::icon(TYPE* type, int64_t value) {
    // An ICON carries 32 bits, extended by its type's signedness; a wider
    // value is an LCON with its decimal text.
    bool fits = is_signed(type) ? value == int64_t(int32_t(value))
                                : uint64_t(value) == uint64_t(uint32_t(value));
    if (!fits) {
        NODE* n = mk(LCON, type);
        std::string text =
            is_signed(type) ? std::to_string(value) : std::to_string(uint64_t(value));
        n->set_text(text.c_str());
        n->set_value(uint64_t(value));
        return n;
    }
    NODE* n = mk(ICON, type);
    n->set_value(uint64_t(value));
    return n;
}

NODE* LOWERING::fcon(TYPE* type, const llvm::APFloat& value) {
    bool lost = false;
    llvm::APFloat d = value;
    d.convert(llvm::APFloat::IEEEdouble(), llvm::APFloat::rmNearestTiesToEven, &lost);
    char text[64];
    std::snprintf(text, sizeof text, "%a", d.convertToDouble());
    NODE* n = mk(FCON, type);
    n->set_text(text);
    return n;
}

NODE* LOWERING::name(SYMTAB* symbol) {
    NODE* n = mk(NAME, symbol->type());
    n->set_symbol(symbol);
    return n;
}

NODE* LOWERING::label_ref(uint32_t label) {
    NODE* n = mk(LABEL, int_type());
    n->set_value(label);
    return n;
}

NODE* LOWERING::scon(const clang::StringLiteral* literal, TYPE* type) {
    if (literal->getCharByteWidth() != 1) unsupported(literal->getBeginLoc(), "wide string");
    NODE* n = mk(SCON, type);
    llvm::StringRef bytes = literal->getBytes();
    n->set_bytes(bytes.data(), bytes.size());
    return n;
}

// ---- types -------------------------------------------------------------------

uint64_t LOWERING::bits_of(QualType type) const {
    if (type->isIncompleteType() || type->isFunctionType()) return 0;
    return ctx_.getTypeSize(type);
}

TYPE* LOWERING::integral(IntegralKind kind, bool explicit_sign, uint32_t bits) {
    auto key = std::make_pair(int(kind) * 2 + (explicit_sign ? 1 : 0), bits);
    auto it = integrals_.find(key);
    if (it != integrals_.end()) return it->second;
    TYPE* t = types_.make_integral(kind, explicit_sign, bits, bits, false, false);
    integrals_[key] = t;
    return t;
}

TYPE* LOWERING::int_type() { return integral(IntegralKind::INT, false, 32); }
TYPE* LOWERING::long_type() { return integral(IntegralKind::LONG, false, 64); }

TYPE* LOWERING::void_type() {
    if (!void_) void_ = types_.make_void();
    return void_;
}

TYPE* LOWERING::pointer_to(TYPE* pointee) {
    TYPE*& p = pointers_[pointee];
    if (!p) {
        uint32_t bits = uint32_t(ctx_.getTypeSize(ctx_.VoidPtrTy));
        p = types_.make_pointer(pointee, bits, bits);
    }
    return p;
}

TYPE* LOWERING::record(const clang::RecordType* rt, SourceLocation where_used, bool opaque) {
    const clang::RecordDecl* d = rt->getDecl();
    const clang::RecordDecl* def = d->getDefinition();
    std::map<const clang::Type*, TYPE*>& map = opaque || !def ? opaque_map_ : type_map_;
    auto it = map.find(rt);
    if (it != map.end()) return it->second;
    uint8_t csu = d->isUnion() ? CSU_UNION : CSU_STRUCT;
    std::string tag = d->getName().str();
    if (opaque || !def) {
        TYPE* t = types_.complete(types_.make_csu(csu, tag, false, false, 0, 8, false, 0, false,
                                                  false, pos(d->getLocation())));
        map[rt] = t;
        return t;
    }
    const clang::ASTRecordLayout& layout = ctx_.getASTRecordLayout(def);
    TYPE* t = types_.make_csu(csu, tag, false, false, uint64_t(layout.getSize().getQuantity()) * 8,
                              uint32_t(layout.getAlignment().getQuantity()) * 8, true, 0, false,
                              false, pos(def->getLocation()));
    map[rt] = t;  // before the fields, which may point back to it
    for (const clang::FieldDecl* f : def->fields()) {
        FieldMember m;
        m.name = f->getName().str();
        m.type = type_of(f->getType(), f->getLocation());
        m.offset = int32_t(layout.getFieldOffset(f->getFieldIndex()));
        m.position = pos(f->getLocation());
        if (f->isBitField()) {
            m.is_bit_field = true;
            m.bit_width = f->getBitWidthValue(ctx_);
        }
        t->csu_part().fields.push_back(std::move(m));
    }
    TYPE* done = types_.complete(t);
    map[rt] = done;
    return done;
}

TYPE* LOWERING::type_of(QualType qt, SourceLocation w) {
    QualType ct = qt.getCanonicalType().getUnqualifiedType();
    const clang::Type* t = ct.getTypePtr();
    if (auto* rt = llvm::dyn_cast<clang::RecordType>(t)) return record(rt, w, false);
    auto it = type_map_.find(t);
    if (it != type_map_.end()) return it->second;
    TYPE* made = nullptr;
    if (auto* b = llvm::dyn_cast<clang::BuiltinType>(t)) {
        uint32_t bits = uint32_t(ctx_.getTypeSize(ct));
        switch (b->getKind()) {
            case clang::BuiltinType::Void: made = void_type(); break;
            case clang::BuiltinType::Bool: made = integral(IntegralKind::BOOL, false, bits); break;
            case clang::BuiltinType::Char_S:
                made = integral(IntegralKind::CHAR, false, bits);
                break;
            case clang::BuiltinType::SChar: made = integral(IntegralKind::CHAR, true, bits); break;
            case clang::BuiltinType::Char_U:
            case clang::BuiltinType::UChar:
                made = integral(IntegralKind::UCHAR, false, bits);
                break;
            case clang::BuiltinType::Short:
                made = integral(IntegralKind::SHORT, false, bits);
                break;
            case clang::BuiltinType::UShort:
                made = integral(IntegralKind::USHORT, false, bits);
                break;
            case clang::BuiltinType::Int: made = integral(IntegralKind::INT, false, bits); break;
            case clang::BuiltinType::UInt: made = integral(IntegralKind::UINT, false, bits); break;
            case clang::BuiltinType::Long: made = integral(IntegralKind::LONG, false, bits); break;
            case clang::BuiltinType::ULong:
                made = integral(IntegralKind::ULONG, false, bits);
                break;
            case clang::BuiltinType::LongLong:
                made = integral(IntegralKind::LLONG, false, bits);
                break;
            case clang::BuiltinType::ULongLong:
                made = integral(IntegralKind::ULLONG, false, bits);
                break;
            case clang::BuiltinType::Float:
                made = types_.make_floating(FloatingKind::FLOAT, bits, bits);
                break;
            case clang::BuiltinType::Double:
                made = types_.make_floating(FloatingKind::DOUBLE, bits, bits);
                break;
            default: unsupported(w, "type " + ct.getAsString());
        }
    } else if (auto* p = llvm::dyn_cast<clang::PointerType>(t)) {
        QualType pointee = p->getPointeeType().getCanonicalType();
        if (auto* prt = llvm::dyn_cast<clang::RecordType>(pointee.getTypePtr())) {
            // A system header's struct behind a pointer (FILE) is left opaque.
            bool opaque = in_system_header(prt->getDecl()->getLocation());
            made = pointer_to(record(prt, w, opaque));
        } else {
            made = pointer_to(type_of(pointee, w));
        }
    } else if (auto* a = llvm::dyn_cast<clang::ConstantArrayType>(t)) {
        TYPE* elem = type_of(a->getElementType(), w);
        uint64_t count = a->getSize().getZExtValue();
        made = types_.make_array(elem, uint32_t(count), ctx_.getTypeSize(ct),
                                 uint32_t(ctx_.getTypeAlign(ct)), false, false, false);
    } else if (auto* ia = llvm::dyn_cast<clang::IncompleteArrayType>(t)) {
        TYPE* elem = type_of(ia->getElementType(), w);
        made = types_.make_array(elem, 0, 0, uint32_t(ctx_.getTypeAlign(ia->getElementType())),
                                 false, false, false);
    } else if (llvm::isa<clang::VariableArrayType>(t)) {
        unsupported(w, "variable-length array");
    } else if (auto* e = llvm::dyn_cast<clang::EnumType>(t)) {
        const clang::EnumDecl* d = e->getDecl();
        TYPE* under = type_of(d->getIntegerType(), w);
        made = types_.make_enum(d->getName().str(), under->size(), under->alignment(), under, false,
                                pos(d->getLocation()));
        for (const clang::EnumConstantDecl* c : d->enumerators()) {
            Enumerator en;
            en.name = c->getName().str();
            en.value = c->getInitVal().getExtValue();
            en.position = pos(c->getLocation());
            made->enum_part().enumerators.push_back(std::move(en));
        }
        made = types_.complete(made);
    } else if (auto* f = llvm::dyn_cast<clang::FunctionType>(t)) {
        TYPE* ret = type_of(f->getReturnType(), w);
        made = types_.make_function(ret, false, false, 0, false);
        type_map_[t] = made;
        if (auto* fp = llvm::dyn_cast<clang::FunctionProtoType>(f)) {
            for (QualType pt : fp->getParamTypes()) {
                ParamMember pm;
                pm.type = type_of(pt, w);
                made->function_part().params.push_back(std::move(pm));
            }
        }
        made = types_.complete(made);
    } else {
        unsupported(w, "type " + ct.getAsString());
    }
    type_map_[t] = made;
    return made;
}

// ---- symbols -------------------------------------------------------------------

SYMTAB* LOWERING::global(const clang::NamedDecl* decl) {
    const clang::Decl* key = decl->getCanonicalDecl();
    auto it = globals_.find(key);
    if (it != globals_.end()) return it->second;
    SymbolRecord r;
    r.name = decl->getName().str();
    r.position = pos(decl->getLocation());
    const clang::VarDecl* var = llvm::dyn_cast<clang::VarDecl>(decl);
    if (auto* f = llvm::dyn_cast<clang::FunctionDecl>(decl)) {
        r.type = type_of(f->getType(), f->getLocation());
        r.storage_class = f->getStorageClass() == clang::SC_Static ? 3 : 4;
    } else if (var) {
        const clang::VarDecl* def = var->getDefinition(ctx_);
        if (!def) def = var;
        for (const clang::VarDecl* v : var->redecls())
            if (!v->getType()->isIncompleteArrayType()) def = v;
        if (def->getTLSKind() != clang::VarDecl::TLS_None)
            unsupported(def->getLocation(), "thread-local variable");
        r.type = type_of(def->getType(), def->getLocation());
        r.size = uint32_t(bits_of(def->getType()));
        r.alignment =
            uint16_t(def->getType()->isIncompleteType() ? 8 : ctx_.getTypeAlign(def->getType()));
        bool file_local = def->getStorageClass() == clang::SC_Static;
        r.storage_class = file_local ? 3 : 4;
    } else {
        unsupported(decl->getLocation(), std::string("reference to ") + decl->getDeclKindName());
    }
    symbols_.push_back(std::make_unique<SYMTAB>(std::move(r)));
    SYMTAB* s = symbols_.back().get();
    out_.register_global_symbol(s);
    globals_[key] = s;
    if (var) global_vars_.emplace_back(var, s);
    return s;
}

NODE* LOWERING::helper(const std::string& n) {
    SYMTAB*& s = helpers_[n];
    if (!s) {
        SymbolRecord r;
        r.name = n;
        r.type = types_.complete(types_.make_function(void_type(), false, false, 0, false));
        r.storage_class = 4;
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(r)));
        s = symbols_.back().get();
        out_.register_global_symbol(s);
    }
    return mk(UAND, pointer_to(s->type()), name(s));
}

SYMTAB* LOWERING::variable(const clang::VarDecl* v) {
    auto it = locals_.find(v);
    if (it != locals_.end()) return it->second;
    if (v->hasLocalStorage())
        unsupported(v->getLocation(), "local " + v->getName().str() + " out of scope");
    return global(v);
}

// ---- the translation unit -------------------------------------------------------

void LOWERING::translation_unit() {
    for (const clang::Decl* d : ctx_.getTranslationUnitDecl()->decls()) {
        if (in_system_header(d->getLocation())) continue;
        if (auto* f = llvm::dyn_cast<clang::FunctionDecl>(d)) {
            if (f->doesThisDeclarationHaveABody()) function(f);
        } else if (auto* v = llvm::dyn_cast<clang::VarDecl>(d)) {
            if (v->isThisDeclarationADefinition(ctx_) != clang::VarDecl::DeclarationOnly) global(v);
        }
    }
    write_initializers();
}

// ---- the command ------------------------------------------------------------------

bool front_end_available() { return true; }

int compile(const CC_OPTIONS& options) {
    std::ifstream in(options.source, std::ios::binary);
    if (!in) {
        std::cerr << "icode cc: cannot open " << options.source << "\n";
        return 1;
    }
    std::stringstream code;
    code << in.rdbuf();
    std::vector<std::string> args = {"-xc", "-std=gnu11", "-resource-dir=" TRELV_CLANG_RESOURCE_DIR,
                                     // the library's character tests as functions, not tables
                                     "-D__NO_CTYPE", "-fno-builtin", "-Wno-everything"};
    for (const std::string& dir : options.includes) args.push_back("-I" + dir);
    for (const std::string& d : options.defines) args.push_back("-D" + d);
    std::unique_ptr<clang::ASTUnit> ast =
        clang::tooling::buildASTFromCodeWithArgs(code.str(), args, options.source, "icode-cc");
    if (!ast || ast->getDiagnostics().hasErrorOccurred()) return 1;

    std::string temp = options.output + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        std::cerr << "icode cc: cannot write " << temp << "\n";
        return 1;
    }
    TYPE_PKG types;
    std::unique_ptr<IcodeFile> unit = IcodeFile::create_writer(f, &types, options.source);
    // The symbols belong to the lowering and are written when the unit is
    // closed, so the lowering outlives the close.
    LOWERING lowering(ast->getASTContext(), *unit, types);
    try {
        lowering.translation_unit();
    } catch (const CC_UNSUPPORTED& u) {
        unit->close(true);
        std::remove(temp.c_str());
        std::cerr << u.where << ": unsupported: " << u.what << "\n";
        return 1;
    }
    if (unit->close() != 0 || std::rename(temp.c_str(), options.output.c_str()) != 0) {
        std::remove(temp.c_str());
        std::cerr << "icode cc: cannot write " << options.output << "\n";
        return 1;
    }
    return 0;
}

}  // namespace cc
