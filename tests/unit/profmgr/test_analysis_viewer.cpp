// The graph model that the profiler builds for its dumps: one node per
// block, titled with the block's name and labelled with the prefix, the
// name and the count; one edge per successor, red when it goes back to a
// block of the same or a lower number, labelled with the edge's weight.
// Printing it is not provided: one fixed line on standard error.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "icode/icode_file.h"
#include "icode/type_pkg.h"
#include "profmgr/cfg_viewer.h"
#include "profmgr/prof_client.h"
#include "profmgr/prof_mgr.h"
#include "test_diag_capture.h"
#include "text_form_helpers.h"

namespace {

using std::string;

// f loops (L2 jumps back to L0, which begins with the loop's label) and
// returns from L3; g is one block that is both the first and ends in a
// return, followed by a block that nothing reaches.
const char* const UNIT = R"(
header name="d.c"
func_begin pos=1:1:5 sym=0
symbol name="n" size=16 class=1 type=3 align=16
body_begin pos=-
label label=1
expr pos=1:1:21
  CBRANCH type=3
    GT type=3
      NAME type=3 level=1 index=0
      ICON type=3 value=0
    LABEL type=3 label=2
expr pos=1:1:35
  ASG type=3
    NAME type=3 level=1 index=0
    ICON type=3 value=1
expr pos=1:1:46
  BRANCH type=3
    LABEL type=3 label=1
label label=2
expr pos=1:1:59
  RETURN type=3
    NAME type=3 level=1 index=0
    NOP type=1
func_end pos=-
func_begin pos=1:2:6 sym=1
body_begin pos=-
expr pos=1:2:37
  URETURN type=1
    NOP type=1
expr pos=1:2:45
  ASG type=3
    NAME type=3 level=0 index=2
    ICON type=3 value=1
func_end pos=-
end
.types
type 1 void
type 3 int size=16 align=16
type 4 function ret=1
type 4 open list=0
type 4 close list=0
type 8 function ret=3
type 8 open list=0
type 8 param type=3 name="n"
type 8 close list=0
end
.files
file_name name="d.c"
end
.symbols
symbol name="f" class=4 type=8
symbol name="g" class=4 type=4
symbol name="x" size=16 class=4 type=3 align=16
end
)";

struct MODEL {
    std::vector<VCG_VIEWER::NODE_REC> nodes;
    std::vector<VCG_VIEWER::EDGE_REC> edges;
};

// Builds each function's graph, gives the blocks counts 10, 11, ... and the
// first edge of the first block the weight 4, and keeps the model.
class MODEL_TAKER : public PROFILE_ICODE_MGR {
public:
    void process_function() override {
        std::unique_ptr<PROFILE_GRAPH> graph = build_graph();
        int w = 10;
        for (BASIC_BLK* b = blocks(); b; b = b->next()) b->set_weight(w++);
        if (BASIC_BLK* first = blocks(); first && first->first_succ())
            first->set_succ_weight(first->first_succ(), 4);
        PP_CFG_VIEWER viewer(*this);
        models.push_back(MODEL{viewer.nodes(), viewer.edges()});
        viewer.print();
    }
    std::vector<MODEL> models;
};

class AnalysisViewer : public CAPTURED_TEST {
protected:
    std::vector<MODEL> read(const string& text) {
        string bytes = text_form_test::assemble_ok(text);
        std::FILE* f = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::rewind(f);
        MODEL_TAKER manager;
        PROF_CLIENT client(manager);
        icode::TYPE_PKG types;
        std::unique_ptr<icode::IcodeFile> unit = icode::IcodeFile::open_for_reading(f, &client);
        EXPECT_TRUE(unit);
        if (!unit) return {};
        unit->set_type_package(&types);
        manager.set_types(&types);
        unit->read_unit();
        unit->close();
        return manager.models;
    }
};

TEST_F(AnalysisViewer, NodesAndEdges) {
    std::vector<MODEL> models = read(UNIT);
    ASSERT_EQ(models.size(), 2u);
    const MODEL& f = models[0];
    ASSERT_EQ(f.nodes.size(), 4u);
    const char* const labels[] = {"Entry\nL010", "L111", "L212", "Exit\nL313"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(f.nodes[i].title, "L" + std::to_string(i));
        EXPECT_EQ(f.nodes[i].label, labels[i]);
        EXPECT_EQ(f.nodes[i].shape, "ellipse");
    }
    // Successors in block order: L0 jumps to L3 or falls into L1, L1 into
    // L2 (the lowered condition's branch), L2 back to L0.
    struct WANT {
        int source, target;
        const char* color;
        const char* label;
        bool back;
    };
    const WANT want[] = {{0, 3, "", "4", false},
                         {0, 1, "", "", false},
                         {1, 2, "", "", false},
                         {2, 0, "red", "", true}};
    ASSERT_EQ(f.edges.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(f.edges[i].source, want[i].source) << i;
        EXPECT_EQ(f.edges[i].target, want[i].target) << i;
        EXPECT_EQ(f.edges[i].color, want[i].color) << i;
        EXPECT_EQ(f.edges[i].label, want[i].label) << i;
        EXPECT_EQ(f.edges[i].back_edge, want[i].back) << i;
    }
}

TEST_F(AnalysisViewer, EntryWinsOverExit) {
    std::vector<MODEL> models = read(UNIT);
    ASSERT_EQ(models.size(), 2u);
    const MODEL& g = models[1];
    ASSERT_EQ(g.nodes.size(), 2u);
    // The first block ends in a return, yet it is labelled as the entry.
    EXPECT_EQ(g.nodes[0].label, "Entry\nL010");
    // The block after the return ends in no return: no prefix.
    EXPECT_EQ(g.nodes[1].label, "L111");
    EXPECT_TRUE(g.edges.empty());
}

TEST_F(AnalysisViewer, PrintSaysItIsNotImplemented) {
    read(UNIT);
    EXPECT_EQ(err(), "Sorry, not implemented\nSorry, not implemented\n");
    EXPECT_EQ(out(), "");
}

}  // namespace
