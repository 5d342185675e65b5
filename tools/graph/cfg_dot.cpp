#include "tools/graph/cfg_dot.h"
#include "tools/common/unit_open.h"

#include <memory>
#include <ostream>
#include <unordered_set>

#include "icode/icode_file.h"
#include "icode/infix.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "profiling/BGL_cfg.h"
#include "profmgr/prof_client.h"
#include "profmgr/prof_mgr.h"
#include "profmgr/profile_data.h"

namespace {

using namespace icode;

// Ends a line of a DOT label, left-justified.
constexpr const char* LINE_END = "\\l";
// The fill of a block that never ran.
constexpr const char* NEVER_COLOUR = "\"#ffc8c8\"";

std::string quoted(const std::string& text) { return "\"" + dot_escape(text) + "\""; }

std::string counted_text(int n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

// "line 13" or "lines 13-15": the lines of the statements' positions.
std::string line_range(const BASIC_BLK* b) {
    uint32_t first = 0, last = 0;
    for (STMT_ENTRY* e = b->first(); e; e = e->next) {
        if (e->position && e->position->line != 0) {
            uint32_t line = e->position->line;
            if (first == 0 || line < first) first = line;
            if (line > last) last = line;
        }
        if (e == b->last()) break;
    }
    if (first == 0) return "";
    if (first == last) return "line " + std::to_string(first);
    return "lines " + std::to_string(first) + "-" + std::to_string(last);
}

// "T" or "F" for an arm of the two-way condition that ends `source`: a
// conditional branch jumps when its condition is false.  "" for any other
// edge.
std::string arm_of(const BASIC_BLK* source, const BASIC_BLK* target) {
    const STMT_ENTRY* last = source->last();
    if (!last || last->root_opcode() != CBRANCH || !last->tree->right()) return "";
    uint64_t label = 0;
    bool jump = target->first_label(label) && label == target_label(last->tree->right());
    return jump ? "F" : "T";
}

class DOT_PRINTER : public PROFILE_ICODE_MGR {
public:
    DOT_PRINTER(std::ostream& out, const DOT_OPTIONS& options)
        : out_(out), profile_files_(options.profile_files), only_(options.function) {}

    bool found_function() const { return found_; }

    void process_function() override {
        if (!only_.empty() && only_ != function_name()) {
            renumber_new_labels();
            ++function_number_;
            return;
        }
        found_ = true;
        // The numbering comes from a graph of its own: propagation takes
        // the exit edges out of the graph it works on.  Both graphs are
        // built from the same blocks in the same order, so they number
        // the chords alike, as the instrumenting and the reading run do.
        std::unique_ptr<PROFILE_GRAPH> numbering = build_graph();
        numbering->number_chords();
        std::unique_ptr<PROFILE_GRAPH> counts;
        if (!profile_files_.empty()) {
            PROFILE_FILE_REQUEST request;
            request.use_profile_info = true;
            request.file_names = profile_files_;
            read_profile_files(data(), unit_name(), function_name(), request);
            if (has_profile_data()) {
                counts = build_graph();
                counts->propagate_counters(function_data_sets());
            }
        }
        // New labels get the numbers the output unit would give them.
        renumber_new_labels();
        print(*numbering, counts.get());
        ++function_number_;
    }

private:
    std::string node_id(const BASIC_BLK* b) const {
        return quoted(std::to_string(function_number_) + "." + b->name());
    }

    void print(const PROFILE_GRAPH& graph, const PROFILE_GRAPH* counts) {
        const CFG_GRAPH& g = graph.graph();
        std::string title = std::string(function_name()) + LINE_END;
        title += counted_text(int(graph.vertex_count()), "block") + ", " +
                 counted_text(graph.next_index() + extra_counter_count(), "counter") + LINE_END;
        if (counts)
            title += "entry count " + std::to_string(counts->entry_count()) + LINE_END;
        else if (!profile_files_.empty())
            title += std::string("no profile data") + LINE_END;
        out_ << "  subgraph " << quoted("cluster_" + std::to_string(function_number_)) << " {\n";
        out_ << "    label=\"" << escape_lines(title) << "\";\n";
        for (BASIC_BLK* b = first_block(); b; b = next_block()) print_block(counts, b);
        std::unordered_set<const EDGE_INFO*> exits;
        for (const auto& entry : graph.recorded_edges()) exits.insert(entry.second.info);
        for (auto [it, end] = boost::edges(g); it != end; ++it) {
            const EDGE_INFO& info = g[*it];
            BASIC_BLK* source = graph.block_of(boost::source(*it, g));
            BASIC_BLK* target = graph.block_of(boost::target(*it, g));
            bool exit = exits.count(&info) != 0;
            std::string label;
            if (exit) label += std::string("exit") + LINE_END;
            if (counts && !counts->unreachable(counts->vertex_of(source))) {
                // What the profiler writes: the block's count leaves an exit
                // block, a successor's weight every other edge.
                int count = exit ? source->exec_weight() : source->succ_weight(target);
                // A function never entered has nothing to propagate: its
                // edges ran 0 times, as its blocks did.
                if (count < 0 && counts->entry_count() == 0) count = 0;
                label += std::to_string(count) + LINE_END;
            }
            std::string arm = arm_of(source, target);
            if (!arm.empty()) label += arm + LINE_END;
            if (info.index > 0) label += "chord " + std::to_string(info.index) + LINE_END;
            out_ << "    " << node_id(source) << " -> " << node_id(target) << " [label=\""
                 << escape_lines(label) << "\"";
            if (info.index > 0) out_ << ", fontcolor=blue";
            if (exit)
                out_ << ", style=dashed, color=gray, constraint=false";
            else if (source->number_ge(target))
                out_ << ", color=red, style=bold";
            out_ << "];\n";
        }
        out_ << "  }\n";
    }

    void print_block(const PROFILE_GRAPH* counts, BASIC_BLK* b) {
        std::string label = b->name();
        bool never = false;
        if (counts) {
            CFG_VERTEX v = counts->vertex_of(b);
            // A function never entered has nothing to propagate: its
            // counts are 0, not unsettled.
            bool settled = counts->complete(v) || counts->entry_count() == 0;
            if (counts->unreachable(v)) {
                label += "  unreachable";
            } else {
                label += "  count " + std::to_string(b->exec_weight()) + (settled ? "" : " ?");
                never = settled && b->exec_weight() == 0;
            }
        }
        std::string lines = line_range(b);
        if (!lines.empty()) label += "  " + lines;
        label += LINE_END;
        for (STMT_ENTRY* e = b->first(); e; e = e->next) {
            if (e->kind == REC_LABEL || e->kind == REC_EXPR_STMT)
                label += std::string(infix_text(e->tree)) + LINE_END;
            if (e == b->last()) break;
        }
        out_ << "    " << node_id(b) << " [label=\"" << escape_lines(label) << "\"";
        bool entry = is_entry_block(b);
        bool exit = is_exit_block(b);
        if (entry) out_ << ", peripheries=2";
        if (exit && never)
            out_ << ", style=\"rounded,filled\", fillcolor=" << NEVER_COLOUR;
        else if (exit)
            out_ << ", style=rounded";
        else if (never)
            out_ << ", style=filled, fillcolor=" << NEVER_COLOUR;
        out_ << "];\n";
    }

    // Escapes a label made of lines that end in LINE_END, keeping the line
    // ends themselves.
    static std::string escape_lines(const std::string& label) {
        std::string out;
        std::string::size_type at = 0;
        const std::string end = LINE_END;
        while (at < label.size()) {
            std::string::size_type next = label.find(end, at);
            if (next == std::string::npos) next = label.size();
            out += dot_escape(label.substr(at, next - at));
            if (next < label.size()) out += end;
            at = next + end.size();
        }
        return out;
    }

    std::ostream& out_;
    std::vector<std::string> profile_files_;
    std::string only_;
    bool found_ = false;
    int function_number_ = 0;
};

}  // namespace

std::string dot_escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7f) {
            static const char hex[] = "0123456789abcdef";
            out += "\\\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

bool write_unit_dot(std::FILE* f, const DOT_OPTIONS& options, std::ostream& out,
                    std::string* error) {
    DOT_PRINTER manager(out, options);
    PROF_CLIENT client(manager);
    TYPE_PKG types;
    std::unique_ptr<IcodeFile> unit = icode_text::open_unit(f, client, types, error);
    if (!unit) return false;
    manager.set_types(&types);
    manager.set_unit_name(unit->unit_name());
    out << "digraph " << quoted(unit->unit_name()) << " {\n";
    out << "  node [shape=box, fontname=\"monospace\"];\n";
    unit->read_unit();
    unit->close();
    out << "}\n";
    if (!options.function.empty() && !manager.found_function()) {
        *error = "no function " + options.function;
        return false;
    }
    return true;
}

bool write_unit_dot(std::FILE* unit, const std::vector<std::string>& profile_files,
                    std::ostream& out, std::string* error) {
    return write_unit_dot(unit, DOT_OPTIONS{profile_files, ""}, out, error);
}
