// Gathering a code-coverage table (and the branches of an annotated unit)
// by source file, with the totals that the text report and the exports
// print.
//
// A line counts when a statement is on it and is hit when one of them ran;
// a function is hit when it was entered (its first row's count); a branch
// counts once per arm and is hit when that arm's count is known and not 0.
#include <sys/stat.h>
#include <algorithm>
#include <cstdio>

#include "profmgr/profile_data_path.h"
#include "tools/coverage/cmd_coverage.h"

namespace {

bool file_exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The source file for table file F, or "" when none is found: with a
// source folder, that folder joined with the longest tail of F's folders
// that names an existing file (F's base name last); then F itself.
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

void note_row(LINE_COVERAGE& l, const COVERAGE_ROW& r) {
    if (!l.has_statement || r.count > l.count) l.count = r.count;
    l.has_statement = true;
    if (r.count != 0) l.executed = true;
}

// The table file that a branch belongs to: by the canonical path of its
// position's file or, failing that, by a row of the same function, line and
// column.  "" when none.
std::string file_of(const BRANCH_COUNT& b, const std::map<std::string, FILE_COVERAGE>& files,
                    const COVERAGE_TABLE& table) {
    auto canonical = files.find(canonical_path(b.file));
    if (canonical != files.end()) return canonical->first;
    for (const COVERAGE_ROW& r : table.rows)
        if (r.function == b.function && r.line == b.line && r.column == b.column) return r.file;
    return "";
}

}  // namespace

void COVERAGE_TOTALS::add(const COVERAGE_TOTALS& o) {
    statements += o.statements;
    statements_hit += o.statements_hit;
    lines += o.lines;
    lines_hit += o.lines_hit;
    functions += o.functions;
    functions_hit += o.functions_hit;
    branches += o.branches;
    branches_hit += o.branches_hit;
}

std::string coverage_percent(unsigned part, unsigned whole) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f%%", whole ? 100.0 * part / whole : 0.0);
    return buf;
}

COVERAGE_REPORT build_coverage_report(const COVERAGE_TABLE& table,
                                      const std::vector<BRANCH_COUNT>& branches,
                                      const COVERAGE_OPTIONS& options) {
    std::map<std::string, FILE_COVERAGE> files;
    for (const COVERAGE_ROW& r : table.rows) {
        FILE_COVERAGE& f = files[r.file];
        note_row(f.lines[r.line], r);
        auto fn = std::find_if(f.functions.begin(), f.functions.end(),
                               [&](const FUNCTION_COVERAGE& c) { return c.name == r.function; });
        if (fn == f.functions.end()) {
            fn = f.functions.insert(f.functions.end(), FUNCTION_COVERAGE());
            fn->name = r.function;
            fn->line = r.line;
            fn->count = r.count;
        }
        note_row(fn->lines[r.line], r);
        ++f.totals.statements;
        if (r.count != 0) ++f.totals.statements_hit;
    }
    if (options.with_branches) {
        for (const BRANCH_COUNT& b : branches) {
            std::string file = file_of(b, files, table);
            if (file.empty()) continue;
            FILE_COVERAGE& f = files[file];
            f.lines[b.line].branches.push_back(&b);
            for (FUNCTION_COVERAGE& fn : f.functions)
                if (fn.name == b.function) fn.lines[b.line].branches.push_back(&b);
        }
    }
    COVERAGE_REPORT report;
    report.table_name = options.table_name;
    for (auto& [name, f] : files) {
        f.name = name;
        f.source = find_source(name, options.source_dir);
        for (const auto& [n, l] : f.lines) {
            if (l.has_statement) {
                ++f.totals.lines;
                if (l.executed) ++f.totals.lines_hit;
            }
            for (const BRANCH_COUNT* b : l.branches) {
                f.totals.branches += unsigned(b->arms.size());
                for (const BRANCH_ARM& arm : b->arms)
                    if (arm.count > 0) ++f.totals.branches_hit;
            }
        }
        f.totals.functions = unsigned(f.functions.size());
        for (const FUNCTION_COVERAGE& fn : f.functions)
            if (fn.count != 0) ++f.totals.functions_hit;
        report.totals.add(f.totals);
        report.files.push_back(std::move(f));
    }
    return report;
}
