// Writing mode of IcodeFile: creation, record framing, the function-stream
// records, initializers and the sections written when the unit is finished.
//
// Every payload is built as a RECORD and encoded through its layout, the
// same description the reader decodes with.  The payload goes to the write
// buffer and the record leaves for the stream as soon as it ends, so a unit
// is written in one pass, function by function, whatever its size.
#include <algorithm>
#include <cstdio>
#include <new>

#include "icode/icode_errors.h"
#include "icode/icode_file.h"
#include "icode/icode_writer_internal.h"
#include "icode/node.h"
#include "icode/type_pkg.h"
#include "icode/types.h"

namespace icode {

namespace {

// Both the stream's buffer and the initial size of the write buffer.
constexpr size_t WRITE_BUFFER_SIZE = 32768;

const char* const SECTION_FIELDS[5] = {"strings", "init", "types", "files", "symbols"};

void set_num(RECORD& r, const char* name, int64_t v) {
    if (FIELD_VALUE* f = r.value(name)) f->num = v;
}

void set_text(RECORD& r, const char* name, const std::string& text) {
    if (FIELD_VALUE* f = r.value(name)) f->text = text;
}

void set_pos(RECORD& r, POS_VALUE p) {
    if (FIELD_VALUE* f = r.value("pos")) f->pos = p;
}

}  // namespace

bool PACKAGE_SIGNS::is_signed(uint32_t type_id) const {
    // The package numbers its types 1, 2, 3, ... in creation order.
    if (!package_ || type_id == 0 || type_id > package_->type_count()) return false;
    const TYPE* t = package_->types()[type_id - 1].get();
    return t->id() == type_id && icode::is_signed(t);
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
    f->stream_buffer_.bytes.reset(new char[WRITE_BUFFER_SIZE]);
    f->stream_buffer_.stream = &f->stream_;
    std::setvbuf(stream, f->stream_buffer_.bytes.get(), _IOFBF, WRITE_BUFFER_SIZE);
    f->base_ = 0;
    f->version_ = ICODE_NEWEST_VERSION;
    f->types_ = package;
    f->unit_name_ = unit_name;
    f->out_.bytes().reserve(WRITE_BUFFER_SIZE);
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
    // The payload is built behind room for the kind and the longest length
    // (five bytes of ULEB), which then go right in front of it, so that the
    // record leaves in one write without moving the payload.
    constexpr size_t ROOM = 6;
    std::string& bytes = out_.bytes();
    bytes.assign(ROOM, '\0');
    PACKAGE_SIGNS signs(types_);
    encode_written_payload(wrec_, out_, CODEC_CONTEXT{version_, &signs});
    BYTE_SINK head;
    head.put_u8(wrec_.kind);
    head.put_uleb(uint32_t(bytes.size() - ROOM));
    const size_t start = ROOM - head.size();
    bytes.replace(start, head.size(), head.bytes());
    if (capture_) {
        capture_->append(bytes, start, std::string::npos);
    } else {
        std::fwrite(bytes.data() + start, 1, bytes.size() - start, stream_);
        written_ += long(bytes.size() - start);
    }
    out_.clear();
    follow_depth(*wrec_.layout);
}

void IcodeFile::write_end() {
    std::fputc(REC_END, stream_);
    ++written_;
}

POS_VALUE IcodeFile::position_value(const SourcePos* position) {
    if (!position) return POS_VALUE{};
    uint32_t file = intern_file_name(position->file);
    return POS_VALUE{file, position->line, position->column};
}

uint32_t IcodeFile::type_ref(TYPE* type) {
    if (!type) return 0;
    TYPE* t = type->resolved();
    t->set_referenced(true);
    return t->id();
}

uint32_t IcodeFile::table_index(const SYMTAB* symbol) const {
    // Local symbols are not registered with the writer: a function is
    // written with the locals it was read with, at the same positions.
    const int index = !symbol                       ? -1
                      : symbol->output_index() >= 0 ? symbol->output_index()
                                                    : symbol->index();
    if (index < 0) symbol_not_in_table(symbol ? symbol->name() : "");
    return uint32_t(index);
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
    RECORD& r = begin_record(REC_FUNC_BEGIN);
    set_pos(r, position_value(position ? &*position : nullptr));
    set_num(r, "sym", table_index(symbol));
    end_record();
}

void IcodeFile::write_function_end(const OptPos& position) {
    set_pos(begin_record(REC_FUNC_END), position_value(position ? &*position : nullptr));
    end_record();
}

void IcodeFile::write_block_begin(const OptPos& position) {
    set_pos(begin_record(REC_BLOCK_BEGIN), position_value(position ? &*position : nullptr));
    end_record();
}

void IcodeFile::write_block_end(const OptPos& position) {
    set_pos(begin_record(REC_BLOCK_END), position_value(position ? &*position : nullptr));
    end_record();
}

void IcodeFile::write_body_begin(const OptPos& position) {
    set_pos(begin_record(REC_BODY_BEGIN), position_value(position ? &*position : nullptr));
    end_record();
}

void IcodeFile::write_mark(const OptPos& position) {
    set_pos(begin_record(REC_MARK), position_value(position ? &*position : nullptr));
    end_record();
}

void IcodeFile::write_text_at(const std::string& text, const OptPos& position) {
    RECORD& r = begin_record(REC_TEXT_AT);
    set_text(r, "text", text);
    set_pos(r, position_value(position ? &*position : nullptr));
    end_record();
}

void IcodeFile::write_text(const std::string& text) {
    set_text(begin_record(REC_TEXT), "text", text);
    end_record();
}

void IcodeFile::write_label(uint32_t number) {
    set_num(begin_record(REC_LABEL), "label", number);
    end_record();
}

void IcodeFile::write_expression_statement(const NODE* tree, const OptPos& position) {
    set_pos(begin_record(REC_EXPR_STMT), position_value(position ? &*position : nullptr));
    end_record();
    if (tree) write_tree(tree);
}

void IcodeFile::write_exception_table(const std::vector<EHT_ENTRY>& entries) {
    set_num(begin_record(REC_EHT), "count", int64_t(entries.size()));
    end_record();
    for (const EHT_ENTRY& e : entries) {
        RECORD& r = begin_record(REC_EHT_ENTRY);
        set_num(r, "first", e.first);
        set_num(r, "kind", e.kind);
        set_num(r, "third", e.third);
        set_num(r, "count", e.count);
        end_record();
        if (e.kind == 1) {
            // The entry's tree travels as an expression statement without
            // position.
            begin_record(REC_EXPR_STMT);
            end_record();
            if (e.tree) write_tree(e.tree);
        } else if (e.kind == 2) {
            FIELD_VALUE* items = begin_record(REC_EHT_CATCHES).value("items");
            for (const EHT_CATCH& c : e.items)
                items->catches.push_back(CATCH_ITEM{c.text, c.number, uint8_t(c.flag ? 1 : 0)});
            end_record();
        }
    }
}

void IcodeFile::write_symbol(const SYMTAB* symbol) {
    int count = 0;
    for (const Pragma* p = symbol->first_pragma(); p; p = p->next.get()) ++count;
    RECORD& r = begin_record(REC_SYMBOL);
    set_text(r, "name", symbol->name());
    set_num(r, "size", symbol->size());
    set_num(r, "value", symbol->value());
    set_num(r, "class", symbol->storage_class());
    set_num(r, "quals", symbol->qualifiers());
    set_num(r, "type", type_ref(symbol->type()));
    set_num(r, "type2", type_ref(symbol->second_type()));
    set_num(r, "align", symbol->alignment());
    set_num(r, "pragmas", count);
    set_num(r, "defoff", symbol->definition_offset());
    set_num(r, "opt", symbol->opt());
    set_pos(r, position_value(symbol->position()));
    set_num(r, "ref", symbol->reference_state());
    end_record();
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
    RECORD& r = begin_record(REC_PRAGMA);
    set_num(r, "kind", pragma.kind);
    r.value("args")->strings = pragma.args;
    end_record();
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
    set_num(begin_record(REC_INIT), "sym", table_index(symbol));
    end_record();
}

// ---- finishing ------------------------------------------------------------------------

void IcodeFile::finish_unit() {
    write_end();

    if (!string_lists_.empty()) {
        offsets_[SEC_STRINGS] = uint32_t(tell());
        for (const StringListEntry& e : string_lists_) {
            RECORD& r = begin_record(REC_STRING_LIST);
            set_num(r, "id", e.id);
            r.value("strings")->strings = e.strings;
            end_record();
        }
        write_end();
    }

    // Types before file names: type records carry positions, whose file
    // names must be in the table when it is written.
    write_type_section();

    if (!files_.empty()) {
        offsets_[SEC_FILES] = uint32_t(tell());
        for (const FILE_NAME& name : files_) {
            set_text(begin_record(REC_FILE_NAME), "name", name);
            end_record();
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
        std::fwrite(frozen_chunks_[frozen->chunk].data() + frozen->offset, 1, frozen->length,
                    stream_);
        written_ += long(frozen->length);
        ++frozen;
    }
    write_end();

    // The offsets are fixed-width: the header keeps its length.
    std::fseek(stream_, 0, SEEK_SET);
    write_header();
    out_.bytes() = std::string();
}

}  // namespace icode
