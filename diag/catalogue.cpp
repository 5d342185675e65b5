// The descriptor table, gathered from the diagnostic classes of every part.
#include "diag/catalogue.h"

#include "diag/max_errors.h"
#include "diag/optgen_diags.h"
#include "diag/trelv_diags.h"

namespace DIAG {

const std::vector<const DIAG_DESC*>& all_descriptors() {
    static const std::vector<const DIAG_DESC*> table = {
        &trelv_fatal_empty_filename::desc,
        &trelv_fatal_prof_file_open::desc,
        &trelv_fatal_empty_entryblk::desc,
        &trelv_fatal_no_insrt_point::desc,
        &trelv_fatal_icode_file_open::desc,
        &trelv_fatal_fail_edge_create::desc,
        &trelv_fatal_prof_analysis_bad_usage::desc,
        &trelv_fatal_analysis_file_open::desc,
        &trelv_fatal_csv_file_read_failure::desc,
        &trelv_fatal_codecov_analysis_file_expected::desc,
        &trelv_fatal_callgraph_analysis_file_expected::desc,
        &trelv_fatal_prof_file_read::desc,
        &trelv_fatal_icode_file_write::desc,
        &trelv_inv_edge_nonexist_nodes::desc,
        &trelv_inv_edge_wt::desc,
        &trelv_error_unexpected_options::desc,
        &trelv_error_analysis_file_open::desc,
        &trelv_warn_incomplete_prof_info::desc,
        &trelv_warn_incomplete_blk_list::desc,
        &trelv_warn_node_weight_mismatch::desc,
        &trelv_warn_negative_edge_weight::desc,
        &trelv_warn_bad_edge_index::desc,
        &trelv_warn_dataset_mismatch::desc,
        &trelv_warn_missing_profinfo::desc,
        &trelv_warn_bad_succ::desc,
        &trelv_warn_no_succ::desc,
        &trelv_rem_override_edge_wt::desc,
        &trelv_rem_missing_profinfo::desc,
        &trelv_dbg_edge_create::desc,
        &trelv_dbg_kvt_edge::desc,
        &trelv_dbg_instr_edge::desc,
        &trelv_dbg_instr_edge_info::desc,
        &trelv_dbg_num_instr_edge::desc,
        &trelv_dbg_node_prof_wt::desc,
        &trelv_dbg_edge_prof_wt::desc,
        &trelv_dbg_unreach_node::desc,
        &optgen_conflict_option::desc,
        &optgen_conflict_override_option::desc,
        &optgen_conflict_quiet_option::desc,
        &optgen_unhandled_clause_in_setarg::desc,
        &optgen_unhandled_option_handler::desc,
        &optgen_invalid_list_handler::desc,
        &optgen_missing_parameter::desc,
        &optgen_bad_argument::desc,
        &optgen_case_insensitivity_deprecated::desc,
        &optgen_unhandled_clause_in_add_hist::desc,
        &max_errors::desc,
    };
    return table;
}

const DIAG_DESC* find_descriptor(std::uint32_t code) {
    for (const DIAG_DESC* d : all_descriptors())
        if (d->code == code) return d;
    return nullptr;
}

}  // namespace DIAG
