// icode coverage: a code-coverage table turned into a per-file report.
// The pieces of the command, separate so that tests can reach them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <vector>

// One row of a code-coverage table.
struct COVERAGE_ROW {
    std::string file;  // canonical path of the statement's source file
    std::string function;
    int line = 0;
    int column = 0;
    uint32_t count = 0;   // the frequency, a 32-bit count
    std::string comment;  // the statement's infix text
};

// Splits one row.  The quoted fields are not escaped in the table, so the
// file name is taken up to the first "\",\"" and the function name up to
// the first "\"," that three numbers and ",\"" follow; the comment is the
// rest of the line without its closing quote.  False for a line that does
// not have that shape.
bool parse_coverage_row(const std::string& line, COVERAGE_ROW& row);

// The rows of a table, each function's rows once.  A table collects the rows
// of every run: when a unit was profiled again, the rows of a function come
// again, and the last group of rows of a function (same function name, same
// file in its first row) replaces the earlier ones.  A group ends where the
// function name changes or where the group's first row comes again.
struct COVERAGE_TABLE {
    std::vector<COVERAGE_ROW> rows;
    std::vector<int> bad;  // numbers of the lines that are not rows
};
// False when the first line is not the code-coverage header.
bool read_coverage_table(std::istream& in, COVERAGE_TABLE& table);

// One conditional branch of an annotated unit: the counts that the
// profiler wrote as weights on the jump (taken) and on the explicit branch
// that carries the fall-through count (not taken); -1 where there is none.
struct BRANCH_COUNT {
    std::string function;
    std::string file;  // the position's file name as the unit holds it
    int line = 0;
    int column = 0;
    std::string condition;  // infix text of the condition under which it jumps
    int64_t taken = -1;
    int64_t not_taken = -1;
};
// Reads the branches of a unit (closing `unit`); false, with a message,
// when it is not an I-code unit.
bool read_branch_counts(std::FILE* unit, std::vector<BRANCH_COUNT>& branches, std::string* error);

struct COVERAGE_OPTIONS {
    std::string table_name;  // shown in the report's first line
    std::string source_dir;  // --source; empty for none
    bool with_branches = false;
};
void write_coverage_report(const COVERAGE_TABLE& table, const std::vector<BRANCH_COUNT>& branches,
                           const COVERAGE_OPTIONS& options, std::ostream& out);
