// Read-then-write of whole units: what the reader hands out survives the
// writer apart from the changes writing makes on purpose, the written unit
// is readable by the text form, and definition offsets name their records.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "icode/record_kinds.h"
#include "tests/unit/icode/test_writer_support.h"
#include "tests/unit/icode/test_writer_units.h"
#include "tools/common/tool_io.h"

namespace writer_test {
namespace {

struct NAMED_UNIT {
    std::string name;
    std::string bytes;
    // Pragma lists come out reversed on every pass; a unit whose symbols
    // carry at most one pragma is written the same way every time.
    bool single_pragmas;
};

// True when some symbol of a content listing carries more than one pragma.
bool has_pragma_lists(const std::string& content) {
    const std::string line = "\n  pragma ";
    for (size_t p = content.find(line); p != std::string::npos; p = content.find(line, p + 1)) {
        size_t next = content.find('\n', p + 1);
        if (next != std::string::npos && content.compare(next, line.size(), line) == 0) return true;
    }
    return false;
}

std::vector<NAMED_UNIT> units() {
    std::vector<NAMED_UNIT> v = {{"types", assemble(TYPES_UNIT), true},
                                 {"statements", assemble(STATEMENTS_UNIT), false},
                                 {"old", assemble(OLD_UNIT), true}};
    std::vector<std::filesystem::path> examples;
    for (const auto& e : std::filesystem::directory_iterator(TRELV_SOURCE_DIR "/examples")) {
        std::string n = e.path().filename().string();
        if (n.size() > 10 && n.compare(n.size() - 10, 10, ".icode.txt") == 0)
            examples.push_back(e.path());
    }
    std::sort(examples.begin(), examples.end());
    EXPECT_FALSE(examples.empty()) << "no examples/*.icode.txt";
    for (const auto& p : examples) {
        std::string text;
        EXPECT_TRUE(icode_text::read_whole_file(p.string(), text)) << p;
        NAMED_UNIT u{p.filename().string(), assemble(text), true};
        u.single_pragmas = !has_pragma_lists(content_of(u.bytes).text);
        v.push_back(std::move(u));
    }
    return v;
}

TEST(WriterRoundTrip, ContentSurvivesApartFromTheListedChanges) {
    for (const NAMED_UNIT& u : units()) {
        SCOPED_TRACE(u.name);
        std::string out = copy(u.bytes);
        ASSERT_FALSE(out.empty());
        CONTENT before = content_of(u.bytes);
        CONTENT after = content_of(out, /*reverse_pragmas=*/true);
        EXPECT_EQ(after.version, -71);
        EXPECT_EQ(after.dropped, 0);
        EXPECT_EQ(before.text, after.text);
    }
}

TEST(WriterRoundTrip, TheListedChangesHappen) {
    // Version and dropped records.
    std::string old = assemble(OLD_UNIT);
    CONTENT before = content_of(old);
    EXPECT_EQ(before.version, -84);
    EXPECT_EQ(before.dropped, 11);
    EXPECT_EQ(content_of(copy(old)).dropped, 0);

    // Pragmas: a symbol read with A, B, C holds C, B, A and is written so.
    std::string stmts = assemble(STATEMENTS_UNIT);
    std::string out = copy(stmts);
    std::string in_text = content_of(stmts).text;
    std::string out_text = content_of(out).text;
    EXPECT_NE(in_text, out_text);
    EXPECT_NE(in_text.find("  pragma 52 \"a\" \"b\"\n  pragma 59 \"dead\"\n  pragma 23"),
              std::string::npos);
    EXPECT_NE(out_text.find("  pragma 23\n  pragma 59 \"dead\"\n  pragma 52 \"a\" \"b\""),
              std::string::npos);

    // Floating comparisons: the reader gives the floating opcode, which the
    // writer keeps, so the output has it in the file.
    EXPECT_NE(in_text.find("FLT"), std::string::npos);
    EXPECT_NE(in_text.find("FNEQN"), std::string::npos);
    std::string text = disassemble(out);
    EXPECT_NE(text.find("\n    FLT "), std::string::npos);
    EXPECT_NE(text.find("\n      FNEQN "), std::string::npos);
    EXPECT_EQ(text.find(" LT "), std::string::npos);

    // The file-name table: names in order of first use (the global symbols
    // are registered first), the unused one gone.
    std::vector<std::string> names;
    for (const FRAME& f : records_at(out, section_offset(out, "files"))) {
        EXPECT_EQ(f.kind, icode::REC_FILE_NAME);
        names.push_back(std::string(out.data() + f.offset + 2));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"stmts.c", "inc.h"}));
}

TEST(WriterRoundTrip, WritingAWrittenUnitRepeatsIt) {
    // The first pass gives the types the package's ids; from the second on
    // the ids are those of the file order, so the bytes repeat, except that
    // each pass reverses pragma lists of more than one pragma.
    for (const NAMED_UNIT& u : units()) {
        SCOPED_TRACE(u.name);
        std::string second = copy(copy(u.bytes));
        std::string third = copy(second);
        ASSERT_FALSE(second.empty());
        if (u.single_pragmas)
            EXPECT_EQ(third, second);
        else
            EXPECT_NE(third, second);
        EXPECT_EQ(copy(third), second);
    }
}

TEST(WriterRoundTrip, TextFormOfAWrittenUnitAssemblesToTheSameBytes) {
    for (const NAMED_UNIT& u : units()) {
        SCOPED_TRACE(u.name);
        std::string out = copy(u.bytes);
        std::string text = disassemble(out);
        // Every record decoded: the text holds no raw bytes.
        EXPECT_EQ(text.find("\nraw "), std::string::npos) << text;
        EXPECT_EQ(assemble(text), out);
    }
}

TEST(WriterRoundTrip, DefinitionOffsetsNameTheirRecords) {
    for (const NAMED_UNIT& u : units()) {
        SCOPED_TRACE(u.name);
        std::string out = copy(u.bytes);
        CONTENT c = content_of(out);
        int defined = 0;
        std::vector<FRAME> frames = records_at(out, header_end(out));
        uint32_t init = section_offset(out, "init");
        if (init != 0) {
            std::vector<FRAME> inits = records_at(out, init);
            frames.insert(frames.end(), inits.begin(), inits.end());
        }
        for (const FRAME& f : frames) {
            if (f.kind != icode::REC_FUNC_BEGIN && f.kind != icode::REC_INIT) continue;
            size_t sym = size_t(f.rec.num("sym"));
            ASSERT_LT(sym, c.definition_offsets.size());
            EXPECT_EQ(c.definition_offsets[sym], f.offset) << "symbol " << sym;
            ++defined;
        }
        if (u.name != "types") {
            EXPECT_GT(defined, 0);
        }
    }
}

}  // namespace
}  // namespace writer_test
