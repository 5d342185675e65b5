// The whole-unit reference check for tests: a unit read in reader order,
// with every reference a reader could not follow listed.
#include "unit_check.h"

#include <cstdio>

#include "icode/opcodes.h"
#include "icode/record_layout.h"

namespace unit_check {

using namespace icode;

namespace {

const char* const SECTION_FIELDS[5] = {"strings", "init", "types", "files", "symbols"};

bool read_uleb(const std::string& u, size_t& p, uint32_t& v) {
    v = 0;
    for (unsigned shift = 0;; shift += 7) {
        if (p >= u.size()) return false;
        uint8_t b = uint8_t(u[p++]);
        if (shift < 32) v |= uint32_t(b & 0x7f) << shift;
        if (!(b & 0x80)) return true;
    }
}

}  // namespace

void UNIT_CHECK::check_definition(int64_t symbol) {
    if (symbol >= int64_t(globals_.size())) {
        problem("symbol " + std::to_string(symbol) + " beyond the table");
        return;
    }
    size_t i = size_t(symbol);
    if (definitions_[i] != int64_t(where_))
        problem("definition offset of " + globals_[i] + " is " + std::to_string(definitions_[i]));
}

void UNIT_CHECK::problem(const std::string& what) {
    char at[32];
    std::snprintf(at, sizeof at, "0x%zx: ", where_);
    problems.push_back(at + what);
}

bool UNIT_CHECK::next(size_t& p, RECORD& rec) {
    where_ = p;
    if (p >= u_.size() || uint8_t(u_[p]) == REC_END) return false;
    size_t q = p + 1;
    uint32_t len;
    if (!read_uleb(u_, q, len) || len > u_.size() - q) {
        problem("record cut off");
        return false;
    }
    try {
        size_t used = 0;
        decode_payload(rec, uint8_t(u_[p]), reinterpret_cast<const uint8_t*>(u_.data()) + q, len,
                       CODEC_CONTEXT{version_, &types_}, &used);
        if (used != len) problem("payload longer than its fields");
    } catch (const DECODE_ERROR& e) {
        problem(e.what());
        return false;
    }
    p = q + len;
    return true;
}

UNIT_CHECK::UNIT_CHECK(const std::string& unit) : u_(unit) {
    size_t p = 0;
    RECORD header;
    if (!next(p, header) || header.kind != REC_HEADER) {
        problem("no header");
        return;
    }
    version_ = int(header.num("version"));
    uint32_t offsets[5];
    for (int s = 0; s < 5; ++s) offsets[s] = uint32_t(header.num(SECTION_FIELDS[s]));
    for (int s : {3, 2, 4, 1}) section(offsets[s], s);
    stream(p);
    for (const auto& [id, count] : lists_to_come_)
        if (count != 0) problem("type " + std::to_string(id) + " misses attribute lists");
}

void UNIT_CHECK::section(uint32_t offset, int which) {
    if (offset == 0) return;
    size_t p = offset;
    RECORD rec;
    while (next(p, rec)) {
        check_fields(rec);
        if (which == 3 && rec.kind == REC_FILE_NAME) {
            ++files_;
        } else if (which == 2 && rec.kind == REC_TYPE) {
            type_record(rec);
        } else if (which == 4 && rec.kind == REC_SYMBOL) {
            symbol_record(rec);
        } else if (which == 4 && rec.kind == REC_PRAGMA && pragmas_to_come_ > 0) {
            --pragmas_to_come_;
        } else if (which == 1 && rec.kind == REC_INIT) {
            ++initializers;
            check_definition(rec.num("sym"));
            for (;;) {
                int root = tree(p, false);
                if (root < 0 || root == ENDINIT) break;
            }
        } else {
            problem(std::string("record ") + rec.layout->name + " out of place");
        }
    }
    if (pragmas_to_come_ != 0) problem("symbol misses attribute records");
}

void UNIT_CHECK::stream(size_t p) {
    RECORD rec;
    while (next(p, rec)) {
        check_fields(rec);
        switch (rec.kind) {
            case REC_FUNC_BEGIN:
                ++functions;
                depth_ = 1;
                locals_.clear();
                labels_defined_.clear();
                labels_used_.clear();
                check_definition(rec.num("sym"));
                break;
            case REC_FUNC_END:
                for (uint64_t l : labels_used_)
                    if (!labels_defined_.count(l))
                        problem("label " + std::to_string(l) + " not defined");
                depth_ = 0;
                break;
            case REC_BODY_BEGIN: depth_ = 2; break;
            case REC_BLOCK_BEGIN: ++depth_; break;
            case REC_BLOCK_END: --depth_; break;
            case REC_SYMBOL:
                if (depth_ == 0) problem("symbol outside a function");
                symbol_record(rec);
                break;
            case REC_LABEL: labels_defined_.insert(uint64_t(rec.num("label"))); break;
            case REC_EXPR_STMT: {
                size_t first = p;
                int root = tree(p, depth_ != 0);
                if (root != ASG) break;
                // A parameter copy: the local's name and class against the
                // parameter's.
                RECORD asg, left, right;
                size_t q = first;
                next(q, asg);
                next(q, left);
                next(q, right);
                auto local = [&](const RECORD& n) -> const LOCAL* {
                    if (n.num("opcode") != NAME || n.num("level") == 0) return nullptr;
                    size_t i = size_t(n.num("index"));
                    return i < locals_.size() ? &locals_[i] : nullptr;
                };
                const LOCAL* l = local(left);
                const LOCAL* r = local(right);
                if (l && r && l->storage_class == 2 && r->storage_class == 1 && l->name == r->name)
                    ++parameter_copies;
                break;
            }
            case REC_TYPE: type_record(rec); break;
            case REC_PRAGMA:
                if (pragmas_to_come_ > 0) --pragmas_to_come_;
                break;
            default: problem(std::string("record ") + rec.layout->name + " not checked"); break;
        }
    }
}

void UNIT_CHECK::check_fields(const RECORD& rec) {
    for (size_t i = 0; i < rec.field_count(); ++i) {
        const FIELD_DESC& d = rec.desc(i);
        const FIELD_VALUE& v = rec.values[i];
        if (!v.present) continue;
        if (d.enc == ENC::POS && v.pos.file > files_)
            problem("position in file " + std::to_string(v.pos.file) + " beyond the file table");
        // A member of an attribute list may name its owner, which is
        // defined already; the record's own id is no reference.
        bool own_id = rec.kind == REC_TYPE && i == 0;
        if (d.enc == ENC::TYPEREF && !own_id && v.num != 0 && !defined_.count(uint32_t(v.num)))
            problem(std::string(d.name) + " names type " + std::to_string(v.num) +
                    " before it is defined");
    }
}

void UNIT_CHECK::type_record(const RECORD& rec) {
    uint32_t id = uint32_t(rec.num("id"));
    int code = int(rec.num("code"));
    if (code == 254 || code == 255 || member_list_of_code(code) >= 0) {
        if (!defined_.count(id)) {
            problem("attribute record of undefined type " + std::to_string(id));
            return;
        }
        int list = code >= 254 ? int(rec.num("list")) : member_list_of_code(code);
        if (code == 254) {
            if (lists_to_come_[id] <= 0) problem("unexpected attribute list");
            open_list_[id] = list;
        } else if (code == 255) {
            --lists_to_come_[id];
            open_list_[id] = -1;
        } else if (!open_list_.count(id) || open_list_[id] != list) {
            problem("member outside its list");
        }
        return;
    }
    if (!defined_.insert(id).second) problem("type " + std::to_string(id) + " defined twice");
    int lists = 0;
    if (code == 20 || code == 22) lists = 1;
    if (code == 24) lists = rec.num("has_fields") != 0;
    if (code == 25)
        for (const char* f :
             {"list0", "list2", "list3", "list4", "list5", "list6", "list7", "list8", "list9"})
            lists += rec.num(f) != 0;
    lists_to_come_[id] = lists;
    types_.add(rec);
}

void UNIT_CHECK::symbol_record(const RECORD& rec) {
    if (depth_ == 0) {
        globals_.push_back(rec.text("name"));
        definitions_.push_back(rec.num("defoff"));
    } else
        locals_.push_back(LOCAL{rec.text("name"), int(rec.num("class"))});
    pragmas_to_come_ = int(rec.num("pragmas"));
}

int UNIT_CHECK::tree(size_t& p, bool in_function) {
    RECORD rec;
    if (!next(p, rec) || rec.kind != REC_NODE) {
        problem("a tree was expected");
        return -1;
    }
    check_fields(rec);
    int op = int(rec.num("opcode"));
    ++opcodes[op];
    if (op == NAME) {
        int64_t level = rec.num("level"), index = rec.num("index");
        if (level == 0 && index >= int64_t(globals_.size()))
            problem("global symbol beyond the table");
        if (level != 0 && level != 0xFFFFFFFFLL && index >= int64_t(locals_.size()))
            problem("local symbol beyond the table");
    }
    if (op == LABEL) {
        if (!in_function) problem("label outside a function");
        labels_used_.insert(uint64_t(rec.num("label")));
    }
    int operands = is_leaf_opcode(op) ? 0 : OperatorTable::operand_count(op);
    if (op == SWITCH) {
        // The elements are CASE and DEFAULT nodes under a left-leaning COMMA
        // list; count them while walking.
        int before = opcodes[DEFAULT];
        for (int i = 0; i < operands; ++i) tree(p, in_function);
        if (opcodes[DEFAULT] > before)
            ++switches_with_default;
        else
            ++switches_without_default;
        return op;
    }
    for (int i = 0; i < operands; ++i)
        if (tree(p, in_function) < 0) return -1;
    return op;
}

}  // namespace unit_check
