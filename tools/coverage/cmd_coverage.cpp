// icode coverage TABLE.csv [--source DIR] [--unit OUT]: a code-coverage
// table, as `trelv --analyze=codecov` appends it, turned into a report per
// source file.
//
// Layout (stable; golden tests compare it byte for byte):
//
//   coverage of TABLE.csv
//                                          (blank line before each file)
//   file /abs/path/demo.c                  files in byte order of their names
//   source src/demo.c                      the file the lines were read from
//        count   line  text
//            -      1  /* demo.c */        no statement on the line
//           10     13      if (v > 0 && v < limit)
//                        branch ( v <= 0 ): taken 3, not taken 7
//        #####     16          return 0;   statements, none executed
//   statements 15, executed 12 (80.0%)
//
//   file /abs/path/other.c
//   source not found
//        count   line  function            one line per function and line,
//            4      7  main                functions in table order, lines
//        #####      9  main                ascending
//   statements 2, executed 1 (50.0%)
//
//   total: 2 files, 17 statements, executed 13 (76.5%)
//
// A line's count is the largest count of its statements: a line that holds
// a lowered condition has one statement per simple condition, and the first
// of them runs as often as the line is reached.  A statement is one row of
// the table (after repeated runs are folded, see read_coverage_table); it
// is executed when its count is not 0.  Counts are 32-bit and unsigned.
// The count column is 10 wide, the line column 6, and two blanks lead to
// the text (none when the text is empty).  Rows for lines beyond the end of
// the source file (an older table) show those lines with an empty text.
// Branch lines (--unit) follow their line, indented to the text column;
// "-" stands for a count the unit does not carry.
//
// The source file of a table file F: with --source DIR, DIR joined with the
// longest tail of F's directories that names an existing file (F's base
// name last); then F itself.
//
// With --unit, the output unit of a run that used the same profile data:
// its conditional branches are matched to table files by the canonical
// path of their position's file or, failing that, by a row of the same
// function, line and column.  Branches of functions the run did not
// annotate carry no counts and are left out.
//
// Status 0; 1 when the table or the unit cannot be read, or when lines of
// the table were not rows (they are named on standard error and skipped).
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

#include "profmgr/profile_data_path.h"
#include "tools/coverage/cmd_coverage.h"
#include "tools/commands.h"

namespace {

constexpr const char* NEVER = "#####";

struct LINE_INFO {
    uint32_t count = 0;
    bool has_statement = false;
    bool executed = false;
    std::vector<const BRANCH_COUNT*> branches;
};

struct FILE_INFO {
    std::map<int, LINE_INFO> lines;
    // (function, line) in table order of the functions.
    std::vector<std::string> functions;
    std::map<std::string, std::map<int, LINE_INFO>> by_function;
    unsigned statements = 0;
    unsigned executed = 0;
};

std::string count_text(int64_t count) { return count < 0 ? "-" : std::to_string(count); }

std::string percent(unsigned part, unsigned whole) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f%%", whole ? 100.0 * part / whole : 0.0);
    return buf;
}

// One report line: the count and line columns, then the text (an empty
// text leaves no blanks at the end of the line).
std::string report_line(const std::string& count, int line, const std::string& text) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%10s %6d", count.c_str(), line);
    return text.empty() ? std::string(buf) : std::string(buf) + "  " + text;
}

std::string line_count(const LINE_INFO& l) {
    if (!l.has_statement) return "-";
    return l.executed ? std::to_string(l.count) : NEVER;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The source file for table file F, or "" when none is found.
std::string find_source(const std::string& table_file, const std::string& source_dir) {
    if (!source_dir.empty()) {
        std::vector<std::string> parts;
        std::string part;
        for (char c : table_file) {
            if (c == '/' || c == '\\') {
                if (!part.empty()) parts.push_back(part);
                part.clear();
            } else {
                part += c;
            }
        }
        if (!part.empty()) parts.push_back(part);
        for (std::size_t first = 0; first < parts.size(); ++first) {
            std::string candidate = source_dir;
            for (std::size_t i = first; i < parts.size(); ++i) candidate += "/" + parts[i];
            if (file_exists(candidate)) return candidate;
        }
    }
    if (file_exists(table_file)) return table_file;
    return "";
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

void note_row(LINE_INFO& l, const COVERAGE_ROW& r) {
    if (!l.has_statement || r.count > l.count) l.count = r.count;
    l.has_statement = true;
    if (r.count != 0) l.executed = true;
}

void print_branches(const LINE_INFO& l, std::ostream& out) {
    for (const BRANCH_COUNT* b : l.branches)
        out << std::string(19, ' ') << "branch " << b->condition << ": taken "
            << count_text(b->taken) << ", not taken " << count_text(b->not_taken) << "\n";
}

}  // namespace

void write_coverage_report(const COVERAGE_TABLE& table, const std::vector<BRANCH_COUNT>& branches,
                           const COVERAGE_OPTIONS& options, std::ostream& out) {
    std::map<std::string, FILE_INFO> files;
    for (const COVERAGE_ROW& r : table.rows) {
        FILE_INFO& f = files[r.file];
        note_row(f.lines[r.line], r);
        if (!f.by_function.count(r.function)) f.functions.push_back(r.function);
        note_row(f.by_function[r.function][r.line], r);
        ++f.statements;
        if (r.count != 0) ++f.executed;
    }
    if (options.with_branches) {
        for (const BRANCH_COUNT& b : branches) {
            std::string file;
            auto canonical = files.find(canonical_path(b.file));
            if (canonical != files.end()) {
                file = canonical->first;
            } else {
                for (const COVERAGE_ROW& r : table.rows) {
                    if (r.function == b.function && r.line == b.line && r.column == b.column) {
                        file = r.file;
                        break;
                    }
                }
            }
            if (file.empty()) continue;
            FILE_INFO& f = files[file];
            f.lines[b.line].branches.push_back(&b);
            auto fn = f.by_function.find(b.function);
            if (fn != f.by_function.end()) fn->second[b.line].branches.push_back(&b);
        }
    }

    out << "coverage of " << options.table_name << "\n";
    unsigned statements = 0, executed = 0;
    for (const auto& [name, f] : files) {
        out << "\nfile " << name << "\n";
        std::string source = find_source(name, options.source_dir);
        if (!source.empty()) {
            out << "source " << source << "\n";
            out << "     count   line  text\n";
            std::vector<std::string> text = read_lines(source);
            int last = int(text.size());
            if (!f.lines.empty()) last = std::max(last, f.lines.rbegin()->first);
            for (int n = 1; n <= last; ++n) {
                auto it = f.lines.find(n);
                std::string shown = n <= int(text.size()) ? text[std::size_t(n - 1)] : "";
                out << report_line(it == f.lines.end() ? "-" : line_count(it->second), n, shown)
                    << "\n";
                if (it != f.lines.end()) print_branches(it->second, out);
            }
        } else {
            out << "source not found\n";
            out << "     count   line  function\n";
            for (const std::string& fn : f.functions) {
                for (const auto& [n, l] : f.by_function.at(fn)) {
                    out << report_line(line_count(l), n, fn) << "\n";
                    print_branches(l, out);
                }
            }
        }
        out << "statements " << f.statements << ", executed " << f.executed << " ("
            << percent(f.executed, f.statements) << ")\n";
        statements += f.statements;
        executed += f.executed;
    }
    out << "\ntotal: " << files.size() << (files.size() == 1 ? " file, " : " files, ") << statements
        << " statements, executed " << executed << " (" << percent(executed, statements) << ")\n";
}

int cmd_coverage(int argc, char** argv) {
    COVERAGE_OPTIONS options;
    std::string unit_name;
    bool bad = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--source" && i + 1 < argc)
            options.source_dir = argv[++i];
        else if (a == "--unit" && i + 1 < argc)
            unit_name = argv[++i];
        else if (options.table_name.empty() && a.rfind("--", 0) != 0)
            options.table_name = a;
        else
            bad = true;
    }
    if (bad || options.table_name.empty()) {
        std::cerr << "usage: icode coverage TABLE.csv [--source DIR] [--unit OUT]\n";
        return 2;
    }
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
    }
    write_coverage_report(table, branches, options, std::cout);
    std::cout.flush();
    for (int line : table.bad)
        std::cerr << options.table_name << ":" << line << ": not a row, skipped\n";
    return table.bad.empty() ? 0 : 1;
}
