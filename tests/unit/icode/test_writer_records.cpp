// The writer record by record: the sections and their end records, long
// payloads, deep trees, and the fixed texts with which writing stops.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "icode/attributes.h"
#include "icode/encoding.h"
#include "icode/icode_file.h"
#include "icode/icode_writer_internal.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/text/text_values.h"
#include "icode/type_pkg.h"
#include "tests/unit/icode/test_writer_support.h"
#include "tests/unit/icode/test_writer_units.h"
#include "tools/common/tool_io.h"

namespace writer_test {
namespace {

using namespace icode;

TEST(WriterSections, InitializersCloseTheStreamWithASecondEndRecord) {
    std::string out = copy(assemble(STATEMENTS_UNIT));
    std::vector<FRAME> stream = records_at(out, header_end(out));
    ASSERT_FALSE(stream.empty());
    size_t stream_end = stream.back().end;
    EXPECT_EQ(uint8_t(out[stream_end]), REC_END);
    EXPECT_EQ(section_offset(out, "init"), stream_end + 1);

    // init g with two trees, init h with three, then the section's own end
    // record and the string lists right behind it.
    std::vector<FRAME> inits = records_at(out, stream_end + 1);
    ASSERT_EQ(inits.size(), 7u);
    EXPECT_EQ(inits[0].kind, REC_INIT);
    EXPECT_EQ(inits[3].kind, REC_INIT);
    size_t init_end = inits.back().end;
    EXPECT_EQ(uint8_t(out[init_end]), REC_END);
    EXPECT_EQ(section_offset(out, "strings"), init_end + 1);
}

TEST(WriterSections, WithoutInitializersOneEndRecordClosesTheStream) {
    std::string out = copy(assemble(TYPES_UNIT));
    size_t stream = header_end(out);
    EXPECT_TRUE(records_at(out, stream).empty());
    EXPECT_EQ(section_offset(out, "init"), 0u);
    EXPECT_EQ(section_offset(out, "strings"), 0u);
    // No string lists: the types follow the stream's end record.
    EXPECT_EQ(section_offset(out, "types"), stream + 1);
    // The type never named is not written.
    EXPECT_EQ(disassemble(out).find(" uchar "), std::string::npos);
}

TEST(WriterRecords, PayloadLongerThanTheWriteBufferIsWrittenWhole) {
    std::string bytes;
    for (int i = 0; i < 40000; ++i) bytes += char(i % 7 == 0 ? 0 : 'a' + i % 26);
    std::string text =
        "header version=-71 target=700 name=\"big.c\"\n"
        "func_begin pos=1:1:1 sym=0\n"
        "expr pos=1:2:1\n"
        "  SCON type=2 bytes=" +
        icode_text::quote(bytes) +
        "\n"
        "func_end pos=-\nend\n"
        ".types\ntype 1 void\ntype 2 char size=8 align=8\n"
        "type 3 function ret=1\ntype 3 open list=0\ntype 3 close list=0\nend\n"
        ".files\nfile_name name=\"big.c\"\nend\n"
        ".symbols\nsymbol name=\"f\" type=3\nend\n";
    std::string in = assemble(text);
    std::string out = copy(in);
    bool found = false;
    for (const FRAME& f : records_at(out, header_end(out)))
        if (f.kind == REC_NODE) {
            found = true;
            EXPECT_GT(f.end - f.offset, 40000u);
        }
    EXPECT_TRUE(found);
    EXPECT_EQ(content_of(in).text, content_of(out).text);
}

// A writer on a file of a scratch folder, with a function symbol in its
// global table.
struct WRITER_SETUP {
    WRITER_SETUP() {
        path = scratch.path("w.icode");
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        int_t = types.make_integral(IntegralKind::INT, false, 16, 16, false, false);
        TYPE* fn = types.complete(types.make_function(int_t, false, false, 0, false));
        SymbolRecord r;
        r.name = "f";
        r.type = fn;
        function = std::make_unique<SYMTAB>(std::move(r));
        writer = IcodeFile::create_writer(f, &types, "w.c");
        writer->register_global_symbol(function.get());
    }
    ~WRITER_SETUP() {
        if (writer) writer->close(true);
    }
    // Closes the unit and returns its bytes.
    std::string finish() {
        EXPECT_EQ(writer->close(), 0);
        writer.reset();
        std::string bytes;
        EXPECT_TRUE(icode_text::read_whole_file(path, bytes));
        return bytes;
    }

    SCRATCH scratch;
    std::string path;
    TYPE_PKG types;
    TYPE* int_t = nullptr;
    std::unique_ptr<SYMTAB> function;
    std::unique_ptr<IcodeFile> writer;
};

// Reads a unit and keeps the depth and node count of its one expression.
class TREE_SHAPE : public IcodeClient {
public:
    size_t nodes = 0;
    int64_t leaf = 0;
    SYMTAB* create_symbol(SymbolRecord record, int) override {
        symbols_.push_back(std::make_unique<SYMTAB>(std::move(record)));
        return symbols_.back().get();
    }
    void attach_initializer(SYMTAB* s, std::vector<NODE*> trees) override {
        s->set_initializers(std::move(trees));
    }
    void expression_statement(NODE* tree, OptPos) override {
        for (const NODE* n = tree; n; n = n->left()) {
            ++nodes;
            if (!n->left()) leaf = int64_t(n->value());
        }
        free_tree(tree);
    }

private:
    std::vector<std::unique_ptr<SYMTAB>> symbols_;
};

TEST(WriterStream, TreeOfAnyDepthIsWritten) {
    WRITER_SETUP w;
    const size_t depth = 200000;
    NODE* tree = make_node(ICON, w.int_t);
    tree->set_value(7);
    for (size_t i = 1; i < depth; ++i) {
        NODE* n = make_node(UMINUS, w.int_t);
        n->set_left(tree);
        tree = n;
    }
    TreePtr owned(tree);
    w.writer->write_function_begin(w.function.get(), SourcePos{"w.c", 1, 1});
    w.writer->write_expression_statement(tree, std::nullopt);
    w.writer->write_function_end(std::nullopt);
    std::string out = w.finish();

    std::vector<FRAME> frames = records_at(out, header_end(out));
    ASSERT_EQ(frames.size(), depth + 3);
    EXPECT_EQ(uint8_t(out[frames[2].offset + 2]), UMINUS);
    EXPECT_EQ(uint8_t(out[frames[depth + 1].offset + 2]), ICON);

    FILE* f = std::fopen(w.path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    TREE_SHAPE shape;
    TYPE_PKG types;
    auto in = IcodeFile::open_for_reading(f, &shape);
    ASSERT_TRUE(in);
    in->set_type_package(&types);
    in->read_unit();
    in->close();
    EXPECT_EQ(shape.nodes, depth);
    EXPECT_EQ(shape.leaf, 7);
}

TEST(WriterStream, FunctionBeginSetsTheDefinitionOffsetWhereItsRecordBegins) {
    WRITER_SETUP w;
    w.writer->write_text("before");
    long at = w.writer->tell();
    w.writer->write_function_begin(w.function.get(), std::nullopt);
    EXPECT_EQ(w.function->definition_offset(), uint32_t(at));
    w.writer->write_function_end(std::nullopt);
    std::string out = w.finish();
    std::vector<FRAME> frames = records_at(out, header_end(out));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].offset, size_t(at));
    EXPECT_EQ(content_of(out).definition_offsets, std::vector<uint32_t>{uint32_t(at)});
}

TEST(WriterStream, PositionWithoutFileNameIsWrittenAsNoFile) {
    WRITER_SETUP w;
    w.writer->write_function_begin(w.function.get(), SourcePos{"", 3, 4});
    w.writer->write_mark(SourcePos{"w.c", 5, 6});
    w.writer->write_function_end(SourcePos{"", 7, 8});
    std::string out = w.finish();
    std::vector<FRAME> files = records_at(out, section_offset(out, "files"));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_STREQ(out.data() + files[0].offset + 2, "NO_FILE");
    EXPECT_STREQ(out.data() + files[1].offset + 2, "w.c");
    std::string c = content_of(out).text;
    EXPECT_NE(c.find("func_begin f NO_FILE:3:4\nmark w.c:5:6\nfunc_end NO_FILE:7:8\n"),
              std::string::npos)
        << c;
}

TEST(WriterStream, NameOnASymbolInNoTableStops) {
    WRITER_SETUP w;
    SymbolRecord r;
    r.name = "lost";
    SYMTAB lost(std::move(r));
    TreePtr name(make_node(NAME, w.int_t));
    name->set_symbol(&lost);
    std::string text;
    EXPECT_EQ(stop_status([&] { w.writer->write_tree(name.get()); }, &text), 1);
    EXPECT_EQ(text, ">> Symbol lost is not in the symbol table\n");

    // Once registered, the same tree is written.
    w.writer->register_global_symbol(&lost);
    EXPECT_EQ(stop_status([&] { w.writer->write_tree(name.get()); }, &text), -1);
    EXPECT_EQ(text, "");
}

TEST(WriterStream, AFrozenSymbolIsWrittenInItsPlace) {
    // A unit whose middle global was frozen (and then freed) equals the
    // unit that kept it, down to the type only that symbol names.
    auto unit = [](bool freeze) {
        WRITER_SETUP w;
        auto make = [](const char* name, TYPE* type) {
            SymbolRecord r;
            r.name = name;
            r.type = type;
            r.storage_class = 3;
            return std::make_unique<SYMTAB>(std::move(r));
        };
        auto a = make("a", w.types.make_array(w.int_t, 3, 48, 16, false, false, false));
        a->add_pragma_front(std::make_unique<Pragma>(uint8_t(AttributeKind::DATA_SECTION),
                                                     std::vector<std::string>{".ppdata"}));
        auto b = make("b", w.int_t);
        w.writer->register_global_symbol(a.get());
        w.writer->register_global_symbol(b.get());
        if (freeze) {
            w.writer->freeze_global_symbol(a.get());
            a.reset();
            EXPECT_EQ(w.writer->global_symbols().at(1), nullptr);
        }
        return content_of(w.finish()).text;
    };
    const std::string kept = unit(false);
    EXPECT_NE(kept.find("global 1 symbol \"a\""), std::string::npos);
    EXPECT_NE(kept.find("kind=9 size=48"), std::string::npos) << "the array type";
    EXPECT_EQ(unit(true), kept);
}

TEST(WriterRecords, SixteenBitFieldsStopOutsideTheirRange) {
    // A symbol's qualifiers are its one 16-bit field; they sit after the
    // empty name and three one-byte fields.
    auto encode = [](int64_t quals, std::string* bytes, std::string* text) {
        RECORD r;
        r.start(REC_SYMBOL, ICODE_NEWEST_VERSION);
        r.value("quals")->num = quals;
        BYTE_SINK out;
        int status = stop_status([&] { encode_written_payload(r, out, CODEC_CONTEXT{}); }, text);
        *bytes = out.bytes();
        return status;
    };
    std::string bytes, text;
    EXPECT_EQ(encode(65535, &bytes, &text), -1);
    EXPECT_EQ(bytes.substr(4, 2), std::string("\xff\xff", 2));
    EXPECT_EQ(encode(-32768, &bytes, &text), -1);
    EXPECT_EQ(bytes.substr(4, 2), std::string("\x00\x80", 2));
    for (int64_t v : {65536LL, -32769LL}) {
        EXPECT_EQ(encode(v, &bytes, &text), 1) << v;
        EXPECT_EQ(text, ">> Value exceeds size of short\n");
    }
}

}  // namespace
}  // namespace writer_test
