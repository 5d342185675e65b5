// Reading mode of IcodeFile: header, sections and the function stream.
//
// The records of the function stream are decoded by the direct codec from
// the layout table; the header, type records and the dropped kinds, which
// are few, go through a generic RECORD.
#include <array>
#include <cstring>

#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/icode_input.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_direct.h"
#include "icode/record_direct_read.h"
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
// type calls for.  It keeps its last answer, so that the reader stores an
// integer constant's value with the signedness its encoding was read with
// instead of working it out again.
class IcodeFile::TYPE_SIGNS final : public SIGN_ORACLE {
public:
    explicit TYPE_SIGNS(const IcodeFile& f) : file_(f) {}
    bool is_signed(uint32_t id) const override { return last_ = file_.is_signed_id(id); }
    // The answer since forget(); false when nothing was asked (the codec
    // asks nothing for type id 0, no type, which is not signed).
    bool last() const { return last_; }
    void forget() { last_ = false; }

private:
    const IcodeFile& file_;
    mutable bool last_ = false;
};

IcodeFile::IcodeFile() = default;

IcodeFile::~IcodeFile() {
    if (stream_ && in_) in_->keep_buffer_with_stream();
}

bool IcodeFile::is_signed_id(uint32_t id) const {
    if (id < type_by_id_.size())
        if (const TYPE* t = type_by_id_[id]) return icode::is_signed(t);
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

long IcodeFile::tell() const { return writing_ ? written_ + long(block_size_) : in_->tell(); }

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
    handle_record(RECORD_KIND(kind), length);
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

template <const LAYOUT_PART& P>
bool IcodeFile::read_direct(uint32_t length, DIRECT_VALUE* values) {
    if constexpr (fields_end_by_themselves(P)) {
        // Fields that lie whole in the bytes at hand are decoded there (see
        // read_node_record()); others take the general way below, which
        // decodes every field again.
        BYTE_SOURCE in = in_->bytes_at_hand();
        if (length <= in.remaining()) {
            try {
                int version = version_;
                decode_fields<P>(in, version, values, 0, signs_.get());
                in_->move_to(in.position());
                return true;
            } catch (const DECODE_ERROR&) {
            }
        }
    }
    return in_->read_fields(length, payload_, [&](const uint8_t* data, size_t size) {
        BYTE_SOURCE in(data, size);
        int version = version_;
        decode_fields<P>(in, version, values, 0, signs_.get());
        return size - in.remaining();
    });
}

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
    if (uint64_t(id) < type_by_id_.size())
        if (TYPE* t = type_by_id_[size_t(id)]) return t;
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

namespace {

namespace lt = layout_table;

// Where a leaf field is: after the head's fields.
constexpr size_t leaf_field(const LAYOUT_PART& leaf, const char* name) {
    return lt::NODE.fields.size() + field_index(leaf, name);
}

// The leaf data of an opcode, as the layout table has it.
template <int OPCODE>
constexpr const LAYOUT_PART& LEAF = *node_leaf_layout(OPCODE);

}  // namespace

// The records that hold a position and nothing else.
template <const LAYOUT_PART& P>
OptPos IcodeFile::read_position_record(RECORD_KIND kind, uint32_t length) {
    static_assert(P.fields.size() == 1 && field_index(P, "pos") == 0, "a position alone");
    DIRECT_VALUE v[1];
    if (!read_direct<P>(length, v)) invalid_record();
    OptPos pos = make_position(v[0].pos);
    follow_depth(*layout_of(kind));
    return pos;
}

void IcodeFile::handle_record(RECORD_KIND kind, uint32_t length) {
    switch (kind) {
        case REC_FUNC_BEGIN: {
            constexpr size_t POS = field_index(lt::FUNC_BEGIN, "pos");
            constexpr size_t SYM = field_index(lt::FUNC_BEGIN, "sym");
            DIRECT_VALUE v[lt::FUNC_BEGIN.fields.size()];
            if (!read_direct<lt::FUNC_BEGIN>(length, v)) invalid_record();
            OptPos pos = make_position(v[POS].pos);
            follow_depth(*layout_of(kind));
            client_->function_begin(lookup_symbol(0, v[SYM].num), pos);
            return;
        }
        case REC_FUNC_END: {
            OptPos pos = read_position_record<lt::FUNC_END>(kind, length);
            // The client releases the function's symbols here, so a name of
            // a non-zero level outside a function finds no local: the unit
            // is damaged.
            locals_.clear();
            client_->function_end(pos);
            return;
        }
        case REC_BLOCK_BEGIN:
            client_->block_begin(read_position_record<lt::BLOCK_BEGIN>(kind, length));
            return;
        case REC_BLOCK_END:
            client_->block_end(read_position_record<lt::BLOCK_END>(kind, length));
            return;
        case REC_BODY_BEGIN:
            client_->body_begin(read_position_record<lt::BODY_BEGIN>(kind, length));
            return;
        case REC_MARK: client_->mark(read_position_record<lt::MARK>(kind, length)); return;
        case REC_SYMBOL: read_symbol(length); return;
        case REC_TEXT_AT: {
            constexpr size_t TEXT = field_index(lt::TEXT_AT, "text");
            constexpr size_t POS = field_index(lt::TEXT_AT, "pos");
            DIRECT_VALUE v[lt::TEXT_AT.fields.size()];
            if (!read_direct<lt::TEXT_AT>(length, v)) invalid_record();
            OptPos pos = make_position(v[POS].pos);
            follow_depth(*layout_of(kind));
            client_->text(REC_TEXT_AT, std::string(v[TEXT].text), pos);
            return;
        }
        case REC_TEXT: {
            constexpr size_t TEXT = field_index(lt::TEXT, "text");
            DIRECT_VALUE v[lt::TEXT.fields.size()];
            if (!read_direct<lt::TEXT>(length, v)) invalid_record();
            follow_depth(*layout_of(kind));
            client_->text(REC_TEXT, std::string(v[TEXT].text), std::nullopt);
            return;
        }
        case REC_LABEL: {
            constexpr size_t LABEL_NUMBER = field_index(lt::LABEL, "label");
            DIRECT_VALUE v[lt::LABEL.fields.size()];
            if (!read_direct<lt::LABEL>(length, v)) invalid_record();
            follow_depth(*layout_of(kind));
            client_->label(uint32_t(v[LABEL_NUMBER].num));
            return;
        }
        case REC_EXPR_STMT: {
            OptPos pos = read_position_record<lt::EXPR_STMT>(kind, length);
            NODE* tree = read_tree();
            client_->expression_statement(tree, pos);
            return;
        }
        case REC_EHT: {
            constexpr size_t COUNT = field_index(lt::EHT, "count");
            DIRECT_VALUE v[lt::EHT.fields.size()];
            if (!read_direct<lt::EHT>(length, v)) invalid_record();
            follow_depth(*layout_of(kind));
            read_exception_table(uint32_t(v[COUNT].num));
            return;
        }
        case REC_PRAGMA: {
            auto pragma = read_pragma(length);
            follow_depth(*layout_of(kind));
            client_->attach_pragma(nullptr, std::move(pragma));
            return;
        }
        case REC_NODE: {
            // A tree at the top level is read to stay in step and discarded.
            follow_depth(*layout_of(kind));
            free_tree(read_tree_from(length));
            return;
        }
        case REC_INIT: {
            constexpr size_t SYM = field_index(lt::INIT, "sym");
            DIRECT_VALUE v[lt::INIT.fields.size()];
            if (!read_direct<lt::INIT>(length, v)) invalid_record();
            follow_depth(*layout_of(kind));
            read_initializer(v[SYM].num);
            return;
        }
        case REC_STRING_LIST: {
            constexpr size_t ID = field_index(lt::STRING_LIST, "id");
            constexpr size_t STRINGS = field_index(lt::STRING_LIST, "strings");
            DIRECT_VALUE v[lt::STRING_LIST.fields.size()];
            if (!read_direct<lt::STRING_LIST>(length, v)) invalid_record();
            follow_depth(*layout_of(kind));
            client_->string_list(uint32_t(v[ID].num), direct_strings(v[STRINGS]));
            return;
        }
        case REC_FILE_NAME: {
            constexpr size_t NAME = field_index(lt::FILE_NAME, "name");
            DIRECT_VALUE v[lt::FILE_NAME.fields.size()];
            if (!read_direct<lt::FILE_NAME>(length, v)) invalid_record();
            follow_depth(*layout_of(kind));
            if (section_ == SEC_FILES) files_.push_back(std::string(v[NAME].text));
            return;
        }
        default: break;
    }
    // The rest, through the generic codec.
    read_payload(kind, length);
    follow_depth(*rec_.layout);
    switch (kind) {
        case REC_TYPE: read_type_record(); break;
        case REC_DROP_108:
            // Dropped, but its type ref obeys the rule of every type ref: it
            // names a type already defined.
            resolve_type(rec_.num("type"));
            client_->dropped_record(kind);
            break;
        // Opaque and the other dropped records; the kinds that never stand
        // at the top level (their records are read inside others) do not
        // get here, as read_next_record skips them.
        default: client_->dropped_record(kind); break;
    }
}

std::unique_ptr<Pragma> IcodeFile::read_pragma(uint32_t length) {
    constexpr size_t KIND = field_index(lt::PRAGMA, "kind");
    constexpr size_t ARGS = field_index(lt::PRAGMA, "args");
    DIRECT_VALUE v[lt::PRAGMA.fields.size()];
    if (!read_direct<lt::PRAGMA>(length, v)) invalid_record();
    return std::make_unique<Pragma>(uint8_t(v[KIND].num), direct_strings(v[ARGS]));
}

void IcodeFile::read_symbol(uint32_t length) {
    using S = SYMBOL_FIELDS;
    DIRECT_VALUE v[lt::SYMBOL.fields.size()];
    if (!read_direct<lt::SYMBOL>(length, v)) invalid_record();
    follow_depth(*layout_of(REC_SYMBOL));
    SymbolRecord r;
    r.name = std::string(v[S::NAME].text);
    r.size = uint32_t(v[S::SIZE].num);
    r.value = uint32_t(v[S::VALUE].num);
    r.storage_class = uint8_t(v[S::CLASS].num);
    r.qualifiers = uint16_t(v[S::QUALS].num);
    r.alignment = uint16_t(v[S::ALIGN].num);
    r.definition_offset = uint32_t(v[S::DEFOFF].num);
    r.opt = uint32_t(v[S::OPT].num);
    r.position = make_position(v[S::POS].pos);
    r.reference_state = uint8_t(v[S::REF].num);  // 0 when the version has no such field
    int count = int8_t(uint8_t(v[S::PRAGMAS].num));
    int64_t type_id = v[S::TYPE].num, second_id = v[S::TYPE2].num;
    r.type = resolve_type(type_id);
    r.second_type = resolve_type(second_id);
    SYMTAB* symbol = client_->create_symbol(std::move(r), depth_);
    if (depth_ != 0)
        register_local_symbol(symbol);
    else
        register_global_symbol(symbol);
    for (int i = 0; i < count; ++i) {
        uint8_t kind = in_->read_u8();
        uint32_t pragma_length;
        if (kind != REC_PRAGMA || !in_->read_uleb(pragma_length)) invalid_record();
        auto pragma = read_pragma(pragma_length);
        symbol->apply_reference_rule(pragma->kind);
        client_->attach_pragma(symbol, std::move(pragma));
    }
}

void IcodeFile::read_initializer(int64_t sym) {
    SYMTAB* symbol = lookup_symbol(0, sym);
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

void IcodeFile::read_exception_table(uint32_t count) {
    constexpr size_t FIRST = field_index(lt::EHT_ENTRY, "first");
    constexpr size_t KIND = field_index(lt::EHT_ENTRY, "kind");
    constexpr size_t THIRD = field_index(lt::EHT_ENTRY, "third");
    constexpr size_t COUNT = field_index(lt::EHT_ENTRY, "count");
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
        DIRECT_VALUE v[lt::EHT_ENTRY.fields.size()];
        if (kind != REC_EHT_ENTRY || !in_->read_uleb(length) ||
            !read_direct<lt::EHT_ENTRY>(length, v))
            invalid_eht_record();
        entries.emplace_back();
        EHT_ENTRY& e = entries.back();
        e.first = uint32_t(v[FIRST].num);
        e.kind = uint32_t(v[KIND].num);
        e.third = uint32_t(v[THIRD].num);
        e.count = uint32_t(v[COUNT].num);
        if (e.kind == 1) {
            kind = in_->read_u8();
            // Its position is not kept.
            DIRECT_VALUE stmt[lt::EXPR_STMT.fields.size()];
            if (kind != REC_EXPR_STMT || !in_->read_uleb(length) ||
                !read_direct<lt::EXPR_STMT>(length, stmt))
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

// What reading a tree needs to know of an opcode: how many operand trees
// follow its node, and whether it is a comparison of two operands that
// takes the floating opcode when an operand is floating.
struct NODE_SHAPE {
    uint8_t operands = 0;
    bool comparison = false;
};

// Every opcode a node record may carry has a node layout, so the table
// covers every node read.
const std::array<NODE_SHAPE, NODE_OPCODES>& node_shapes() {
    static const std::array<NODE_SHAPE, NODE_OPCODES> shapes = [] {
        std::array<NODE_SHAPE, NODE_OPCODES> s{};
        for (int op = 0; op < NODE_OPCODES; ++op) {
            const int count = OperatorTable::operand_count(op);
            s[size_t(op)].operands = uint8_t(is_leaf_opcode(op) ? 0 : count);
            s[size_t(op)].comparison = count == 2 && floating_comparison(op) != op;
        }
        return s;
    }();
    return shapes;
}

void rewrite_floating_comparison(NODE* node) {
    bool floating = (node->left() && node->left()->type() && is_floating(node->left()->type())) ||
                    (node->right() && node->right()->type() && is_floating(node->right()->type()));
    if (floating) node->set_opcode(floating_comparison(node->opcode()));
}

constexpr size_t NODE_HEAD = lt::NODE.fields.size();
constexpr size_t NODE_OPCODE = field_index(lt::NODE, "opcode");
constexpr size_t NODE_TYPE_ID = field_index(lt::NODE, "type");

// True when no field of a node record, head or leaf, runs to the end of
// its record.
constexpr bool node_fields_end_by_themselves() {
    if (!fields_end_by_themselves(lt::NODE)) return false;
    for (int op = 0; op < NODE_OPCODES; ++op)
        if (!fields_end_by_themselves(*node_leaf_layout(op))) return false;
    return true;
}

// The opcodes whose node layout has no fields after the head.
constexpr std::array<bool, NODE_OPCODES> NO_LEAF_DATA = [] {
    std::array<bool, NODE_OPCODES> none{};
    for (int op = 0; op < NODE_OPCODES; ++op)
        none[size_t(op)] = node_leaf_layout(op)->fields.empty();
    return none;
}();

// The leaf fields of a node with this opcode, decoded after the head into
// v[NODE_HEAD], ...: the opcodes with leaf data through the code of their
// own part, the others through the part the table gives them (none, or an
// error for an opcode without layout).  Inline, like build_node() and
// read_node_record(): they run for every node of every tree, and a call
// apiece, with what it saves and restores, costs about as much as what they
// do.
[[gnu::always_inline]] inline void decode_node_leaf(int64_t opcode, BYTE_SOURCE& in, int& version,
                                                    DIRECT_VALUE* v, const SIGN_ORACLE* signs) {
    switch (opcode) {
        case LABEL: decode_fields_reusing<LEAF<LABEL>>(in, version, v, NODE_HEAD, signs); return;
        case NAME: decode_fields_reusing<LEAF<NAME>>(in, version, v, NODE_HEAD, signs); return;
        case SCON: decode_fields_reusing<LEAF<SCON>>(in, version, v, NODE_HEAD, signs); return;
        case ICON: decode_fields_reusing<LEAF<ICON>>(in, version, v, NODE_HEAD, signs); return;
        case FCON: decode_fields_reusing<LEAF<FCON>>(in, version, v, NODE_HEAD, signs); return;
        case LCON: decode_fields_reusing<LEAF<LCON>>(in, version, v, NODE_HEAD, signs); return;
        case FIELD: decode_fields_reusing<LEAF<FIELD>>(in, version, v, NODE_HEAD, signs); return;
        case SWITCH: decode_fields_reusing<LEAF<SWITCH>>(in, version, v, NODE_HEAD, signs); return;
        case SKIP: decode_fields_reusing<LEAF<SKIP>>(in, version, v, NODE_HEAD, signs); return;
        case CALL: decode_fields_reusing<LEAF<CALL>>(in, version, v, NODE_HEAD, signs); return;
        case UCALL: decode_fields_reusing<LEAF<UCALL>>(in, version, v, NODE_HEAD, signs); return;
        case EPVAL: decode_fields_reusing<LEAF<EPVAL>>(in, version, v, NODE_HEAD, signs); return;
        case DDNODE: decode_fields_reusing<LEAF<DDNODE>>(in, version, v, NODE_HEAD, signs); return;
        case ICALL: decode_fields_reusing<LEAF<ICALL>>(in, version, v, NODE_HEAD, signs); return;
        case UICALL: decode_fields_reusing<LEAF<UICALL>>(in, version, v, NODE_HEAD, signs); return;
        case MCALL: decode_fields_reusing<LEAF<MCALL>>(in, version, v, NODE_HEAD, signs); return;
        case UMCALL: decode_fields_reusing<LEAF<UMCALL>>(in, version, v, NODE_HEAD, signs); return;
        case VREG: decode_fields_reusing<LEAF<VREG>>(in, version, v, NODE_HEAD, signs); return;
        default: break;
    }
    // The other opcodes with a layout have no leaf data.
    if (opcode >= 0 && opcode < NODE_OPCODES && NO_LEAF_DATA[size_t(opcode)]) return;
    const DIRECT_CODEC* leaf = node_leaf_codec(opcode);
    if (!leaf) throw DECODE_ERROR("no layout for node opcode");
    leaf->decode(in, version, v, NODE_HEAD, signs);
}

}  // namespace

// The type a node names: most are found in the vector at once.
inline TYPE* IcodeFile::node_type(int64_t id) {
    if (id != 0 && uint64_t(id) < type_by_id_.size() && types_)
        if (TYPE* t = type_by_id_[size_t(id)]) return t;
    return resolve_type(id);
}

[[gnu::always_inline]] inline void IcodeFile::decode_node_fields(BYTE_SOURCE& in) {
    int version = version_;
    decode_fields_reusing<lt::NODE>(in, version, node_fields_, 0, signs_.get());
    decode_node_leaf(node_fields_[NODE_OPCODE].num, in, version, node_fields_, signs_.get());
}

// Reads the payload of a node record whose header was just read, builds
// the node and stores its leaf data.
NODE* IcodeFile::read_node(uint32_t length) {
    signs_->forget();
    const bool read = in_->read_fields(length, payload_, [&](const uint8_t* data, size_t size) {
        BYTE_SOURCE in(data, size);
        decode_node_fields(in);
        return size - in.remaining();
    });
    if (!read) invalid_record();
    return build_node();
}

[[gnu::always_inline]] inline NODE* IcodeFile::build_node() {
    const DIRECT_VALUE* const v = node_fields_;
    const TYPE_SIGNS* const signs = signs_.get();
    const int opcode = int(v[NODE_OPCODE].num);
    TYPE* type = node_type(v[NODE_TYPE_ID].num);
    // Held until its leaf data is stored: a symbol or class lookup below may
    // end the run, and a test's exit hook turns that into an exception.
    TreePtr held(make_node(opcode, type));
    NODE* node = held.get();
    switch (opcode) {
        case LABEL: {
            constexpr size_t LABEL_NUMBER = leaf_field(LEAF<LABEL>, "label");
            node->set_value(uint64_t(uint32_t(v[LABEL_NUMBER].num)));
            break;
        }
        case NAME: {
            constexpr size_t LEVEL = leaf_field(LEAF<NAME>, "level");
            constexpr size_t INDEX = leaf_field(LEAF<NAME>, "index");
            int64_t level = v[LEVEL].num;
            if (level != 0xFFFFFFFFLL) node->set_symbol(lookup_symbol(level, v[INDEX].num));
            break;
        }
        case SCON: {
            constexpr size_t BYTES = leaf_field(LEAF<SCON>, "bytes");
            node->set_bytes(v[BYTES].text.data(), v[BYTES].text.size());
            break;
        }
        case ICON: {
            // Signed exactly when the value was read as signed: the codec
            // asked about this node's type.
            constexpr size_t VALUE = leaf_field(LEAF<ICON>, "value");
            static_assert(LEAF<ICON>.fields[VALUE - NODE_HEAD].sign_from == int(NODE_TYPE_ID),
                          "an integer constant is signed by the node's type");
            int64_t value = v[VALUE].num;
            if (signs->last())
                node->set_value(uint64_t(int64_t(int32_t(value))));
            else
                node->set_value(uint64_t(uint32_t(value)));
            break;
        }
        case FCON:
        case LCON: {
            static_assert(&LEAF<FCON> == &LEAF<LCON>, "floating and long constants share a text");
            constexpr size_t TEXT = leaf_field(LEAF<FCON>, "text");
            node->set_text(std::string(v[TEXT].text).c_str());
            break;
        }
        case FIELD: {
            constexpr size_t BYTE = leaf_field(LEAF<FIELD>, "byte");
            constexpr size_t MEMBER = leaf_field(LEAF<FIELD>, "member");
            constexpr size_t CLASS = leaf_field(LEAF<FIELD>, "class");
            node->set_field_ref(int8_t(v[BYTE].num), uint32_t(v[MEMBER].num),
                                resolve_type(v[CLASS].num));
            break;
        }
        case SWITCH: {
            constexpr size_t NUMBER = leaf_field(LEAF<SWITCH>, "number");
            node->set_switch_number(int(v[NUMBER].num));
            break;
        }
        case CALL: {
            constexpr size_t EXTRA = leaf_field(LEAF<CALL>, "extra");
            constexpr size_t EHT = leaf_field(LEAF<CALL>, "eht");
            node->set_value_and_call_number(int(v[EXTRA].num), int(v[EHT].num));
            break;
        }
        case UCALL: {
            constexpr size_t EHT = leaf_field(LEAF<UCALL>, "eht");
            node->set_call_number(int(v[EHT].num));
            break;
        }
        case EPVAL: {
            constexpr size_t WEIGHT = leaf_field(LEAF<EPVAL>, "weight");
            node->set_weight(int(v[WEIGHT].num));
            break;
        }
        case SKIP: {
            constexpr size_t NUMBER = leaf_field(LEAF<SKIP>, "number");
            node->set_value(uint64_t(uint32_t(v[NUMBER].num)));
            break;
        }
        case DDNODE: {
            // ID in the low half of the value, LOCALE in the high half, FLAGS
            // in the switch number; the writer reads them back from there.
            constexpr size_t ID = leaf_field(LEAF<DDNODE>, "id");
            constexpr size_t LOCALE = leaf_field(LEAF<DDNODE>, "locale");
            constexpr size_t FLAGS = leaf_field(LEAF<DDNODE>, "flags");
            node->set_value((uint64_t(uint32_t(v[LOCALE].num)) << 32) | uint32_t(v[ID].num));
            node->set_switch_number(int(v[FLAGS].num));
            break;
        }
        case ICALL:
        case UICALL:
        case MCALL:
        case UMCALL: {
            constexpr size_t NAME_TEXT = leaf_field(LEAF<ICALL>, "name");
            node->set_text(std::string(v[NAME_TEXT].text).c_str());
            break;
        }
        case VREG: {
            constexpr size_t REG = leaf_field(LEAF<VREG>, "reg");
            node->set_value(uint64_t(int64_t(int32_t(v[REG].num))));
            break;
        }
        default: break;
    }
    return held.release();
}

[[gnu::always_inline]] inline NODE* IcodeFile::read_node_record(BYTE_SOURCE& at_hand) {
    // Most node records lie whole in the bytes at hand and are decoded
    // there.  Their fields decode the same from any bytes that hold them
    // (no field of a node runs to the end of its record), so the payload's
    // length only has to stay within those bytes.  Any record that does not
    // (or does not decode) takes the general way from its start.
    static_assert(node_fields_end_by_themselves(),
                  "node fields decode from any bytes that hold them");
    BYTE_SOURCE in = at_hand;
    bool decoded = false;
    try {
        if (in.get_u8() == REC_NODE) {
            uint32_t length = in.get_uleb();
            if (length <= in.remaining()) {
                signs_->forget();
                decode_node_fields(in);
                decoded = true;
            }
        }
    } catch (const DECODE_ERROR&) {
    }
    if (decoded) {
        at_hand = in;
        in_->move_to(in.position());
        return build_node();
    }
    uint8_t kind = in_->read_u8();
    uint32_t length;
    if (kind != REC_NODE || !in_->read_uleb(length)) invalid_record();
    NODE* node = read_node(length);
    at_hand = in_->bytes_at_hand();
    return node;
}

NODE* IcodeFile::read_tree() {
    BYTE_SOURCE at_hand = in_->bytes_at_hand();
    NODE* root = read_node_record(at_hand);
    return read_operands(root, at_hand);
}

// Reads a node record whose header was just read and its operands in
// pre-order, without recursion, so that a tree of any depth is safe.
NODE* IcodeFile::read_tree_from(uint32_t length) {
    NODE* root = read_node(length);
    BYTE_SOURCE at_hand = in_->bytes_at_hand();
    return read_operands(root, at_hand);
}

// Reads the operand trees of a node just read, in pre-order, without
// recursion.
NODE* IcodeFile::read_operands(NODE* root, BYTE_SOURCE& at_hand) {
    const std::array<NODE_SHAPE, NODE_OPCODES>& shapes = node_shapes();
    const int n = shapes[size_t(root->opcode())].operands;
    if (n == 0) return root;
    TreePtr guard(root);
    std::vector<OPEN_NODE>& open = read_stack_;
    open.clear();
    open.push_back(OPEN_NODE{root, n, 0});
    while (!open.empty()) {
        OPEN_NODE& top = open.back();
        if (top.read == top.needed) {
            if (shapes[size_t(top.node->opcode())].comparison)
                rewrite_floating_comparison(top.node);
            open.pop_back();
            continue;
        }
        NODE* child = read_node_record(at_hand);
        if (top.read++ == 0)
            top.node->set_left(child);
        else
            top.node->set_right(child);
        if (int operands = shapes[size_t(child->opcode())].operands)
            open.push_back(OPEN_NODE{child, operands, 0});
    }
    return guard.release();
}

}  // namespace icode
