// Reading mode of IcodeFile: header, sections and the function stream.
#include <cstring>

#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/icode_input.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_layout.h"
#include "icode/type_error.h"
#include "icode/type_pkg.h"
#include "icode/types.h"

namespace icode {

namespace {
int target_value = ICODE_TARGET;
}  // namespace

int icode_target() { return target_value; }
void reset_icode_target() { target_value = ICODE_TARGET; }

// Answers the codec's signedness questions from the type map, so that
// integer constants and enumerator values decode with the encoding their
// type calls for.
class IcodeFile::TYPE_SIGNS : public SIGN_ORACLE {
public:
    explicit TYPE_SIGNS(const IcodeFile& f) : file_(f) {}
    bool is_signed(uint32_t id) const override { return file_.is_signed_id(id); }

private:
    const IcodeFile& file_;
};

IcodeFile::IcodeFile() = default;

IcodeFile::~IcodeFile() {
    if (stream_ && in_) in_->keep_buffer_with_stream();
}

bool IcodeFile::is_signed_id(uint32_t id) const {
    auto it = type_map_.find(id);
    return it != type_map_.end() && it->second.type && icode::is_signed(it->second.type);
}

std::unique_ptr<IcodeFile> IcodeFile::open_for_reading(FILE* stream, IcodeClient* client) {
    std::unique_ptr<IcodeFile> f(new IcodeFile);
    f->stream_ = stream;
    f->client_ = client;
    f->in_ = std::make_unique<ICODE_INPUT>(stream);
    f->base_ = f->in_->base();
    f->signs_ = std::make_unique<TYPE_SIGNS>(*f);
    if (!f->read_header()) return nullptr;
    if (!client->unit_header(f->version_, target_value)) return nullptr;
    f->read_section(SEC_STRINGS);
    return f;
}

long IcodeFile::tell() const { return writing_ ? written_ + long(out_.size()) : in_->tell(); }

bool IcodeFile::read_header() {
    if (!in_->seek(0) || in_->read_u8() != REC_HEADER) return false;
    uint32_t length;
    if (!in_->read_uleb(length)) return false;
    // The header's length is not trusted: its fields are decoded from the
    // bytes that follow, reading more of the file while they do not fit.
    long start = in_->tell();
    size_t window = 4096;
    size_t used = 0;
    for (;;) {
        size_t n = size_t(std::min<uint64_t>(window, in_->remaining()));
        if (!in_->read_bytes(n, payload_)) return false;
        try {
            decode_payload(rec_, REC_HEADER, reinterpret_cast<const uint8_t*>(payload_.data()),
                           payload_.size(), CODEC_CONTEXT{version_, nullptr}, &used);
            break;
        } catch (const DECODE_ERROR&) {
            if (n < window) return false;  // the whole rest of the file was tried
            window *= 2;
            in_->seek(start);
        }
    }
    in_->seek(start + long(used));
    if (rec_.text("magic") != ICODE_MAGIC) return false;
    int version = int(rec_.num("version"));
    int target = int(rec_.num("target"));
    if (target != ICODE_TARGET) return false;
    if (version < ICODE_OLDEST_VERSION || version > ICODE_NEWEST_VERSION) return false;
    version_ = version;
    target_value = target;
    static const char* const fields[5] = {"strings", "init", "types", "files", "symbols"};
    for (int s = 0; s < 5; ++s) offsets_[s] = uint32_t(rec_.num(fields[s]));
    unit_name_ = rec_.text("name");
    reserved_ = uint32_t(rec_.num("reserved"));
    header_end_ = in_->tell();
    return true;
}

void IcodeFile::read_section(SECTION s) {
    if (offsets_[s] == 0) return;
    long saved = in_->tell();
    in_->seek(long(offsets_[s]));
    section_ = s;
    while (read_next_record() != REC_END) {
    }
    section_ = -1;
    in_->seek(saved);
}

void IcodeFile::read_unit() {
    read_section(SEC_FILES);
    read_section(SEC_TYPES);
    read_section(SEC_SYMBOLS);
    read_section(SEC_INIT);
    in_->seek(header_end_);
    while (read_next_record() != REC_END) {
    }
}

namespace {

// Kinds that may stand at the top level of the function stream and of the
// sections; any other kind is reported and skipped byte by byte.
bool is_top_level_kind(uint8_t number) {
    // A number that names no kind has no layout.
    if (layout_of(number) == nullptr) return false;
    switch (RECORD_KIND(number)) {
        case REC_FUNC_BEGIN:
        case REC_FUNC_END:
        case REC_BLOCK_BEGIN:
        case REC_BLOCK_END:
        case REC_BODY_BEGIN:
        case REC_MARK:
        case REC_OPAQUE:
        case REC_SYMBOL:
        case REC_TEXT_AT:
        case REC_DROP_38:
        case REC_LABEL:
        case REC_DROP_45:
        case REC_EXPR_STMT:
        case REC_TEXT:
        case REC_DROP_58:
        case REC_DROP_59:
        case REC_DROP_64:
        case REC_EHT:
        case REC_PRAGMA:
        case REC_NODE:
        case REC_INIT:
        case REC_DROP_108:
        case REC_TYPE:
        case REC_DROP_123:
        case REC_DROP_124:
        case REC_DROP_125:
        case REC_FILE_NAME: return true;
        // Read inside the records they belong to, or only in the header or
        // the string section.
        case REC_HEADER:
        case REC_EHT_CATCHES:
        case REC_EHT_ENTRY:
        case REC_STRING_LIST:
        case REC_END: return false;
    }
    return false;
}

}  // namespace

int IcodeFile::read_next_record() {
    uint8_t kind = in_->read_u8();
    if (kind == REC_END) return REC_END;
    bool known = is_top_level_kind(kind) || (kind == REC_STRING_LIST && section_ == SEC_STRINGS);
    uint32_t length;
    bool have_length = in_->read_uleb(length);
    if (!known) {
        // The reader goes on right after the record header, taking the
        // first payload byte as the next kind.
        std::printf("\n///ERROR @0x%lx\n\n", in_->tell());
        return kind;
    }
    if (!have_length) invalid_record();
    read_payload(kind, length);
    handle_record(RECORD_KIND(kind));
    return kind;
}

namespace {

// Fields are what counts: a payload longer than its fields is read on from
// the end of the fields, one shorter has its fields read on past it.
bool decode_record(ICODE_INPUT& input, std::string& buffer, RECORD& rec, uint8_t kind,
                   uint32_t length, const CODEC_CONTEXT& ctx) {
    return input.read_fields(length, buffer, [&](const uint8_t* data, size_t size) {
        size_t used = 0;
        decode_payload(rec, kind, data, size, ctx, &used);
        return used;
    });
}

}  // namespace

void IcodeFile::read_payload(uint8_t kind, uint32_t length) {
    long start = in_->tell();
    if (!decode_record(*in_, payload_, rec_, kind, length, CODEC_CONTEXT{version_, signs_.get()}))
        invalid_record();
    // Only the opaque record is skipped whole by its length.
    if (kind == REC_OPAQUE) in_->seek(start + long(length));
}

OptPos IcodeFile::make_position(const POS_VALUE& p) const {
    if (p.file == 0) return std::nullopt;
    if (p.file > files_.size()) return SourcePos{FILE_NAME(), p.line, p.column};
    return SourcePos{files_[p.file - 1], p.line, p.column};
}

const std::string* IcodeFile::file_name(uint32_t index) const {
    if (index == 0 || index > files_.size()) return nullptr;
    return &files_[index - 1].str();
}

TYPE* IcodeFile::resolve_type(int64_t id) {
    if (id == 0 || !types_) return nullptr;
    auto it = type_map_.find(uint32_t(id));
    if (it == type_map_.end()) type_internal_error("invalid forward reference");
    return it->second.type;
}

SYMTAB* IcodeFile::lookup_symbol(int64_t level, int64_t index) const {
    const std::vector<SYMTAB*>& table = level == 0 ? globals_ : locals_;
    if (index < 0 || uint64_t(index) >= table.size()) invalid_record();
    return table[size_t(index)];
}

void IcodeFile::register_global_symbol(SYMTAB* symbol) {
    symbol->set_level(0);
    if (writing_)
        symbol->set_output_index(int(globals_.size()));
    else
        symbol->set_index(int(globals_.size()));
    globals_.push_back(symbol);
    if (const SourcePos* pos = symbol->position()) intern_file_name(pos->file);
}

void IcodeFile::follow_depth(const RECORD_LAYOUT& layout) {
    if (layout.depth == DEPTH_EFFECT::ENTER_FUNCTION) locals_.clear();
    depth_ = depth_after(layout.depth, depth_);
}

void IcodeFile::register_local_symbol(SYMTAB* symbol) {
    symbol->set_level(depth_);
    if (writing_)
        symbol->set_output_index(int(locals_.size()));
    else
        symbol->set_index(int(locals_.size()));
    locals_.push_back(symbol);
}

uint32_t IcodeFile::intern_file_name(FILE_NAME name) {
    static const FILE_NAME no_file("NO_FILE");
    if (name.empty()) name = no_file;
    if (writing_) {
        for (size_t i = 0; i < files_.size(); ++i)
            if (files_[i] == name) return uint32_t(i + 1);
    }
    files_.push_back(name);
    return uint32_t(files_.size());
}

void IcodeFile::handle_record(RECORD_KIND kind) {
    OptPos pos;
    if (const FIELD_VALUE* p = rec_.value("pos")) pos = make_position(p->pos);
    follow_depth(*rec_.layout);
    switch (kind) {
        case REC_FUNC_BEGIN: client_->function_begin(lookup_symbol(0, rec_.num("sym")), pos); break;
        case REC_FUNC_END:
            // The client releases the function's symbols here, so a name of
            // a non-zero level outside a function finds no local: the unit
            // is damaged.
            locals_.clear();
            client_->function_end(pos);
            break;
        case REC_BLOCK_BEGIN: client_->block_begin(pos); break;
        case REC_BLOCK_END: client_->block_end(pos); break;
        case REC_BODY_BEGIN: client_->body_begin(pos); break;
        case REC_MARK: client_->mark(pos); break;
        case REC_SYMBOL: read_symbol(); break;
        case REC_TEXT_AT: client_->text(REC_TEXT_AT, rec_.text("text"), pos); break;
        case REC_TEXT: client_->text(REC_TEXT, rec_.text("text"), std::nullopt); break;
        case REC_LABEL: client_->label(uint32_t(rec_.num("label"))); break;
        case REC_EXPR_STMT: {
            NODE* tree = read_tree();
            client_->expression_statement(tree, pos);
            break;
        }
        case REC_EHT: read_exception_table(); break;
        case REC_PRAGMA: {
            auto pragma =
                std::make_unique<Pragma>(uint8_t(rec_.num("kind")), rec_.value("args")->strings);
            client_->attach_pragma(nullptr, std::move(pragma));
            break;
        }
        case REC_NODE: {
            // A tree at the top level is read to stay in step and discarded.
            NODE* tree = read_tree_from_current();
            free_tree(tree);
            break;
        }
        case REC_INIT: read_initializer(); break;
        case REC_STRING_LIST:
            client_->string_list(uint32_t(rec_.num("id")), rec_.value("strings")->strings);
            break;
        case REC_TYPE: read_type_record(); break;
        case REC_FILE_NAME:
            if (section_ == SEC_FILES) files_.push_back(rec_.text("name"));
            break;
        case REC_DROP_108:
            // Dropped, but its type ref obeys the rule of every type ref: it
            // names a type already defined.
            resolve_type(rec_.num("type"));
            client_->dropped_record(kind);
            break;
        // Opaque and the other dropped records; the kinds that never stand
        // at the top level (their records are read inside others) do not
        // get here, as read_next_record skips them.
        case REC_HEADER:
        case REC_OPAQUE:
        case REC_DROP_38:
        case REC_DROP_45:
        case REC_DROP_58:
        case REC_DROP_59:
        case REC_EHT_CATCHES:
        case REC_DROP_64:
        case REC_EHT_ENTRY:
        case REC_DROP_123:
        case REC_DROP_124:
        case REC_DROP_125:
        case REC_END: client_->dropped_record(kind); break;
    }
}

void IcodeFile::read_symbol() {
    SymbolRecord r;
    r.name = rec_.text("name");
    r.size = uint32_t(rec_.num("size"));
    r.value = uint32_t(rec_.num("value"));
    r.storage_class = uint8_t(rec_.num("class"));
    r.qualifiers = uint16_t(rec_.num("quals"));
    r.alignment = uint16_t(rec_.num("align"));
    r.definition_offset = uint32_t(rec_.num("defoff"));
    r.opt = uint32_t(rec_.num("opt"));
    r.position = make_position(rec_.value("pos")->pos);
    r.reference_state = uint8_t(rec_.num("ref"));  // 0 when the version has no such field
    int count = int8_t(uint8_t(rec_.num("pragmas")));
    int64_t type_id = rec_.num("type"), second_id = rec_.num("type2");
    r.type = resolve_type(type_id);
    r.second_type = resolve_type(second_id);
    SYMTAB* symbol = client_->create_symbol(std::move(r), depth_);
    if (depth_ != 0)
        register_local_symbol(symbol);
    else
        register_global_symbol(symbol);
    for (int i = 0; i < count; ++i) {
        uint8_t kind = in_->read_u8();
        uint32_t length;
        if (kind != REC_PRAGMA || !in_->read_uleb(length)) invalid_record();
        read_payload(kind, length);
        auto pragma =
            std::make_unique<Pragma>(uint8_t(rec_.num("kind")), rec_.value("args")->strings);
        symbol->apply_reference_rule(pragma->kind);
        client_->attach_pragma(symbol, std::move(pragma));
    }
}

void IcodeFile::read_initializer() {
    SYMTAB* symbol = lookup_symbol(0, rec_.num("sym"));
    // Owned here until the client takes them, so that a damaged tree later
    // in the list (whose exit a test may turn into an exception) loses none.
    std::vector<TreePtr> owned;
    for (;;) {
        owned.emplace_back(read_tree());
        if (owned.back()->opcode() == ENDINIT) break;
    }
    std::vector<NODE*> trees;
    trees.reserve(owned.size());
    for (TreePtr& t : owned) trees.push_back(t.release());
    client_->attach_initializer(symbol, std::move(trees));
}

namespace {

// The payload of a catches record: as many items as its entry counts, each a
// string, a ULEB and a bool, read like any other fields.
bool read_catch_items(ICODE_INPUT& input, std::string& buffer, uint32_t length, uint32_t count,
                      std::vector<EHT_CATCH>& items) {
    return input.read_fields(length, buffer, [&](const uint8_t* data, size_t size) {
        BYTE_SOURCE in(data, size);
        items.clear();
        // Each item takes at least three bytes; a larger count cannot fit.
        if (uint64_t(count) * 3 > size) throw DECODE_ERROR("catch items run past the record");
        items.reserve(count);
        for (uint32_t k = 0; k < count; ++k) {
            EHT_CATCH item;
            item.text = in.get_string();
            item.number = in.get_uleb();
            item.flag = in.get_u8() != 0;
            items.push_back(std::move(item));
        }
        return size - in.remaining();
    });
}

}  // namespace

void IcodeFile::read_exception_table() {
    uint32_t count = uint32_t(rec_.num("count"));
    // Entries are read one by one, so a damaged count allocates nothing: it
    // runs into the end of the file, which reads as no entry record.
    std::vector<EHT_ENTRY> entries;
    struct ENTRY_TREES {
        std::vector<EHT_ENTRY>* entries;
        ~ENTRY_TREES() {
            if (entries)
                for (EHT_ENTRY& e : *entries) free_tree(e.tree);
        }
    } guard{&entries};
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t kind = in_->read_u8();
        uint32_t length;
        if (kind != REC_EHT_ENTRY || !in_->read_uleb(length) ||
            !decode_record(*in_, payload_, rec_, kind, length, CODEC_CONTEXT{version_, nullptr}))
            invalid_eht_record();
        entries.emplace_back();
        EHT_ENTRY& e = entries.back();
        e.first = uint32_t(rec_.num("first"));
        e.kind = uint32_t(rec_.num("kind"));
        e.third = uint32_t(rec_.num("third"));
        e.count = uint32_t(rec_.num("count"));
        if (e.kind == 1) {
            kind = in_->read_u8();
            // Its position is not kept.
            if (kind != REC_EXPR_STMT || !in_->read_uleb(length) ||
                !decode_record(*in_, payload_, rec_, kind, length,
                               CODEC_CONTEXT{version_, nullptr}))
                invalid_eht_record();
            e.tree = read_tree();
        } else if (e.kind == 2) {
            kind = in_->read_u8();
            if (kind != REC_EHT_CATCHES || !in_->read_uleb(length)) invalid_eht_record();
            if (!read_catch_items(*in_, payload_, length, e.count, e.items)) invalid_eht_record();
        }
    }
    if (client_->exception_table(entries)) return;  // the guard frees the trees
    guard.entries = nullptr;                        // the client keeps them
}

// ---- trees -------------------------------------------------------------------

namespace {

int operands_of(int opcode) {
    return is_leaf_opcode(opcode) ? 0 : OperatorTable::operand_count(opcode);
}

// Comparisons on floating operands carry the floating opcodes.
int floating_comparison(int opcode) {
    switch (opcode) {
        case EQ: return FEQ;
        case NEQ: return FNEQN;
        case LE:
        case ULE: return FLE;
        case LT:
        case ULT: return FLT;
        case GE:
        case UGE: return FGE;
        case GT:
        case UGT: return FGT;
        default: return opcode;
    }
}

void rewrite_floating_comparison(NODE* node) {
    if (OperatorTable::operand_count(node->opcode()) != 2) return;
    bool floating = (node->left() && node->left()->type() && is_floating(node->left()->type())) ||
                    (node->right() && node->right()->type() && is_floating(node->right()->type()));
    if (floating) node->set_opcode(floating_comparison(node->opcode()));
}

}  // namespace

// Builds a node from the node record in rec_ and stores its leaf data.
NODE* IcodeFile::node_from_record() {
    int opcode = int(rec_.values[0].num);
    TYPE* type = resolve_type(rec_.values[1].num);
    // Held until its leaf data is stored: a symbol or class lookup below may
    // end the run, and a test's exit hook turns that into an exception.
    TreePtr held(make_node(opcode, type));
    NODE* node = held.get();
    switch (opcode) {
        case LABEL: node->set_value(uint64_t(uint32_t(rec_.num("label")))); break;
        case NAME: {
            int64_t level = rec_.num("level");
            if (level != 0xFFFFFFFFLL) node->set_symbol(lookup_symbol(level, rec_.num("index")));
            break;
        }
        case SCON: {
            const std::string& bytes = rec_.text("bytes");
            node->set_bytes(bytes.data(), bytes.size());
            break;
        }
        case ICON: {
            int64_t v = rec_.num("value");
            if (type && is_signed(type))
                node->set_value(uint64_t(int64_t(int32_t(v))));
            else
                node->set_value(uint64_t(uint32_t(v)));
            break;
        }
        case FCON:
        case LCON: node->set_text(rec_.text("text").c_str()); break;
        case FIELD:
            node->set_field_ref(int8_t(rec_.num("byte")), uint32_t(rec_.num("member")),
                                resolve_type(rec_.num("class")));
            break;
        case SWITCH: node->set_switch_number(int(rec_.num("number"))); break;
        case CALL:
            node->set_value_and_call_number(int(rec_.num("extra")), int(rec_.num("eht")));
            break;
        case UCALL: node->set_call_number(int(rec_.num("eht"))); break;
        case EPVAL: node->set_weight(int(rec_.num("weight"))); break;
        case SKIP: node->set_value(uint64_t(uint32_t(rec_.num("number")))); break;
        case DDNODE:
            // ID in the low half of the value, LOCALE in the high half, FLAGS
            // in the switch number; the writer reads them back from there.
            node->set_value((uint64_t(uint32_t(rec_.num("locale"))) << 32) |
                            uint32_t(rec_.num("id")));
            node->set_switch_number(int(rec_.num("flags")));
            break;
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL: node->set_text(rec_.text("name").c_str()); break;
        case VREG: node->set_value(uint64_t(int64_t(int32_t(rec_.num("reg"))))); break;
        default: break;
    }
    return held.release();
}

NODE* IcodeFile::read_tree() {
    uint8_t kind = in_->read_u8();
    uint32_t length;
    if (kind != REC_NODE || !in_->read_uleb(length)) invalid_record();
    read_payload(kind, length);
    return read_tree_from_current();
}

// Reads the operands of the node record in rec_ in pre-order, without
// recursion, so that a tree of any depth is safe.
NODE* IcodeFile::read_tree_from_current() {
    NODE* root = node_from_record();
    struct OPEN {
        NODE* node;
        int needed;
        int read;
    };
    std::vector<OPEN> open;
    if (int n = operands_of(root->opcode())) open.push_back(OPEN{root, n, 0});
    TreePtr guard(root);
    while (!open.empty()) {
        if (open.back().read == open.back().needed) {
            rewrite_floating_comparison(open.back().node);
            open.pop_back();
            continue;
        }
        uint8_t kind = in_->read_u8();
        uint32_t length;
        if (kind != REC_NODE || !in_->read_uleb(length)) invalid_record();
        read_payload(kind, length);
        NODE* child = node_from_record();
        OPEN& top = open.back();
        if (top.read++ == 0)
            top.node->set_left(child);
        else
            top.node->set_right(child);
        if (int n = operands_of(child->opcode())) open.push_back(OPEN{child, n, 0});
    }
    return guard.release();
}

}  // namespace icode
