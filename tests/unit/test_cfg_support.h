// Test support for the block, graph, numbering and propagation tests: a
// function built directly as a statement list with blocks over it, without
// the profile manager's block cutting or lowering, so that each test can
// pin exactly the shape it is about.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cfg/basic_blk.h"
#include "cfg/stmt_entry.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "profiling/BGL_cfg.h"

namespace cfg_test {

using namespace icode;

class FAKE_FUNCTION : public BLOCK_CONTEXT {
public:
    explicit FAKE_FUNCTION(const char* name = "f") : name_(name) {}
    ~FAKE_FUNCTION() override {
        // Blocks point into the list; drop them first.
        blocks_.clear();
        entries_.clear();
    }

    // ---- BLOCK_CONTEXT ----
    const char* function_name() const override { return name_.c_str(); }
    BASIC_BLK* block_with_label(uint64_t label) override {
        for (auto& b : blocks_) {
            uint64_t l;
            if (b->first_label(l) && l == label) return b.get();
        }
        return nullptr;
    }
    bool instrumenting() const override { return instrumenting_; }
    bool instrumenting_ = false;

    // ---- statements, appended to the list in order ----
    STMT_ENTRY* label(int64_t number) {
        NODE* n = make_node(OP_LABEL_DEF, int_t());
        n->set_value(uint64_t(number));
        return append(REC_LABEL, n);
    }
    STMT_ENTRY* expr(NODE* tree) { return append(REC_EXPR_STMT, tree); }
    // An entry that is not a statement: a mark, a scope record, a text.
    STMT_ENTRY* entry(int kind) {
        NODE* payload = nullptr;
        if (kind == REC_TEXT || kind == REC_TEXT_AT) {
            payload = make_node(OP_TEXT_NODE, nullptr);
            payload->set_text("note");
        }
        return append(kind, payload);
    }

    // ---- trees ----
    TYPE* int_t() { return types_.integral_type(IntegralKind::INT); }
    NODE* node(int opcode, NODE* left = nullptr, NODE* right = nullptr) {
        NODE* n = make_node(opcode, int_t());
        n->set_left(left);
        n->set_right(right);
        return n;
    }
    NODE* icon(int64_t value) {
        NODE* n = node(ICON);
        n->set_value(uint64_t(value));
        return n;
    }
    // A reference to a label, as branch targets and switch cases hold it.
    NODE* ref(int64_t label, int weight = -1) {
        NODE* n = node(LABEL);
        n->set_value(uint64_t(label));
        n->set_weight(weight);
        return n;
    }
    NODE* epval(NODE* operand, int weight) {
        NODE* n = node(EPVAL, operand);
        n->set_weight(weight);
        return n;
    }
    // A statement that does not transfer control.
    NODE* plain() { return node(ASG, icon(1), icon(2)); }
    NODE* branch(NODE* target) { return node(BRANCH, target); }
    NODE* cbranch(NODE* target) { return node(CBRANCH, node(GT, icon(1), icon(0)), target); }
    NODE* ret() { return node(RETURN, icon(0), node(NOP)); }
    NODE* ureturn() { return node(URETURN); }
    NODE* sw(NODE* case_list) { return node(SWITCH, icon(0), case_list); }
    NODE* case_of(int64_t value, NODE* target) { return node(CASE, icon(value), target); }
    NODE* default_of(NODE* target) { return node(DEFAULT, target); }
    NODE* comma(NODE* a, NODE* b) { return node(COMMA, a, b); }

    // ---- blocks, numbered in creation order ----
    BASIC_BLK* block(STMT_ENTRY* first, STMT_ENTRY* last = nullptr) {
        blocks_.push_back(std::make_unique<BASIC_BLK>(int(blocks_.size()), this, first));
        BASIC_BLK* b = blocks_.back().get();
        b->set_last(last ? last : first);
        if (blocks_.size() > 1) blocks_[blocks_.size() - 2]->set_next(b);
        return b;
    }
    BASIC_BLK* at(size_t i) const { return blocks_.at(i).get(); }
    size_t size() const { return blocks_.size(); }

    void compute_successors() {
        for (auto& b : blocks_) b->compute_successors();
    }
    // The graph as the profile manager builds it: every block a vertex,
    // then an edge of weight 1 per successor, in block and successor order.
    // Successors must have been computed.
    std::unique_ptr<PROFILE_GRAPH> graph(int extra_counters = 0) {
        auto g = std::make_unique<PROFILE_GRAPH>(at(0), name_.c_str(), extra_counters);
        for (auto& b : blocks_) g->add_block(b.get());
        for (auto& b : blocks_)
            for (BASIC_BLK* s = b->first_succ(); s; s = b->next_succ()) g->add_edge(b.get(), s, 1);
        return g;
    }

private:
    STMT_ENTRY* append(int kind, NODE* payload) {
        auto e = std::make_unique<STMT_ENTRY>();
        e->kind = static_cast<icode::RECORD_KIND>(kind);
        e->tree = payload;
        if (!entries_.empty()) {
            entries_.back()->next = e.get();
            e->prev = entries_.back().get();
        }
        entries_.push_back(std::move(e));
        return entries_.back().get();
    }

    std::string name_;
    TYPE_PKG types_;
    std::vector<std::unique_ptr<STMT_ENTRY>> entries_;
    std::vector<std::unique_ptr<BASIC_BLK>> blocks_;
};

// The successors of a block, in table order.
inline std::vector<BASIC_BLK*> successors_of(BASIC_BLK* b) {
    std::vector<BASIC_BLK*> r;
    for (const SUCC_INFO& s : b->successors()) r.push_back(s.succ);
    return r;
}

// The edges of a graph in edge-list order as "Lx->Ly tree" or
// "Lx->Ly chord N".
inline std::vector<std::string> numbering(const PROFILE_GRAPH& pg) {
    std::vector<std::string> r;
    const CFG_GRAPH& g = pg.graph();
    for (auto [it, end] = boost::edges(g); it != end; ++it) {
        std::string s = g[boost::source(*it, g)].name + "->" + g[boost::target(*it, g)].name;
        int index = g[*it].index;
        r.push_back(s + (index == -1 ? " tree" : " chord " + std::to_string(index)));
    }
    return r;
}

// A random function shape: per block, the blocks it leads to.
using SHAPE = std::vector<std::vector<int>>;

inline SHAPE random_shape(std::mt19937& rng, int max_blocks = 14) {
    int n = std::uniform_int_distribution<int>(1, max_blocks)(rng);
    SHAPE shape(static_cast<size_t>(n));
    std::uniform_int_distribution<int> degree(0, 3), target(0, n - 1), chance(0, 9);
    for (auto& succs : shape) {
        int d = degree(rng);
        for (int k = 0; k < d; ++k) {
            int t = target(rng);
            // Blocks are successors once; the graph itself would take a
            // parallel edge, so let a few through.
            bool dup = false;
            for (int s : succs) dup |= s == t;
            if (!dup || chance(rng) == 0) succs.push_back(t);
        }
    }
    return shape;
}

// Plain blocks with the shape's edges added directly, as the manager would
// add successor edges.
inline std::unique_ptr<PROFILE_GRAPH> build_shape(FAKE_FUNCTION& f, const SHAPE& shape) {
    for (size_t i = 0; i < shape.size(); ++i) f.block(f.expr(f.plain()));
    auto pg = std::make_unique<PROFILE_GRAPH>(f.at(0), "f", 0);
    for (size_t i = 0; i < shape.size(); ++i) pg->add_block(f.at(i));
    for (size_t i = 0; i < shape.size(); ++i)
        for (int t : shape[i]) pg->add_edge(f.at(i), f.at(size_t(t)), 1);
    return pg;
}

}  // namespace cfg_test
