// icode coverage: a code-coverage table turned into a per-file report.
// The pieces of the command, separate so that tests can reach them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <map>
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

// One arm of a branch and its count, -1 where the unit carries none.
struct BRANCH_ARM {
    std::string label;  // "true", "false", "case 10|9", "default"
    int64_t count = -1;
};

// One branch of an annotated unit: a two-way condition or conditional
// expression (arms "true" and "false", the condition as the source wrote
// it) or a switch (one arm per
// target, "default" last when the source has none), with the counts that
// the profiler wrote as weights.
struct BRANCH_COUNT {
    std::string function;
    std::string file;  // the position's file name as the unit holds it
    int line = 0;
    int column = 0;
    std::string condition;  // the condition, or the switch's expression
    bool is_switch = false;
    bool is_conditional_expression = false;  // "c ? x : y"
    std::vector<BRANCH_ARM> arms;
};
// Reads the branches of a unit (closing `unit`); false, with a message,
// when it is not an I-code unit.
bool read_branch_counts(std::FILE* unit, std::vector<BRANCH_COUNT>& branches, std::string* error);

// Where the branches of a unit disagree with a table: functions with
// branch counts but no rows, branches whose arms do not add up to the count
// of the statement that branches.  One message per line, in unit order.
std::vector<std::string> coverage_mismatches(const COVERAGE_TABLE& table,
                                             const std::vector<BRANCH_COUNT>& branches);

struct COVERAGE_OPTIONS {
    std::string table_name;  // shown in the report's first line
    std::string source_dir;  // --source; empty for none
    bool with_branches = false;
};

// The coverage of one source file: its lines, functions and branches.
struct LINE_COVERAGE {
    uint32_t count = 0;  // the largest count of the line's statements
    bool has_statement = false;
    bool executed = false;
    std::vector<const BRANCH_COUNT*> branches;
};
struct FUNCTION_COVERAGE {
    std::string name;
    int line = 0;        // the line of its first row
    uint32_t count = 0;  // its first row's count: how often it was entered
    std::map<int, LINE_COVERAGE> lines;
};
struct COVERAGE_TOTALS {
    unsigned statements = 0, statements_hit = 0;
    unsigned lines = 0, lines_hit = 0;
    unsigned functions = 0, functions_hit = 0;
    unsigned branches = 0, branches_hit = 0;  // arms
    void add(const COVERAGE_TOTALS& other);
};
struct FILE_COVERAGE {
    std::string name;    // as the table names it
    std::string source;  // the file the lines are read from; "" if none
    std::map<int, LINE_COVERAGE> lines;
    std::vector<FUNCTION_COVERAGE> functions;  // in table order
    COVERAGE_TOTALS totals;
};
struct COVERAGE_REPORT {
    std::string table_name;
    std::vector<FILE_COVERAGE> files;  // in byte order of their names
    COVERAGE_TOTALS totals;
};

// Gathers the rows and branches by file, finding each file's source.  The
// report points into `branches`, which must outlive it.
COVERAGE_REPORT build_coverage_report(const COVERAGE_TABLE& table,
                                      const std::vector<BRANCH_COUNT>& branches,
                                      const COVERAGE_OPTIONS& options);

// The report as text (layout in cmd_coverage.cpp).
void write_coverage_text(const COVERAGE_REPORT& report, std::ostream& out);
void write_coverage_report(const COVERAGE_TABLE& table, const std::vector<BRANCH_COUNT>& branches,
                           const COVERAGE_OPTIONS& options, std::ostream& out);

// Exports for other tools (layouts in their files).
void write_coverage_lcov(const COVERAGE_REPORT& report, std::ostream& out);
void write_coverage_json(const COVERAGE_REPORT& report, std::ostream& out);
void write_coverage_cobertura(const COVERAGE_REPORT& report, std::ostream& out);

// "87.0%": a share with one decimal, 0.0% of nothing.
std::string coverage_percent(unsigned part, unsigned whole);
