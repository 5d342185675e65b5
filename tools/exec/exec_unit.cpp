#include "tools/exec/exec_unit.h"
#include "tools/common/unit_open.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "icode/attributes.h"
#include "icode/icode_client.h"
#include "icode/icode_file.h"
#include "icode/types.h"

namespace exec {

using namespace icode;

class EXEC_LOADER : public IcodeClient {
public:
    explicit EXEC_LOADER(EXEC_UNIT& unit) : unit_(unit) {}

    SYMTAB* create_symbol(SymbolRecord record, int level) override {
        unit_.symbols_.push_back(std::make_unique<SYMTAB>(std::move(record)));
        SYMTAB* s = unit_.symbols_.back().get();
        s->set_level(level);
        if (level == 0) {
            unit_.globals_.push_back(s);
        } else if (current_) {
            current_->locals.push_back(s);
            if (level == 1 && s->storage_class() == 1) current_->params.push_back(s);
        }
        return s;
    }
    void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) override {
        if (symbol) symbol->add_pragma_front(std::move(pragma));
    }
    void attach_initializer(SYMTAB* symbol, std::vector<NODE*> trees) override {
        if (symbol)
            symbol->set_initializers(std::move(trees));
        else
            for (NODE* t : trees) free_tree(t);
    }
    void function_begin(SYMTAB* symbol, OptPos) override {
        unit_.functions_.push_back(std::make_unique<EXEC_FUNCTION>());
        current_ = unit_.functions_.back().get();
        current_->symbol = symbol;
        current_->name = symbol ? symbol->name() : "";
        unit_.by_name_.emplace(current_->name, current_);
    }
    void function_end(OptPos) override { current_ = nullptr; }
    void label(uint32_t number) override {
        if (!current_) return;
        EXEC_STMT s;
        s.is_label = true;
        s.label = number;
        current_->label_stmt.emplace(number, current_->stmts.size());
        current_->stmts.push_back(s);
    }
    void expression_statement(NODE* tree, OptPos) override {
        if (!current_) {
            free_tree(tree);
            return;
        }
        EXEC_STMT s;
        s.tree = tree;
        current_->stmts.push_back(s);
    }

private:
    EXEC_UNIT& unit_;
    EXEC_FUNCTION* current_ = nullptr;
};

EXEC_UNIT::~EXEC_UNIT() {
    for (auto& f : functions_)
        for (auto& s : f->stmts)
            if (s.tree) free_tree(s.tree);
}

bool EXEC_UNIT::load(const std::string& path, std::string* error) {
    EXEC_LOADER loader(*this);
    std::unique_ptr<IcodeFile> unit = icode_text::open_unit(path, loader, types_, error);
    if (!unit) return false;
    try {
        unit->read_unit();
    } catch (...) {
        // A damaged unit ends the run; where that ending is an exception
        // (tests, fuzzing) the stream is not left open.
        unit->close(true);
        throw;
    }
    unit_name_ = unit->unit_name();
    unit->close();
    return true;
}

const EXEC_FUNCTION* EXEC_UNIT::find_function(const std::string& name) const {
    auto it = by_name_.find(name);
    return it == by_name_.end() ? nullptr : it->second;
}

std::vector<EXEC_COUNTERS> EXEC_UNIT::counters_arrays() const {
    std::vector<EXEC_COUNTERS> out;
    for (SYMTAB* s : globals_) {
        if (s->name().rfind("__prof_arr_", 0) != 0) continue;
        for (const Pragma* p = s->first_pragma(); p; p = p->next.get()) {
            if (p->kind == uint8_t(AttributeKind::FUNC_TRELV_INFO) && !p->args.empty()) {
                out.push_back({s, p->args[0]});
                break;
            }
        }
    }
    return out;
}

const TYPE* plain_type(const TYPE* type) {
    const TYPE* t = type ? type->resolved() : nullptr;
    while (t) {
        if (t->kind() == TypeKind::TYPEDEF)
            t = t->typedef_part().base;
        else if (t->kind() == TypeKind::QUALIFIED)
            t = t->qualified_part().unqualified;
        else
            break;
        if (t) t = t->resolved();
    }
    return t;
}

uint32_t size_in_bytes(const TYPE* type) {
    if (!type) return 0;
    uint32_t bits = type->size();
    if (bits == 0) {
        const TYPE* p = plain_type(type);
        if (p) bits = p->size();
    }
    return (bits + 7) / 8;
}

bool is_pointer_like(const TYPE* type) {
    const TYPE* t = plain_type(type);
    return t && (t->kind() == TypeKind::POINTER || t->kind() == TypeKind::REFERENCE);
}

}  // namespace exec
