#include "tools/exec/exec_machine.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "icode/opcodes.h"
#include "icode/types.h"

namespace exec {

using namespace icode;

namespace {

constexpr uint64_t FIRST_ADDRESS = 16;
constexpr size_t MAX_CALL_DEPTH = 1000;
// Operands, addresses and calls are evaluated by recursion; their nesting,
// calls included, is bounded so that no unit can overflow the stack.
constexpr size_t MAX_NESTING = 2000;
// Arrays in structs in arrays...: deeper than any C program's objects.
constexpr size_t MAX_TYPE_NESTING = 256;
// The memory of globals and frames together; a unit's sizes are not
// trusted to be small.
constexpr uint64_t MAX_MEMORY = uint64_t{64} << 20;
// Heap blocks are far above the globals and the stack.
constexpr uint64_t HEAP_BASE = uint64_t(1) << 40;

std::string op_name(int op) {
    const char* n = OperatorTable::name(op);
    return n ? n : "opcode " + std::to_string(op);
}

[[noreturn]] void fail(const std::string& message) { throw EXEC_ERROR(message); }

// Checks that memory of `size` bytes stays within MAX_MEMORY.
void check_memory(uint64_t size) {
    if (size > MAX_MEMORY) fail("memory limit of " + std::to_string(MAX_MEMORY) + " bytes reached");
}

const NODE* strip(const NODE* n) {
    while (n && n->opcode() == EPVAL) n = n->left();
    return n;
}

bool is_bool(const TYPE* t);

bool is_float(const TYPE* t) {
    const TYPE* p = plain_type(t);
    return p && p->kind() == TypeKind::FLOATING;
}

// Floating values are held as the bits of a float (32-bit types) or a
// double, in the low bits of the pattern.
double to_double(uint64_t bits, const TYPE* t) {
    if (size_in_bytes(t) == 4) {
        uint32_t b = uint32_t(bits);
        float f;
        std::memcpy(&f, &b, 4);
        return f;
    }
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

uint64_t from_double(double d, const TYPE* t) {
    if (size_in_bytes(t) == 4) {
        float f = float(d);
        uint32_t b;
        std::memcpy(&b, &f, 4);
        return b;
    }
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return bits;
}

// A value of type `from` as a value of type `to`, by C's conversions.
uint64_t convert(uint64_t v, const TYPE* from, const TYPE* to) {
    bool ff = is_float(from), ft = is_float(to);
    if (!ff && !ft) return normalise(v, to);
    if (ff && ft) return from_double(to_double(v, from), to);
    if (ft) return from_double(is_signed(from) ? double(int64_t(v)) : double(v), to);
    double d = to_double(v, from);
    if (is_bool(to)) return d != 0;
    if (!is_signed(to) && d >= 9223372036854775808.0) return normalise(uint64_t(d), to);
    return normalise(uint64_t(int64_t(d)), to);
}

bool is_bool(const TYPE* t) {
    const TYPE* p = plain_type(t);
    return p && p->kind() == TypeKind::INTEGRAL &&
           p->integral_part().sub_kind == IntegralKind::BOOL;
}

bool is_function(const TYPE* t) {
    const TYPE* p = plain_type(t);
    return p && p->kind() == TypeKind::FUNCTION;
}

bool is_aggregate(const TYPE* t) {
    const TYPE* p = plain_type(t);
    return p && (p->kind() == TypeKind::ARRAY || p->is_csu());
}

uint64_t mask_to(uint64_t v, const TYPE* t) {
    uint32_t bits = size_in_bytes(t) * 8;
    if (bits == 0 || bits >= 64) return v;
    return v & ((uint64_t(1) << bits) - 1);
}

// Flattens a COMMA chain (either leaning) into its elements, in order.
void flatten(const NODE* n, std::vector<const NODE*>& out) {
    n = strip(n);
    if (!n) return;
    if (n->opcode() == COMMA) {
        flatten(n->left(), out);
        flatten(n->right(), out);
    } else {
        out.push_back(n);
    }
}

uint32_t label_of(const NODE* n) {
    n = strip(n);
    if (!n || n->opcode() != LABEL) fail("jump target is not a LABEL");
    return n->label_number();
}

const FieldMember* field_of(const NODE* n) {
    const NODE* f = strip(n->right());
    if (!f || f->opcode() != FIELD || !f->field()) fail(op_name(n->opcode()) + " without a field");
    return f->field();
}

bool is_member(const NODE* n) { return n && (n->opcode() == STDOT || n->opcode() == STREF); }

}  // namespace

uint64_t normalise(uint64_t value, const TYPE* type) {
    if (!type || is_pointer_like(type)) return value;
    if (is_float(type)) return size_in_bytes(type) == 4 ? uint64_t(uint32_t(value)) : value;
    uint32_t bits = size_in_bytes(type) * 8;
    if (bits == 0 || bits >= 64) return value;
    uint64_t m = (uint64_t(1) << bits) - 1;
    value &= m;
    if (is_signed(type) && (value >> (bits - 1)) & 1) value |= ~m;
    return value;
}

std::string EXEC_RESULT::text() const {
    if (is_void) return "void";
    return is_signed ? std::to_string(int64_t(bits)) : std::to_string(bits);
}

EXEC_MACHINE::EXEC_MACHINE(const EXEC_UNIT& unit, uint64_t max_steps)
    : unit_(unit),
      max_steps_(max_steps),
      memory_(FIRST_ADDRESS, 0),
      heap_next_(HEAP_BASE),
      out_(&std::cout),
      err_(&std::cerr),
      in_(&std::cin) {
    for (SYMTAB* s : unit.globals()) {
        if (is_function(s->type())) {  // one byte, for an address of its own
            globals_[s] = allocate_global(1, 1);
            function_at_[globals_[s]] = s;
            const TYPE* ret = plain_type(plain_type(s->type())->function_part().return_type);
            if (is_aggregate(ret))
                return_bytes_ = std::max<uint64_t>(return_bytes_, size_in_bytes(ret));
            continue;
        }
        uint64_t bytes = std::max<uint64_t>(s->size(), s->type() ? s->type()->size() : 0);
        globals_[s] = allocate_global((bytes + 7) / 8, std::max<uint64_t>(1, s->alignment() / 8));
    }
    // A struct result larger than any C program returns is not copied out
    // (nor is room made for it).
    if (return_bytes_ > (uint64_t(1) << 24)) return_bytes_ = 0;
    errno_ = allocate_global(4, 4);
    if (return_bytes_) return_slot_ = allocate_global(return_bytes_, 8);
    for (const auto& f : unit.functions())
        for (const EXEC_STMT& st : f->stmts) place_strings(st.tree);
    for (SYMTAB* s : unit.globals())
        if (!s->initializers().empty() && globals_.count(s)) initialize(s);
    // The program's standard streams are told apart by the values of these.
    for (SYMTAB* s : unit.globals())
        if ((s->name() == "stdout" || s->name() == "stderr" || s->name() == "stdin") &&
            is_pointer_like(s->type()) && globals_.count(s))
            store(globals_[s], s->type(), globals_[s]);
}

uint64_t EXEC_MACHINE::allocate_global(uint64_t bytes, uint64_t align) {
    uint64_t at = (memory_.size() + align - 1) / align * align;
    check_memory(at + bytes);
    memory_.resize(at + bytes, 0);
    return at;
}

// String constants get their bytes before the run: the stack grows behind
// the globals, so nothing can be added to the global area later.
void EXEC_MACHINE::place_strings(const NODE* n) {
    std::vector<const NODE*> todo{n};
    while (!todo.empty()) {
        const NODE* x = todo.back();
        todo.pop_back();
        if (!x) continue;
        if (x->opcode() == SCON && !strings_.count(x)) {
            uint32_t len = x->string_length();
            uint64_t at = allocate_global(len + 1, 1);
            if (len && x->text()) std::memcpy(&memory_[at], x->text(), len);
            strings_[x] = at;
        }
        if (OperatorTable::operand_count(x->opcode()) > 0 && x->opcode() != SKIP) {
            todo.push_back(x->left());
            todo.push_back(x->right());
        }
    }
}

void EXEC_MACHINE::set_streams(std::ostream* out, std::ostream* err, std::istream* in) {
    out_ = out;
    err_ = err;
    in_ = in;
}

void EXEC_MACHINE::initialize(SYMTAB* s) {
    // The scalar slots of the object, in order.
    struct SLOT {
        uint64_t address;
        const TYPE* type;
        const FieldMember* bit_field;
    };
    std::vector<SLOT> slots;
    // Only as many slots as the initializer can fill are laid out, and the
    // type's nesting is bounded: a unit's types are not trusted to be small
    // or even finite (a struct may name itself as a field).
    size_t wanted = 0;
    for (const NODE* tree : s->initializers()) {
        const NODE* t = strip(tree);
        if (!t || t->opcode() == ENDINIT) break;
        wanted += t->opcode() == SCON ? std::max<size_t>(1, t->string_length()) : 1;
    }
    auto expand = [&](auto&& self, uint64_t at, const TYPE* t, size_t depth) -> void {
        if (slots.size() >= wanted) return;
        if (depth > MAX_TYPE_NESTING)
            fail("type nesting limit of " + std::to_string(MAX_TYPE_NESTING) + " reached in " +
                 s->name());
        const TYPE* p = plain_type(t);
        if (p && p->kind() == TypeKind::ARRAY) {
            const TYPE* e = p->array_part().element;
            uint64_t step = size_in_bytes(e);
            for (uint32_t i = 0; i < p->array_part().count && slots.size() < wanted; ++i)
                self(self, at + i * step, e, depth + 1);
        } else if (p && p->is_csu()) {
            for (const FieldMember& f : p->csu_part().fields) {
                if (slots.size() >= wanted) break;
                if (f.is_bit_field)
                    slots.push_back({at, f.type, &f});
                else
                    self(self, at + uint64_t(f.offset) / 8, f.type, depth + 1);
                if (p->csu_part().csu == CSU_UNION) break;
            }
        } else {
            slots.push_back({at, t, nullptr});
        }
    };
    expand(expand, globals_[s], s->type(), 0);
    size_t slot = 0;
    for (const NODE* tree : s->initializers()) {
        const NODE* t = strip(tree);
        if (!t || t->opcode() == ENDINIT) break;
        if (t->opcode() == SCON && slot < slots.size() && !is_pointer_like(slots[slot].type)) {
            uint32_t n = t->string_length();
            const char* bytes = t->text();
            for (uint32_t i = 0; i < n && slot < slots.size(); ++i, ++slot)
                store(slots[slot].address, slots[slot].type, bytes ? uint8_t(bytes[i]) : 0);
            continue;
        }
        if (slot >= slots.size())
            fail("initializer of " + s->name() + " has more values than the object has slots");
        place_strings(t);
        if (const FieldMember* f = slots[slot].bit_field) {
            BITS b{slots[slot].address + uint64_t(f->offset) / 8, uint32_t(f->offset) % 8,
                   f->bit_width, f->type};
            if (b.width == 0 || b.shift + b.width > 64) fail("bit-field " + f->name);
            store_bits(b, eval(t));
        } else {
            store(slots[slot].address, slots[slot].type, eval(t));
        }
        ++slot;
    }
}

const EXEC_MACHINE::LAYOUT& EXEC_MACHINE::layout_of(const EXEC_FUNCTION& f) {
    auto it = layouts_.find(&f);
    if (it != layouts_.end()) return it->second;
    LAYOUT& l = layouts_[&f];
    for (SYMTAB* s : f.locals) {
        uint64_t bytes = (std::max<uint64_t>(s->size(), s->type() ? s->type()->size() : 0) + 7) / 8;
        uint64_t align = std::max<uint64_t>(1, s->alignment() / 8);
        l.size = (l.size + align - 1) / align * align;
        l.offset[s] = l.size;
        l.size += bytes;
    }
    return l;
}

EXEC_RESULT EXEC_MACHINE::call(const std::string& function, const std::vector<int64_t>& args) {
    const EXEC_FUNCTION* f = unit_.find_function(function);
    if (!f) fail("no function named " + function + " in the unit");
    if (args.size() != f->params.size())
        fail(f->name + " takes " + std::to_string(f->params.size()) + " arguments, " +
             std::to_string(args.size()) + " given");
    std::vector<ARG> raw;
    for (int64_t a : args) raw.push_back({uint64_t(a), {}});
    EXEC_RESULT r;
    try {
        r.bits = run(*f, raw);
    } catch (const EXEC_EXIT& e) {
        frames_.clear();
        fail(function + " ended the program with status " + std::to_string(e.status));
    }
    const TYPE* fn = plain_type(f->symbol ? f->symbol->type() : nullptr);
    const TYPE* ret =
        fn && fn->kind() == TypeKind::FUNCTION ? fn->function_part().return_type : nullptr;
    const TYPE* pret = plain_type(ret);
    r.is_void = !pret || pret->kind() == TypeKind::VOID;
    r.is_signed = ret && is_signed(ret);
    if (!r.is_void) r.bits = normalise(r.bits, ret);
    return r;
}

int EXEC_MACHINE::run_program(const std::vector<std::string>& words) {
    const EXEC_FUNCTION* f = unit_.find_function("main");
    if (!f) fail("no function named main in the unit");
    std::vector<ARG> args;
    if (!words.empty()) program_name_ = words[0];
    if (!f->params.empty()) {
        if (f->params.size() != 2) fail("main takes neither no nor two parameters");
        std::vector<uint64_t> pointers;
        for (const std::string& w : words) {
            uint64_t at = heap_allocate(w.size() + 1);
            std::memcpy(bytes_at(at, w.size() + 1), w.c_str(), w.size() + 1);
            pointers.push_back(at);
        }
        pointers.push_back(0);
        uint64_t argv = heap_allocate(8 * pointers.size());
        for (size_t i = 0; i < pointers.size(); ++i)
            for (int b = 0; b < 8; ++b)
                bytes_at(argv + 8 * i + b, 1)[0] = uint8_t(pointers[i] >> (8 * b));
        args.push_back({words.size(), {}});
        args.push_back({argv, {}});
    }
    int status;
    try {
        status = int(run(*f, args));
    } catch (const EXEC_EXIT& e) {
        status = e.status;
        frames_.clear();
    }
    out_->flush();
    return status & 255;
}

uint64_t EXEC_MACHINE::run(const EXEC_FUNCTION& f, const std::vector<ARG>& args) {
    if (args.size() < f.params.size())
        fail(f.name + " takes " + std::to_string(f.params.size()) + " arguments, " +
             std::to_string(args.size()) + " given");
    if (frames_.size() >= MAX_CALL_DEPTH)
        fail("call depth limit of " + std::to_string(MAX_CALL_DEPTH) + " reached in " + f.name);
    const LAYOUT& layout = layout_of(f);
    uint64_t base = (memory_.size() + 7) / 8 * 8;
    check_memory(base + layout.size);
    memory_.resize(base + layout.size, 0);
    std::fill(memory_.begin() + long(base), memory_.end(), 0);
    FUNCTION_TRACE& tr = trace_.of(&f);
    if (tr.falls.size() != f.stmts.size()) tr.falls.assign(f.stmts.size(), 0);
    ++tr.calls;
    frames_.push_back({&f, base, &tr, {}});
    for (size_t i = f.params.size(); i < args.size(); ++i)
        frames_.back().varargs.push_back(args[i].bits);
    for (size_t i = 0; i < f.params.size(); ++i) {
        uint64_t at = base + layout.offset.at(f.params[i]);
        if (is_aggregate(f.params[i]->type())) {
            uint64_t n =
                std::min<uint64_t>(args[i].bytes.size(), size_in_bytes(f.params[i]->type()));
            if (n) std::memcpy(bytes_at(at, n), args[i].bytes.data(), n);
        } else {
            store(at, f.params[i]->type(), args[i].bits);
        }
    }

    uint64_t result = 0;
    size_t pc = 0;
    const size_t n = f.stmts.size();
    auto jump = [&](size_t from, uint32_t label) {
        auto it = f.label_stmt.find(label);
        if (it == f.label_stmt.end())
            fail(f.name + ": jump to undefined label " + std::to_string(label));
        ++tr.jumps[(uint64_t(from) << 32) | label];
        pc = it->second;
    };
    while (pc < n) {
        if (++steps_ > max_steps_)
            fail("step limit of " + std::to_string(max_steps_) + " reached in " + f.name);
        const EXEC_STMT& s = f.stmts[pc];
        const NODE* root = s.is_label ? nullptr : strip(s.tree);
        int op = root ? root->opcode() : -1;
        if (op == BRANCH) {
            jump(pc, label_of(root->left()));
            continue;
        }
        if (op == CBRANCH) {
            if (eval(root->left()) == 0) {
                jump(pc, label_of(root->right()));
                continue;
            }
        } else if (op == SWITCH) {
            const NODE* e = root->left();
            uint64_t v = normalise(eval(e), e->type());
            std::vector<const NODE*> items;
            flatten(root->right(), items);
            const NODE* target = nullptr;
            const NODE* fallback = nullptr;
            for (const NODE* it : items) {
                if (it->opcode() == CASE) {
                    if (!target && normalise(eval(it->left()), e->type()) == v)
                        target = it->right();
                } else if (it->opcode() == DEFAULT) {
                    if (!fallback) fallback = it->left();
                } else {
                    fail("SWITCH element " + op_name(it->opcode()) +
                         " is neither CASE nor DEFAULT");
                }
            }
            if (!target) target = fallback;
            if (target) {
                jump(pc, label_of(target));
                continue;
            }
        } else if (op == RETURN) {
            result = eval(root->left());
            if (is_aggregate(root->left()->type()) && return_slot_) {
                // The callee's frame goes away: the struct is copied out.
                uint64_t size =
                    std::min<uint64_t>(size_in_bytes(root->left()->type()), return_bytes_);
                std::memmove(bytes_at(return_slot_, size), bytes_at(result, size), size);
                result = return_slot_;
            }
            break;
        } else if (op == URETURN) {
            break;
        } else if (root) {
            eval(root);
        }
        if (pc + 1 < n) ++tr.falls[pc];
        ++pc;
    }
    frames_.pop_back();
    memory_.resize(base);
    return result;
}

uint64_t EXEC_MACHINE::symbol_address(const I_SYMTAB* s) {
    if (!s) fail("NAME without a symbol");
    if (s->level() == 0) {
        auto it = globals_.find(s);
        if (it == globals_.end()) fail("no storage for " + s->name());
        return it->second;
    }
    if (frames_.empty()) fail("local " + s->name() + " used outside a function");
    const FRAME& fr = frames_.back();
    const LAYOUT& l = layouts_.at(fr.function);
    auto it = l.offset.find(s);
    if (it == l.offset.end())
        fail("symbol " + s->name() + " is not a local of " + fr.function->name);
    return fr.base + it->second;
}

uint64_t EXEC_MACHINE::address_of(const NODE* n) {
    const NESTING nesting(nesting_);
    n = strip(n);
    switch (n->opcode()) {
        case NAME: return symbol_address(n->symbol());
        case UMULT: return eval(n->left());
        case STDOT:
        case STREF: {
            const FieldMember* f = field_of(n);
            if (f->is_bit_field) fail("address of the bit-field " + f->name);
            uint64_t base = n->opcode() == STDOT ? address_of(n->left()) : eval(n->left());
            return base + uint64_t(f->offset) / 8;
        }
        case COMMA:
        case COMMAOP:  // (side effects, lvalue): a compound literal
            eval(n->left());
            return address_of(n->right());
        case CALL:
        case UCALL:
            if (is_aggregate(n->type())) return eval(n);
            fail(op_name(n->opcode()) + " is not an addressable expression");
        default: fail(op_name(n->opcode()) + " is not an addressable expression");
    }
}

void EXEC_MACHINE::check(uint64_t address, uint64_t bytes) const {
    if (address < FIRST_ADDRESS || address > memory_.size() || bytes > memory_.size() - address)
        fail("bad address " + std::to_string(address) + " (" + std::to_string(bytes) + " bytes)");
}

uint8_t* EXEC_MACHINE::bytes_at(uint64_t address, uint64_t n) {
    if (address < HEAP_BASE) {
        check(address, n);
        return memory_.data() + address;
    }
    auto it = heap_.upper_bound(address);
    if (it != heap_.begin()) {
        --it;
        uint64_t off = address - it->first;
        if (off <= it->second.size() && n <= it->second.size() - off)
            return it->second.data() + off;
    }
    fail("bad address " + std::to_string(address) + " (" + std::to_string(n) +
         " bytes) outside every heap block");
}

uint64_t EXEC_MACHINE::load(uint64_t address, const TYPE* type) {
    uint32_t bytes = size_in_bytes(type);
    if (bytes > 8) fail("load of an object of " + std::to_string(bytes) + " bytes");
    const uint8_t* p = bytes_at(address, bytes);
    uint64_t v = 0;
    for (uint32_t i = 0; i < bytes; ++i) v |= uint64_t(p[i]) << (8 * i);
    return normalise(v, type);
}

void EXEC_MACHINE::store(uint64_t address, const TYPE* type, uint64_t value) {
    uint32_t bytes = size_in_bytes(type);
    if (bytes > 8) fail("store of an object of " + std::to_string(bytes) + " bytes");
    uint8_t* p = bytes_at(address, bytes);
    if (is_bool(type)) value = value != 0;
    if (is_pointer_like(type) && bytes < 8 && (value >> (8 * bytes)) != 0)
        fail("address " + std::to_string(value) + " does not fit a pointer of " +
             std::to_string(bytes) + " bytes");
    for (uint32_t i = 0; i < bytes; ++i) p[i] = uint8_t(value >> (8 * i));
}

std::vector<uint32_t> EXEC_MACHINE::counter_values(const EXEC_COUNTERS& c) const {
    std::vector<uint32_t> out;
    auto it = globals_.find(c.symbol);
    const TYPE* p = plain_type(c.symbol->type());
    if (it == globals_.end() || !p || p->kind() != TypeKind::ARRAY) return out;
    uint32_t step = size_in_bytes(p->array_part().element);
    for (uint32_t i = 0; i < p->array_part().count; ++i) {
        uint64_t v = 0;
        for (uint32_t b = 0; b < step && b < 4; ++b)
            v |= uint64_t(memory_[it->second + i * step + b]) << (8 * b);
        out.push_back(uint32_t(v));
    }
    return out;
}

uint64_t EXEC_MACHINE::call_node(const NODE* n) {
    const NODE* target = strip(n->left());
    if (target && target->opcode() == UAND) target = strip(target->left());
    const I_SYMTAB* callee = nullptr;
    if (target && target->opcode() == NAME && target->symbol() &&
        is_function(target->symbol()->type())) {
        callee = target->symbol();
    } else {  // through a pointer
        uint64_t address = eval(n->left());
        auto it = function_at_.find(address);
        if (it == function_at_.end())
            fail("call through " + std::to_string(address) + ", which is not a function's address");
        callee = it->second;
    }
    const std::string& name = callee->name();
    const EXEC_FUNCTION* f = unit_.find_function(name);
    std::vector<const NODE*> arg_nodes;
    if (n->opcode() == CALL) flatten(n->right(), arg_nodes);
    // Arguments are evaluated from the last to the first, as the native
    // compiler's calls do, so that side effects in them come in its order.
    std::vector<ARG> args(arg_nodes.size());
    for (size_t i = arg_nodes.size(); i-- > 0;) {
        const NODE* a = arg_nodes[i];
        ARG& arg = args[i];
        arg.bits = eval(a);
        if (is_aggregate(a->type()) && f) {  // a struct by value: its bytes now
            uint32_t bytes = size_in_bytes(a->type());
            const uint8_t* p = bytes_at(arg.bits, bytes);
            arg.bytes.assign(p, p + bytes);
        }
    }
    if (!f) {
        std::vector<uint64_t> bits;
        for (const ARG& a : args) bits.push_back(a.bits);
        uint64_t result = 0;
        if (!call_library(name, bits, result))
            fail("call of " + name + ", which has no body in the unit and is not in the C library");
        return normalise(result, n->type());
    }
    return normalise(run(*f, args), n->type());
}

EXEC_MACHINE::BITS EXEC_MACHINE::bits_of(const NODE* member) {
    const FieldMember* f = field_of(member);
    BITS b;
    b.base = member->opcode() == STDOT ? address_of(member->left()) : eval(member->left());
    b.base += uint64_t(f->offset) / 8;
    b.shift = uint32_t(f->offset) % 8;
    b.width = f->bit_width;
    b.type = f->type;
    if (b.width == 0 || b.width > 64 || b.shift + b.width > 64)
        fail("bit-field " + f->name + " of " + std::to_string(b.width) + " bits");
    return b;
}

// A bit-field is read from the bytes that hold it, little-endian, and
// extended by its type's signedness from its width.
uint64_t EXEC_MACHINE::load_bits(const BITS& b) {
    uint32_t bytes = (b.shift + b.width + 7) / 8;
    const uint8_t* p = bytes_at(b.base, bytes);
    uint64_t v = 0;
    for (uint32_t i = 0; i < bytes; ++i) v |= uint64_t(p[i]) << (8 * i);
    v >>= b.shift;
    if (b.width < 64) {
        v &= (uint64_t(1) << b.width) - 1;
        if (is_signed(b.type) && (v >> (b.width - 1)) & 1) v |= ~((uint64_t(1) << b.width) - 1);
    }
    return normalise(v, b.type);
}

void EXEC_MACHINE::store_bits(const BITS& b, uint64_t value) {
    uint32_t bytes = (b.shift + b.width + 7) / 8;
    uint8_t* p = bytes_at(b.base, bytes);
    uint64_t v = 0;
    for (uint32_t i = 0; i < bytes; ++i) v |= uint64_t(p[i]) << (8 * i);
    uint64_t mask = (b.width < 64 ? (uint64_t(1) << b.width) - 1 : ~uint64_t(0)) << b.shift;
    v = (v & ~mask) | ((value << b.shift) & mask);
    for (uint32_t i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}

uint64_t EXEC_MACHINE::assign(const NODE* n) {
    const NODE* lhs = strip(n->left());
    int op = n->opcode();
    if (is_member(lhs) && field_of(lhs)->is_bit_field) return assign_bits(n, bits_of(lhs));
    uint64_t at = address_of(lhs);
    const TYPE* t = lhs->type();
    if (op == ASG) {
        uint64_t v = eval(n->right());
        store(at, t, v);
        return load(at, t);
    }
    if (op == PLUSPLUS || op == MINMIN) {
        uint64_t old = load(at, t);
        uint64_t step = eval(n->right());
        if (is_float(t))
            store(at, t, binary(op == PLUSPLUS ? PLUS : MINUS, n, old, step));
        else
            store(at, t, op == PLUSPLUS ? old + step : old - step);
        return old;
    }
    static const std::unordered_map<int, int> base = {
        {PLUSASG, PLUS}, {MINUSASG, MINUS}, {MULTASG, MULT}, {DIVASG, DIV}, {MODASG, MOD},
        {ANDBASG, ANDB}, {ORBASG, ORB},     {XORBASG, XORB}, {SLLASG, SLL}, {SRLASG, SRL}};
    uint64_t old = load(at, t);
    uint64_t r = eval(n->right());
    store(at, t, binary(base.at(op), n, old, r));
    return load(at, t);
}

// An assignment to a bit-field: the value is cut to the field's width, and
// the result is what the field then holds.
uint64_t EXEC_MACHINE::assign_bits(const NODE* n, const BITS& b) {
    int op = n->opcode();
    if (op == ASG) {
        store_bits(b, eval(n->right()));
        return load_bits(b);
    }
    uint64_t old = load_bits(b);
    uint64_t r = eval(n->right());
    static const std::unordered_map<int, int> base = {
        {PLUSPLUS, PLUS}, {MINMIN, MINUS}, {PLUSASG, PLUS}, {MINUSASG, MINUS},
        {MULTASG, MULT},  {DIVASG, DIV},   {MODASG, MOD},   {ANDBASG, ANDB},
        {ORBASG, ORB},    {XORBASG, XORB}, {SLLASG, SLL},   {SRLASG, SRL}};
    store_bits(b, binary(base.at(op), n, old, r));
    return op == PLUSPLUS || op == MINMIN ? old : load_bits(b);
}

uint64_t EXEC_MACHINE::binary(int op, const NODE* n, uint64_t a, uint64_t b) {
    const TYPE* t = n->type();
    bool sgn = is_signed(t);
    if (is_float(t)) {
        double x = to_double(a, t), y = to_double(b, t);
        if (size_in_bytes(t) == 4) {  // float arithmetic rounds to float at every step
            float fx = float(x), fy = float(y);
            switch (op) {
                case PLUS: return from_double(fx + fy, t);
                case MINUS: return from_double(fx - fy, t);
                case MULT: return from_double(fx * fy, t);
                case DIV: return from_double(fx / fy, t);
                default: fail(op_name(op) + " on floating values");
            }
        }
        switch (op) {
            case PLUS: return from_double(x + y, t);
            case MINUS: return from_double(x - y, t);
            case MULT: return from_double(x * y, t);
            case DIV: return from_double(x / y, t);
            default: fail(op_name(op) + " on floating values");
        }
    }
    switch (op) {
        case PLUS: return normalise(a + b, t);
        case MINUS: return normalise(a - b, t);
        case MULT: return normalise(a * b, t);
        case ANDB: return normalise(a & b, t);
        case ORB: return normalise(a | b, t);
        case XORB: return normalise(a ^ b, t);
        case DIV:
        case MOD: {
            if (normalise(b, t) == 0)
                fail(std::string(op == DIV ? "division" : "remainder") + " by zero");
            if (sgn) {
                int64_t x = int64_t(normalise(a, t)), y = int64_t(normalise(b, t));
                if (y == -1) return normalise(op == DIV ? 0 - uint64_t(x) : 0, t);
                return normalise(uint64_t(op == DIV ? x / y : x % y), t);
            }
            uint64_t x = mask_to(a, t), y = mask_to(b, t);
            return normalise(op == DIV ? x / y : x % y, t);
        }
        case SLL: {
            int64_t c = int64_t(b);
            if (c < 0 || c >= 64) return 0;
            return normalise(a << c, t);
        }
        case SRL: {
            int64_t c = int64_t(b);
            if (sgn) {
                int64_t x = int64_t(normalise(a, t));
                if (c < 0 || c >= 64) return x < 0 ? ~uint64_t(0) : 0;
                return normalise(uint64_t(x >> c), t);
            }
            if (c < 0 || c >= 64) return 0;
            return normalise(mask_to(a, t) >> c, t);
        }
        default: fail(op_name(op) + " is not supported");
    }
}

uint64_t EXEC_MACHINE::compare(int op, const NODE* l, const NODE* r, uint64_t a, uint64_t b) {
    bool unsigned_cmp = op == ULT || op == ULE || op == UGT || op == UGE;
    auto wide_unsigned = [](const NODE* x) {
        return is_pointer_like(x->type()) ||
               (!is_signed(x->type()) && size_in_bytes(x->type()) >= 8);
    };
    if (unsigned_cmp) {
        a = mask_to(a, l->type());
        b = mask_to(b, r->type());
    } else if (wide_unsigned(l) || wide_unsigned(r)) {
        unsigned_cmp = true;
    }
    bool lt, eq = a == b;
    lt = unsigned_cmp ? a < b : int64_t(a) < int64_t(b);
    switch (op) {
        case EQ: return eq;
        case NEQ: return !eq;
        case LT:
        case ULT: return lt;
        case LE:
        case ULE: return lt || eq;
        case GT:
        case UGT: return !lt && !eq;
        case GE:
        case UGE: return !lt;
        default: fail(op_name(op) + " is not supported");
    }
}

EXEC_MACHINE::NESTING::NESTING(size_t& depth) : depth_(depth) {
    if (depth_ >= MAX_NESTING)
        fail("expression nesting limit of " + std::to_string(MAX_NESTING) + " reached");
    ++depth_;
}

uint64_t EXEC_MACHINE::eval(const NODE* n) {
    const NESTING nesting(nesting_);
    if (!n) fail("missing operand");
    const TYPE* t = n->type();
    int op = n->opcode();
    switch (op) {
        case EPVAL: return eval(n->left());
        case ICON: return normalise(n->value(), t);
        case LCON: {  // a constant wider than an ICON holds, as decimal text
            const char* text = n->text() ? n->text() : "0";
            uint64_t v = text[0] == '-' ? uint64_t(std::strtoll(text, nullptr, 10))
                                        : std::strtoull(text, nullptr, 10);
            return normalise(v, t);
        }
        case NAME:
            if (is_aggregate(n->symbol() ? n->symbol()->type() : t) ||
                is_function(n->symbol() ? n->symbol()->type() : t))
                return symbol_address(n->symbol());
            return load(symbol_address(n->symbol()), t);
        case SCON: {
            auto it = strings_.find(n);
            if (it == strings_.end()) fail("string constant without storage");
            return it->second;
        }
        case STASG: {
            uint64_t to = address_of(n->left());
            uint64_t from = eval(n->right());
            uint32_t bytes = size_in_bytes(n->left()->type());
            std::memmove(bytes_at(to, bytes), bytes_at(from, bytes), bytes);
            return to;
        }
        case UAND: return address_of(n->left());
        case UMULT: {
            uint64_t at = eval(n->left());
            if (is_aggregate(t) || is_function(t)) return at;
            return load(at, t);
        }
        case STDOT:
        case STREF: {
            if (field_of(n)->is_bit_field) return load_bits(bits_of(n));
            uint64_t at = address_of(n);
            if (is_aggregate(t)) return at;
            return load(at, t);
        }
        case PLUS:
        case MINUS:
        case MULT:
        case DIV:
        case MOD:
        case ANDB:
        case ORB:
        case XORB:
        case SLL:
        case SRL: {
            uint64_t a = eval(n->left());
            uint64_t b = eval(n->right());
            return binary(op, n, a, b);
        }
        case UMINUS:
            if (is_float(t)) return from_double(-to_double(eval(n->left()), t), t);
            return normalise(0 - eval(n->left()), t);
        case FCON: {
            double d;
            if (n->text()) {
                d = std::strtod(n->text(), nullptr);
            } else {
                uint64_t bits = n->value();
                std::memcpy(&d, &bits, 8);
            }
            return from_double(d, t);
        }
        case FEQ:
        case FNEQ:
        case FNEQN:
        case FLT:
        case FLE:
        case FGT:
        case FGE: {
            double a = to_double(eval(n->left()), n->left()->type());
            double b = to_double(eval(n->right()), n->right()->type());
            switch (op) {
                case FEQ: return a == b;
                case FNEQ:
                case FNEQN: return a != b;
                case FLT: return a < b;
                case FLE: return a <= b;
                case FGT: return a > b;
                default: return a >= b;
            }
        }
        case NOTB: return normalise(~eval(n->left()), t);
        case EXCLAIM:
            if (is_float(n->left()->type()))
                return to_double(eval(n->left()), n->left()->type()) == 0;
            return eval(n->left()) == 0;
        case ABS: {
            int64_t v = int64_t(eval(n->left()));
            return normalise(v < 0 ? 0 - uint64_t(v) : uint64_t(v), t);
        }
        case EQ:
        case NEQ:
        case LT:
        case LE:
        case GT:
        case GE:
        case ULT:
        case ULE:
        case UGT:
        case UGE: {
            uint64_t a = eval(n->left());
            uint64_t b = eval(n->right());
            return compare(op, n->left(), n->right(), a, b);
        }
        case ANDAND: return eval(n->left()) != 0 && eval(n->right()) != 0;
        case OROR: return eval(n->left()) != 0 || eval(n->right()) != 0;
        case QUEST: {
            const NODE* colon = strip(n->right());
            if (!colon || colon->opcode() != COLON) fail("QUEST without COLON");
            bool c = eval(n->left()) != 0;
            if (!frames_.empty()) {
                auto& arms = frames_.back().trace->arms[n];
                ++(c ? arms.first : arms.second);
            }
            return normalise(eval(c ? colon->left() : colon->right()), t);
        }
        case COMMAOP:
        case COMMA: eval(n->left()); return eval(n->right());
        case ASG:
        case PLUSASG:
        case MINUSASG:
        case MULTASG:
        case DIVASG:
        case MODASG:
        case ANDBASG:
        case ORBASG:
        case XORBASG:
        case SLLASG:
        case SRLASG:
        case PLUSPLUS:
        case MINMIN: return assign(n);
        case SCONV: {
            uint64_t v = eval(n->left());
            if (is_bool(t) && !is_float(n->left()->type())) return v != 0;
            return convert(v, n->left()->type(), t);
        }
        case PCONV: return normalise(eval(n->left()), t);
        case PMCONV: {
            int64_t index = int64_t(eval(n->left()));
            int64_t bits = int64_t(eval(n->right()));
            return normalise(uint64_t(index * bits / 8), t);
        }
        case CALL:
        case UCALL: return call_node(n);
        case NOP: return 0;
        default: fail(op_name(op) + " is not supported by the executor");
    }
}

}  // namespace exec
