// Messages and descriptors of the path profiler's diagnostics.
#include "diag/trelv_diags.h"

namespace DIAG {

// Fixed byte: set for errors and fatal errors that are not internal.
const DIAG_DESC trelv_fatal_empty_filename::desc = {
    18002, "Filename cannot be null", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_fatal_prof_file_open::desc = {
    18003, "Error opening profile info file \"%s\"", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_fatal_empty_entryblk::desc = {
    18004, "Func %s: Entry block cannot be null", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_fatal_no_insrt_point::desc = {
    18005, "Func %s: Could not find a place to insert instrumentation block", nullptr, SEV_FATAL, 0,
    1};
const DIAG_DESC trelv_fatal_icode_file_open::desc = {
    18006, "Error opening icode file \"%s\":%s", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_fatal_fail_edge_create::desc = {
    18007, "Func %s: Failed to create edge between nodes %s-->%s", nullptr, SEV_ERROR, 1, 0};
const DIAG_DESC trelv_fatal_prof_analysis_bad_usage::desc = {
    18008, "--analyze must be accompanied by --use_profile_info option", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_fatal_analysis_file_open::desc = {
    18009, "Error opening analysis data file \"%s\"", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_fatal_csv_file_read_failure::desc = {
    18010, "Failure reading header line of analysis output file \"%s\"", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_fatal_codecov_analysis_file_expected::desc = {
    18011,
    "Expected existing analysis file, \"%s\", to contain code coverage information; path "
    "profiling analysis aborted",
    nullptr,
    SEV_FATAL,
    0,
    1};
const DIAG_DESC trelv_fatal_callgraph_analysis_file_expected::desc = {
    18012,
    "Expected existing analysis file, \"%s\", to contain call graph information; path profiling "
    "analysis aborted",
    nullptr,
    SEV_FATAL,
    0,
    1};
const DIAG_DESC trelv_fatal_prof_file_read::desc = {
    18013, "Error reading profile info file \"%s\": %s", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_fatal_icode_file_write::desc = {
    18014, "Error writing icode file \"%s\":%s", nullptr, SEV_FATAL, 0, 1};
const DIAG_DESC trelv_inv_edge_nonexist_nodes::desc = {
    18101, "Func %s: Invalid edge between non-existent nodes %s-->%s", nullptr, SEV_ERROR, 1, 0};
const DIAG_DESC trelv_inv_edge_wt::desc = {
    18103, "Func %s: Invalid weight %d for a graph edge", nullptr, SEV_ERROR, 1, 0};
const DIAG_DESC trelv_error_unexpected_options::desc = {
    18104, "PATH PROFILER: Unexpected options %s", nullptr, SEV_ERROR, 1, 0};
const DIAG_DESC trelv_error_analysis_file_open::desc = {
    18105,   "Error opening analysis data file \"%s\". Skipping analysis \tdata generation",
    nullptr, SEV_ERROR,
    0,       1};
const DIAG_DESC trelv_warn_incomplete_prof_info::desc = {
    18302,
    "Func %s: Could not complete profile info propagation: Incomplete \tprofile info for blocks:",
    nullptr,
    SEV_WARNING,
    0,
    0};
const DIAG_DESC trelv_warn_incomplete_blk_list::desc = {18303, "%s", nullptr, SEV_WARNING, 0, 0};
const DIAG_DESC trelv_warn_node_weight_mismatch::desc = {
    18304,   "Func %s: Block %s: Input weight %d does not match output weight %d",
    nullptr, SEV_WARNING,
    0,       0};
const DIAG_DESC trelv_warn_negative_edge_weight::desc = {
    18305, "Func %s: Attempting to set (%s) weight of edge %s-->%s to %d", nullptr, SEV_WARNING, 0,
    0};
const DIAG_DESC trelv_warn_bad_edge_index::desc = {
    18306,   "Func %s: Edge index %d larger than number of edges profiled %d",
    nullptr, SEV_WARNING,
    0,       0};
const DIAG_DESC trelv_warn_dataset_mismatch::desc = {
    18307,
    "Func %s: Number of profile counters %d does not match expected number of counters %d. "
    "Skipping data set %d",
    nullptr,
    SEV_WARNING,
    0,
    0};
const DIAG_DESC trelv_warn_missing_profinfo::desc = {
    18308, "Func %s: No profile info found in file", nullptr, SEV_WARNING, 0, 0};
const DIAG_DESC trelv_warn_bad_succ::desc = {
    18309, "Func %s: Block %s is not a successor of block %s", nullptr, SEV_WARNING, 0, 0};
const DIAG_DESC trelv_warn_no_succ::desc = {
    18310,   "Func %s: Trying to set instrumentation index for block %s with no \tsuccessors",
    nullptr, SEV_WARNING,
    0,       0};
const DIAG_DESC trelv_rem_override_edge_wt::desc = {
    18501,
    "Func %s:  Overriding profile weight for single successor edge \t%s-->%s from %d to %d",
    nullptr,
    SEV_REMARK,
    0,
    0};
const DIAG_DESC trelv_rem_missing_profinfo::desc = {
    18502,   "Func %s: No profile info found for this function in profile input file(s)",
    nullptr, SEV_REMARK,
    0,       0};
const DIAG_DESC trelv_dbg_edge_create::desc = {
    18701, "Func %s: Adding edge between nodes %s-->%s", nullptr, SEV_DEBUG, 0, 0};
const DIAG_DESC trelv_dbg_kvt_edge::desc = {
    18702, "Func %s: KVT edge %d: %s-->%s", nullptr, SEV_DEBUG, 0, 0};
const DIAG_DESC trelv_dbg_instr_edge::desc = {
    18703, "Func %s: Instrumentation edge: %s-->%s", nullptr, SEV_DEBUG, 0, 0};
const DIAG_DESC trelv_dbg_instr_edge_info::desc = {
    18704, "Func %s:  edge %s-->%s instrumented for path-prof: Index = %d", nullptr, SEV_DEBUG, 0,
    0};
const DIAG_DESC trelv_dbg_num_instr_edge::desc = {
    18705, "Func %s: Number of edges in compl-MST = %d", nullptr, SEV_DEBUG, 0, 0};
const DIAG_DESC trelv_dbg_node_prof_wt::desc = {
    18706, "Func %s: Node %s: PROFWT = %d", nullptr, SEV_DEBUG, 0, 0};
const DIAG_DESC trelv_dbg_edge_prof_wt::desc = {
    18707, "Func %s: Edge %s-->%s: Index = %d: PROFWT = %d", nullptr, SEV_DEBUG, 0, 0};
const DIAG_DESC trelv_dbg_unreach_node::desc = {
    18708, "Func %s: Node %s is UNREACHABLE", nullptr, SEV_DEBUG, 0, 0};

}  // namespace DIAG
