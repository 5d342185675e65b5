// The I-code writer: a unit read and written back (`icode copy`) hands out
// what the original did, a written unit written again is the same bytes, and
// the writer's own paths: trees of any depth, frozen symbols, positions
// without a file name and the fixed texts with which writing stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "icode/attributes.h"
#include "icode/icode_writer_internal.h"
#include "reader_support.h"
#include "rich_unit.h"
#include "test_scratch_dir.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/tool_io.h"

namespace {

using namespace reader_test;

// Reads a unit and writes it back as `icode copy` does.
std::string copy(const std::string& unit) {
    SCRATCH_DIR scratch;
    std::string in = scratch.file("in.icode"), out = scratch.file("out.icode");
    EXPECT_TRUE(icode_text::write_whole_file(in, unit));
    CLI::App icode;
    int status = 0;
    add_cmd_copy(icode, status);
    std::vector<std::string> args = {"icode", "copy", in, out};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    EXPECT_EQ(run_tool_command_line(icode, status, int(argv.size()), argv.data()), 0);
    std::string bytes;
    EXPECT_TRUE(icode_text::read_whole_file(out, bytes));
    return bytes;
}

// What the reader hands out for a unit, without the records it drops, and
// every field of every symbol with its type as printed.
Calls view(const std::string& unit) {
    READER_RUN run;
    run.read_bytes(unit);
    run.expect_clean();
    Calls v;
    for (const auto& c : run.client.calls)
        if (c.rfind("dropped", 0) != 0 && c.rfind("unit_header", 0) != 0) v.push_back(c);
    for (const auto& s : run.client.symbols) {
        v.push_back(s->name() + " " + std::to_string(s->size()) + " " + std::to_string(s->value()) +
                    " " + std::to_string(s->storage_class()) + " " +
                    std::to_string(s->qualifiers()) + " " + print_type(s->type()) + "/" +
                    print_type(s->second_type()) + " " + std::to_string(s->alignment()) + " " +
                    std::to_string(s->opt()) + " " + show_pos(s->position()) + " " +
                    std::to_string(s->reference_state()) + " " + std::to_string(s->pragma_count()));
    }
    return v;
}

std::vector<std::string> units() {
    std::vector<std::string> v = {text_form_test::assemble_ok(RICH_UNIT),
                                  text_form_test::assemble_ok(every_type_unit())};
    for (const auto& e : std::filesystem::directory_iterator(TRELV_SOURCE_DIR "/examples")) {
        std::string text, n = e.path().string();
        if (n.size() < 10 || n.compare(n.size() - 10, 10, ".icode.txt") != 0) continue;
        EXPECT_TRUE(icode_text::read_whole_file(n, text));
        v.push_back(text_form_test::assemble_ok(text));
    }
    EXPECT_GE(v.size(), 2u) << "no examples/*.icode.txt";
    return v;
}

TEST(Writer, ACopyHandsOutWhatTheOriginalDid) {
    for (const std::string& unit : units()) {
        std::string once = copy(unit);
        EXPECT_EQ(view(once), view(unit)) << text_form_test::dis_ok(once);
        // The first pass gives types the package's ids; from then on the
        // bytes repeat (the units' pragma lists hold one pragma each).
        std::string twice = copy(once);
        EXPECT_EQ(copy(twice), twice);
        // Every record of the copy decodes, and its text assembles back.
        std::string text = text_form_test::dis_ok(once);
        EXPECT_EQ(text.find("\nraw "), std::string::npos) << text;
        EXPECT_EQ(text_form_test::assemble_ok(text), once);
    }
    // The copy is of the newest version, without the dropped records and
    // the file name no position uses.
    std::string text = text_form_test::dis_ok(copy(text_form_test::assemble_ok(
        "header version=-84 target=700 name=\"o\"\ndrop64 a=1\nmark pos=2:1:1\nend\n"
        ".files\nfile_name name=\"unused.h\"\nfile_name name=\"o.c\"\nend\n")));
    EXPECT_NE(text.find("version=-71"), std::string::npos) << text;
    EXPECT_EQ(text.find("drop64"), std::string::npos) << text;
    EXPECT_EQ(text.find("unused.h"), std::string::npos) << text;
}

// A writer on a scratch file with a function symbol in its global table.
struct WRITER_SETUP {
    WRITER_SETUP() {
        int_t = types.make_integral(IntegralKind::INT, false, 16, 16, false, false);
        function = make("f", types.complete(types.make_function(int_t, false, false, 0, false)));
        writer = IcodeFile::create_writer(std::fopen(path.c_str(), "wb"), &types, "w.c");
        writer->register_global_symbol(function.get());
    }
    ~WRITER_SETUP() {
        if (writer) writer->close(true);
    }
    static std::unique_ptr<SYMTAB> make(const char* name, TYPE* type) {
        SymbolRecord r;
        r.name = name;
        r.type = type;
        r.storage_class = 3;
        return std::make_unique<SYMTAB>(std::move(r));
    }
    std::string finish() {
        EXPECT_EQ(writer->close(), 0);
        writer.reset();
        std::string bytes;
        EXPECT_TRUE(icode_text::read_whole_file(path, bytes));
        return bytes;
    }
    // Runs f with the process ending turned into an exception; the status
    // (-1 when f returned) and what it printed.
    static std::pair<int, std::string> stopped(const std::function<void()>& f) {
        set_exit_hook(throwing_exit);
        testing::internal::CaptureStdout();
        int status = -1;
        try {
            f();
        } catch (const READER_EXIT& e) {
            status = e.status;
        }
        std::fflush(stdout);
        std::string out = testing::internal::GetCapturedStdout();
        reset_exit_hook();
        return {status, out};
    }

    SCRATCH_DIR scratch;
    std::string path = scratch.file("w.icode");
    TYPE_PKG types;
    TYPE* int_t = nullptr;
    std::unique_ptr<SYMTAB> function;
    std::unique_ptr<IcodeFile> writer;
};

TEST(Writer, TreesOfAnyDepthAndPositionsWithoutAFileName) {
    WRITER_SETUP w;
    // Deep enough that the tree's records (four bytes each) fill the write
    // block, which then goes to the stream in the middle of the tree.
    const int depth = 300000;
    NODE* tree = make_node(ICON, w.int_t);
    tree->set_value(7);
    for (int i = 1; i < depth; ++i) {
        NODE* n = make_node(UMINUS, w.int_t);
        n->set_left(tree);
        tree = n;
    }
    TreePtr owned(tree);
    w.writer->write_function_begin(w.function.get(), SourcePos{"", 3, 4});
    w.writer->write_expression_statement(tree, SourcePos{"w.c", 5, 6});
    w.writer->write_function_end(std::nullopt);
    READER_RUN run;
    run.read_bytes(w.finish());
    run.expect_clean();
    EXPECT_EQ(run.client.calls_of("function_begin"), Calls{"function_begin f NO_FILE:3:4"});
    ASSERT_EQ(run.client.trees.size(), 1u);
    const NODE* n = run.client.trees[0].get();
    int seen = 1;
    for (; n->left(); n = n->left()) ++seen;
    EXPECT_EQ(seen, depth);
    EXPECT_EQ(n->value(), 7u);
}

TEST(Writer, IntegerConstantsFollowTheSignOfTheirType) {
    // Around the values whose signed and unsigned forms part: one byte with
    // bit 6 clear is the same either way, beyond that they differ.
    WRITER_SETUP w;
    TYPE* uint_t = w.types.make_integral(IntegralKind::UINT, false, 16, 16, false, false);
    const uint32_t values[] = {0,          1,          63,        64,         127,
                               128,        8191,       8192,      0x7fffffff, 0x80000000,
                               0xffffffc0, 0xffffffbf, 0xffffffff};
    std::vector<TreePtr> written;
    w.writer->write_function_begin(w.function.get(), std::nullopt);
    for (TYPE* type : {w.int_t, uint_t})
        for (uint32_t v : values) {
            written.emplace_back(make_node(ICON, type));
            written.back()->set_value(v);
            w.writer->write_expression_statement(written.back().get(), std::nullopt);
        }
    w.writer->write_function_end(std::nullopt);
    READER_RUN run;
    run.read_bytes(w.finish());
    run.expect_clean();
    ASSERT_EQ(run.client.trees.size(), written.size());
    for (size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(run.client.trees[i]->value_low(), written[i]->value_low()) << i;
}

TEST(Writer, AStampedTreeWritesTheBytesOfTheTreeItStandsFor) {
    // The hole between records before and after it, stamped with a value
    // of two bytes; then written with values of each length and sign.
    for (bool is_signed : {true, false}) {
        WRITER_SETUP plain, stamped;
        auto type_of = [&](WRITER_SETUP& w) {
            return is_signed
                       ? w.int_t
                       : w.types.make_integral(IntegralKind::UINT, false, 16, 16, false, false);
        };
        TYPE* const stamped_t = type_of(stamped);
        TYPE* const plain_t = type_of(plain);
        auto tree_of = [&](WRITER_SETUP& w, uint32_t value, NODE** hole) {
            TYPE* t = &w == &stamped ? stamped_t : plain_t;
            NODE* constant = make_node(ICON, t);
            constant->set_value(value);
            NODE* negated = make_node(UMINUS, t);
            negated->set_left(constant);
            NODE* one = make_node(ICON, t);
            one->set_value(1);
            NODE* root = make_node(PLUSPLUS, t);
            root->set_left(negated);
            root->set_right(one);
            if (hole) *hole = constant;
            return TreePtr(root);
        };
        const SourcePos at{"w.c", 5, 6};
        NODE* hole = nullptr;
        TreePtr model = tree_of(stamped, 1000, &hole);
        stamped.writer->write_function_begin(stamped.function.get(), std::nullopt);
        const TREE_STAMP stamp = stamped.writer->stamp_tree(model.get(), hole);
        plain.writer->write_function_begin(plain.function.get(), std::nullopt);
        for (uint32_t v : {0u, 63u, 64u, 8191u, 8192u, 0x80000000u, 0xffffffffu}) {
            stamped.writer->write_stamped_statement(stamp, v, at);
            plain.writer->write_expression_statement(tree_of(plain, v, nullptr).get(), at);
        }
        stamped.writer->write_function_end(std::nullopt);
        plain.writer->write_function_end(std::nullopt);
        EXPECT_EQ(stamped.finish(), plain.finish()) << is_signed;
    }
}

TEST(Writer, RecordsWhoseTextsDecideTheirLength) {
    // Symbol and string constant records around the payload length that
    // needs a second length byte, one that needs three, and one longer than
    // the block's room, which is built on the side.
    WRITER_SETUP w;
    std::vector<size_t> lengths;
    for (size_t n = 100; n <= 130; ++n) lengths.push_back(n);
    lengths.push_back(20000);
    lengths.push_back(3000000);
    std::vector<std::unique_ptr<SYMTAB>> symbols;
    std::vector<TreePtr> strings;
    w.writer->write_function_begin(w.function.get(), std::nullopt);
    for (size_t n : lengths) {
        const std::string text(n, char('a' + n % 26));
        symbols.push_back(WRITER_SETUP::make(text.c_str(), w.int_t));
        w.writer->register_global_symbol(symbols.back().get());
        strings.emplace_back(make_node(SCON, w.int_t));
        strings.back()->set_bytes(text.data(), n);
        w.writer->write_expression_statement(strings.back().get(), std::nullopt);
    }
    w.writer->write_function_end(std::nullopt);
    READER_RUN run;
    run.read_bytes(w.finish());
    run.expect_clean();
    ASSERT_EQ(run.client.symbols.size(), 1 + symbols.size());  // and the function
    ASSERT_EQ(run.client.trees.size(), strings.size());
    for (size_t i = 0; i < symbols.size(); ++i) {
        EXPECT_EQ(run.client.symbols[1 + i]->name(), symbols[i]->name()) << lengths[i];
        ASSERT_NE(run.client.trees[i]->text_string(), nullptr);
        EXPECT_EQ(*run.client.trees[i]->text_string(), *strings[i]->text_string()) << lengths[i];
    }
}

TEST(Writer, AFrozenSymbolIsWrittenInItsPlace) {
    // A unit whose globals were frozen (and then freed) equals the unit that
    // kept them, down to the type only a frozen symbol names.
    auto unit = [](bool freeze) {
        WRITER_SETUP w;
        auto a =
            WRITER_SETUP::make("a", w.types.make_array(w.int_t, 3, 48, 16, false, false, false));
        a->add_pragma_front(std::make_unique<Pragma>(uint8_t(AttributeKind::DATA_SECTION),
                                                     std::vector<std::string>{".ppdata"}));
        auto b = WRITER_SETUP::make("b", w.int_t);
        auto c = WRITER_SETUP::make("c", w.int_t);
        for (SYMTAB* s : {a.get(), b.get(), c.get()}) w.writer->register_global_symbol(s);
        if (freeze) {
            w.writer->freeze_global_symbol(c.get());
            w.writer->freeze_global_symbol(a.get());
            a.reset();
            c.reset();
        }
        return view(w.finish());
    };
    const Calls kept = unit(false);
    EXPECT_NE(std::find(kept.begin(), kept.end(), "a 0 0 3 0 int [3]/ 0 0 - 0 1"), kept.end());
    EXPECT_EQ(unit(true), kept);
}

TEST(Writer, WritingStopsOnWhatCannotBeWritten) {
    WRITER_SETUP w;
    auto lost = WRITER_SETUP::make("lost", w.int_t);
    TreePtr name(make_node(NAME, w.int_t));
    name->set_symbol(lost.get());
    auto write = [&] { w.writer->write_tree(name.get()); };
    EXPECT_EQ(WRITER_SETUP::stopped(write),
              std::make_pair(1, std::string(">> Symbol lost is not in the symbol table\n")));
    w.writer->register_global_symbol(lost.get());
    EXPECT_EQ(WRITER_SETUP::stopped(write), std::make_pair(-1, std::string()));
    // A 16-bit field outside both the signed and the unsigned range.
    for (int64_t quals : {65536LL, -32769LL}) {
        RECORD r;
        r.start(REC_SYMBOL, ICODE_NEWEST_VERSION);
        r.value("quals")->num = quals;
        BYTE_SINK out;
        EXPECT_EQ(WRITER_SETUP::stopped([&] { encode_written_payload(r, out, CODEC_CONTEXT{}); }),
                  std::make_pair(1, std::string(">> Value exceeds size of short\n")));
    }
}

}  // namespace
