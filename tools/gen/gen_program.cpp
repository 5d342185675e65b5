#include "tools/gen/gen_program.h"

#include <algorithm>
#include <vector>

#include "tools/gen/gen_random.h"

namespace gen {

namespace {

// Type ids of the unit (see write_types).
enum : int {
    T_VOID = 1,
    T_INT = 2,
    T_UINT = 3,
    T_LONG = 4,
    T_ULONG = 5,
    T_UCHAR = 6,
    T_ARR = 7,
    T_ARR_PTR = 8,
    T_PAIR = 9,
    T_FUNC0 = 10,
    T_FUNC_PTR0 = 14
};
// Global symbols before the functions.
enum : int { G_INT = 0, G_LONG = 1, G_ARR = 2, G_PAIR = 3, G_UINT = 4, G_FIRST_FUNCTION = 5 };

constexpr int MAX_LOOP_DEPTH = 3;
constexpr int MAX_CALL_SITES = 2;

class FUNCTION_WRITER {
public:
    FUNCTION_WRITER(GEN_RANDOM& rnd, const GEN_OPTIONS& opt, std::string& out, int index,
                    const std::vector<int>& arity)
        : rnd_(rnd),
          opt_(opt),
          out_(out),
          index_(index),
          arity_(arity),
          params_(arity[size_t(index)]) {}

    void write() {
        bool is_main = index_ + 1 == int(arity_.size());
        out_ += "func_begin sym=" + std::to_string(G_FIRST_FUNCTION + index_) + "\n";
        for (int i = 0; i < params_; ++i)
            out_ += "symbol name=\"p" + std::to_string(i) + "\" size=16 class=1 type=2 align=16\n";
        out_ += "body_begin\n";
        for (int i = 0; i < params_; ++i)
            out_ += "symbol name=\"p" + std::to_string(i) + "\" size=16 class=2 type=2 align=16\n";
        for (int i = 0; i < 4; ++i)
            out_ += "symbol name=\"v" + std::to_string(i) + "\" size=16 class=2 type=2 align=16\n";
        out_ += "symbol name=\"w\" size=32 class=2 type=4 align=16\n";
        out_ += "symbol name=\"u\" size=16 class=2 type=3 align=16\n";
        for (int i = 0; i < MAX_LOOP_DEPTH; ++i)
            out_ += "symbol name=\"lc" + std::to_string(i) + "\" size=16 class=2 type=2 align=16\n";
        out_ += "symbol name=\"la\" size=128 class=2 type=7 align=16\n";
        // Parameter copies come first, as the front end writes them.
        for (int i = 0; i < params_; ++i) {
            out_ += "expr\n  ASG type=2\n";
            name(2, T_INT, 2, copy_index(i));
            name(2, T_INT, 1, i);
        }
        if (is_main || rnd_.chance(50)) {
            for (int i = 0; i < std::min(params_, 2); ++i) {
                out_ += "expr\n  ASG type=2\n";
                name(2, T_INT, 2, var_index(i));
                name(2, T_INT, 2, copy_index(i));
            }
        }
        budget_ = opt_.size;
        while (budget_ > 0) statement(0);
        out_ += "expr\n  RETURN type=2\n";
        expr(2, 2, false);
        out_ += "    NOP type=1\n";
        if (rnd_.chance(20)) {  // unreachable code after the last return
            assignment(0);
        }
        out_ += "func_end\n";
    }

private:
    int copy_index(int i) const { return params_ + i; }
    int var_index(int i) const { return 2 * params_ + i; }
    int w_index() const { return 2 * params_ + 4; }
    int u_index() const { return 2 * params_ + 5; }
    int loop_index(int d) const { return 2 * params_ + 6 + d; }
    int local_array_index() const { return 2 * params_ + 6 + MAX_LOOP_DEPTH; }

    void indent(int depth) { out_.append(size_t(depth) * 2, ' '); }
    void node(int depth, const char* op, int type) {
        indent(depth);
        out_ += op;
        out_ += " type=";
        out_ += std::to_string(type);
        out_ += '\n';
    }
    void icon(int depth, int type, long long value) {
        indent(depth);
        out_ += "ICON type=" + std::to_string(type) + " value=" + std::to_string(value) + "\n";
    }
    void name(int depth, int type, int level, int index) {
        indent(depth);
        out_ += "NAME type=" + std::to_string(type) + " level=" + std::to_string(level) +
                " index=" + std::to_string(index) + "\n";
    }
    void label_ref(int depth, int label) {
        indent(depth);
        out_ += "LABEL type=2 label=" + std::to_string(label) + "\n";
    }
    void label_def(int label) { out_ += "label label=" + std::to_string(label) + "\n"; }
    void branch(int label) {
        out_ += "expr\n  BRANCH type=2\n";
        label_ref(2, label);
    }
    int new_label() { return ++labels_; }

    // An int variable that may be read: a parameter copy, v0..v3 or the global.
    void int_variable(int depth) {
        uint32_t pick = rnd_.below(uint32_t(params_ + 5));
        if (pick < uint32_t(params_))
            name(depth, T_INT, 2, copy_index(int(pick)));
        else if (pick < uint32_t(params_ + 4))
            name(depth, T_INT, 2, var_index(int(pick) - params_));
        else
            name(depth, T_INT, 0, G_INT);
    }
    // An int lvalue; never a loop counter, so loops stay bounded.
    void int_lvalue(int depth) {
        uint32_t pick = rnd_.below(10);
        if (pick < 2)
            array_element(depth);
        else if (pick < 3) {
            node(depth, "STDOT", T_INT);
            name(depth + 1, T_PAIR, 0, G_PAIR);
            indent(depth + 1);
            out_ += "FIELD type=2 byte=0 member=1 class=9\n";
        } else {
            int_variable(depth);
        }
    }
    // *(&arr + (e & 7) * 16 bits), on the global or the local array.
    void array_element(int depth) {
        node(depth, "UMULT", T_INT);
        node(depth + 1, "PLUS", T_ARR_PTR);
        node(depth + 2, "UAND", T_ARR_PTR);
        if (rnd_.chance(50))
            name(depth + 3, T_ARR, 0, G_ARR);
        else
            name(depth + 3, T_ARR, 2, local_array_index());
        node(depth + 2, "PMCONV", T_INT);
        node(depth + 3, "ANDB", T_INT);
        leaf(depth + 4);
        icon(depth + 4, T_INT, 7);
        icon(depth + 3, T_INT, 16);
    }
    void leaf(int depth) {
        uint32_t pick = rnd_.below(10);
        if (pick < 3)
            icon(depth, T_INT, rnd_.chance(10) ? rnd_.range(-32768, 32767) : rnd_.range(-9, 20));
        else
            int_variable(depth);
    }

    // An int expression.  quest: a ?: may appear here (and is then always
    // evaluated when the enclosing expression is).
    void expr(int depth, int levels, bool quest) {
        if (levels <= 0) return leaf(depth);
        uint32_t pick = rnd_.below(20);
        switch (pick) {
            case 0:
            case 1:
            case 2: leaf(depth); return;
            case 3: array_element(depth); return;
            case 4:
                node(depth, "STDOT", T_INT);
                name(depth + 1, T_PAIR, 0, G_PAIR);
                indent(depth + 1);
                out_ += "FIELD type=2 byte=0 member=1 class=9\n";
                return;
            case 5:  // the long and unsigned variables, cut back to int
                node(depth, "SCONV", T_INT);
                if (rnd_.chance(50))
                    name(depth + 1, T_LONG, 2, w_index());
                else
                    name(depth + 1, T_UINT, 2, u_index());
                return;
            case 6: {
                static const char* const ops[] = {"UMINUS", "NOTB", "EXCLAIM"};
                node(depth, ops[rnd_.below(3)], T_INT);
                expr(depth + 1, levels - 1, false);
                return;
            }
            case 7:
            case 8: {
                static const char* const ops[] = {"DIV", "MOD"};
                node(depth, ops[rnd_.below(2)], T_INT);
                expr(depth + 1, levels - 1, false);
                node(depth + 1, "ORB", T_INT);  // never zero
                expr(depth + 2, levels - 2, false);
                icon(depth + 2, T_INT, 1);
                return;
            }
            case 9: {
                static const char* const ops[] = {"SLL", "SRL"};
                node(depth, ops[rnd_.below(2)], T_INT);
                expr(depth + 1, levels - 1, false);
                icon(depth + 1, T_INT, rnd_.range(0, 5));
                return;
            }
            case 10:
            case 11:
                if (quest) {
                    quest_expr(depth, levels);
                    return;
                }
                [[fallthrough]];
            case 12: comparison(depth, levels - 1); return;
            default: {
                static const char* const ops[] = {"PLUS", "MINUS", "MULT", "ANDB",
                                                  "ORB",  "XORB",  "PLUS"};
                node(depth, ops[rnd_.below(7)], T_INT);
                expr(depth + 1, levels - 1, false);
                expr(depth + 1, levels - 1, false);
                return;
            }
        }
    }
    void quest_expr(int depth, int levels) {
        node(depth, "QUEST", T_INT);
        condition(depth + 1, 1);
        node(depth + 1, "COLON", T_INT);
        bool nest = rnd_.below(100) < uint32_t(opt_.nested_quest_percent);
        expr(depth + 2, levels - 1, nest);
        expr(depth + 2, levels - 1, false);
    }
    void comparison(int depth, int levels) {
        if (rnd_.chance(15)) {
            static const char* const uops[] = {"ULT", "ULE", "UGT", "UGE"};
            node(depth, uops[rnd_.below(4)], T_INT);
            node(depth + 1, "SCONV", T_UINT);
            expr(depth + 2, levels, false);
            node(depth + 1, "SCONV", T_UINT);
            expr(depth + 2, levels, false);
            return;
        }
        static const char* const ops[] = {"EQ", "NEQ", "LT", "LE", "GT", "GE"};
        node(depth, ops[rnd_.below(6)], T_INT);
        expr(depth + 1, levels, false);
        expr(depth + 1, levels, false);
    }
    // A condition: comparisons joined by && and ||, negated by !, or a ?:
    // that chooses between two conditions.
    void condition(int depth, int levels) {
        uint32_t pick = levels > 0 ? rnd_.below(12) : 0;
        switch (pick) {
            case 1:
            case 2:
                node(depth, "ANDAND", T_INT);
                condition(depth + 1, levels - 1);
                condition(depth + 1, levels - 1);
                return;
            case 3:
            case 4:
                node(depth, "OROR", T_INT);
                condition(depth + 1, levels - 1);
                condition(depth + 1, levels - 1);
                return;
            case 5:
                node(depth, "EXCLAIM", T_INT);
                condition(depth + 1, levels - 1);
                return;
            case 6:
                node(depth, "QUEST", T_INT);
                condition(depth + 1, levels - 1);
                node(depth + 1, "COLON", T_INT);
                condition(depth + 2, levels - 1);
                condition(depth + 2, levels - 1);
                return;
            case 7:  // a plain value as condition
                node(depth, "ANDB", T_INT);
                int_variable(depth + 1);
                icon(depth + 1, T_INT, rnd_.range(1, 4));
                return;
            default: comparison(depth, rnd_.range(0, 1)); return;
        }
    }
    void cbranch_false_to(int label) {
        out_ += "expr\n  CBRANCH type=2\n";
        condition(2, 2);
        label_ref(2, label);
    }

    void assignment(int) {
        uint32_t pick = rnd_.below(12);
        out_ += "expr\n";
        if (pick < 5) {
            node(1, "ASG", T_INT);
            int_lvalue(2);
            expr(2, 3, true);
        } else if (pick < 8) {
            static const char* const ops[] = {"PLUSASG", "MINUSASG", "MULTASG", "ANDBASG",
                                              "ORBASG",  "XORBASG",  "SLLASG",  "SRLASG"};
            uint32_t k = rnd_.below(8);
            node(1, ops[k], T_INT);
            int_lvalue(2);
            if (k >= 6)
                icon(2, T_INT, rnd_.range(0, 3));
            else
                expr(2, 2, false);
        } else if (pick < 9) {
            node(1, rnd_.chance(50) ? "PLUSPLUS" : "MINMIN", T_INT);
            int_lvalue(2);
            icon(2, T_INT, rnd_.range(1, 3));
        } else if (pick < 10) {  // long arithmetic
            node(1, "ASG", T_LONG);
            name(2, T_LONG, 2, w_index());
            node(2, rnd_.chance(50) ? "PLUS" : "MULT", T_LONG);
            name(3, T_LONG, 2, w_index());
            node(3, "SCONV", T_LONG);
            expr(4, 2, false);
        } else if (pick < 11) {  // unsigned wrap-around
            node(1, "ASG", T_UINT);
            name(2, T_UINT, 2, u_index());
            node(2, "PLUS", T_UINT);
            node(3, "MULT", T_UINT);
            name(4, T_UINT, 2, u_index());
            icon(4, T_UINT, rnd_.range(2, 300));
            node(3, "SCONV", T_UINT);
            expr(4, 1, false);
        } else {  // the long field of the struct
            node(1, "PLUSASG", T_LONG);
            node(2, "STDOT", T_LONG);
            name(3, T_PAIR, 0, G_PAIR);
            indent(3);
            out_ += "FIELD type=4 byte=0 member=2 class=9\n";
            node(2, "SCONV", T_LONG);
            expr(3, 2, false);
        }
    }

    void call() {
        int callee = int(rnd_.below(uint32_t(index_)));
        int k = arity_[size_t(callee)];
        out_ += "expr\n";
        node(1, "ASG", T_INT);
        name(2, T_INT, 2, var_index(int(rnd_.below(4))));
        if (k == 0) {
            indent(2);
            out_ += "UCALL type=2 eht=0\n";
        } else {
            indent(2);
            out_ += "CALL type=2 extra=0 eht=0\n";
        }
        node(3, "UAND", T_FUNC_PTR0 + k);
        name(4, T_FUNC0 + k, 0, G_FIRST_FUNCTION + callee);
        // Arguments: one expression, or a left-leaning COMMA chain.
        if (k >= 2) {
            for (int i = 0; i < k - 1; ++i) node(3 + i, "COMMA", T_INT);
            expr(3 + k - 1, 2, false);
            for (int i = k - 2; i >= 0; --i) expr(3 + i + 1, 2, false);
        } else if (k == 1) {
            expr(3, 2, false);
        }
        ++call_sites_;
    }

    void statement(int loop_depth) {
        --budget_;
        uint32_t pick = rnd_.below(22);
        bool nest = budget_ > 0;
        if (pick < 7 || !nest) return assignment(loop_depth);
        if (pick < 10) return if_else(loop_depth);
        if (pick < 12 && loop_depth < MAX_LOOP_DEPTH) return loop(loop_depth);
        if (pick < 14) return switch_statement(loop_depth);
        if (pick < 15) return early_return();
        if (pick < 16) return dead_code(loop_depth);
        if (pick < 18 && index_ > 0 && loop_depth == 0 && call_sites_ < MAX_CALL_SITES)
            return call();
        return assignment(loop_depth);
    }
    void block(int loop_depth, int count) {
        for (int i = 0; i < count; ++i) statement(loop_depth);
    }
    int share() { return std::max(1, std::min(budget_, rnd_.range(1, 3))); }

    void if_else(int loop_depth) {
        int else_label = new_label();
        cbranch_false_to(else_label);
        block(loop_depth, share());
        if (rnd_.chance(60)) {
            int end_label = new_label();
            branch(end_label);
            label_def(else_label);
            block(loop_depth, share());
            label_def(end_label);
        } else {
            label_def(else_label);
        }
    }
    void loop(int loop_depth) {
        int counter = loop_index(loop_depth);
        int limit = rnd_.range(0, 4);
        out_ += "expr\n";
        node(1, "ASG", T_INT);
        name(2, T_INT, 2, counter);
        icon(2, T_INT, 0);
        int top = new_label();
        if (rnd_.chance(60)) {  // while (lc < limit) { ...; lc++; }
            int exit = new_label();
            label_def(top);
            out_ += "expr\n";
            node(1, "CBRANCH", T_INT);
            node(2, "LT", T_INT);
            name(3, T_INT, 2, counter);
            icon(3, T_INT, limit);
            label_ref(2, exit);
            block(loop_depth + 1, share());
            out_ += "expr\n";
            node(1, "PLUSPLUS", T_INT);
            name(2, T_INT, 2, counter);
            icon(2, T_INT, 1);
            branch(top);
            label_def(exit);
        } else {  // do { ...; lc++; } while (lc < limit && cond);
            label_def(top);
            block(loop_depth + 1, share());
            out_ += "expr\n";
            node(1, "PLUSPLUS", T_INT);
            name(2, T_INT, 2, counter);
            icon(2, T_INT, 1);
            out_ += "expr\n";
            node(1, "CBRANCH", T_INT);
            node(2, "GE", T_INT);
            name(3, T_INT, 2, counter);
            icon(3, T_INT, limit);
            label_ref(2, top);
        }
    }
    void switch_statement(int loop_depth) {
        int cases = rnd_.range(1, 5);
        bool has_default = rnd_.chance(50);
        int end_label = new_label();
        std::vector<int> targets;
        std::vector<int> case_label;
        for (int i = 0; i < cases; ++i) {
            if (!targets.empty() && rnd_.chance(25))
                case_label.push_back(targets[rnd_.below(uint32_t(targets.size()))]);
            else {
                targets.push_back(new_label());
                case_label.push_back(targets.back());
            }
        }
        int default_label = has_default ? new_label() : 0;
        std::vector<int> values;
        for (int i = 0; i < cases; ++i) values.push_back(i * 2 - 2 + rnd_.range(0, 1));
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        cases = int(values.size());
        case_label.resize(size_t(cases));
        int items = cases + (has_default ? 1 : 0);
        out_ += "expr\n  SWITCH type=2 number=0\n";
        node(2, "MOD", T_INT);
        expr(3, 2, false);
        icon(3, T_INT, 5);
        // A left-leaning COMMA list of the items.
        for (int i = 0; i < items - 1; ++i) node(2 + i, "COMMA", T_INT);
        for (int i = 0; i < items; ++i) {
            // Indentation only shows the nesting; the assembler reads the
            // tree in pre-order by operand counts.
            int depth = i == 0 ? 1 + items : 2 + items - i;
            if (i < cases) {
                node(depth, "CASE", T_INT);
                icon(depth + 1, T_INT, values[size_t(i)]);
                label_ref(depth + 1, case_label[size_t(i)]);
            } else {
                node(depth, "DEFAULT", T_INT);
                label_ref(depth + 1, default_label);
            }
        }
        // Mostly, as the front end does, an explicit jump past the cases
        // when none matches; otherwise control falls into the first body.
        if (!has_default && rnd_.chance(80)) branch(end_label);
        std::vector<int> bodies = targets;
        if (has_default) bodies.push_back(default_label);
        for (size_t i = 0; i < bodies.size(); ++i) {
            label_def(bodies[i]);
            block(loop_depth, share());
            if (i + 1 == bodies.size() || rnd_.chance(75))
                branch(end_label);  // else: falls into the next case
        }
        label_def(end_label);
    }
    void early_return() {
        int skip = new_label();
        cbranch_false_to(skip);
        out_ += "expr\n  RETURN type=2\n";
        expr(2, 2, true);
        out_ += "    NOP type=1\n";
        label_def(skip);
    }
    void dead_code(int loop_depth) {
        int over = new_label();
        branch(over);
        assignment(loop_depth);
        if (rnd_.chance(30)) {  // an unreferenced label: a block nothing reaches
            label_def(new_label());
            assignment(loop_depth);
        }
        label_def(over);
    }

    GEN_RANDOM& rnd_;
    const GEN_OPTIONS& opt_;
    std::string& out_;
    int index_;
    const std::vector<int>& arity_;
    int params_;
    int labels_ = 0;
    int budget_ = 0;
    int call_sites_ = 0;
};

void write_types(std::string& out) {
    out +=
        ".types\n"
        "type 1 void\n"
        "type 2 int size=16 align=16\n"
        "type 3 uint size=16 align=16\n"
        "type 4 long size=32 align=16\n"
        "type 5 ulong size=32 align=16\n"
        "type 6 uchar size=8 align=8\n"
        "type 7 array elem=2 count=8 size=128 align=16\n"
        "type 8 pointer pointee=7 size=16 align=16\n"
        "type 9 csu csu=0 name=\"pair\" size=48 align=16 has_fields=1\n"
        "type 9 open list=7\n"
        "type 9 field member=1 name=\"a\" type=2 offset=0\n"
        "type 9 field member=2 name=\"b\" type=4 offset=16\n"
        "type 9 close list=7\n";
    for (int k = 0; k < 4; ++k) {
        std::string id = std::to_string(T_FUNC0 + k);
        out += "type " + id + " function ret=2\ntype " + id + " open list=0\n";
        for (int i = 0; i < k; ++i)
            out += "type " + id + " param type=2 name=\"p" + std::to_string(i) + "\"\n";
        out += "type " + id + " close list=0\n";
    }
    for (int k = 0; k < 4; ++k)
        out += "type " + std::to_string(T_FUNC_PTR0 + k) +
               " pointer pointee=" + std::to_string(T_FUNC0 + k) + " size=16 align=16\n";
    out += "end\n";
}

}  // namespace

void generate_text(const GEN_OPTIONS& options, std::string& out) {
    GEN_RANDOM rnd(options.seed);
    int functions = std::max(1, options.functions);
    std::string unit = options.unit_name.empty() ? "gen_" + std::to_string(options.seed) + ".c"
                                                 : options.unit_name;
    std::vector<int> arity;
    for (int i = 0; i + 1 < functions; ++i) arity.push_back(rnd.range(0, 3));
    arity.push_back(2);  // main (a, b)

    out += "; generated by icode gen --seed " + std::to_string(options.seed) + " --functions " +
           std::to_string(functions) + " --size " + std::to_string(options.size) + "\n";
    out += "header version=-71 target=700 name=\"" + unit + "\"\n";
    for (int i = 0; i < functions; ++i) FUNCTION_WRITER(rnd, options, out, i, arity).write();
    out += "end\n";
    out +=
        ".init\n"
        "init sym=0\n  ICON type=2 value=3\n  ENDINIT type=2\n"
        "init sym=1\n  ICON type=4 value=100000\n  ENDINIT type=4\n"
        "init sym=2\n  ICON type=2 value=1\n  ICON type=2 value=-2\n  ICON type=2 value=3\n  "
        "ENDINIT type=7\n"
        "init sym=3\n  ICON type=2 value=5\n  ICON type=4 value=70000\n  ENDINIT type=9\n"
        "end\n";
    write_types(out);
    out += ".files\nfile_name name=\"" + unit + "\"\nend\n";
    out +=
        ".symbols\n"
        "symbol name=\"g_int\" size=16 class=4 type=2 align=16\n"
        "symbol name=\"g_long\" size=32 class=4 type=4 align=16\n"
        "symbol name=\"g_arr\" size=128 class=4 type=7 align=16\n"
        "symbol name=\"g_pair\" size=48 class=4 type=9 align=16\n"
        "symbol name=\"g_u\" size=16 class=4 type=3 align=16\n";
    for (int i = 0; i < functions; ++i) {
        std::string n = i + 1 == functions ? "main" : "f" + std::to_string(i);
        out += "symbol name=\"" + n +
               "\" class=4 type=" + std::to_string(T_FUNC0 + arity[size_t(i)]) + "\n";
    }
    out += "end\n";
}

}  // namespace gen
