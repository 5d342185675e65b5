// Analysis tables: code-coverage and call-graph rows appended to a
// comma-separated file for other tools, one table per run.
#pragma once

class BASIC_BLK;
class PROFILE_ICODE_MGR;

// Appends the rows of one block of the manager's current function.
void write_coverage_rows(PROFILE_ICODE_MGR& manager, BASIC_BLK* block);
void write_callgraph_rows(PROFILE_ICODE_MGR& manager, BASIC_BLK* block);
// Closes the table at the end of the run (a failed close is not reported).
void close_analysis_table();
// Forgets the table, for tests.
void reset_analysis_table();
