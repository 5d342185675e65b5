// Diagnostics of the path profiler (codes 18002 to 18708).  Each class takes
// the raising location (TRELV_HERE) and then its arguments in the order its
// message uses them, as listed beside it.  String arguments are kept as
// pointers and must stay valid until emit returns.
#pragma once

#include "diag/diag.h"

namespace DIAG {

#define TRELV_DIAG(NAME, ...)                                  \
    class NAME final : public DIAG_ARGS<NAME, ##__VA_ARGS__> { \
    public:                                                    \
        using DIAG_ARGS::DIAG_ARGS;                            \
        static const DIAG_DESC desc;                           \
    }

// Internal diagnostics print their arguments in parentheses instead of their
// message format; the format stays the descriptor's (shown by dump).
#define TRELV_INTERNAL_DIAG(NAME, FORM, ...)                 \
    class NAME final : public DIAG_ARGS<NAME, __VA_ARGS__> { \
    public:                                                  \
        using DIAG_ARGS::DIAG_ARGS;                          \
        static const DIAG_DESC desc;                         \
        int emit() override { return emit_with(FORM); }      \
    }

// Fatal errors.
TRELV_DIAG(trelv_fatal_empty_filename);                                 // ()
TRELV_DIAG(trelv_fatal_prof_file_open, const char*);                    // (file)
TRELV_DIAG(trelv_fatal_empty_entryblk, const char*);                    // (function)
TRELV_DIAG(trelv_fatal_no_insrt_point, const char*);                    // (function)
TRELV_DIAG(trelv_fatal_icode_file_open, const char*, const char*);      // (file, reason or "")
TRELV_DIAG(trelv_fatal_prof_analysis_bad_usage);                        // ()
TRELV_DIAG(trelv_fatal_analysis_file_open, const char*);                // (file)
TRELV_DIAG(trelv_fatal_csv_file_read_failure, const char*);             // (file)
TRELV_DIAG(trelv_fatal_codecov_analysis_file_expected, const char*);    // (file)
TRELV_DIAG(trelv_fatal_callgraph_analysis_file_expected, const char*);  // (file)
TRELV_DIAG(trelv_fatal_prof_file_read, const char*, const char*);       // (file, reason)
TRELV_DIAG(trelv_fatal_icode_file_write, const char*, const char*);     // (file, reason)

// Internal errors: the system's own inconsistencies.
// (function, source, target)
TRELV_INTERNAL_DIAG(trelv_fatal_fail_edge_create, "(%s, %s, %s)", const char*, const char*,
                    const char*);
// (function, source, target)
TRELV_INTERNAL_DIAG(trelv_inv_edge_nonexist_nodes, "(%s, %s, %s)", const char*, const char*,
                    const char*);
// (function, weight)
TRELV_INTERNAL_DIAG(trelv_inv_edge_wt, "(%s, %d)", const char*, int);
// (input name, blank, output name, blank, extra word)
TRELV_INTERNAL_DIAG(trelv_error_unexpected_options, "(%s)", const char*);

// Errors.
TRELV_DIAG(trelv_error_analysis_file_open, const char*);  // (file)

// Warnings.
TRELV_DIAG(trelv_warn_incomplete_prof_info, const char*);  // (function)
TRELV_DIAG(trelv_warn_incomplete_blk_list, const char*);   // (block names)
// (function, block, input sum, output sum)
TRELV_DIAG(trelv_warn_node_weight_mismatch, const char*, const char*, int, int);
// (function, which weight, source, target, weight)
TRELV_DIAG(trelv_warn_negative_edge_weight, const char*, const char*, const char*, const char*,
           int);
// (function, index, number of edges)
TRELV_DIAG(trelv_warn_bad_edge_index, const char*, int, int);
// (function, counters found, counters expected, data set number)
TRELV_DIAG(trelv_warn_dataset_mismatch, const char*, int, int, int);
TRELV_DIAG(trelv_warn_missing_profinfo, const char*);  // (function)
// (function, successor block, block)
TRELV_DIAG(trelv_warn_bad_succ, const char*, const char*, const char*);
TRELV_DIAG(trelv_warn_no_succ, const char*, const char*);  // (function, block)

// Remarks.
// (function, source, target, old weight, new weight)
TRELV_DIAG(trelv_rem_override_edge_wt, const char*, const char*, const char*, int, int);
TRELV_DIAG(trelv_rem_missing_profinfo, const char*);  // (function)

// Debug traces.
TRELV_DIAG(trelv_dbg_edge_create, const char*, const char*,
           const char*);  // (function, source, target)
// (function, tree edge number, source, target)
TRELV_DIAG(trelv_dbg_kvt_edge, const char*, int, const char*, const char*);
TRELV_DIAG(trelv_dbg_instr_edge, const char*, const char*,
           const char*);  // (function, source, target)
// (function, source, target, counter index)
TRELV_DIAG(trelv_dbg_instr_edge_info, const char*, const char*, const char*, int);
TRELV_DIAG(trelv_dbg_num_instr_edge, const char*, int);             // (function, number)
TRELV_DIAG(trelv_dbg_node_prof_wt, const char*, const char*, int);  // (function, vertex, weight)
// (function, source, target, counter index, weight)
TRELV_DIAG(trelv_dbg_edge_prof_wt, const char*, const char*, const char*, int, int);
TRELV_DIAG(trelv_dbg_unreach_node, const char*, const char*);  // (function, vertex)

#undef TRELV_DIAG
#undef TRELV_INTERNAL_DIAG

}  // namespace DIAG
