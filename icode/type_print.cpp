// The type printer; the form is documented in type_print.h.
#include "icode/type_print.h"

#include <string>

#include "icode/type_core.h"

namespace icode {
namespace {

const char* const kIntegralNames[INTEGRAL_KIND_COUNT] = {
    "bool ", "char ",     "unsigned char ", "wchar_t ",       "short ",     "unsigned short ",
    "int ",  "unsigned ", "long ",          "unsigned long ", "long long ", "unsigned long long ",
};

const char* const kFloatingNames[FLOATING_KIND_COUNT] = {"float ", "double ", "long double "};

struct QualifierWord {
    uint32_t bit;
    const char* word;
};

// The order in which qualifier bits are printed (not numeric order).
const QualifierWord kQualifierWords[] = {
    {Q_CONST, "const"}, {Q_VOLATILE, "volatile"}, {Q_PACKED, "packed"}, {Q_NEAR, "near"},
    {Q_FAR, "far"},     {Q_RESTRICT, "restrict"}, {Q_IOPORT, "ioport"}, {Q_ONCHIP, "onchip"},
};

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

const char* complex_name(const TYPE* part) {
    if (part == nullptr) return "complex ";
    const TYPE* basic = part->basic_type();
    if (basic->kind() == TypeKind::FLOATING)
        return basic->floating_part().sub_kind == FloatingKind::FLOAT ? "cfloat " : "cdouble ";
    if (basic->kind() != TypeKind::INTEGRAL) return "complex ";
    switch (basic->integral_part().sub_kind) {
        case IntegralKind::BOOL:
        case IntegralKind::CHAR:
        case IntegralKind::UCHAR: return "cchar ";
        case IntegralKind::WCHAR:
        case IntegralKind::SHORT:
        case IntegralKind::USHORT: return "cshort ";
        case IntegralKind::INT:
        case IntegralKind::UINT: return "cint ";
        case IntegralKind::LONG:
        case IntegralKind::ULONG: return "clong ";
        default: return "cllong ";
    }
}

std::string qualifier_words(uint32_t bits) {
    std::string words;
    for (const QualifierWord& q : kQualifierWords)
        if (bits & q.bit) {
            words += q.word;
            words += ' ';
        }
    return words;
}

std::string print(const TYPE* type);

std::string print_array(const TYPE* type) {
    std::string dims;
    while (type->kind() == TypeKind::ARRAY && !type->array_part().vector) {
        dims += "[" + std::to_string(type->array_part().count) + "]";
        const TYPE* element = type->array_part().element;
        if (element == nullptr) return dims;
        type = element->resolved();
    }
    return print(type) + dims;
}

std::string print_qualified(const TYPE* type) {
    const QualifiedPart& q = type->qualified_part();
    std::string words = qualifier_words(q.qualifiers);
    const TYPE* unq = q.unqualified ? q.unqualified->resolved() : nullptr;
    if (unq && (unq->kind() == TypeKind::POINTER || unq->kind() == TypeKind::REFERENCE))
        return print(unq) + words;
    return words + print(unq);
}

std::string print_function(const TYPE* type) {
    const FunctionPart& f = type->function_part();
    std::string text = print(f.return_type) + "(";
    for (std::size_t i = 0; i < f.params.size(); ++i) {
        if (i != 0) text += ", ";
        text += trimmed(print(f.params[i].type));
    }
    return text + ")";
}

std::string print(const TYPE* type) {
    if (type == nullptr) return "";
    type = type->resolved();
    switch (type->kind()) {
        case TypeKind::VOID: return "void ";
        case TypeKind::INTEGRAL: {
            int k = static_cast<int>(type->integral_part().sub_kind);
            return k < INTEGRAL_KIND_COUNT ? kIntegralNames[k] : "integral ";
        }
        case TypeKind::FLOATING: {
            int k = static_cast<int>(type->floating_part().sub_kind);
            return k < FLOATING_KIND_COUNT ? kFloatingNames[k] : "floating ";
        }
        case TypeKind::FIXED_POINT:
            return " [FxtPt:" + trimmed(print(type->fixed_point_part().base)) + "] ";
        case TypeKind::COMPLEX: return complex_name(type->complex_part().part);
        case TypeKind::POINTER: return print(type->pointer_part().pointee) + "*";
        case TypeKind::REFERENCE: return print(type->reference_part().referenced) + "&";
        case TypeKind::QUALIFIED: return print_qualified(type);
        case TypeKind::TYPEDEF: return type->name() + " ";
        case TypeKind::ARRAY:
            if (type->array_part().vector)
                return "<[" + print(type->array_part().element) + "[" +
                       std::to_string(type->array_part().count) + "]]>";
            return print_array(type);
        case TypeKind::PTR_TO_MEMBER: {
            const PtrToMemberPart& p = type->ptr_to_member_part();
            std::string cls = p.class_type ? p.class_type->resolved()->name() : std::string();
            return print(p.pointee) + cls + "::*";
        }
        case TypeKind::FUNCTION: return print_function(type);
        case TypeKind::ENUM: return "enum " + type->name() + " ";
        case TypeKind::CLASS: return "class " + type->name() + " ";
        case TypeKind::STRUCT: return "struct " + type->name() + " ";
        case TypeKind::UNION: return "union " + type->name() + " ";
    }
    return "";
}

}  // namespace

std::string print_type(const TYPE* type) { return print(type); }

}  // namespace icode
