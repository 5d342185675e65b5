// Test support for the block, numbering and propagation tests: a function
// built directly as a statement list with blocks over it, without block
// cutting or lowering, so that each test pins the shape it is about.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cfg/basic_blk.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "profiling/BGL_cfg.h"

namespace cfg_test {

using namespace icode;

// One block per "|"-separated part, numbered L0, L1, ... in order.  Words:
// "N:" defines label N; "p" a plain statement; "r" / "u" a return with and
// without value; "bT" / "cT" a branch / conditional branch to target T;
// "sE,E,.." a switch over the elements "V>T" (case V), "d>T" (default) or
// ">T" (a bare label), joined into a left-leaning comma list; "m" and "e"
// a mark and a scope end, which are no statements.  A target T
// is a label number, then "=W" for its own weight or "~W" for a weight
// wrapper around it.
class FAKE_FUNCTION : public BLOCK_CONTEXT {
public:
    explicit FAKE_FUNCTION(const std::string& text) {
        STMT_ENTRY *first = nullptr, *last = nullptr;
        for (size_t at = 0; at <= text.size();) {
            size_t end = text.find_first_of(" |", at);
            if (end == std::string::npos) end = text.size();
            if (end > at) {
                STMT_ENTRY* e = word(text.substr(at, end - at));
                if (!first) first = e;
                if (e->kind == REC_LABEL || e->kind == REC_EXPR_STMT) last = e;
            }
            if (end == text.size() || text[end] == '|') {
                blocks_.push_back(std::make_unique<BASIC_BLK>(int(blocks_.size()), this, first));
                blocks_.back()->set_last(last);
                if (blocks_.size() > 1) blocks_[blocks_.size() - 2]->set_next(blocks_.back().get());
                first = last = nullptr;
            }
            at = end + 1;
        }
        for (auto& b : blocks_) b->compute_successors();
    }
    const char* function_name() const override { return "f"; }
    BASIC_BLK* block_with_label(uint64_t label) override {
        uint64_t l;
        for (auto& b : blocks_)
            if (b->first_label(l) && l == label) return b.get();
        return nullptr;
    }
    bool instrumenting() const override { return instrumenting_; }
    bool instrumenting_ = false;

    // The trees of the targets, in the order the text names them.
    std::vector<NODE*> targets;

    BASIC_BLK* at(size_t i) const { return blocks_.at(i).get(); }
    size_t size() const { return blocks_.size(); }

    // The graph as the profile manager builds it: every block a vertex,
    // then an edge of weight 1 per successor, in block and successor order.
    std::unique_ptr<PROFILE_GRAPH> graph(int extra_counters = 0) {
        auto g = std::make_unique<PROFILE_GRAPH>(at(0), "f", extra_counters);
        for (auto& b : blocks_) g->add_block(b.get());
        for (auto& b : blocks_)
            for (BASIC_BLK* s = b->first_succ(); s; s = b->next_succ()) g->add_edge(b.get(), s, 1);
        return g;
    }

private:
    NODE* node(int opcode, NODE* left = nullptr, NODE* right = nullptr) {
        NODE* n = make_node(opcode, types_.integral_type(IntegralKind::INT));
        n->set_left(left);
        n->set_right(right);
        return n;
    }
    NODE* icon(int64_t v) {
        NODE* n = node(ICON);
        n->set_value(uint64_t(v));
        return n;
    }
    NODE* target(const std::string& t) {
        NODE* n = node(LABEL);
        n->set_value(std::stoull(t));
        size_t own = t.find('='), wrap = t.find('~');
        if (own != std::string::npos) n->set_weight(std::stoi(t.substr(own + 1)));
        if (wrap != std::string::npos) {
            n = node(EPVAL, n);
            n->set_weight(std::stoi(t.substr(wrap + 1)));
        }
        targets.push_back(n);
        return n;
    }
    NODE* element(const std::string& e) {
        size_t gt = e.find('>');
        NODE* t = target(e.substr(gt + 1));
        if (gt == 0) return t;
        if (e[0] == 'd') return node(DEFAULT, t);
        return node(CASE, icon(std::stoll(e)), t);
    }
    STMT_ENTRY* word(const std::string& w) {
        const std::string rest = w.substr(1);
        if (w.back() == ':') {
            NODE* n = make_node(OP_LABEL_DEF, types_.integral_type(IntegralKind::INT));
            n->set_value(std::stoull(w));
            return append(REC_LABEL, n);
        }
        switch (w[0]) {
            case 'p': return append(REC_EXPR_STMT, icon(1));
            case 'r': return append(REC_EXPR_STMT, node(RETURN, icon(0), node(NOP)));
            case 'u': return append(REC_EXPR_STMT, node(URETURN));
            case 'b': return append(REC_EXPR_STMT, node(BRANCH, target(rest)));
            case 'c':
                return append(REC_EXPR_STMT,
                              node(CBRANCH, node(GT, icon(1), icon(0)), target(rest)));
            case 's': {
                std::istringstream items(rest);
                NODE* list = nullptr;
                for (std::string e; std::getline(items, e, ',');)
                    list = list ? node(COMMA, list, element(e)) : element(e);
                return append(REC_EXPR_STMT, node(SWITCH, icon(0), list));
            }
            default: return append(w[0] == 'm' ? REC_MARK : REC_BLOCK_END, nullptr);
        }
    }
    STMT_ENTRY* append(int kind, NODE* payload) {
        entries_.push_back(std::make_unique<STMT_ENTRY>());
        STMT_ENTRY* e = entries_.back().get();
        e->kind = static_cast<RECORD_KIND>(kind);
        e->tree = payload;
        if (entries_.size() > 1) {
            entries_[entries_.size() - 2]->next = e;
            e->prev = entries_[entries_.size() - 2].get();
        }
        return e;
    }

    TYPE_PKG types_;
    std::vector<std::unique_ptr<STMT_ENTRY>> entries_;
    std::vector<std::unique_ptr<BASIC_BLK>> blocks_;
};

// A random function shape as FAKE_FUNCTION text: plain blocks, each
// labelled with its number and ending in a switch over up to three
// targets (a return when it has none).
inline std::string random_shape(std::mt19937& rng, int max_blocks = 14) {
    int n = std::uniform_int_distribution<int>(1, max_blocks)(rng);
    std::uniform_int_distribution<int> degree(0, 3), target(0, n - 1);
    std::string text;
    for (int b = 0; b < n; ++b) {
        text += (b ? "| " : "") + std::to_string(b + 1) + ": ";
        int d = degree(rng);
        std::string list;
        for (int k = 0; k < d; ++k)
            list += (k ? "," : "") + std::to_string(k) + ">" + std::to_string(target(rng) + 1);
        text += d ? "s" + list + ",d>" + std::to_string(target(rng) + 1) : "r";
    }
    return text;
}

}  // namespace cfg_test
