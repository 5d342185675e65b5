// The closed loop's steps: a generated unit instrumented by the profiler,
// run by the executor, its counters fed back and the weights compared.
#include "test_closed_loop_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "icode/opcodes.h"
#include "tools/exec/exec_profile.h"
#include "tools/gen/gen_program.h"
#include "icode/text/text_form.h"
#include "tools/common/tool_io.h"

namespace closed_loop {

using namespace icode;
using exec::EXEC_FUNCTION;
using exec::EXEC_MACHINE;
using exec::EXEC_UNIT;

SCRATCH_DIR::SCRATCH_DIR() {
    char tmpl[] = "/tmp/trelv_closed_loop_XXXXXX";
    char* p = mkdtemp(tmpl);
    path_ = p ? p : "";
}

SCRATCH_DIR::~SCRATCH_DIR() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string profiler_path() {
    // The unit tests are built in tests/ below the build folder that holds
    // the profiler.
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "trelv").string();
}

int run_profiler(const std::string& args, const std::string& err_file, std::string* err) {
    std::string cmd = profiler_path() + " " + args + " >/dev/null 2>" + err_file;
    int status = std::system(cmd.c_str());
    if (err) {
        icode_text::read_whole_file(err_file, *err);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void write_unit(const std::string& text, const std::string& path) {
    std::string unit, error;
    ASSERT_TRUE(icode_text::assemble(text, "generated", unit, &error)) << error;
    ASSERT_TRUE(icode_text::write_whole_file(path, unit));
}

void SUMMED_TRACE::add(const EXEC_UNIT& unit, const exec::EXEC_TRACE& trace) {
    for (const auto& f : unit.functions()) {
        const exec::FUNCTION_TRACE* t = trace.find(f.get());
        FUNCTION& s = functions[f->name];
        if (!t) continue;
        s.calls += t->calls;
        for (const auto& j : t->jumps)
            s.jumps[{size_t(j.first >> 32), uint32_t(j.first)}] += j.second;
        for (size_t i = 0; i < t->falls.size(); ++i)
            if (t->falls[i]) s.falls[i] += t->falls[i];
        for (const auto& a : t->arms) {
            s.arms[a.first].first += a.second.first;
            s.arms[a.first].second += a.second.second;
        }
    }
}

std::set<std::string> incomplete_functions(const std::string& err) {
    // "warning: Func NAME: Could not complete profile info propagation: ..."
    std::set<std::string> out;
    const std::string key = "Could not complete profile info propagation";
    for (size_t at = err.find(key); at != std::string::npos; at = err.find(key, at + 1)) {
        size_t func = err.rfind("Func ", at);
        if (func == std::string::npos) continue;
        size_t colon = err.find(':', func);
        out.insert(err.substr(func + 5, colon - func - 5));
    }
    return out;
}

namespace {

const NODE* strip(const NODE* n) {
    while (n && n->opcode() == EPVAL) n = n->left();
    return n;
}

// The weight an EPVAL wrapper carries, or -1.
int weight_of(const NODE* n) { return n && n->opcode() == EPVAL ? n->weight() : -1; }

uint32_t label_number(const NODE* n) { return uint32_t(strip(n)->value()); }

void collect_switch_items(const NODE* n, std::vector<const NODE*>& out) {
    const NODE* s = strip(n);
    if (!s) return;
    if (s->opcode() == COMMA) {
        collect_switch_items(s->left(), out);
        collect_switch_items(s->right(), out);
    } else {
        out.push_back(n);
    }
}

bool contains_quest(const NODE* n) {
    if (!n) return false;
    return n->opcode() == QUEST || contains_quest(n->left()) || contains_quest(n->right());
}

// Walks a tree for QUEST nodes; `conditional` is set below the arms of a
// ?: and the right operands of && and ||, where a ?: runs on only some of
// the executions of its statement.
void check_quests(const NODE* n, bool conditional, const SUMMED_TRACE::FUNCTION& t,
                  const std::string& where, TALLY& tally) {
    if (!n) return;
    const NODE* s = strip(n);
    if (s->opcode() == QUEST) {
        const NODE* colon_wrap = s->right();
        const NODE* colon = strip(colon_wrap);
        auto it = t.arms.find(s);
        uint64_t taken_true = it == t.arms.end() ? 0 : it->second.first;
        uint64_t taken_false = it == t.arms.end() ? 0 : it->second.second;
        // A ?: in the condition of another ?: upsets the annotation walk's
        // pairing of ?: and extra counter, for both of them.
        bool in_condition = contains_quest(s->left());
        if (weight_of(n) >= 0 || weight_of(colon_wrap) >= 0) {
            if (conditional || in_condition) {
                ++tally.nested_quests_excluded;
            } else {
                ++tally.quests_checked;
                EXPECT_EQ(uint64_t(weight_of(n)), taken_true) << where << ": ?: true arm";
                EXPECT_EQ(uint64_t(weight_of(colon_wrap)), taken_false)
                    << where << ": ?: false arm";
            }
        }
        check_quests(s->left(), conditional || in_condition, t, where, tally);
        check_quests(colon->left(), true, t, where, tally);
        check_quests(colon->right(), true, t, where, tally);
        return;
    }
    bool right_conditional = conditional || s->opcode() == ANDAND || s->opcode() == OROR;
    check_quests(s->left(), conditional, t, where, tally);
    check_quests(s->right(), right_conditional, t, where, tally);
}

void check_weights(const EXEC_UNIT& annotated, const SUMMED_TRACE& trace,
                   const std::set<std::string>& incomplete,
                   const std::set<std::string>& shared_fall_through, const std::string& seed_text,
                   TALLY& tally) {
    for (const auto& f : annotated.functions()) {
        if (incomplete.count(f->name)) {
            ++tally.incomplete_functions_excluded;
            continue;
        }
        if (shared_fall_through.count(f->name)) {
            ++tally.switch_fall_through_excluded;
            continue;
        }
        auto found = trace.functions.find(f->name);
        ASSERT_NE(found, trace.functions.end());
        const SUMMED_TRACE::FUNCTION& t = found->second;
        auto jumps = [&](size_t i, uint32_t label) {
            auto it = t.jumps.find({i, label});
            return it == t.jumps.end() ? uint64_t(0) : it->second;
        };
        bool entry_seen = false;
        for (size_t i = 0; i < f->stmts.size(); ++i) {
            const NODE* root = strip(f->stmts[i].tree);
            if (!root) continue;
            std::string where = seed_text + " " + f->name + " statement " + std::to_string(i);
            std::vector<const NODE*> targets;
            if (root->opcode() == BRANCH) targets.push_back(root->left());
            if (root->opcode() == CBRANCH) targets.push_back(root->right());
            if (root->opcode() == SWITCH) {
                std::vector<const NODE*> items;
                collect_switch_items(root->right(), items);
                for (const NODE* it : items) {
                    const NODE* s = strip(it);
                    targets.push_back(s->opcode() == CASE ? s->right() : s->left());
                }
            }
            for (const NODE* target : targets) {
                int w = weight_of(target);
                if (w < 0) continue;
                ++tally.weights_checked;
                EXPECT_EQ(uint64_t(uint32_t(w)), jumps(i, label_number(target)))
                    << where << ": weight of the transfer to label " << label_number(target);
                if (root->opcode() == BRANCH && !entry_seen) {
                    // The first weighted branch is the entry weight.
                    entry_seen = true;
                    EXPECT_EQ(uint64_t(uint32_t(w)), t.calls) << where << ": entry weight";
                }
            }
            check_quests(f->stmts[i].tree, false, t, where, tally);
        }
        EXPECT_TRUE(entry_seen || t.calls == 0)
            << seed_text << " " << f->name << ": no entry weight";
    }
}

// Every value of every counters array is the count of one transfer (jump
// or fall-through) of the same run of the unit without counters, or of one
// ?: arm, or the number of calls.
void check_counters_count_something(const EXEC_UNIT& instrumented, const EXEC_MACHINE& machine,
                                    const EXEC_UNIT& plain, const EXEC_MACHINE& plain_machine,
                                    const std::string& seed_text, TALLY& tally) {
    for (const exec::EXEC_COUNTERS& c : instrumented.counters_arrays()) {
        const EXEC_FUNCTION* f = plain.find_function(c.function);
        ASSERT_NE(f, nullptr) << c.function;
        const exec::FUNCTION_TRACE* t = plain_machine.trace().find(f);
        std::set<uint64_t> counts{0};
        if (t) {
            counts.insert(t->calls);
            for (const auto& j : t->jumps) counts.insert(j.second);
            for (uint64_t v : t->falls) counts.insert(v);
            for (const auto& a : t->arms) counts.insert(a.second.first);
        }
        std::vector<uint32_t> values = machine.counter_values(c);
        ASSERT_FALSE(values.empty());
        EXPECT_EQ(values[0], t ? t->calls : 0)
            << seed_text << " " << c.function << ": entry counter";
        for (size_t i = 0; i < values.size(); ++i) {
            ++tally.counters_checked;
            EXPECT_TRUE(counts.count(values[i]))
                << seed_text << " " << c.function << ": counter " << i << " = " << values[i]
                << " counts no transfer";
        }
    }
}

}  // namespace

void check_annotated(const EXEC_UNIT& annotated, const SUMMED_TRACE& trace,
                     const std::string& profiler_stderr, const EXEC_UNIT& original,
                     const std::string& what, TALLY& tally) {
    check_weights(annotated, trace, incomplete_functions(profiler_stderr),
                  switch_fall_through_into_case(original), what, tally);
}

std::set<std::string> switch_fall_through_into_case(const EXEC_UNIT& unit) {
    std::set<std::string> out;
    for (const auto& f : unit.functions()) {
        for (size_t i = 0; i + 1 < f->stmts.size(); ++i) {
            const NODE* root = strip(f->stmts[i].tree);
            if (!root || root->opcode() != SWITCH || !f->stmts[i + 1].is_label) continue;
            std::vector<const NODE*> items;
            collect_switch_items(root->right(), items);
            bool has_default = false, next_is_case = false;
            for (const NODE* it : items) {
                const NODE* s = strip(it);
                if (s->opcode() == DEFAULT) has_default = true;
                if (s->opcode() == CASE && label_number(s->right()) == f->stmts[i + 1].label)
                    next_is_case = true;
            }
            if (!has_default && next_is_case) out.insert(f->name);
        }
    }
    return out;
}

void check_seed(uint64_t seed, int functions, int size,
                const std::vector<std::pair<int, int>>& args, TALLY& tally) {
    SCRATCH_DIR dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string seed_text = "seed " + std::to_string(seed);
    gen::GEN_OPTIONS options;
    options.seed = seed;
    options.functions = functions;
    options.size = size;
    options.unit_name = dir.file("gen.c");  // absolute, so the profile keys match from any folder
    std::string text;
    gen::generate_text(options, text);
    const std::string original = dir.file("g.icode"), instrumented = dir.file("i.icode"),
                      plain = dir.file("l.icode"), annotated = dir.file("a.icode"),
                      profile = dir.file("p.prf"), err_file = dir.file("err.txt");
    write_unit(text, original);
    std::string err;
    ASSERT_EQ(run_profiler(original + " " + instrumented + " --gen_profile_info", err_file, &err),
              0)
        << seed_text << "\n"
        << err;
    ASSERT_EQ(run_profiler(original + " " + plain, err_file, &err), 0) << seed_text << "\n" << err;

    EXEC_UNIT g, inst, low;
    std::string error;
    ASSERT_TRUE(g.load(original, &error)) << error;
    ASSERT_TRUE(inst.load(instrumented, &error)) << error;
    ASSERT_TRUE(low.load(plain, &error)) << error;
    const uint64_t steps = 5000000;
    for (const auto& a : args) {
        std::string run_text =
            seed_text + " main(" + std::to_string(a.first) + ", " + std::to_string(a.second) + ")";
        EXEC_MACHINE m0(g, steps), m1(inst, steps), m2(low, steps);
        try {
            exec::EXEC_RESULT r0 = m0.call("main", {a.first, a.second});
            exec::EXEC_RESULT r1 = m1.call("main", {a.first, a.second});
            exec::EXEC_RESULT r2 = m2.call("main", {a.first, a.second});
            EXPECT_EQ(r0.text(), r1.text()) << run_text << ": instrumenting changed the result";
            EXPECT_EQ(r0.text(), r2.text()) << run_text << ": lowering changed the result";
        } catch (const exec::EXEC_ERROR& e) {
            ADD_FAILURE() << run_text << ": " << e.what();
            return;
        }
        check_counters_count_something(inst, m1, low, m2, run_text, tally);
        ASSERT_TRUE(exec::append_profile(profile, inst, m1, &error)) << error;
        ++tally.runs;
    }

    ASSERT_EQ(run_profiler(original + " " + annotated + " --use_profile_info=" + profile +
                               " --debug:profile=2",
                           err_file, &err),
              0)
        << seed_text << "\n"
        << err;
    EXEC_UNIT ann;
    ASSERT_TRUE(ann.load(annotated, &error)) << error;
    SUMMED_TRACE summed;
    for (const auto& a : args) {
        EXEC_MACHINE m(ann, steps);
        try {
            m.call("main", {a.first, a.second});
        } catch (const exec::EXEC_ERROR& e) {
            ADD_FAILURE() << seed_text << " annotated: " << e.what();
            return;
        }
        summed.add(ann, m.trace());
    }
    check_weights(ann, summed, incomplete_functions(err), switch_fall_through_into_case(g),
                  seed_text, tally);
    ++tally.seeds;
}

}  // namespace closed_loop
