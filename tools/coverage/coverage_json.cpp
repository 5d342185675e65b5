// icode coverage --format json: the report in the shape of gcov's JSON
// intermediate format, so that scripts written for that read it:
//
//   {"format_version": "1", "gcc_version": "", "data_file": TABLE,
//    "current_working_directory": FOLDER,
//    "files": [{"file": SOURCE-OR-NAME,
//               "functions": [{"name", "demangled_name", "start_line",
//                              "start_column": 0, "end_line", "end_column": 0,
//                              "blocks": 0, "blocks_executed": 0,
//                              "execution_count"}],
//               "lines": [{"line_number", "count", "unexecuted_block",
//                          "function_name",
//                          "branches": [{"count", "fallthrough", "throw",
//                                        "arm"}]}]}]}
//
// One line entry per line with statements; a function's end_line is its
// last line with a statement.  A branch arm with no count in the unit
// counts 0; "arm" names it ("true", "false", "case 3", "default").
#include <filesystem>
#include <ostream>

#include "tools/coverage/cmd_coverage.h"

namespace {

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

// The function a line belongs to: the first in table order with a row there.
const FUNCTION_COVERAGE* function_at(const FILE_COVERAGE& f, int line) {
    for (const FUNCTION_COVERAGE& fn : f.functions)
        if (fn.lines.count(line)) return &fn;
    return nullptr;
}

// The folder that relative file names are relative to.
std::string current_folder() {
    std::error_code ec;
    std::string folder = std::filesystem::current_path(ec).string();
    return ec ? "" : folder;
}

}  // namespace

void write_coverage_json(const COVERAGE_REPORT& report, std::ostream& out) {
    out << "{\"format_version\": \"1\", \"gcc_version\": \"\", \"data_file\": "
        << quoted(report.table_name)
        << ", \"current_working_directory\": " << quoted(current_folder()) << ",\n \"files\": [";
    const char* file_separator = "";
    for (const FILE_COVERAGE& f : report.files) {
        out << file_separator << "\n  {\"file\": " << quoted(f.source.empty() ? f.name : f.source)
            << ",\n   \"functions\": [";
        file_separator = ",";
        const char* separator = "";
        for (const FUNCTION_COVERAGE& fn : f.functions) {
            int end = fn.lines.empty() ? fn.line : fn.lines.rbegin()->first;
            out << separator << "\n    {\"name\": " << quoted(fn.name)
                << ", \"demangled_name\": " << quoted(fn.name) << ", \"start_line\": " << fn.line
                << ", \"start_column\": 0, \"end_line\": " << end
                << ", \"end_column\": 0, \"blocks\": 0, \"blocks_executed\": 0"
                << ", \"execution_count\": " << fn.count << "}";
            separator = ",";
        }
        out << "],\n   \"lines\": [";
        separator = "";
        for (const auto& [n, l] : f.lines) {
            if (!l.has_statement && l.branches.empty()) continue;
            const FUNCTION_COVERAGE* fn = function_at(f, n);
            out << separator << "\n    {\"line_number\": " << n << ", \"count\": " << l.count
                << ", \"unexecuted_block\": " << (l.executed ? "false" : "true")
                << ", \"function_name\": " << quoted(fn ? fn->name : "") << ", \"branches\": [";
            separator = ",";
            const char* arm_separator = "";
            for (const BRANCH_COUNT* b : l.branches) {
                for (const BRANCH_ARM& arm : b->arms) {
                    out << arm_separator << "{\"count\": " << (arm.count < 0 ? 0 : arm.count)
                        << ", \"fallthrough\": " << (arm.label == "true" ? "true" : "false")
                        << ", \"throw\": false, \"arm\": " << quoted(arm.label) << "}";
                    arm_separator = ", ";
                }
            }
            out << "]}";
        }
        out << "]}";
    }
    out << "]}\n";
}
