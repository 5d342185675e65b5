// Writing mode of IcodeFile: creation, record framing, the function-stream
// records, initializers and the sections written when the unit is finished.
//
// The function stream's payloads are encoded by the direct codec from the
// layout table, the same description the reader decodes with; the header
// and the type section go through a generic RECORD.  Records collect in a
// write buffer that goes to the stream whenever it holds a megabyte, so a
// unit is written in one pass, function by function, whatever its size.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/icode_writer_internal.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/type_pkg.h"
#include "icode/types.h"

namespace icode {

namespace {

// The stream's own buffer.
constexpr size_t STREAM_BUFFER_SIZE = 32768;

namespace lt = layout_table;

const char* const SECTION_FIELDS[5] = {"strings", "init", "types", "files", "symbols"};

void set_num(RECORD& r, const char* name, int64_t v) {
    if (FIELD_VALUE* f = r.value(name)) f->num = v;
}

void set_text(RECORD& r, const char* name, const std::string& text) {
    if (FIELD_VALUE* f = r.value(name)) f->text = text;
}

}  // namespace

bool PACKAGE_SIGNS::is_signed(uint32_t type_id) const {
    // The package numbers its types 1, 2, 3, ... in creation order.
    if (!package_ || type_id == 0 || type_id > package_->type_count()) return false;
    const TYPE* t = package_->types()[type_id - 1].get();
    return t->id() == type_id && icode::is_signed(t);
}

bool PACKAGE_SIGNS::is_signed_type(const TYPE* type) const {
    const uint32_t id = type ? type->id() : 0;
    // A type of the package is in its place: ask it straight away.
    if (package_ && id != 0 && id <= package_->type_count() &&
        package_->types()[id - 1].get() == type)
        return icode::is_signed(type);
    return id != 0 && is_signed(id);
}

void encode_written_payload(const RECORD& rec, BYTE_SINK& out, const CODEC_CONTEXT& ctx) {
    bool fits = false;
    try {
        fits = encode_payload(rec, out, ctx);
    } catch (const std::bad_alloc&) {
        write_buffer_exceeded();
    }
    if (!fits) value_exceeds_short();
}

std::unique_ptr<IcodeFile> IcodeFile::create_writer(FILE* stream, TYPE_PKG* package,
                                                    const std::string& unit_name) {
    std::unique_ptr<IcodeFile> f(new IcodeFile);
    f->writing_ = true;
    f->stream_ = stream;
    f->stream_buffer_.bytes.reset(new char[STREAM_BUFFER_SIZE]);
    f->stream_buffer_.stream = &f->stream_;
    std::setvbuf(stream, f->stream_buffer_.bytes.get(), _IOFBF, STREAM_BUFFER_SIZE);
    f->base_ = 0;
    f->version_ = ICODE_NEWEST_VERSION;
    f->types_ = package;
    f->unit_name_ = unit_name;
    f->block_capacity_ = WRITE_BUFFER_SIZE + WRITE_BUFFER_SIZE / 8;
    f->block_.reset(new char[f->block_capacity_]);
    // The leaf opcodes are never followed by operand trees, whatever the
    // operator table says.
    for (int opcode = 0; opcode < NODE_OPCODES; ++opcode)
        f->operands_read_[size_t(opcode)] =
            uint8_t(is_leaf_opcode(opcode) ? 0 : OperatorTable::operand_count(opcode));
    // The marks say which types this unit names; a package that served an
    // earlier unit must not carry them over.
    if (package) package->clear_marks();
    f->write_header();
    return f;
}

// ---- records -------------------------------------------------------------------

RECORD& IcodeFile::begin_record(uint8_t kind, int64_t selector) {
    // Only a node with an opcode beyond the operator table has no layout.
    if (!wrec_.start(kind, version_, selector)) invalid_record();
    return wrec_;
}

void IcodeFile::end_record() {
    const size_t start = open_record(wrec_.kind);
    PACKAGE_SIGNS signs(types_);
    encode_written_payload(wrec_, out_, CODEC_CONTEXT{version_, &signs});
    close_record(start, wrec_.kind);
}

void IcodeFile::send_record(const char* record, size_t length, uint8_t kind) {
    if (capture_) {
        capture_->append(record, length);
    } else {
        put_block(record, length);
        if (block_size_ >= WRITE_BUFFER_SIZE) flush_output();
    }
    follow_depth(*layout_of(kind));
}

void IcodeFile::flush_output() {
    if (block_size_ != 0) std::fwrite(block_.get(), 1, block_size_, stream_);
    written_ += long(block_size_);
    block_size_ = 0;
}

void IcodeFile::grow_block(size_t length) {
    // Only a record longer than the room left past the flushing size gets
    // here: the block doubles until it fits.
    size_t capacity = std::max(block_capacity_, size_t(1024));
    while (capacity - block_size_ < length) capacity *= 2;
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
    if (!grown) write_buffer_exceeded();
    if (block_size_ != 0) std::memcpy(grown.get(), block_.get(), block_size_);
    block_ = std::move(grown);
    block_capacity_ = capacity;
}

void IcodeFile::write_end() {
    const char end = char(REC_END);
    put_block(&end, 1);
}

POS_VALUE IcodeFile::position_value(const SourcePos* position) {
    if (!position) return POS_VALUE{};
    // The table only grows while writing, so an index once given stays.
    if (last_file_index_ == 0 || position->file != last_file_) {
        last_file_index_ = intern_file_name(position->file);
        last_file_ = position->file;
    }
    return POS_VALUE{last_file_index_, position->line, position->column};
}

uint32_t IcodeFile::type_ref(TYPE* type) {
    const TYPE* t = referenced_type(type);
    return t ? t->id() : 0;
}

void IcodeFile::write_header() {
    RECORD& r = begin_record(REC_HEADER);
    set_text(r, "magic", ICODE_MAGIC);
    set_num(r, "version", version_);
    set_num(r, "target", icode_target());
    for (int s = 0; s < 5; ++s) set_num(r, SECTION_FIELDS[s], offsets_[s]);
    set_text(r, "name", unit_name_);
    set_num(r, "reserved", 0);
    end_record();
}

// ---- the function stream ----------------------------------------------------------

void IcodeFile::write_function_begin(SYMTAB* symbol, const OptPos& position) {
    // The symbol is defined by this record: its offset is where it begins.
    if (symbol) symbol->set_definition_offset(uint32_t(tell()));
    constexpr size_t POS = field_index(lt::FUNC_BEGIN, "pos");
    constexpr size_t SYM = field_index(lt::FUNC_BEGIN, "sym");
    DIRECT_VALUE v[lt::FUNC_BEGIN.fields.size()];
    v[POS].pos = position_value(position ? &*position : nullptr);
    v[SYM].num = table_index(symbol);
    emit<REC_FUNC_BEGIN>(v);
}

// The records whose payload is one position.
template <uint8_t KIND>
void IcodeFile::write_position_record(const OptPos& position) {
    constexpr const LAYOUT_PART& P = HEAD_OF<KIND>;
    static_assert(P.fields.size() == 1 && field_index(P, "pos") == 0, "a position alone");
    static_assert(most_bytes(P) <= BUILT_ON_STACK, "a short record");
    DIRECT_VALUE v[1];
    v[0].pos = position_value(position ? &*position : nullptr);
    // Built here rather than by emit(): one record per statement, and a
    // position needs no signedness.
    uint8_t stacked[2 + most_bytes(P)];
    uint8_t* const record = record_room(stacked, sizeof stacked);
    record[0] = KIND;
    RAW_SINK raw{record + 2};
    int version = version_;
    const bool fits = encode_fields<P>(raw, version, v);
    append_record<KIND>(record, raw.p, fits);
}

void IcodeFile::write_function_end(const OptPos& position) {
    write_position_record<REC_FUNC_END>(position);
}

void IcodeFile::write_block_begin(const OptPos& position) {
    write_position_record<REC_BLOCK_BEGIN>(position);
}

void IcodeFile::write_block_end(const OptPos& position) {
    write_position_record<REC_BLOCK_END>(position);
}

void IcodeFile::write_body_begin(const OptPos& position) {
    write_position_record<REC_BODY_BEGIN>(position);
}

void IcodeFile::write_mark(const OptPos& position) { write_position_record<REC_MARK>(position); }

void IcodeFile::write_text_at(const std::string& text, const OptPos& position) {
    constexpr size_t TEXT = field_index(lt::TEXT_AT, "text");
    constexpr size_t POS = field_index(lt::TEXT_AT, "pos");
    DIRECT_VALUE v[lt::TEXT_AT.fields.size()];
    v[TEXT].text = text;
    v[POS].pos = position_value(position ? &*position : nullptr);
    emit<REC_TEXT_AT>(v);
}

void IcodeFile::write_text(const std::string& text) {
    constexpr size_t TEXT = field_index(lt::TEXT, "text");
    DIRECT_VALUE v[lt::TEXT.fields.size()];
    v[TEXT].text = text;
    emit<REC_TEXT>(v);
}

void IcodeFile::write_label(uint32_t number) {
    constexpr size_t LABEL = field_index(lt::LABEL, "label");
    NUMBERS<lt::LABEL> v{};
    v[LABEL] = number;
    put_record<REC_LABEL>(v);
}

void IcodeFile::write_expression_statement(const NODE* tree, const OptPos& position) {
    write_position_record<REC_EXPR_STMT>(position);
    if (tree) write_tree(tree);
}

void IcodeFile::write_weighted_statement(const NODE* tree, const OptPos& position,
                                         TYPE* weight_type) {
    write_position_record<REC_EXPR_STMT>(position);
    if (tree) write_tree_nodes<TREE_FORM::WEIGHTED>(tree, weight_type);
}

void IcodeFile::write_stamped_statement(const TREE_STAMP& stamp, uint32_t value,
                                        const OptPos& position) {
    constexpr size_t OPCODE = field_index(lt::NODE, "opcode");
    constexpr size_t TYPE_ID = field_index(lt::NODE, "type");
    constexpr size_t VALUE = field_index(lt::NODE_ICON, "value");
    static_assert(node_leaf_layout(ICON) == &lt::NODE_ICON, "the leaf data of a constant");
    write_position_record<REC_EXPR_STMT>(position);
    put_records(stamp.before);
    NUMBERS<lt::NODE> head{};
    head[OPCODE] = ICON;
    head[TYPE_ID] = stamp.hole_type;
    NUMBERS<lt::NODE_ICON> leaf{};
    leaf[VALUE] = value;
    put_node<lt::NODE_ICON>(tree_in_block(), head, leaf,
                            value >= LEB_SIGN_FREE && stamp.hole_signed);
    put_records(stamp.after);
}

void IcodeFile::write_exception_table(const std::vector<EHT_ENTRY>& entries) {
    constexpr size_t COUNT = field_index(lt::EHT, "count");
    DIRECT_VALUE table[lt::EHT.fields.size()];
    table[COUNT].num = int64_t(entries.size());
    emit<REC_EHT>(table);
    constexpr size_t FIRST = field_index(lt::EHT_ENTRY, "first");
    constexpr size_t KIND = field_index(lt::EHT_ENTRY, "kind");
    constexpr size_t THIRD = field_index(lt::EHT_ENTRY, "third");
    constexpr size_t ENTRY_COUNT = field_index(lt::EHT_ENTRY, "count");
    constexpr size_t ITEMS = field_index(lt::EHT_CATCHES, "items");
    for (const EHT_ENTRY& e : entries) {
        DIRECT_VALUE v[lt::EHT_ENTRY.fields.size()];
        v[FIRST].num = e.first;
        v[KIND].num = e.kind;
        v[THIRD].num = e.third;
        v[ENTRY_COUNT].num = e.count;
        emit<REC_EHT_ENTRY>(v);
        if (e.kind == 1) {
            // The entry's tree travels as an expression statement without
            // position.
            write_expression_statement(e.tree, std::nullopt);
        } else if (e.kind == 2) {
            std::vector<CATCH_ITEM> items;
            for (const EHT_CATCH& c : e.items)
                items.push_back(CATCH_ITEM{c.text, c.number, uint8_t(c.flag ? 1 : 0)});
            std::string scratch;
            DIRECT_VALUE catches[lt::EHT_CATCHES.fields.size()];
            catches[ITEMS] = direct_list(items, scratch);
            emit<REC_EHT_CATCHES>(catches);
        }
    }
}

void IcodeFile::write_symbol(const SYMTAB* symbol) {
    int count = 0;
    for (const Pragma* p = symbol->first_pragma(); p; p = p->next.get()) ++count;
    using S = SYMBOL_FIELDS;
    DIRECT_VALUE v[lt::SYMBOL.fields.size()];
    const std::string& name = symbol->name();
    v[S::NAME].text = name;
    v[S::SIZE].num = symbol->size();
    v[S::VALUE].num = symbol->value();
    v[S::CLASS].num = symbol->storage_class();
    v[S::QUALS].num = symbol->qualifiers();
    v[S::TYPE].num = type_ref(symbol->type());
    v[S::TYPE2].num = type_ref(symbol->second_type());
    v[S::ALIGN].num = symbol->alignment();
    v[S::PRAGMAS].num = count;
    v[S::DEFOFF].num = symbol->definition_offset();
    v[S::OPT].num = symbol->opt();
    v[S::POS].pos = position_value(symbol->position());
    v[S::REF].num = symbol->reference_state();
    emit<REC_SYMBOL>(v);
    // The list holds the pragmas in reverse order of reading; they are
    // written in list order.
    for (const Pragma* p = symbol->first_pragma(); p; p = p->next.get()) write_pragma(*p);
}

void IcodeFile::freeze_global_symbol(SYMTAB* symbol) {
    const int index = symbol ? symbol->output_index() : -1;
    if (!writing_ || index < 0 || size_t(index) >= globals_.size() ||
        globals_[size_t(index)] != symbol)
        symbol_not_in_table(symbol ? symbol->name() : "");
    // Writing the records marks its types referenced, so that the type
    // section, written before the bytes, has them.
    std::string bytes;
    capture_ = &bytes;
    write_symbol(symbol);
    capture_ = nullptr;
    constexpr std::size_t CHUNK = 65536;
    if (frozen_chunks_.empty() ||
        frozen_chunks_.back().size() + bytes.size() > frozen_chunks_.back().capacity()) {
        frozen_chunks_.emplace_back().reserve(std::max(CHUNK, bytes.size()));
    }
    std::string& chunk = frozen_chunks_.back();
    frozen_.push_back({uint32_t(index), uint32_t(bytes.size()), uint32_t(frozen_chunks_.size() - 1),
                       uint32_t(chunk.size())});
    chunk += bytes;
    globals_[size_t(index)] = nullptr;
}

void IcodeFile::write_pragma(const Pragma& pragma) {
    constexpr size_t KIND = field_index(lt::PRAGMA, "kind");
    constexpr size_t ARGS = field_index(lt::PRAGMA, "args");
    DIRECT_VALUE v[lt::PRAGMA.fields.size()];
    v[KIND].num = pragma.kind;
    std::string scratch;
    v[ARGS] = direct_list(pragma.args, scratch);
    emit<REC_PRAGMA>(v);
}

void IcodeFile::write_initializer(SYMTAB* symbol) {
    if (!wrote_initializer_) {
        // The first initializer closes the function stream and opens the
        // initializer section; finishing the unit closes that section.
        write_end();
        offsets_[SEC_INIT] = uint32_t(tell());
        wrote_initializer_ = true;
    }
    symbol->set_definition_offset(uint32_t(tell()));
    constexpr size_t SYM = field_index(lt::INIT, "sym");
    DIRECT_VALUE v[lt::INIT.fields.size()];
    v[SYM].num = table_index(symbol);
    emit<REC_INIT>(v);
}

// ---- finishing ------------------------------------------------------------------------

void IcodeFile::finish_unit() {
    write_end();

    if (!string_lists_.empty()) {
        offsets_[SEC_STRINGS] = uint32_t(tell());
        constexpr size_t ID = field_index(lt::STRING_LIST, "id");
        constexpr size_t STRINGS = field_index(lt::STRING_LIST, "strings");
        for (const StringListEntry& e : string_lists_) {
            DIRECT_VALUE v[lt::STRING_LIST.fields.size()];
            v[ID].num = e.id;
            std::string scratch;
            v[STRINGS] = direct_list(e.strings, scratch);
            emit<REC_STRING_LIST>(v);
        }
        write_end();
    }

    // Types before file names: type records carry positions, whose file
    // names must be in the table when it is written.
    write_type_section();

    if (!files_.empty()) {
        offsets_[SEC_FILES] = uint32_t(tell());
        constexpr size_t NAME = field_index(lt::FILE_NAME, "name");
        for (const FILE_NAME& name : files_) {
            DIRECT_VALUE v[lt::FILE_NAME.fields.size()];
            v[NAME].text = name.str();
            emit<REC_FILE_NAME>(v);
        }
        write_end();
    }

    // Symbol positions name files interned when the symbols were
    // registered, so they add nothing to the table written above.
    offsets_[SEC_SYMBOLS] = uint32_t(tell());
    std::sort(frozen_.begin(), frozen_.end(),
              [](const FROZEN_SYMBOL& a, const FROZEN_SYMBOL& b) { return a.index < b.index; });
    auto frozen = frozen_.begin();
    for (std::size_t i = 0; i < globals_.size(); ++i) {
        if (globals_[i]) {
            write_symbol(globals_[i]);
            continue;
        }
        // Every null slot is a frozen symbol.
        put_block(frozen_chunks_[frozen->chunk].data() + frozen->offset, frozen->length);
        if (block_size_ >= WRITE_BUFFER_SIZE) flush_output();
        ++frozen;
    }
    write_end();

    // The offsets are fixed-width: the header keeps its length.
    flush_output();
    std::fseek(stream_, 0, SEEK_SET);
    write_header();
    flush_output();
    out_.bytes() = std::string();
    block_.reset();
    block_size_ = block_capacity_ = 0;
}

}  // namespace icode
