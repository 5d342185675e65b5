// Analysis tables: code-coverage and call-graph rows appended to a
// comma-separated file for other tools, one table per run.
//
// The table file is found through the environment (see
// analysis_tables_steps.h), checked or created with its header at the first
// row of the run, and appended to; it is never truncated, so one table
// collects the rows of many runs.
#pragma once

class BASIC_BLK;
class PROFILE_ICODE_MGR;

// The two kinds of table; --analyze selects one for the whole run.
enum class ANALYSIS_TABLE { CODE_COVERAGE, CALL_GRAPH };

// Appends the rows of one block of the manager's current function.
void write_coverage_rows(PROFILE_ICODE_MGR& manager, BASIC_BLK* block);
void write_callgraph_rows(PROFILE_ICODE_MGR& manager, BASIC_BLK* block);
// Closes the table at the end of the run (a failed close is not reported).
void close_analysis_table();
// Forgets the table, for tests.
void reset_analysis_table();
