// The writer tests' support: units assembled from the text form, copies made
// through the icode tool, summaries of what a unit holds and record walks.
#include "tests/unit/icode/test_writer_support.h"

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include "diag/process_exit.h"
#include "icode/icode_file.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/text/text_form.h"
#include "icode/text/text_values.h"
#include "icode/type_pkg.h"
#include "tests/unit/icode/test_reader_recording.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/tool_io.h"

namespace writer_test {

using namespace icode;

SCRATCH::SCRATCH() {
    char tmpl[] = "/tmp/trelv-writer-XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (!made) ADD_FAILURE() << "cannot make a scratch folder";
    dir_ = made ? made : "/tmp";
}

SCRATCH::~SCRATCH() {
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir_;
}

std::string assemble(const std::string& text) {
    std::string unit, error;
    if (!icode_text::assemble(text, "test", unit, &error)) {
        ADD_FAILURE() << error;
        return "";
    }
    return unit;
}

std::string copy(const std::string& unit) {
    SCRATCH scratch;
    std::string in = scratch.path("in.icode"), out = scratch.path("out.icode");
    if (!icode_text::write_whole_file(in, unit)) {
        ADD_FAILURE() << "cannot write " << in;
        return "";
    }
    std::vector<char> a(in.begin(), in.end()), b(out.begin(), out.end());
    a.push_back('\0');
    b.push_back('\0');
    CLI::App icode;
    int status = 0;
    add_cmd_copy(icode, status);
    char name[] = "icode", command[] = "copy";
    char* argv[] = {name, command, a.data(), b.data()};
    if (run_tool_command_line(icode, status, 4, argv) != 0) {
        ADD_FAILURE() << "icode copy failed";
        return "";
    }
    std::string bytes;
    if (!icode_text::read_whole_file(out, bytes)) ADD_FAILURE() << "cannot read " << out;
    return bytes;
}

std::string disassemble(const std::string& unit) {
    std::ostringstream out;
    std::string error;
    if (!icode_text::disassemble(unit, out, &error)) ADD_FAILURE() << error;
    return out.str();
}

// ---- content ---------------------------------------------------------------------

namespace {

using reader_test::show_pos;

// Numbers every type reached in the order first reached, and describes it
// by its fields with the types it names given by those numbers.
class TYPE_NAMES {
public:
    int number(const TYPE* t) {
        if (!t) return 0;
        t = t->resolved();
        auto it = numbers_.find(t);
        if (it != numbers_.end()) return it->second;
        int n = int(lines_.size()) + 1;
        numbers_[t] = n;
        lines_.emplace_back();
        std::string d = describe(t);
        lines_[size_t(n - 1)] = d;
        return n;
    }
    std::string all() const {
        std::string out;
        for (size_t i = 0; i < lines_.size(); ++i)
            out += "type #" + std::to_string(i + 1) + " " + lines_[i] + "\n";
        return out;
    }

private:
    std::string t(const TYPE* type) { return "#" + std::to_string(number(type)); }

    std::string describe(const TYPE* type) {
        std::ostringstream o;
        o << "kind=" << int(type->kind()) << " size=" << type->size()
          << " align=" << type->alignment();
        if (!type->name().empty() || type->position())
            o << " name=" << icode_text::quote(type->name())
              << " pos=" << show_pos(type->position()) << " mangled=" << type->mangled();
        switch (type->kind()) {
            case TypeKind::INTEGRAL: {
                const IntegralPart& p = type->integral_part();
                o << " sub=" << int(p.sub_kind) << " sign=" << p.explicit_sign
                  << " flags=" << p.flag1 << p.flag2;
                break;
            }
            case TypeKind::FLOATING: o << " sub=" << int(type->floating_part().sub_kind); break;
            case TypeKind::FIXED_POINT: {
                const FixedPointPart& p = type->fixed_point_part();
                o << " a=" << int(p.number_a) << " b=" << int(p.number_b) << " base=" << t(p.base);
                break;
            }
            case TypeKind::COMPLEX: o << " part=" << t(type->complex_part().part); break;
            case TypeKind::POINTER: o << " pointee=" << t(type->pointer_part().pointee); break;
            case TypeKind::REFERENCE:
                o << " target=" << t(type->reference_part().referenced);
                break;
            case TypeKind::QUALIFIED:
                o << " base=" << t(type->qualified_part().unqualified)
                  << " quals=" << type->qualified_part().qualifiers;
                break;
            case TypeKind::TYPEDEF: {
                const TypedefPart& p = type->typedef_part();
                o << " base=" << t(p.base) << " flags=" << p.flag1 << p.flag2;
                break;
            }
            case TypeKind::ARRAY: {
                const ArrayPart& p = type->array_part();
                o << " elem=" << t(p.element) << " count=" << p.count << " flags=" << p.flag1
                  << p.flag2 << " vector=" << p.vector;
                break;
            }
            case TypeKind::PTR_TO_MEMBER:
                o << " pointee=" << t(type->ptr_to_member_part().pointee)
                  << " class=" << t(type->ptr_to_member_part().class_type);
                break;
            case TypeKind::FUNCTION: {
                const FunctionPart& p = type->function_part();
                o << " ret=" << t(p.return_type) << " flags=" << p.flag1 << p.flag2 << int(p.byte)
                  << p.flag3 << " params=[";
                for (const ParamMember& m : p.params)
                    o << " (" << t(m.type) << " " << m.flag << " " << m.number << " " << m.name
                      << ")";
                o << " ]";
                break;
            }
            case TypeKind::ENUM: {
                const EnumPart& p = type->enum_part();
                o << " base=" << t(p.underlying) << " enumerators=[";
                for (const Enumerator& e : p.enumerators)
                    o << " (" << e.name << " " << e.value << " "
                      << show_pos(e.position ? &*e.position : nullptr) << ")";
                o << " ]";
                break;
            }
            case TypeKind::CLASS:
            case TypeKind::STRUCT:
            case TypeKind::UNION: {
                const CsuPart& c = type->csu_part();
                o << " csu=" << int(c.csu) << " flags=" << c.flag1 << c.flag2 << c.version_flag
                  << " has_fields=" << c.has_fields << " extra=" << c.class_number;
                o << " list0=[";
                for (const ParamMember& m : c.list0)
                    o << " (" << t(m.type) << " " << m.flag << " " << m.number << " " << m.name
                      << ")";
                o << " ] bases=[";
                for (const BaseClassMember& m : c.bases)
                    o << " (" << t(m.type) << " " << m.offset << " " << int(m.byte) << " " << m.flag
                      << ")";
                o << " ] list3=[";
                for (const List3Member& m : c.list3) o << " (" << int(m.byte) << ")";
                o << " ] list4=[";
                for (const NamedTypeMember& m : c.list4)
                    o << " (" << m.name << " " << t(m.type) << ")";
                o << " ] list5=[";
                for (const TypeMember& m : c.list5) o << " " << t(m.type);
                o << " ] list6=[";
                for (const TypeMember& m : c.list6) o << " " << t(m.type);
                o << " ] fields=[";
                for (const FieldMember& m : c.fields)
                    o << " (" << m.number << " " << m.name << " " << t(m.type) << " "
                      << int(m.byte1) << " " << m.offset << " " << int(m.byte2) << " "
                      << m.bit_width << " " << m.is_bit_field << m.flag1 << m.flag2 << " "
                      << show_pos(m.position ? &*m.position : nullptr) << ")";
                o << " ] list8=[";
                for (const List8Member& m : c.list8)
                    o << " (" << m.name << " " << t(m.type) << " " << int(m.byte) << ")";
                o << " ] list9=[";
                for (const List9Member& m : c.list9)
                    o << " (" << m.name << " " << t(m.type) << " " << int(m.byte) << " " << m.number
                      << " " << m.flags[0] << m.flags[1] << m.flags[2] << m.flags[3] << ")";
                o << " ]";
                break;
            }
            default: break;
        }
        return o.str();
    }

    std::map<const TYPE*, int> numbers_;
    std::vector<std::string> lines_;
};

class CONTENT_CLIENT : public IcodeClient {
public:
    explicit CONTENT_CLIENT(bool reverse_pragmas) : reverse_(reverse_pragmas) {}

    int dropped = 0;

    void string_list(uint32_t id, const std::vector<std::string>& strings) override {
        std::string line = "strings " + std::to_string(id);
        for (const auto& s : strings) line += " " + icode_text::quote(s);
        strings_ += line + "\n";
    }
    SYMTAB* create_symbol(SymbolRecord record, int level) override {
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(record)));
        SYMTAB* s = symbols_.back().get();
        // Global symbols are listed by table index at the end: a global
        // symbol of the function stream comes out in the symbol section.
        if (level == 0)
            globals_.push_back(s);
        else
            events_.push_back(EVENT{"", s});
        return s;
    }
    void attach_pragma(SYMTAB* symbol, std::unique_ptr<Pragma> pragma) override {
        if (symbol) {
            symbol->add_pragma_front(std::move(pragma));
            return;
        }
        line("pragma " + pragma_text(*pragma));
    }
    void attach_initializer(SYMTAB* symbol, std::vector<NODE*> trees) override {
        symbol->set_initializers(std::move(trees));
    }
    void function_begin(SYMTAB* symbol, OptPos p) override {
        line("func_begin " + symbol->name() + " " + show_pos(p));
    }
    void function_end(OptPos p) override { line("func_end " + show_pos(p)); }
    void block_begin(OptPos p) override { line("block_begin " + show_pos(p)); }
    void block_end(OptPos p) override { line("block_end " + show_pos(p)); }
    void body_begin(OptPos p) override { line("body_begin " + show_pos(p)); }
    void mark(OptPos p) override { line("mark " + show_pos(p)); }
    void text(RECORD_KIND kind, const std::string& text, OptPos p) override {
        line("text" + std::to_string(kind) + " " + icode_text::quote(text) + " " + show_pos(p));
    }
    void label(uint32_t number) override { line("label " + std::to_string(number)); }
    void expression_statement(NODE* tree, OptPos p) override {
        line("expr " + show_pos(p) + "\n" + tree_text(tree));
        free_tree(tree);
    }
    bool exception_table(std::vector<EHT_ENTRY>& entries) override {
        std::string s = "eht " + std::to_string(entries.size());
        for (const EHT_ENTRY& e : entries) {
            s += "\n  entry " + std::to_string(e.first) + " " + std::to_string(e.kind) + " " +
                 std::to_string(e.third) + " " + std::to_string(e.count);
            for (const EHT_CATCH& c : e.items)
                s += " (" + icode_text::quote(c.text) + " " + std::to_string(c.number) + " " +
                     std::to_string(c.flag) + ")";
            if (e.tree) s += "\n" + tree_text(e.tree);
        }
        line(s);
        return true;
    }
    void dropped_record(RECORD_KIND) override { ++dropped; }

    std::string finish() {
        std::string out = strings_;
        for (const EVENT& e : events_)
            out += e.symbol ? symbol_text(e.symbol) + "\n" : e.text + "\n";
        for (size_t i = 0; i < globals_.size(); ++i) {
            out += "global " + std::to_string(i) + " " + symbol_text(globals_[i]) + "\n";
            for (const NODE* tree : globals_[i]->initializers()) out += tree_text(tree) + "\n";
        }
        return out + types_.all();
    }

    const std::vector<SYMTAB*>& globals() const { return globals_; }

private:
    struct EVENT {
        std::string text;
        const SYMTAB* symbol = nullptr;  // rendered at the end, with its pragmas
    };

    void line(const std::string& s) { events_.push_back(EVENT{s, nullptr}); }

    static std::string pragma_text(const Pragma& p) {
        std::string s = std::to_string(p.kind);
        for (const auto& a : p.args) s += " " + icode_text::quote(a);
        return s;
    }

    std::string symbol_text(const SYMTAB* s) {
        std::ostringstream o;
        o << "symbol " << icode_text::quote(s->name()) << " level=" << s->level()
          << " size=" << s->size() << " value=" << s->value()
          << " class=" << int(s->storage_class()) << " quals=" << s->qualifiers() << " type=#"
          << types_.number(s->type()) << " type2=#" << types_.number(s->second_type())
          << " align=" << s->alignment() << " opt=" << s->opt()
          << " pos=" << show_pos(s->position()) << " ref=" << int(s->reference_state());
        std::vector<std::string> pragmas;
        for (const Pragma* p = s->first_pragma(); p; p = p->next.get())
            pragmas.push_back(pragma_text(*p));
        if (reverse_) std::reverse(pragmas.begin(), pragmas.end());
        for (const auto& p : pragmas) o << "\n  pragma " << p;
        return o.str();
    }

    std::string leaf_text(const NODE* n) {
        std::ostringstream o;
        switch (n->opcode()) {
            case LABEL: o << " label=" << n->label_number(); break;
            case NAME:
                if (const I_SYMTAB* s = n->symbol())
                    o << " sym=" << s->name() << "@" << s->level();
                else
                    o << " sym=none";
                break;
            case SCON:
                o << " bytes=" << icode_text::quote(n->text_string() ? *n->text_string() : "");
                break;
            case ICON: o << " value=" << int64_t(n->value()); break;
            case FCON:
            case LCON:
            case ICALL:
            case UICALL:
            case MCALL:
            case UMCALL: o << " text=" << (n->text() ? n->text() : "(none)"); break;
            case FIELD:
                o << " flag=" << int(n->field_flag()) << " member=" << n->field_member_number()
                  << " class=#" << types_.number(n->field_class());
                break;
            case SWITCH: o << " number=" << n->switch_number(); break;
            case CALL: o << " extra=" << n->extra_arg_count() << " eht=" << n->call_number(); break;
            case UCALL: o << " eht=" << n->call_number(); break;
            case EPVAL: o << " weight=" << n->weight(); break;
            case SKIP: o << " number=" << n->skip_number(); break;
            case DDNODE:
                o << " id=" << n->value_low() << " locale=" << n->value_high()
                  << " flags=" << n->switch_number();
                break;
            case VREG: o << " reg=" << n->register_number(); break;
            default: break;
        }
        return o.str();
    }

    // Pre-order, one line per node, indented by depth; iterative.
    std::string tree_text(const NODE* root) {
        std::string out;
        std::vector<std::pair<const NODE*, size_t>> todo{{root, 1}};
        while (!todo.empty()) {
            auto [n, depth] = todo.back();
            todo.pop_back();
            if (!out.empty()) out += "\n";
            const char* name = OperatorTable::name(n->opcode());
            out += std::string(2 * depth, ' ') + (name ? name : "?") + " type=#" +
                   std::to_string(types_.number(n->type())) + leaf_text(n);
            if (n->right()) todo.emplace_back(n->right(), depth + 1);
            if (n->left()) todo.emplace_back(n->left(), depth + 1);
        }
        return out;
    }

    bool reverse_;
    std::string strings_;
    std::vector<EVENT> events_;
    std::vector<SYMTAB*> globals_;
    std::vector<std::unique_ptr<SYMTAB>> symbols_;
    TYPE_NAMES types_;
};

}  // namespace

CONTENT content_of(const std::string& unit, bool reverse_pragmas) {
    CONTENT c;
    FILE* f = std::tmpfile();
    if (!f || std::fwrite(unit.data(), 1, unit.size(), f) != unit.size() ||
        std::fseek(f, 0, SEEK_SET)) {
        ADD_FAILURE() << "cannot stage the unit";
        if (f) std::fclose(f);
        return c;
    }
    CONTENT_CLIENT client(reverse_pragmas);
    TYPE_PKG types;
    std::unique_ptr<IcodeFile> in = IcodeFile::open_for_reading(f, &client);
    if (!in) {
        ADD_FAILURE() << "the reader refuses the unit";
        std::fclose(f);
        return c;
    }
    in->set_type_package(&types);
    in->read_unit();
    c.version = in->version();
    c.dropped = client.dropped;
    for (const SYMTAB* s : client.globals()) c.definition_offsets.push_back(s->definition_offset());
    c.text = client.finish();
    in->close();
    return c;
}

// ---- records ---------------------------------------------------------------------------

namespace {

bool read_uleb(const std::string& u, size_t& p, uint32_t& v) {
    v = 0;
    unsigned shift = 0;
    for (;;) {
        if (p >= u.size()) return false;
        uint8_t b = uint8_t(u[p++]);
        if (shift < 32) v |= uint32_t(b & 0x7f) << shift;
        shift += 7;
        if (!(b & 0x80)) return true;
    }
}

}  // namespace

size_t header_end(const std::string& unit) {
    size_t p = 1;
    uint32_t len = 0;
    if (unit.empty() || !read_uleb(unit, p, len)) return unit.size();
    return p + len;
}

uint32_t section_offset(const std::string& unit, const char* section) {
    size_t p = 1;
    uint32_t len = 0;
    if (unit.empty() || !read_uleb(unit, p, len) || p + len > unit.size()) return 0;
    RECORD rec;
    decode_payload(rec, REC_HEADER, reinterpret_cast<const uint8_t*>(unit.data()) + p, len,
                   CODEC_CONTEXT{});
    return uint32_t(rec.num(section));
}

std::vector<FRAME> records_at(const std::string& unit, size_t offset) {
    std::vector<FRAME> frames;
    size_t p = offset;
    while (p < unit.size() && uint8_t(unit[p]) != REC_END) {
        FRAME f;
        f.offset = p;
        f.kind = uint8_t(unit[p++]);
        uint32_t len = 0;
        if (!read_uleb(unit, p, len) || p + len > unit.size()) {
            ADD_FAILURE() << "record cut off at " << f.offset;
            break;
        }
        if (f.kind == REC_FUNC_BEGIN || f.kind == REC_INIT)
            decode_payload(f.rec, f.kind, reinterpret_cast<const uint8_t*>(unit.data()) + p, len,
                           CODEC_CONTEXT{});
        p += len;
        f.end = p;
        frames.push_back(std::move(f));
    }
    return frames;
}

// ---- stopping ------------------------------------------------------------------------

namespace {
[[noreturn]] void throw_stop(int status) { throw STOPPED{status}; }
}  // namespace

int stop_status(const std::function<void()>& f, std::string* out) {
    set_exit_hook(throw_stop);
    testing::internal::CaptureStdout();
    int status = -1;
    try {
        f();
    } catch (const STOPPED& s) {
        status = s.status;
    }
    std::fflush(stdout);
    std::string text = testing::internal::GetCapturedStdout();
    reset_exit_hook();
    if (out) *out = text;
    return status;
}

}  // namespace writer_test
