// The closed loop's steps: a unit instrumented by the profiler, run by the
// executor, its counters fed back and the weights compared.
#include "test_closed_loop_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "icode/opcodes.h"
#include "icode/text/text_form.h"
#include "tools/common/tool_io.h"
#include "tools/exec/exec_profile.h"

namespace closed_loop {

using namespace icode;
using exec::EXEC_MACHINE;
using exec::EXEC_UNIT;

int run_profiler(const std::string& args, const std::string& err_file, std::string* err) {
    // The unit tests are built in tests/ below the folder of the profiler.
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    std::string cmd = (self.parent_path().parent_path() / "trelv").string() + " " + args +
                      " >/dev/null 2>" + err_file;
    int status = std::system(cmd.c_str());
    if (err) icode_text::read_whole_file(err_file, *err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void write_unit(const std::string& text, const std::string& path) {
    std::string unit, error;
    ASSERT_TRUE(icode_text::assemble(text, "generated", unit, &error)) << error;
    ASSERT_TRUE(icode_text::write_whole_file(path, unit));
}

namespace {

// Counts of one function summed over several runs.
struct SUMMED {
    uint64_t calls = 0;
    std::map<std::pair<size_t, uint32_t>, uint64_t> jumps;  // (statement, label)
    std::map<const NODE*, std::pair<uint64_t, uint64_t>> arms;
};
using SUMMED_TRACE = std::map<std::string, SUMMED>;

void add(SUMMED_TRACE& summed, const EXEC_UNIT& unit, const exec::EXEC_TRACE& trace) {
    for (const auto& f : unit.functions()) {
        SUMMED& s = summed[f->name];
        const exec::FUNCTION_TRACE* t = trace.find(f.get());
        if (!t) continue;
        s.calls += t->calls;
        for (const auto& j : t->jumps)
            s.jumps[{size_t(j.first >> 32), uint32_t(j.first)}] += j.second;
        for (const auto& a : t->arms) {
            s.arms[a.first].first += a.second.first;
            s.arms[a.first].second += a.second.second;
        }
    }
}

// The functions named in "warning: Func NAME: Could not complete profile
// info propagation": the pass limit left their counts unknown.
std::set<std::string> incomplete_functions(const std::string& err) {
    std::set<std::string> out;
    const std::string key = "Could not complete profile info propagation";
    for (size_t at = err.find(key); at != std::string::npos; at = err.find(key, at + 1)) {
        size_t func = err.rfind("Func ", at);
        if (func != std::string::npos)
            out.insert(err.substr(func + 5, err.find(':', func) - func - 5));
    }
    return out;
}

const NODE* strip(const NODE* n) {
    while (n && n->opcode() == EPVAL) n = n->left();
    return n;
}
int weight_of(const NODE* n) { return n && n->opcode() == EPVAL ? n->weight() : -1; }
uint32_t label_number(const NODE* n) { return uint32_t(strip(n)->value()); }

void switch_items(const NODE* n, std::vector<const NODE*>& out) {
    const NODE* s = strip(n);
    if (s && s->opcode() == COMMA) {
        switch_items(s->left(), out);
        switch_items(s->right(), out);
    } else if (s) {
        out.push_back(s);
    }
}

bool contains_quest(const NODE* n) {
    return n && (n->opcode() == QUEST || contains_quest(n->left()) || contains_quest(n->right()));
}

// Functions holding a SWITCH without DEFAULT followed by the label of one
// of its cases: the profiler counts that edge on the fall-through only, so
// the case transfers into the same block go uncounted.
std::set<std::string> switch_into_case(const EXEC_UNIT& unit) {
    std::set<std::string> out;
    for (const auto& f : unit.functions())
        for (size_t i = 0; i + 1 < f->stmts.size(); ++i) {
            const NODE* root = strip(f->stmts[i].tree);
            if (!root || root->opcode() != SWITCH || !f->stmts[i + 1].is_label) continue;
            std::vector<const NODE*> items;
            switch_items(root->right(), items);
            bool has_default = false, next_is_case = false;
            for (const NODE* s : items) {
                has_default |= s->opcode() == DEFAULT;
                next_is_case |=
                    s->opcode() == CASE && label_number(s->right()) == f->stmts[i + 1].label;
            }
            if (!has_default && next_is_case) out.insert(f->name);
        }
    return out;
}

// The weights of every ?: of a tree.  Below the arms of a ?: and the right
// operands of && and ||, a ?: runs on only some executions of its
// statement, and a ?: in the condition of another upsets the pairing of ?:
// and extra counter: those are left out.
void check_quests(const NODE* n, bool conditional, const SUMMED& t, const std::string& where,
                  TALLY& tally) {
    const NODE* s = strip(n);
    if (!s) return;
    if (s->opcode() == QUEST) {
        const NODE* colon_wrap = s->right();
        auto it = t.arms.find(s);
        const bool in_condition = contains_quest(s->left());
        if (weight_of(n) >= 0 || weight_of(colon_wrap) >= 0) {
            if (conditional || in_condition) {
                ++tally.excluded;
            } else {
                ++tally.quests;
                EXPECT_EQ(uint64_t(weight_of(n)), it == t.arms.end() ? 0 : it->second.first)
                    << where << ": ?: true arm";
                EXPECT_EQ(uint64_t(weight_of(colon_wrap)),
                          it == t.arms.end() ? 0 : it->second.second)
                    << where << ": ?: false arm";
            }
        }
        check_quests(s->left(), conditional || in_condition, t, where, tally);
        check_quests(strip(colon_wrap)->left(), true, t, where, tally);
        check_quests(strip(colon_wrap)->right(), true, t, where, tally);
        return;
    }
    check_quests(s->left(), conditional, t, where, tally);
    check_quests(s->right(), conditional || s->opcode() == ANDAND || s->opcode() == OROR, t, where,
                 tally);
}

// Every weighted branch target carries the transfers the runs made there;
// the first weighted branch of a function is its entry weight.
void check_weights(const EXEC_UNIT& annotated, const SUMMED_TRACE& trace,
                   const std::set<std::string>& left_out, const std::string& what, TALLY& tally) {
    for (const auto& f : annotated.functions()) {
        if (left_out.count(f->name)) {
            ++tally.excluded;
            continue;
        }
        const SUMMED& t = trace.at(f->name);
        bool entry_seen = false;
        for (size_t i = 0; i < f->stmts.size(); ++i) {
            const NODE* root = strip(f->stmts[i].tree);
            if (!root) continue;
            const std::string where = what + " " + f->name + " statement " + std::to_string(i);
            std::vector<const NODE*> targets;
            if (root->opcode() == BRANCH) targets.push_back(root->left());
            if (root->opcode() == CBRANCH) targets.push_back(root->right());
            if (root->opcode() == SWITCH) {
                std::vector<const NODE*> items;
                switch_items(root->right(), items);
                for (const NODE* s : items)
                    targets.push_back(s->opcode() == CASE ? s->right() : s->left());
            }
            for (const NODE* target : targets) {
                if (weight_of(target) < 0) continue;
                ++tally.weights;
                const uint64_t w = uint32_t(weight_of(target));
                auto jumps = t.jumps.find({i, label_number(target)});
                EXPECT_EQ(w, jumps == t.jumps.end() ? 0 : jumps->second)
                    << where << ": weight of the transfer to label " << label_number(target);
                if (root->opcode() == BRANCH && !entry_seen) {
                    entry_seen = true;
                    EXPECT_EQ(w, t.calls) << where << ": entry weight";
                }
            }
            check_quests(f->stmts[i].tree, false, t, where, tally);
        }
        EXPECT_TRUE(entry_seen || t.calls == 0) << what << " " << f->name << ": no entry weight";
    }
}

}  // namespace

void check_unit(const SCRATCH_DIR& dir, const std::string& what, int runs, const RUN& run,
                TALLY& tally) {
    const std::string original = dir.file("g.icode"), instrumented = dir.file("i.icode"),
                      annotated = dir.file("a.icode"), profile = dir.file("p.prf"),
                      err_file = dir.file("err.txt");
    std::string err, error;
    ASSERT_EQ(run_profiler(original + " " + instrumented + " --gen_profile_info", err_file, &err),
              0)
        << what << "\n"
        << err;
    EXEC_UNIT g, inst, ann;
    ASSERT_TRUE(g.load(original, &error) && inst.load(instrumented, &error)) << error;
    const uint64_t steps = 50000000;
    for (int i = 0; i < runs; ++i) {
        EXEC_MACHINE m0(g, steps), m1(inst, steps);
        try {
            const std::string r0 = run(m0, i);
            // The instrumented unit is lowered too.
            EXPECT_EQ(r0, run(m1, i))
                << what << " run " << i << ": instrumenting changed the result";
        } catch (const exec::EXEC_ERROR& e) {
            ADD_FAILURE() << what << " run " << i << ": " << e.what();
            return;
        }
        ASSERT_TRUE(exec::append_profile(profile, inst, m1, &error)) << error;
        ++tally.runs;
    }
    ASSERT_EQ(run_profiler(original + " " + annotated + " --use_profile_info=" + profile +
                               " --debug:profile=2",
                           err_file, &err),
              0)
        << what << "\n"
        << err;
    ASSERT_TRUE(ann.load(annotated, &error)) << error;
    SUMMED_TRACE summed;
    for (int i = 0; i < runs; ++i) {
        EXEC_MACHINE m(ann, steps);
        try {
            run(m, i);
        } catch (const exec::EXEC_ERROR& e) {
            ADD_FAILURE() << what << " annotated run " << i << ": " << e.what();
            return;
        }
        add(summed, ann, m.trace());
    }
    std::set<std::string> left_out = incomplete_functions(err), into_case = switch_into_case(g);
    left_out.insert(into_case.begin(), into_case.end());
    check_weights(ann, summed, left_out, what, tally);
    ++tally.units;
}

}  // namespace closed_loop
