// Statement text: position lines, labels, pragma dumps, and the node lines
// of the tree dump.
#include <gtest/gtest.h>

#include <string>

#include "icode/attributes.h"
#include "icode/record_kinds.h"
#include "icode/source_pos.h"
#include "icode/stmt_dump.h"
#include "test_tree_builder.h"

using namespace icode;

namespace {

class StmtDump : public testing::Test, protected test_trees::TREE_BUILDER {
protected:
    void SetUp() override { reset_statement_text_buffer(); }
    std::string text(RECORD_KIND kind, NODE* tree, const SourcePos* position = nullptr) {
        TreePtr owner(tree);
        STMT_VIEW view;
        view.kind = kind;
        view.tree = tree;
        view.position = position;
        return statement_text(view);
    }
    // A node line: its name padded to 16, "sz:" and the size padded to 4,
    // the type, three tabs, then the rest.
    static std::string line(std::string op, std::string size, const std::string& type,
                            const std::string& rest) {
        op.resize(16, ' ');
        size.resize(4, ' ');
        return op + "sz:" + size + " <" + type + ">\t\t\t" + rest + "\n";
    }
    NODE* with(NODE* n, uint64_t value, const char* text = nullptr) {
        n->set_value(value);
        if (text) n->set_text(text);
        return n;
    }
};

std::unique_ptr<Pragma> pragma(AttributeKind kind, std::vector<std::string> args = {}) {
    return std::make_unique<Pragma>(static_cast<uint8_t>(kind), std::move(args));
}

TEST_F(StmtDump, PositionsLabelsAndPragmas) {
    SourcePos at{"demo.c", 13, 5}, nameless{"", 1, 2};
    EXPECT_EQ(text(REC_MARK, nullptr, &at), "\t[demo.c,13,5]\n");
    EXPECT_EQ(text(REC_TEXT_AT, nullptr, &nameless), "\t[NO_FILE,1,2]\n");
    EXPECT_EQ(text(REC_MARK, nullptr), "");
    // New labels are negative until written; the number prints unsigned.
    EXPECT_EQ(text(REC_LABEL, with(make_node(OP_LABEL_DEF, nullptr), 12)), "LABEL 12");
    EXPECT_EQ(text(REC_LABEL, with(make_node(OP_LABEL_DEF, nullptr), uint64_t(-1))),
              "LABEL 18446744073709551615");
    EXPECT_EQ(pragma_dump(*pragma(AttributeKind::CALLS, {"f", "g"}), ""),
              "***     PRAGMA [] #25 (2 parm): CALLS    ARGS:[0]f  [1]g  \n");
    EXPECT_EQ(pragma_dump(*pragma(AttributeKind::FUNC_ESPEC, {"1", "0", "int"}), "f"),
              "***     PRAGMA [f] #75 (3 parm): FUNC_ESPEC    ARGS:[0]Restricted  [1]Non-checked  "
              "[2]int  \n");
}

TEST_F(StmtDump, TreeDumpIsPreOrderAfterThePosition) {
    SYMTAB* total = symbol("total", long_t(), 2, 1);
    SourcePos at{"demo.c", 28, 9};
    NODE* tree = node(ASG, long_t(), name_of(total),
                      node(PLUS, long_t(), name_of(total), node(SCONV, long_t(), name("n"))));
    EXPECT_EQ(text(REC_EXPR_STMT, tree, &at),
              "\t[demo.c,28,9]\n" + line("ASG", "32", "long ", "") +
                  line("NAME", "32", "long ", "[2,1] total") + line("PLUS", "32", "long ", "") +
                  line("NAME", "32", "long ", "[2,1] total") + line("SCONV", "32", "long ", "") +
                  line("NAME", "16", "int ", "[0,0] n"));
}

TEST_F(StmtDump, NodeLinesOfLeafData) {
    NODE* scon = make_node(SCON, ptr(char_t()));
    scon->set_bytes("a\0\t\n\"b", 6);
    TYPE* point =
        pkg.make_csu(CSU_STRUCT, "point", false, false, 32, 16, true, 0, false, false, {});
    FieldMember x, y;
    x.name = "x";
    y.name = "y";
    point->csu_part().fields = {x, y};
    point = pkg.complete(point);
    NODE* field = make_node(FIELD, int_t());
    field->set_field_ref(0, 2, point);
    NODE* vreg = make_node(VREG, int_t());
    vreg->set_value_int_signed(-2);
    NODE* epval = node(EPVAL, icon(1));
    NODE* weighted = node(EPVAL, icon(1));
    weighted->set_weight(42);
    NODE* dd = node(DDNODE, icon(0));
    dd->set_value((uint64_t{7} << 32) | 3);
    dd->set_switch_number(5);
    NODE* call = node(CALL, icon(1));
    call->set_value_and_call_number(2, 3);
    NODE* ucall = node(UCALL);
    ucall->set_call_number(1);
    const std::string one = line("ICON", "16", "int ", "1");
    const std::pair<NODE*, std::string> cases[] = {
        {icon(-1), line("ICON", "16", "int ", "-1")},
        {icon(65535, uint_t()), line("ICON", "16", "unsigned ", "65535")},
        {with(make_node(SKIP, int_t()), 9), line("SKIP", "16", "int ", "9")},
        {make_node(NAME, int_t()), line("NAME", "16", "int ", "[-1,-1] ")},
        {with(make_node(LCON, long_t()), 0, "12345678901"),
         line("LCON", "32", "long ", "'12345678901'")},
        {with(make_node(ICALL, int_t()), 0, "_mem2"), line("ICALL", "16", "int ", "'_mem2'")},
        {scon, line("SCON", "16", "char *", "'a\\0\\t\\n\"b'")},
        {field, line("FIELD", "16", "int ", "y")},
        {vreg, line("VREG", "16", "int ", "VR-2")},
        {epval, line("EPVAL", "16", "int ", "4294967295") + one},
        {weighted, line("EPVAL", "16", "int ", "42") + one},
        {dd, line("DDNODE", "16", "int ", "ID=3, LOCALE=7, FLAGS=0x05") +
                 line("ICON", "16", "int ", "0")},
        {call, line("CALL", "16", "int ", "2 extra args EHT: [3]") + one},
        {ucall, line("UCALL", "16", "int ", "EHT: [1]")},
        {make_node(ENDINIT, nullptr), line("ENDINIT", "0", "", "")},
        {make_node(170, int_t()), line("?NODE?", "16", "int ", "")},
    };
    for (const auto& [tree, expected] : cases) EXPECT_EQ(text(REC_EXPR_STMT, tree), expected);
}

}  // namespace
