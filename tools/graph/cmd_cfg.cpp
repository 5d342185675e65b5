// icode cfg UNIT: the blocks and counter numbering of every function, as
// the profiler computes them, without instrumenting anything.
//
//   function f: 4 blocks, 5 edges, 3 counters
//   L0 -> L1 L2
//     | x = 1
//     | ( x < 3 ) goto g2
//   ...
//   edge L0->L1 tree
//   edge L0->L2 chord 1
//   edge L3->L0 exit tree
//
// Statements are shown in their infix form; new labels are numbered as the
// output unit would number them.  Edges are listed in the order the graph
// holds them, which is the order that numbering follows.
//
// icode cfg UNIT --dot [--profile FILE]... draws the same graphs as a
// Graphviz picture instead, with counts from profile data
// (tools/graph/cfg_dot.h).  --function NAME shows only that function.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "icode/icode_file.h"
#include "icode/infix.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "profiling/BGL_cfg.h"
#include "profmgr/prof_client.h"
#include "profmgr/prof_mgr.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/unit_open.h"
#include "tools/graph/cfg_dot.h"

namespace {

using namespace icode;

class CFG_PRINTER : public PROFILE_ICODE_MGR {
public:
    explicit CFG_PRINTER(std::string only) : only_(std::move(only)) {}
    bool found_function() const { return found_; }

    void process_function() override {
        if (!only_.empty() && only_ != function_name()) {
            renumber_new_labels();
            return;
        }
        found_ = true;
        std::unique_ptr<PROFILE_GRAPH> graph = build_graph();
        graph->number_chords();
        renumber_new_labels();
        const CFG_GRAPH& g = graph->graph();
        std::printf("function %s: %zu blocks, %zu edges, %d counters\n", function_name(),
                    graph->vertex_count(), boost::num_edges(g),
                    graph->next_index() + extra_counter_count());
        for (BASIC_BLK* b = blocks(); b; b = b->next()) {
            std::printf("%s ->", b->name().c_str());
            for (BASIC_BLK* s = b->first_succ(); s; s = b->next_succ())
                std::printf(" %s", s->name().c_str());
            std::printf("\n");
            for (STMT_ENTRY* e = b->first(); e; e = e->next) {
                if (e->kind == REC_LABEL || e->kind == REC_EXPR_STMT)
                    std::printf("  | %s\n", infix_text(e->tree));
                if (e == b->last()) break;
            }
        }
        std::unordered_set<const EDGE_INFO*> exits;
        for (const auto& [ordinal, rec] : graph->recorded_edges()) exits.insert(rec.info);
        for (auto [it, end] = boost::edges(g); it != end; ++it) {
            const EDGE_INFO& info = g[*it];
            std::printf("edge %s->%s %s", g[boost::source(*it, g)].name().c_str(),
                        g[boost::target(*it, g)].name().c_str(), exits.count(&info) ? "exit " : "");
            if (info.index == -1)
                std::printf("tree\n");
            else
                std::printf("chord %d\n", info.index);
        }
    }

private:
    std::string only_;
    bool found_ = false;
};

struct CFG_OPTIONS {
    std::string unit;
    bool dot = false;
    std::vector<std::string> profiles;
    std::string function;
};

int show_cfg(const CFG_OPTIONS& options) {
    const char* name = options.unit.c_str();
    const std::vector<std::string>& profiles = options.profiles;
    bool dot = options.dot;
    FILE* f = std::fopen(name, "rb");
    if (!f) {
        std::fprintf(stderr, "%s: %s\n", name, std::strerror(errno));
        return 1;
    }
    if (dot) {
        // A data file that cannot be read is refused before any output,
        // rather than by the reader's fatal error at the first function.
        for (const std::string& p : profiles) {
            FILE* data = std::fopen(p.c_str(), "r");
            if (!data) {
                std::fprintf(stderr, "%s: %s\n", p.c_str(), std::strerror(errno));
                std::fclose(f);
                return 1;
            }
            std::fclose(data);
        }
        std::string error;
        bool ok = write_unit_dot(f, DOT_OPTIONS{profiles, options.function}, std::cout, &error);
        std::cout.flush();
        if (!ok) std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        return ok ? 0 : 1;
    }
    CFG_PRINTER manager(options.function);
    PROF_CLIENT client(manager);
    TYPE_PKG types;
    std::string error;
    std::unique_ptr<IcodeFile> unit = icode_text::open_unit(f, client, types, &error);
    if (!unit) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        return 1;
    }
    manager.set_types(&types);
    manager.set_unit_name(unit->unit_name());
    unit->read_unit();
    unit->close();
    if (!options.function.empty() && !manager.found_function()) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: no function %s\n", name, options.function.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

void add_cmd_cfg(CLI::App& icode, int& status) {
    auto options = std::make_shared<CFG_OPTIONS>();
    CLI::App* sub = icode.add_subcommand(
        "cfg", "blocks, successors and counter numbering per function, or a picture of them");
    sub->add_option("UNIT", options->unit, "the unit")->required();
    CLI::Option* dot = sub->add_flag("--dot", options->dot, "draw the graphs in the dot language");
    sub->add_option("--profile", options->profiles, "profile data giving the picture counts")
        ->type_name("FILE")
        ->needs(dot)
        ->allow_extra_args(false);
    sub->add_option("--function", options->function, "only the function NAME")->type_name("NAME");
    sub->callback([options, &status] { status = show_cfg(*options); });
}
