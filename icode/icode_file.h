// IcodeFile: one open I-code unit, read or written.
//
// In reading mode it checks the header, reads the string-list table at
// once, and on read_unit() reads the file-name, type, symbol and initializer
// sections and then the function stream, handing every record to its
// IcodeClient.  It only decodes; it never interprets statements.
//
// In writing mode it writes the header with zero offsets at creation, then
// whatever records the profile manager hands it, and on close the closing
// sections and the header again with the real offsets.
//
// Damaged input ends the process through the fixed texts of the format
// (see icode_errors.h); nothing here returns a half-read unit.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "icode/encoding.h"
#include "icode/icode_client.h"
#include "icode/record_codec.h"
#include "icode/record_direct.h"
#include "icode/record_direct_write.h"
#include "icode/symtab.h"
#include "icode/tree_stamp.h"

namespace icode {

class ICODE_INPUT;
class NODE;
class TYPE;
class TYPE_PKG;

// The sections the header points to, in header order.
enum SECTION { SEC_STRINGS = 0, SEC_INIT = 1, SEC_TYPES = 2, SEC_FILES = 3, SEC_SYMBOLS = 4 };

// The target identifier read from the last unit opened; the writer writes it
// back.  Reset to the accepted target for tests.
int icode_target();
void reset_icode_target();

class IcodeFile {
public:
    ~IcodeFile();
    IcodeFile(const IcodeFile&) = delete;
    IcodeFile& operator=(const IcodeFile&) = delete;

    // ---- reading -----------------------------------------------------------

    // Checks the header and reads the string-list table; null when the
    // stream does not hold an acceptable unit or the client refuses it.
    static std::unique_ptr<IcodeFile> open_for_reading(FILE* stream, IcodeClient* client);
    // Types resolve to nothing until a package is set.
    void set_type_package(TYPE_PKG* package) { types_ = package; }
    // Reads the sections and the whole function stream.
    void read_unit();
    // Reads one top-level record of the function stream and hands it to the
    // client; returns its kind, REC_END at the end.
    int read_next_record();

    // ---- writing -----------------------------------------------------------

    static std::unique_ptr<IcodeFile> create_writer(FILE* stream, TYPE_PKG* package,
                                                    const std::string& unit_name);
    void add_string_list(const StringListEntry& entry) { string_lists_.push_back(entry); }

    void write_function_begin(SYMTAB* symbol, const OptPos& position);
    void write_function_end(const OptPos& position);
    void write_block_begin(const OptPos& position);
    void write_block_end(const OptPos& position);
    void write_body_begin(const OptPos& position);
    void write_mark(const OptPos& position);
    void write_text_at(const std::string& text, const OptPos& position);
    void write_text(const std::string& text);
    void write_label(uint32_t number);
    void write_expression_statement(const NODE* tree, const OptPos& position);
    // The same, with each node that carries a weight (other than a weight
    // node, whose weight is its own) written inside a weight node (EPVAL)
    // of `weight_type` that carries it: the form in which the unit holds
    // the weights.
    void write_weighted_statement(const NODE* tree, const OptPos& position, TYPE* weight_type);
    void write_exception_table(const std::vector<EHT_ENTRY>& entries);
    void write_symbol(const SYMTAB* symbol);
    void write_pragma(const Pragma& pragma);
    void write_tree(const NODE* root);
    // A client that makes labels for new code may give them negative
    // values until it writes them: while set, a label node of value v < 0
    // is written as label `base - v` (so -1 becomes base + 1).
    void number_new_labels_from(std::optional<int64_t> base) { new_label_base_ = base; }
    // The number a label of value `value` is written with.
    uint32_t written_label(int64_t value) const {
        return value < 0 && new_label_base_ ? uint32_t(*new_label_base_ - value) : uint32_t(value);
    }

    // Writes the expression statement BRANCH(LABEL `label`) whose nodes
    // are of `type`, as write_expression_statement writes that tree; with
    // a weight type, as write_weighted_statement writes it when the label
    // node carries `weight`.  The jumps a client adds are many and all of
    // this shape: they are written without a tree.
    void write_jump_statement(int64_t label, int weight, TYPE* type, const OptPos& position,
                              TYPE* weight_type);
    // Encodes `tree`, whose integer constant `hole` (a node of it) is left
    // open, as write_tree would write it, with the same effects on the
    // unit (the types it names are marked for the type section).
    TREE_STAMP stamp_tree(const NODE* tree, const NODE* hole);
    // Writes an expression statement whose tree is the stamp's with `value`
    // in the hole: the same bytes write_expression_statement gives for
    // that tree.
    void write_stamped_statement(const TREE_STAMP& stamp, uint32_t value, const OptPos& position);
    // Writes the initializer record of a global symbol; the caller then
    // writes each tree of its initializer list.
    void write_initializer(SYMTAB* symbol);

    // ---- both modes --------------------------------------------------------

    // Finishes a unit being written (unless aborting) and closes the
    // stream.  Returns 1 when flushing, the stream's error indicator or
    // closing reports a failure, else 0.
    int close(bool aborting = false);

    void register_global_symbol(SYMTAB* symbol);
    void register_local_symbol(SYMTAB* symbol);
    // Writing mode: a registered global symbol that will not change any
    // more (nor be named by a record still to be written) has its
    // symbol-section records made now and kept as bytes; its table slot
    // becomes null, and its owner may free it.  A unit that adds a symbol
    // per function (the counters arrays) then holds a few bytes for each
    // until it is closed, not the objects.
    void freeze_global_symbol(SYMTAB* symbol);
    // In writing mode an equal name already present gives its index;
    // otherwise the name is appended.  Indexes start at 1.  An empty name
    // (a position whose file the unit read did not name) is "NO_FILE".
    uint32_t intern_file_name(FILE_NAME name);
    // Name for a 1-based index; null for 0 or an index beyond the table.
    const std::string* file_name(uint32_t index) const;

    const std::string& unit_name() const { return unit_name_; }
    int version() const { return version_; }
    uint32_t section_offset(SECTION s) const { return offsets_[s]; }
    uint32_t reserved() const { return reserved_; }
    int depth() const { return depth_; }
    bool writing() const { return writing_; }
    const std::vector<StringListEntry>& string_lists() const { return string_lists_; }
    // Frozen symbols (writing mode) leave null slots.
    const std::vector<SYMTAB*>& global_symbols() const { return globals_; }
    const std::vector<SYMTAB*>& local_symbols() const { return locals_; }
    std::vector<std::string> file_names() const { return {files_.begin(), files_.end()}; }
    // Current offset relative to the unit base.
    long tell() const;

private:
    // Out of line, where the reading-mode members are complete types.
    IcodeFile();

    // Reading helpers.
    bool read_header();
    void read_section(SECTION s);
    // Reads the payload of a record whose header was just read into rec_.
    void read_payload(uint8_t kind, uint32_t length);
    // Reads the fields of part P of a record whose header was just read;
    // false when they run past the file or do not decode.  Texts are views
    // of the input that hold until the next read.
    template <const LAYOUT_PART& P>
    bool read_direct(uint32_t length, DIRECT_VALUE* values);
    template <const LAYOUT_PART& P>
    OptPos read_position_record(RECORD_KIND kind, uint32_t length);
    void handle_record(RECORD_KIND kind, uint32_t length);
    // Sets the depth (and, entering a function, empties the local table) as
    // a record of this layout does, read or written.
    void follow_depth(const RECORD_LAYOUT& layout) {
        if (layout.depth == DEPTH_EFFECT::ENTER_FUNCTION) locals_.clear();
        depth_ = depth_after(layout.depth, depth_);
    }
    OptPos make_position(const POS_VALUE& p) const;
    TYPE* resolve_type(int64_t id);
    // resolve_type() for the type of a node, with the common case inline.
    TYPE* node_type(int64_t id);
    SYMTAB* lookup_symbol(int64_t level, int64_t index) const;
    void read_symbol(uint32_t length);
    std::unique_ptr<Pragma> read_pragma(uint32_t length);
    void read_type_record();
    void read_initializer(int64_t sym);
    void read_exception_table(uint32_t count);
    NODE* read_tree();
    NODE* read_tree_from(uint32_t length);
    NODE* read_operands(NODE* root, BYTE_SOURCE& at_hand);
    NODE* read_node(uint32_t length);
    // A node record, header and payload.  `at_hand` are the bytes at hand
    // from the input's position on (ICODE_INPUT::bytes_at_hand()); both
    // move past the record.
    NODE* read_node_record(BYTE_SOURCE& at_hand);
    // Decodes the payload of a node record into node_fields_.
    void decode_node_fields(BYTE_SOURCE& in);
    // The node node_fields_ describe, with its leaf data.
    NODE* build_node();
    bool is_signed_id(uint32_t id) const;

    // Writing helpers (icode_writer*.cpp).  A record is built in wrec_
    // between begin_record() and end_record(), which encodes it through its
    // layout and writes it to the stream at once.
    RECORD& begin_record(uint8_t kind, int64_t selector = 0);
    void end_record();
    // The direct way: a record of kind KIND from values laid out as its
    // head in the layout table lists its fields (a node: head and tail).
    // Defined in icode_writer_internal.h.
    template <uint8_t KIND>
    void emit(const DIRECT_VALUE* values);
    template <const LAYOUT_PART& HEAD, const LAYOUT_PART& TAIL>
    void emit_node(const DIRECT_VALUE* values);
    template <uint8_t KIND>
    void write_position_record(const OptPos& position);
    void emit_node_any(const NUMBERS<layout_table::NODE>& head);
    // The forms of write_tree's walk: plain; weighted (see
    // write_weighted_statement); and stamped, which notes where the stamp's
    // hole begins (see stamp_tree).  One walk, compiled for each, so that
    // the plain one tests nothing for the others.
    enum class TREE_FORM { PLAIN, WEIGHTED, STAMPED };
    template <TREE_FORM FORM>
    void write_tree_nodes(const NODE* root, TYPE* weight_type);
    // A weight node's record, of a type already resolved and referenced.
    void put_weight_node(bool in_block, const TYPE* type, int weight);
    // A label node's record, of the head given, for a label of `value`.
    void put_label_node(bool in_block, const NUMBERS<layout_table::NODE>& head, int64_t value);
    // Records of numbers only, built in place without DIRECT_VALUEs: a
    // record of kind KIND, and a node record with the leaf data LEAF
    // (value_signed for a value that follows the node's type; in_block
    // when tree_in_block() held at the start of the tree).
    template <uint8_t KIND>
    void put_record(const NUMBERS<HEAD_OF<KIND>>& values);
    template <const LAYOUT_PART& LEAF>
    void put_node(bool in_block, const NUMBERS<layout_table::NODE>& head, const NUMBERS<LEAF>& leaf,
                  bool value_signed = false);
    bool tree_in_block() const;
    // A node whose leaf data is one text (string or counted bytes).
    template <const LAYOUT_PART& LEAF>
    void put_text_node(const NUMBERS<layout_table::NODE>& head, std::string_view text);
    void write_text_node(const NODE* node, const NUMBERS<layout_table::NODE>& head);
    // Starts a record in the write buffer: its kind and room for a length.
    size_t open_record(uint8_t kind);
    // Puts the payload's length in front of it and sends the record on (to
    // the capture, or to the buffer that goes to the stream).
    void close_record(size_t start, uint8_t kind);
    // Sends a finished record on: to the capture, or to the block that goes
    // to the stream.
    void send_record(const char* record, size_t length, uint8_t kind);
    // Appends bytes to the block, making room when it is full.
    void put_block(const char* bytes, size_t length);
    void grow_block(size_t length);
    // Appends a record of kind KIND built whole: kind, room for a one-byte
    // length, the fields up to `end`; `fits` false when a value did not fit
    // its field.
    template <uint8_t KIND>
    void append_record(uint8_t* record, const uint8_t* end, bool fits);
    template <uint8_t KIND>
    void follow_depth_of();
    // A record whose texts decide its length, built in place at the end of
    // the block: where, when it goes there and the block has room for a
    // payload of `payload_most` bytes (else null); then its length put in
    // front of the payload that ends at `end`, and the record counted in.
    uint8_t* text_record_room(size_t payload_most);
    void append_text_record(uint8_t* record, const uint8_t* end);
    // Where a record of at most `most` bytes is built: at the end of the
    // block when it goes there and fits, else in `stacked`.
    uint8_t* record_room(uint8_t* stacked, size_t most);
    // Hands the write buffer to the stream.
    void flush_output();
    void write_end();
    POS_VALUE position_value(const SourcePos* position);
    uint32_t type_ref(TYPE* type);
    uint32_t table_index(const SYMTAB* symbol) const;
    void write_type_section();
    void write_type(TYPE* type);
    void write_type_record(TYPE* type);
    void write_list(TYPE* owner, int list);
    void write_member(TYPE* owner, int list, size_t i);
    void finish_unit();
    void write_header();

    class TYPE_SIGNS;
    friend class TYPE_SIGNS;

    std::string unit_name_;
    FILE* stream_ = nullptr;
    long base_ = 0;
    bool writing_ = false;
    IcodeClient* client_ = nullptr;
    int version_ = -71;
    uint32_t offsets_[5] = {0, 0, 0, 0, 0};
    std::vector<StringListEntry> string_lists_;
    TYPE_PKG* types_ = nullptr;
    struct TYPE_SLOT {
        TYPE* type = nullptr;
        int lists_left = 0;
    };
    std::map<uint32_t, TYPE_SLOT> type_map_;
    // The defined types again by id, for the ids small enough to index a
    // vector: resolve_type runs for every node read, the map stays for the
    // rest (and for what this does not hold: null types, larger ids).
    std::vector<TYPE*> type_by_id_;
    static constexpr uint32_t TYPE_INDEX_LIMIT = uint32_t(1) << 20;
    std::vector<FILE_NAME> files_;
    uint32_t reserved_ = 0;
    int depth_ = 0;
    std::vector<SYMTAB*> locals_;
    std::vector<SYMTAB*> globals_;

    // Reading state.
    std::unique_ptr<ICODE_INPUT> in_;
    int section_ = -1;     // the section being read, -1 for the function stream
    long header_end_ = 0;  // where the function stream starts
    RECORD rec_;
    std::string payload_;
    // read_tree_from()'s nodes still waiting for operands, kept from tree to
    // tree.
    struct OPEN_NODE {
        NODE* node;
        int needed;
        int read;
    };
    std::vector<OPEN_NODE> read_stack_;
    // read_node()'s fields of the node record being read, head and leaf
    // together, kept from node to node.
    DIRECT_VALUE node_fields_[layout_table::NODE.fields.size() + NODE_MAX_LEAF_FIELDS];
    std::unique_ptr<TYPE_SIGNS> signs_;

    // Writing state: the records not yet handed to the stream, which go in
    // large blocks (`block_`, its first `block_size_` bytes used), a record
    // too long to be built on the stack (built in `out_` before it joins the
    // block), and the generic record being built.
    std::unique_ptr<char[]> block_;
    size_t block_size_ = 0;
    size_t block_capacity_ = 0;
    BYTE_SINK out_;
    long written_ = 0;  // bytes handed to the stream so far
    RECORD wrec_;
    // When set, finished records go here instead of to the stream.
    std::string* capture_ = nullptr;
    // write_tree()'s stack of subtrees to write, kept from tree to tree.
    std::vector<const NODE*> write_stack_;
    std::optional<int64_t> new_label_base_;
    // While stamp_tree captures a tree: its hole, and where in the capture
    // the hole's record starts.
    const NODE* stamp_hole_ = nullptr;
    size_t stamp_hole_at_ = 0;
    // Appends bytes made elsewhere as whole records (which change no depth).
    void put_records(const std::string& bytes);
    // How many operand trees follow a node of each opcode (0 for the leaf
    // opcodes): the operator table's counts, looked up once per writer.
    std::array<uint8_t, NODE_OPCODES> operands_read_{};
    // The file name of the last position written and its index: nearly
    // every position names the file of the one before it.
    FILE_NAME last_file_;
    uint32_t last_file_index_ = 0;
    // The records of the frozen global symbols, one after the other in
    // chunks of fixed capacity (a chunk is never moved, so it holds no
    // spare room beyond its last one), and where each symbol's records are.
    struct FROZEN_SYMBOL {
        uint32_t index = 0;  // in the global table
        uint32_t length = 0;
        uint32_t chunk = 0;
        uint32_t offset = 0;
    };
    std::vector<std::string> frozen_chunks_;
    std::deque<FROZEN_SYMBOL> frozen_;
    bool wrote_initializer_ = false;
    // Classes whose main record is written and whose member lists are not.
    std::vector<TYPE*> pending_lists_;
    // The stream's buffer in writing mode.  A stream still open when this
    // object goes away keeps using it, so it is then left to the stream.
    struct STREAM_BUFFER {
        std::unique_ptr<char[]> bytes;
        FILE* const* stream = nullptr;
        ~STREAM_BUFFER() {
            if (stream && *stream) (void)bytes.release();
        }
    };
    STREAM_BUFFER stream_buffer_;
};

}  // namespace icode
