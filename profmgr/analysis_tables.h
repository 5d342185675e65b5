// Analysis tables: code-coverage and call-graph rows appended to a
// comma-separated file for other tools, one table per run.
//
// The table file is found through the environment (see
// analysis_tables_steps.h), checked or created with its header at the first
// row of the run, and appended to; it is never truncated, so one table
// collects the rows of many runs.
#pragma once

#include <vector>

class BASIC_BLK;
class PROFILE_ICODE_MGR;

// The kinds of table; --analyze selects one for the whole run.
enum class ANALYSIS_TABLE { CODE_COVERAGE, CALL_GRAPH };

// Everything that sets one kind of table apart, in one row per kind.
struct ANALYSIS_TABLE_KIND {
    ANALYSIS_TABLE table;
    // The value of --analyze that asks for it.
    const char* option_value;
    // The header line, without its line end.  An existing file is appended
    // to only when its first line is exactly this.
    const char* header;
    // The environment variable that names the file, and the older
    // directory variable read when ZK_ANALYSIS_DIR is not set (null: none).
    const char* file_variable;
    const char* directory_fallback;
    // Reports, as fatal, an existing file whose first line is not the header.
    void (*report_mismatch)(const char* path);
    // Appends the rows of one block of the manager's current function.
    void (*write_rows)(PROFILE_ICODE_MGR& manager, BASIC_BLK* block);
};

// Every kind, one row each.
const std::vector<ANALYSIS_TABLE_KIND>& analysis_table_kinds();
// The description of `table`.
const ANALYSIS_TABLE_KIND& analysis_table_kind(ANALYSIS_TABLE table);
// The kind that --analyze=`option_value` asks for; null when none is
// called so (or the value is null).
const ANALYSIS_TABLE_KIND* analysis_table_kind_named(const char* option_value);
// Closes the table at the end of the run (a failed close is not reported).
void close_analysis_table();
// Forgets the table, for tests.
void reset_analysis_table();
