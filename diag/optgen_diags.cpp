// Messages and descriptors of the option code's diagnostics.
#include "diag/optgen_diags.h"

namespace DIAG {

const DIAG_DESC optgen_conflict_option::desc = {
    24002, "option %s conflicts with previous option %s", nullptr, SEV_ERROR, 0, 0};
const DIAG_DESC optgen_conflict_override_option::desc = {
    24003, "option %s overrides preceding option %s", nullptr, SEV_WARNING, 0, 0};
const DIAG_DESC optgen_conflict_quiet_option::desc = {
    24004, "option %s clears preceding option %s", nullptr, SEV_REMARK, 0, 0};
const DIAG_DESC optgen_unhandled_clause_in_setarg::desc = {
    24007, "unhandled clause in setarg() [%u]", nullptr, SEV_FATAL, 0, 0};
const DIAG_DESC optgen_unhandled_option_handler::desc = {
    24008, "unhandled option handler [%u]", nullptr, SEV_FATAL, 0, 0};
const DIAG_DESC optgen_invalid_list_handler::desc = {
    24009, "list handler for non-list option [%u]", nullptr, SEV_FATAL, 0, 0};
const DIAG_DESC optgen_missing_parameter::desc = {
    24010, "option %s is missing its parameter '%s'", nullptr, SEV_ERROR, 0, 0};
const DIAG_DESC optgen_bad_argument::desc = {
    24015, "bad argument to option %s: should be one of {%s}", nullptr, SEV_ERROR, 0, 0};
const DIAG_DESC optgen_case_insensitivity_deprecated::desc = {
    24016,
    "Case insensitivity of options has been deprecated; %s must be written as %s in future "
    "releases",
    nullptr,
    SEV_WARNING,
    0,
    0};
const DIAG_DESC optgen_unhandled_clause_in_add_hist::desc = {
    24031, "unhandled clause in add_to_history() [%u]", nullptr, SEV_FATAL, 0, 0};

}  // namespace DIAG
