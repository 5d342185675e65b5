// Reading a code-coverage table for icode coverage.
#include <cstdlib>
#include <istream>
#include <limits>
#include <map>
#include <utility>

#include "profmgr/analysis_tables_steps.h"
#include "profmgr/bounded_line.h"
#include "tools/coverage/cmd_coverage.h"

namespace {

// Reads an optionally negative decimal number at `at`, which is advanced.
bool read_number(const std::string& s, std::size_t& at, long long& value) {
    std::size_t start = at;
    if (at < s.size() && s[at] == '-') ++at;
    std::size_t digits = at;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
    if (at == digits || at - digits > 12) return false;
    value = std::strtoll(s.c_str() + start, nullptr, 10);
    return true;
}

// Parses `,L,C,F,"` at `at`.
bool read_numbers(const std::string& s, std::size_t at, long long (&v)[3], std::size_t& end) {
    for (long long& n : v) {
        if (at >= s.size() || s[at] != ',') return false;
        ++at;
        if (!read_number(s, at, n)) return false;
    }
    if (s.compare(at, 2, ",\"") != 0) return false;
    end = at + 2;
    return true;
}

// The longest row read, line end excluded: far beyond any statement text
// the profiler writes, small enough that a table that never ends a line
// cannot fill the memory.
constexpr std::size_t COVERAGE_ROW_MAX = std::size_t{1} << 20;

bool same_statement(const COVERAGE_ROW& a, const COVERAGE_ROW& b) {
    return a.file == b.file && a.function == b.function && a.line == b.line &&
           a.column == b.column && a.comment == b.comment;
}

}  // namespace

bool parse_coverage_row(const std::string& line, COVERAGE_ROW& row) {
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') return false;
    std::size_t file_end = line.find("\",\"", 1);
    if (file_end == std::string::npos) return false;
    std::size_t function_start = file_end + 3;
    for (std::size_t q = line.find("\",", function_start); q != std::string::npos;
         q = line.find("\",", q + 1)) {
        long long v[3];
        std::size_t comment_start;
        if (!read_numbers(line, q + 1, v, comment_start)) continue;
        if (comment_start > line.size() - 1) continue;  // the closing quote is needed
        row.file = line.substr(1, file_end - 1);
        row.function = line.substr(function_start, q - function_start);
        row.line = int(v[0]);
        row.column = int(v[1]);
        // The table prints the 32-bit count as a signed number.
        row.count = uint32_t(v[2]);
        row.comment = line.substr(comment_start, line.size() - 1 - comment_start);
        return true;
    }
    return false;
}

bool read_coverage_table(std::istream& in, COVERAGE_TABLE& table) {
    std::string line;
    // The header line is read no further than the header and a "\r".
    const std::string header = analysis_header(ANALYSIS_TABLE::CODE_COVERAGE);
    if (read_bounded_line(in, line, header.size() + 1) != LINE_READ::LINE) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != analysis_header(ANALYSIS_TABLE::CODE_COVERAGE)) return false;

    // Groups of rows, by function; a later group of the same function and
    // first file replaces an earlier one in place.
    std::vector<std::vector<COVERAGE_ROW>> groups;
    std::map<std::pair<std::string, std::string>, std::size_t> group_of;
    std::vector<COVERAGE_ROW> current;
    auto close_group = [&] {
        if (current.empty()) return;
        auto key = std::make_pair(current.front().function, current.front().file);
        auto it = group_of.find(key);
        if (it == group_of.end()) {
            group_of[key] = groups.size();
            groups.push_back(std::move(current));
        } else {
            groups[it->second] = std::move(current);
        }
        current.clear();
    };
    int number = 1;
    for (LINE_READ r; (r = read_bounded_line(in, line, COVERAGE_ROW_MAX)) != LINE_READ::END;) {
        ++number;
        if (r == LINE_READ::TOO_LONG) {
            // Not a row the profiler writes: reported as a line that is not a
            // row, and skipped without being held.
            table.bad.push_back(number);
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        COVERAGE_ROW row;
        if (!parse_coverage_row(line, row)) {
            table.bad.push_back(number);
            continue;
        }
        if (!current.empty() &&
            (row.function != current.front().function || same_statement(row, current.front())))
            close_group();
        current.push_back(std::move(row));
    }
    close_group();
    for (auto& g : groups)
        for (auto& r : g) table.rows.push_back(std::move(r));
    return true;
}
