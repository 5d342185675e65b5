// PROF_CLIENT: each record the reader delivers becomes a statement entry of
// the manager, or goes straight to the output outside functions.
#include "profmgr/prof_client.h"

#include "diag/trelv_diags.h"
#include "icode/icode_file.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "profmgr/prof_mgr.h"

using namespace icode;

void PROF_CLIENT::string_list(uint32_t id, const std::vector<std::string>& strings) {
    string_lists_.emplace_back(id, strings);
}

namespace {

// A typedef whose size differs from the type its chain finally names is
// replaced, for the symbol's own use, by a typedef of the same name over
// that type.
TYPE* effective_type(TYPE* type, TYPE_PKG* types) {
    if (!type || !types || type->kind() != TypeKind::TYPEDEF) return type;
    TYPE* final = type->basic_type();
    if (!final || final->size() == type->size()) return type;
    const TypedefPart& t = type->typedef_part();
    std::optional<SourcePos> pos;
    if (type->position()) pos = *type->position();
    return types->make_typedef(type->name(), final, final->size(), final->alignment(), t.flag1,
                               t.flag2, pos);
}

}  // namespace

SYMTAB* PROF_CLIENT::create_symbol(SymbolRecord record, int level) {
    SYMTAB* s = manager_.new_symbol(std::move(record), level);
    s->set_effective_type(effective_type(s->type(), manager_.types()));
    if (level == 0) {
        if (manager_.output()) manager_.output()->register_global_symbol(s);
    } else if (manager_.in_function()) {
        std::unique_ptr<STMT_ENTRY> e = manager_.new_entry();
        e->kind = REC_SYMBOL;
        e->symbol = s;
        manager_.add_entry(std::move(e));
    }
    return s;
}

void PROF_CLIENT::attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) {
    if (symbol) {
        symbol->add_pragma_front(std::move(pragma));
    } else if (manager_.in_function()) {
        std::unique_ptr<STMT_ENTRY> e = manager_.new_entry();
        e->kind = REC_PRAGMA;
        e->pragma = std::move(pragma);
        manager_.add_entry(std::move(e));
    } else if (manager_.output()) {
        // Outside functions nothing is collected: the record goes straight
        // to the output unit, so that it is not lost.
        manager_.output()->write_pragma(*pragma);
    }
}

void PROF_CLIENT::attach_initializer(SYMTAB* symbol, std::vector<NODE*> trees) {
    symbol->set_initializers(std::move(trees));
}

void PROF_CLIENT::function_begin(SYMTAB* symbol, OptPos position) {
    depth_ = 1;
    manager_.begin_function(symbol, position);
    if (!manager_.job().uses_profile()) return;
    manager_.read_profile_data();
    if (!manager_.has_profile_data()) {
        DIAG::trelv_rem_missing_profinfo(TRELV_HERE, manager_.function_name()).emit();
        manager_.set_no_data();
    }
}

void PROF_CLIENT::function_end(OptPos position) {
    depth_ = 0;
    manager_.end_function(position);
}

void PROF_CLIENT::entry(RECORD_KIND kind, OptPos position) {
    if (!manager_.in_function()) return;
    std::unique_ptr<STMT_ENTRY> e = manager_.new_entry();
    e->kind = kind;
    e->position = std::move(position);
    manager_.add_entry(std::move(e));
}

void PROF_CLIENT::block_begin(OptPos position) {
    ++depth_;
    entry(REC_BLOCK_BEGIN, std::move(position));
}

void PROF_CLIENT::block_end(OptPos position) {
    --depth_;
    entry(REC_BLOCK_END, std::move(position));
}

void PROF_CLIENT::body_begin(OptPos position) {
    depth_ = 2;
    entry(REC_BODY_BEGIN, std::move(position));
}

void PROF_CLIENT::mark(OptPos position) { entry(REC_MARK, std::move(position)); }

void PROF_CLIENT::text(RECORD_KIND kind, const std::string& text, OptPos position) {
    if (!manager_.in_function()) {
        if (!manager_.output()) return;
        if (kind == REC_TEXT_AT)
            manager_.output()->write_text_at(text, position);
        else
            manager_.output()->write_text(text);
        return;
    }
    std::unique_ptr<STMT_ENTRY> e = manager_.new_entry();
    e->kind = kind;
    e->tree = make_node(OP_TEXT_NODE, nullptr);
    e->tree->set_text(text.c_str());
    e->position = std::move(position);
    manager_.add_entry(std::move(e));
}

void PROF_CLIENT::label(uint32_t number) {
    if (manager_.in_function())
        manager_.add_label(number, std::nullopt);
    else if (manager_.output())
        manager_.output()->write_label(number);
}

void PROF_CLIENT::expression_statement(NODE* tree, OptPos position) {
    if (!manager_.in_function()) {
        if (manager_.output()) manager_.output()->write_expression_statement(tree, position);
        free_tree(tree);
        return;
    }
    manager_.add_input_statement(tree, position);
}

bool PROF_CLIENT::exception_table(std::vector<EHT_ENTRY>& entries) {
    if (!manager_.in_function()) {
        if (manager_.output()) manager_.output()->write_exception_table(entries);
        return true;
    }
    std::unique_ptr<STMT_ENTRY> e = manager_.new_entry();
    e->kind = REC_EHT;
    e->aux = int(entries.size());
    e->eht = std::move(entries);
    entries.clear();
    manager_.add_entry(std::move(e));
    return false;
}
