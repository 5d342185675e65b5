// The steps behind the analysis tables: choosing the file, its header,
// the rows' text and the run's one analysis stream.  The profile manager
// only needs analysis_tables.h; these are separate so that each step can be
// tested on its own.
#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <string>

#include "profmgr/analysis_tables.h"

// ---- choosing the file ----

// The environment values that decide where a table goes; a variable that is
// not set is nullopt (set but empty is an empty string, which counts as set).
struct ANALYSIS_ENVIRONMENT {
    std::optional<std::string> analysis_dir;  // ZK_ANALYSIS_DIR
    // The variables of the table kinds (file names and directory
    // fallbacks) that are set, by name.
    std::map<std::string, std::string> variables;

    // The value of variable `name`; nullopt when it is not set or `name`
    // is null.
    std::optional<std::string> value(const char* name) const;
    // The values of the process environment now.
    static ANALYSIS_ENVIRONMENT current();
};

// Joins directory, name and extension: without a directory the name stands
// alone; a non-empty directory not ending in "\", "/" or ":" gets a
// separator, "/" when it holds a "/" and "\" otherwise; an extension gets a
// "." in front unless it has one.
std::string join_analysis_path(const std::optional<std::string>& directory, const std::string& name,
                               const std::string& extension);

// The base name (no directory, no extension) of canonical_path(unit_name).
std::string analysis_base_name(const std::string& unit_name);

// The file a table of the run goes to.
std::string analysis_file_path(ANALYSIS_TABLE table, const std::string& unit_name,
                               const ANALYSIS_ENVIRONMENT& environment);

// ---- header ----

// The header line of a table, without its line end.
const char* analysis_header(ANALYSIS_TABLE table);

// Reads the first line of an existing table and compares it with the
// header of `table`; a mismatch or an unreadable first line is reported as a
// fatal error naming `path`, and the result is false.
bool check_analysis_header(const std::string& path, std::istream& in, ANALYSIS_TABLE table);

// ---- rows ----

// One code-coverage row and one call-graph row, each with its line end.
// Nothing in the quoted fields is escaped.
std::string coverage_row(const std::string& file, const std::string& function, int line, int column,
                         int frequency, const std::string& comment);
std::string callgraph_row(const std::string& caller, const std::string& callee, int weight);

// The row writers of the two kinds (ANALYSIS_TABLE_KIND::write_rows).
void write_coverage_rows(PROFILE_ICODE_MGR& manager, BASIC_BLK* block);
void write_callgraph_rows(PROFILE_ICODE_MGR& manager, BASIC_BLK* block);

// ---- the analysis stream ----

// The run's table stream, opened at the first call of the run: the file is
// chosen from the current environment and `unit_name`, its header checked
// or written.  Null when the stream could not be opened or has failed since;
// it then stays failed for the rest of the run.  `analyze_only` makes a file
// that cannot be opened fatal instead of an error.
std::ostream* analysis_stream(ANALYSIS_TABLE table, const std::string& unit_name,
                              bool analyze_only);

// Writes a row and flushes it.
void put_analysis_row(std::ostream& out, const std::string& row);
