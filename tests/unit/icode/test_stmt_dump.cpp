// Statement text: position lines, label, symbol and pragma dumps, and the
// node lines of the tree dump, opcode by opcode.
#include <gtest/gtest.h>

#include <string>

#include "icode/attributes.h"
#include "icode/record_kinds.h"
#include "icode/source_pos.h"
#include "icode/stmt_dump.h"
#include "test_tree_builder.h"

using namespace icode;
using test_trees::TREE_BUILDER;

namespace {

class StmtDumpTest : public testing::Test, protected TREE_BUILDER {
protected:
    void SetUp() override { reset_statement_text_buffer(); }

    std::string tree_text(NODE* root, const SourcePos* position = nullptr) {
        TreePtr owner(root);
        STMT_VIEW view;
        view.kind = REC_EXPR_STMT;
        view.tree = root;
        view.position = position;
        return statement_text(view);
    }
    // The node line of a single node: its name padded to 16, "sz:" and the
    // size padded to 4, the type, three tabs, then the rest.
    static std::string line(std::string op, std::string size, const std::string& type,
                            const std::string& rest) {
        op.resize(16, ' ');
        size.resize(4, ' ');
        return op + "sz:" + size + " <" + type + ">\t\t\t" + rest;
    }
    std::string label_text(int64_t number) {
        TreePtr definition(make_node(OP_LABEL_DEF, nullptr));
        definition->set_value(static_cast<uint64_t>(number));
        STMT_VIEW view;
        view.kind = REC_LABEL;
        view.tree = definition.get();
        return statement_text(view);
    }
};

std::unique_ptr<Pragma> pragma(AttributeKind kind, std::vector<std::string> args = {}) {
    return std::make_unique<Pragma>(static_cast<uint8_t>(kind), std::move(args));
}

}  // namespace

TEST_F(StmtDumpTest, PositionLineAndEmptyStatements) {
    SourcePos at{"demo.c", 13, 5};
    STMT_VIEW mark;
    mark.kind = REC_MARK;
    mark.position = &at;
    EXPECT_EQ(statement_text(mark), "\t[demo.c,13,5]\n");
    SourcePos nameless{"", 1, 2};
    mark.position = &nameless;
    EXPECT_EQ(statement_text(mark), "\t[NO_FILE,1,2]\n");
    mark.position = nullptr;
    EXPECT_EQ(statement_text(mark), "");
    // Text and exception-table statements show only their position.
    STMT_VIEW text;
    text.kind = REC_TEXT_AT;
    text.position = &at;
    EXPECT_EQ(statement_text(text), "\t[demo.c,13,5]\n");
}

TEST_F(StmtDumpTest, LabelNumbersPrintUnsigned) {
    EXPECT_EQ(label_text(12), "LABEL 12");
    // New labels are negative until they are written.
    EXPECT_EQ(label_text(-1), "LABEL 18446744073709551615");
    EXPECT_EQ(label_text(-7), "LABEL 18446744073709551609");
}

TEST_F(StmtDumpTest, PragmaDump) {
    EXPECT_EQ(pragma_dump(*pragma(AttributeKind::DATA_SECTION, {".ppdata"}), "__prof_arr_f_0"),
              "***     PRAGMA [__prof_arr_f_0] #02 (1 parm): DATA_SECTION    ARGS:[0].ppdata  \n");
    EXPECT_EQ(pragma_dump(*pragma(AttributeKind::SYM_IS_REFERENCED), "x"),
              "***     PRAGMA [x] #52 (0 parm): SYM_IS_REFERENCED\n");
    EXPECT_EQ(pragma_dump(*pragma(AttributeKind::CALLS, {"f", "g"}), ""),
              "***     PRAGMA [] #25 (2 parm): CALLS    ARGS:[0]f  [1]g  \n");
    EXPECT_EQ(pragma_dump(Pragma(200, {}), ""), "***     PRAGMA [] #200 (0 parm): unknown\n");
    EXPECT_EQ(pragma_dump(Pragma(69, {"grp"}), "f"),
              "***     PRAGMA [f] #69 (1 parm): COMDAT GROUP    ARGS:[0]grp  \n");
}

TEST_F(StmtDumpTest, FuncEspecArgumentsAreDecoded) {
    EXPECT_EQ(pragma_dump(*pragma(AttributeKind::FUNC_ESPEC, {"1", "0", "int", "char *"}), "f"),
              "***     PRAGMA [f] #75 (4 parm): FUNC_ESPEC    ARGS:[0]Restricted  [1]Non-checked  "
              "[2]int  [3]char *  \n");
    EXPECT_EQ(
        pragma_dump(*pragma(AttributeKind::FUNC_ESPEC, {"0", "1"}), "g"),
        "***     PRAGMA [g] #75 (2 parm): FUNC_ESPEC    ARGS:[0]Non-restricted  [1]Checked  \n");
    EXPECT_EQ(pragma_dump(*pragma(AttributeKind::FUNC_ESPEC, {"yes"}), "h"),
              "***     PRAGMA [h] #75 (1 parm): FUNC_ESPEC    ARGS:[0]Non-restricted  \n");
}

TEST_F(StmtDumpTest, FreeStandingPragmaStatement) {
    auto p = pragma(AttributeKind::UNROLL, {"4"});
    STMT_VIEW view;
    view.kind = REC_PRAGMA;
    view.pragma = p.get();
    EXPECT_EQ(statement_text(view), "***     PRAGMA [] #37 (1 parm): UNROLL    ARGS:[0]4  \n");
}

TEST_F(StmtDumpTest, SymbolDump) {
    SymbolRecord record;
    record.name = "count";
    record.size = 16;
    record.storage_class = 4;
    record.qualifiers = 0x1f;
    record.type = int_t();
    record.alignment = 16;
    record.definition_offset = 0x4a;
    record.opt = 3;
    record.position = SourcePos{"demo.c", 4, 5};
    SYMTAB count(std::move(record));
    const std::string head = ">count" + std::string(15, ' ') +
                             " sz:16    val:0     cl:4  cq:1f al:16  ty:<int > opt:3 @4a  ";
    EXPECT_EQ(symbol_dump(count), head + "\t[demo.c,4,5]\n");

    // Attributes follow in list order, each naming the symbol.
    count.add_pragma_front(pragma(AttributeKind::DATA_SECTION, {".bss"}));
    count.add_pragma_front(pragma(AttributeKind::SYM_IS_REFERENCED));
    STMT_VIEW view;
    view.kind = REC_SYMBOL;
    view.symbol = &count;
    EXPECT_EQ(statement_text(view),
              head +
                  "\t[demo.c,4,5]\n"
                  "***     PRAGMA [count] #52 (0 parm): SYM_IS_REFERENCED\n"
                  "***     PRAGMA [count] #02 (1 parm): DATA_SECTION    ARGS:[0].bss  \n");
}

TEST_F(StmtDumpTest, SymbolDumpWithoutPositionAndLongName) {
    SymbolRecord record;
    record.name = "a_rather_long_symbol_name";
    record.size = 0xFFFFFFFF;
    record.value = 7;
    record.type = ptr(char_t());
    SYMTAB symbol(std::move(record));
    EXPECT_EQ(
        symbol_dump(symbol),
        ">a_rather_long_symbol_name sz:-1    val:7     cl:0  cq:0  al:0   ty:<char *> opt:0 @0  "
        "\t[no psn]\n");
}

TEST_F(StmtDumpTest, TreeDumpIsPreOrderAfterThePosition) {
    SYMTAB* total = symbol("total", long_t(), 2, 1);
    SourcePos at{"demo.c", 28, 9};
    NODE* tree = node(ASG, long_t(), name_of(total),
                      node(PLUS, long_t(), name_of(total), node(SCONV, long_t(), name("n"))));
    EXPECT_EQ(tree_text(tree, &at),
              "\t[demo.c,28,9]\n" + std::string("ASG             sz:32   <long >\t\t\t\n") +
                  line("NAME", "32", "long ", "[2,1] total\n") + line("PLUS", "32", "long ", "\n") +
                  line("NAME", "32", "long ", "[2,1] total\n") +
                  line("SCONV", "32", "long ", "\n") + line("NAME", "16", "int ", "[0,0] n\n"));
}

TEST_F(StmtDumpTest, NodeLinesOfLeaves) {
    EXPECT_EQ(tree_text(icon(5)), "ICON            sz:16   <int >\t\t\t5\n");
    EXPECT_EQ(tree_text(icon(-1)), line("ICON", "16", "int ", "-1\n"));
    EXPECT_EQ(tree_text(icon(65535, uint_t())), line("ICON", "16", "unsigned ", "65535\n"));
    EXPECT_EQ(tree_text(label(3)), line("LABEL", "16", "int ", "3\n"));
    NODE* skip = make_node(SKIP, int_t());
    skip->set_value(9);
    EXPECT_EQ(tree_text(skip), line("SKIP", "16", "int ", "9\n"));
    EXPECT_EQ(tree_text(make_node(NAME, int_t())), line("NAME", "16", "int ", "[-1,-1] \n"));

    NODE* fcon = make_node(FCON, pkg.floating_type(FloatingKind::DOUBLE));
    fcon->set_text("1.5");
    EXPECT_EQ(tree_text(fcon), line("FCON", "32", "double ", "'1.5'\n"));
    NODE* lcon = make_node(LCON, long_t());
    lcon->set_text("123456789012");
    EXPECT_EQ(tree_text(lcon), line("LCON", "32", "long ", "'123456789012'\n"));
    NODE* routine = make_node(ICALL, int_t());
    routine->set_text("_mem2");
    EXPECT_EQ(tree_text(routine), line("ICALL", "16", "int ", "'_mem2'\n"));
    NODE* vreg = make_node(VREG, int_t());
    vreg->set_value_int_signed(-2);
    EXPECT_EQ(tree_text(vreg), line("VREG", "16", "int ", "VR-2\n"));
}

TEST_F(StmtDumpTest, NodeLinesOfStringConstants) {
    NODE* scon = make_node(SCON, ptr(char_t()));
    const std::string bytes("a\0\t\n\v\r\"b", 8);
    scon->set_bytes(bytes.data(), bytes.size());
    EXPECT_EQ(tree_text(scon), line("SCON", "16", "char *", "'a\\0\\t\\n\\v\\r\"b'\n"));
    NODE* empty = make_node(SCON, ptr(char_t()));
    empty->set_bytes("", 0);
    EXPECT_EQ(tree_text(empty), line("SCON", "16", "char *", "''\n"));
}

TEST_F(StmtDumpTest, NodeLinesOfFieldsAndProfileValues) {
    TYPE* point = pkg.make_csu(CSU_STRUCT, "point", false, false, 32, 16, true, 0, false, false,
                               std::nullopt);
    FieldMember x, y;
    x.name = "x";
    y.name = "y";
    point->csu_part().fields = {x, y};
    point = pkg.complete(point);
    NODE* field = make_node(FIELD, int_t());
    field->set_field_ref(0, 2, point);
    EXPECT_EQ(tree_text(field), line("FIELD", "16", "int ", "y\n"));
    NODE* missing = make_node(FIELD, int_t());
    missing->set_field_ref(0, 9, point);
    EXPECT_EQ(tree_text(missing), line("FIELD", "16", "int ", "\n"));

    NODE* epval = node(EPVAL, name("x"));
    epval->set_weight(42);
    EXPECT_EQ(tree_text(epval),
              line("EPVAL", "16", "int ", "42\n") + line("NAME", "16", "int ", "[0,0] x\n"));
    NODE* unset = node(EPVAL, icon(1));
    EXPECT_EQ(tree_text(unset),
              line("EPVAL", "16", "int ", "4294967295\n") + line("ICON", "16", "int ", "1\n"));

    NODE* dd = node(DDNODE, icon(0));
    dd->set_value((uint64_t{7} << 32) | 3);
    dd->set_switch_number(5);
    EXPECT_EQ(tree_text(dd), line("DDNODE", "16", "int ", "ID=3, LOCALE=7, FLAGS=0x05\n") +
                                 line("ICON", "16", "int ", "0\n"));
}

TEST_F(StmtDumpTest, NodeLinesOfCalls) {
    NODE* call = node(CALL, name("f"));
    call->set_value_and_call_number(2, 3);
    EXPECT_EQ(tree_text(call), line("CALL", "16", "int ", "2 extra args EHT: [3]\n") +
                                   line("NAME", "16", "int ", "[0,0] f\n"));
    NODE* plain = node(CALL, name("f"));
    EXPECT_EQ(tree_text(plain),
              line("CALL", "16", "int ", "\n") + line("NAME", "16", "int ", "[0,0] f\n"));
    NODE* extra_only = node(CALL);
    extra_only->set_value_and_call_number(1, 0);
    EXPECT_EQ(tree_text(extra_only), line("CALL", "16", "int ", "1 extra args \n"));
    NODE* ucall = node(UCALL);
    ucall->set_call_number(1);
    EXPECT_EQ(tree_text(ucall), line("UCALL", "16", "int ", "EHT: [1]\n"));
}

TEST_F(StmtDumpTest, NodeLinesOfOtherOpcodes) {
    EXPECT_EQ(tree_text(make_node(ENDINIT, nullptr)), line("ENDINIT", "0", "", "\n"));
    EXPECT_EQ(tree_text(make_node(170, int_t())), line("?NODE?", "16", "int ", "\n"));
    EXPECT_EQ(tree_text(node(UMULT, int_t(), name("p", ptr(int_t())))),
              line("UMULT", "16", "int ", "\n") + line("NAME", "16", "int *", "[0,0] p\n"));
}

TEST_F(StmtDumpTest, DeepTreesDumpWithoutRecursion) {
    NODE* chain = name("x");
    for (int i = 0; i < 100000; ++i) chain = node(UMINUS, chain);
    std::string dump = tree_text(chain);
    EXPECT_EQ(dump.substr(dump.size() - line("NAME", "16", "int ", "[0,0] x\n").size()),
              line("NAME", "16", "int ", "[0,0] x\n"));
}
