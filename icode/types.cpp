// Signedness and floating queries over types.
#include "icode/types.h"

namespace icode {

bool is_signed(const TYPE* type) {
    // Walk down through the kinds that take their signedness from another
    // type; each step moves to a type made earlier, so the walk ends.
    while (type != nullptr) {
        type = type->resolved();
        switch (type->kind()) {
            case TypeKind::TYPEDEF: type = type->typedef_part().base; break;
            case TypeKind::QUALIFIED: type = type->qualified_part().unqualified; break;
            case TypeKind::ENUM: type = type->enum_part().underlying; break;
            case TypeKind::ARRAY:
                if (!type->array_part().vector) return false;
                type = type->array_part().element;
                break;
            case TypeKind::FLOATING: return true;
            case TypeKind::INTEGRAL:
                switch (type->integral_part().sub_kind) {
                    case IntegralKind::CHAR:
                    case IntegralKind::SHORT:
                    case IntegralKind::INT:
                    case IntegralKind::LONG:
                    case IntegralKind::LLONG: return true;
                    default: return false;
                }
            default: return false;
        }
    }
    return false;
}

bool is_floating(const TYPE* type) {
    return type != nullptr && type->basic_kind() == TypeKind::FLOATING;
}

}  // namespace icode
