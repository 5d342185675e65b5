// icode coverage TABLE.csv [--source DIR] [--unit OUT] [--format F] [-o FILE]
//                [--fail-under-line N] [--fail-under-branch N]
//                [--fail-under-function N]
// A code-coverage table, as `trelv --analyze=codecov` appends it, turned
// into a report per source file, or exported for other tools (--format
// lcov, json or cobertura; see coverage_*.cpp).
//
// Layout of the text report (stable; golden tests compare it byte for byte):
//
//   coverage of TABLE.csv
//                                          (blank line before each file)
//   file /abs/path/demo.c                  files in byte order of their names
//   source src/demo.c                      the file the lines were read from
//        count   line  text
//            -      1  /* demo.c */        no statement on the line
//           10     13      if (v > 0 && v < limit)
//                        branch ( v > 0 ): true 7, false 3
//        #####     16          return 0;   statements, none executed
//   statements 15, executed 12 (80.0%)
//   lines 10/12 (83.3%)  functions 4/4 (100.0%)  branches 9/10 (90.0%)
//   missing lines 16, 18-19                (when there are any)
//   function classify line 13: called 10   per function, table order
//
//   file /abs/path/other.c
//   source not found
//        count   line  function            one line per function and line,
//            4      7  main                functions in table order, lines
//        #####      9  main                ascending
//   ...
//
//   total: 2 files, 17 statements, executed 13 (76.5%)
//   lines 11/13 (84.6%)  functions 5/5 (100.0%)  branches 9/10 (90.0%)
//
// A line's count is the largest count of its statements: a line that holds
// a lowered condition has one statement per simple condition, and the first
// of them runs as often as the line is reached.  A statement is one row of
// the table (after repeated runs are folded, see read_coverage_table); it
// is executed when its count is not 0.  Counts are 32-bit and unsigned.
// The count column is 10 wide, the line column 6, and two blanks lead to
// the text (none when the text is empty).  The lines shown are the source
// file's lines, then those lines beyond its end that have rows (an older
// table), with an empty text: the report never grows beyond its inputs.
// Branch lines (--unit) follow their line, indented to the text column; a
// switch names its arms by their cases; "-" stands for a count the unit
// does not carry.
//
// With --unit, the output unit of a run that used the same profile data:
// where it disagrees with the table (coverage_mismatch.cpp) a warning on
// standard error says so; its branches are matched to table files by the canonical path of their
// position's file or, failing that, by a row of the same function, line
// and column.  Branches of functions the run did not annotate carry no
// counts and are left out.
//
// Status 0; 1 when the table or the unit cannot be read, or when lines of
// the table were not rows (they are named on standard error and skipped);
// 2 when a --fail-under minimum is not reached.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/coverage/cmd_coverage.h"

namespace {

constexpr const char* NEVER = "#####";

std::string count_text(int64_t count) { return count < 0 ? "-" : std::to_string(count); }

// One report line: the count and line columns, then the text (an empty
// text leaves no blanks at the end of the line).
std::string report_line(const std::string& count, int line, const std::string& text) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%10s %6d", count.c_str(), line);
    return text.empty() ? std::string(buf) : std::string(buf) + "  " + text;
}

std::string line_count(const LINE_COVERAGE& l) {
    if (!l.has_statement) return "-";
    return l.executed ? std::to_string(l.count) : NEVER;
}

std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void print_branches(const LINE_COVERAGE& l, std::ostream& out) {
    for (const BRANCH_COUNT* b : l.branches) {
        out << std::string(19, ' ')
            << (b->is_switch                   ? "switch ( "
                : b->is_conditional_expression ? "?: ( "
                                               : "branch ( ")
            << b->condition << " ):";
        const char* separator = " ";
        for (const BRANCH_ARM& arm : b->arms) {
            out << separator << arm.label << " " << count_text(arm.count);
            separator = ", ";
        }
        out << "\n";
    }
}

std::string ratio(unsigned part, unsigned whole) {
    return std::to_string(part) + "/" + std::to_string(whole) + " (" +
           coverage_percent(part, whole) + ")";
}

void print_summary(const COVERAGE_TOTALS& t, std::ostream& out) {
    out << "lines " << ratio(t.lines_hit, t.lines) << "  functions "
        << ratio(t.functions_hit, t.functions) << "  branches " << ratio(t.branches_hit, t.branches)
        << "\n";
}

// "missing lines 16, 18-19": the lines with statements that never ran, as
// ranges of lines that follow each other among the lines with statements.
void print_missing(const FILE_COVERAGE& f, std::ostream& out) {
    std::string text;
    int first = 0, last = 0;
    bool open = false;
    auto close = [&] {
        if (!open) return;
        if (!text.empty()) text += ", ";
        text += std::to_string(first);
        if (last != first) text += "-" + std::to_string(last);
        open = false;
    };
    for (const auto& [n, l] : f.lines) {
        if (!l.has_statement) continue;
        if (l.executed) {
            close();
        } else if (open) {
            last = n;
        } else {
            first = last = n;
            open = true;
        }
    }
    close();
    if (!text.empty()) out << "missing lines " << text << "\n";
}

void print_file(const FILE_COVERAGE& f, std::ostream& out) {
    out << "\nfile " << f.name << "\n";
    if (!f.source.empty()) {
        out << "source " << f.source << "\n";
        out << "     count   line  text\n";
        std::vector<std::string> text = read_lines(f.source);
        auto row = f.lines.begin();
        for (int n = 1; n <= int(text.size()); ++n) {
            while (row != f.lines.end() && row->first < n) ++row;
            bool here = row != f.lines.end() && row->first == n;
            out << report_line(here ? line_count(row->second) : "-", n, text[std::size_t(n - 1)])
                << "\n";
            if (here) print_branches(row->second, out);
        }
        // Rows past the end of the source (or before its first line).
        for (const auto& [n, l] : f.lines) {
            if (n >= 1 && n <= int(text.size())) continue;
            out << report_line(line_count(l), n, "") << "\n";
            print_branches(l, out);
        }
    } else {
        out << "source not found\n";
        out << "     count   line  function\n";
        for (const FUNCTION_COVERAGE& fn : f.functions) {
            for (const auto& [n, l] : fn.lines) {
                out << report_line(line_count(l), n, fn.name) << "\n";
                print_branches(l, out);
            }
        }
    }
    out << "statements " << f.totals.statements << ", executed " << f.totals.statements_hit << " ("
        << coverage_percent(f.totals.statements_hit, f.totals.statements) << ")\n";
    print_summary(f.totals, out);
    print_missing(f, out);
    for (const FUNCTION_COVERAGE& fn : f.functions)
        out << "function " << fn.name << " line " << fn.line << ": called " << fn.count << "\n";
}

struct COVERAGE_COMMAND {
    COVERAGE_OPTIONS options;
    std::string unit_name;
    std::string format = "text";
    std::string output;
    double fail_under_line = -1, fail_under_branch = -1, fail_under_function = -1;
};

// Prints the failure of one minimum; true when it was reached.
bool reaches(const char* what, unsigned part, unsigned whole, double minimum) {
    if (minimum < 0) return true;
    double got = whole ? 100.0 * part / whole : 0.0;
    // Compared as printed, so that "got 90.0%" never fails "minimum 90".
    char got_text[32], minimum_text[32];
    std::snprintf(got_text, sizeof got_text, "%.1f", got);
    std::snprintf(minimum_text, sizeof minimum_text, "%.1f", minimum);
    if (std::strtod(got_text, nullptr) >= std::strtod(minimum_text, nullptr)) return true;
    std::cerr << "failed minimum " << what << " coverage (got " << got_text << "%, minimum "
              << minimum_text << "%)\n";
    return false;
}

int report_coverage(COVERAGE_COMMAND& command) {
    COVERAGE_OPTIONS& options = command.options;
    const std::string& unit_name = command.unit_name;
    std::ifstream in(options.table_name, std::ios::binary);
    if (!in) {
        std::cerr << options.table_name << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    COVERAGE_TABLE table;
    if (!read_coverage_table(in, table)) {
        std::cerr << options.table_name << ": not a code-coverage table\n";
        return 1;
    }
    std::vector<BRANCH_COUNT> branches;
    if (!unit_name.empty()) {
        options.with_branches = true;
        std::FILE* f = std::fopen(unit_name.c_str(), "rb");
        if (!f) {
            std::cerr << unit_name << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        std::string error;
        if (!read_branch_counts(f, branches, &error)) {
            std::cerr << unit_name << ": " << error << "\n";
            return 1;
        }
        for (const std::string& m : coverage_mismatches(table, branches))
            std::cerr << unit_name << ": warning: " << m << "\n";
    }
    COVERAGE_REPORT report = build_coverage_report(table, branches, options);
    std::ofstream file;
    if (!command.output.empty()) {
        file.open(command.output, std::ios::binary);
        if (!file) {
            std::cerr << command.output << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    std::ostream& out = command.output.empty() ? std::cout : file;
    if (command.format == "lcov")
        write_coverage_lcov(report, out);
    else if (command.format == "json")
        write_coverage_json(report, out);
    else if (command.format == "cobertura")
        write_coverage_cobertura(report, out);
    else
        write_coverage_text(report, out);
    out.flush();
    if (!out) {
        std::cerr << (command.output.empty() ? "standard output" : command.output)
                  << ": write failed\n";
        return 1;
    }
    for (int line : table.bad)
        std::cerr << options.table_name << ":" << line << ": not a row, skipped\n";
    const COVERAGE_TOTALS& t = report.totals;
    bool ok = reaches("line", t.lines_hit, t.lines, command.fail_under_line);
    ok = reaches("branch", t.branches_hit, t.branches, command.fail_under_branch) && ok;
    ok = reaches("function", t.functions_hit, t.functions, command.fail_under_function) && ok;
    if (!ok) return 2;
    return table.bad.empty() ? 0 : 1;
}

}  // namespace

void write_coverage_text(const COVERAGE_REPORT& report, std::ostream& out) {
    out << "coverage of " << report.table_name << "\n";
    for (const FILE_COVERAGE& f : report.files) print_file(f, out);
    const COVERAGE_TOTALS& t = report.totals;
    out << "\ntotal: " << report.files.size() << (report.files.size() == 1 ? " file, " : " files, ")
        << t.statements << " statements, executed " << t.statements_hit << " ("
        << coverage_percent(t.statements_hit, t.statements) << ")\n";
    print_summary(t, out);
}

void write_coverage_report(const COVERAGE_TABLE& table, const std::vector<BRANCH_COUNT>& branches,
                           const COVERAGE_OPTIONS& options, std::ostream& out) {
    write_coverage_text(build_coverage_report(table, branches, options), out);
}

void add_cmd_coverage(CLI::App& icode, int& status) {
    auto c = std::make_shared<COVERAGE_COMMAND>();
    CLI::App* sub =
        icode.add_subcommand("coverage", "a per-file report from a code-coverage table");
    sub->add_option("TABLE", c->options.table_name, "the code-coverage table (CSV)")->required();
    sub->add_option("--source", c->options.source_dir, "look for the source files under DIR")
        ->type_name("DIR");
    sub->add_option("--unit", c->unit_name, "the annotated unit of the run, for branch counts")
        ->type_name("UNIT");
    sub->add_option("--format", c->format, "text (default), lcov, json or cobertura")
        ->check(CLI::IsMember({"text", "lcov", "json", "cobertura"}))
        ->type_name("FORMAT");
    sub->add_option("-o,--output", c->output, "write the report to FILE")->type_name("FILE");
    sub->add_option("--fail-under-line", c->fail_under_line,
                    "status 2 when less than N% of the lines ran")
        ->check(tool_percentage())
        ->type_name("N");
    sub->add_option("--fail-under-branch", c->fail_under_branch,
                    "status 2 when less than N% of the branch arms were taken")
        ->check(tool_percentage())
        ->type_name("N");
    sub->add_option("--fail-under-function", c->fail_under_function,
                    "status 2 when less than N% of the functions were entered")
        ->check(tool_percentage())
        ->type_name("N");
    sub->callback([c, &status] { status = report_coverage(*c); });
}
