// Writing a processed function to the output unit, entry by entry.
#include <algorithm>

#include "icode/icode_file.h"
#include "icode/record_kinds.h"
#include "profmgr/prof_mgr.h"

using namespace icode;

void PROFILE_ICODE_MGR::write_function() {
    if (!output_) return;
    IcodeFile& out = *output_;
    // A run that uses profile data writes the weights of the function's
    // trees (branch targets and conditions, and the weights read with the
    // unit) in weight nodes of the counters' type.
    TYPE* const weight_type = job_.uses_profile() ? counter_type() : nullptr;
    const bool weighted = job_.uses_profile();
    // The labels made for the function are numbered after its highest one
    // as its trees are written.
    out.number_new_labels_from(highest_label());
    std::size_t next_jump = 0;
    for (STMT_ENTRY* e = fn_.first_stmt; e; e = e->next) {
        switch (e->kind) {
            case REC_FUNC_BEGIN: out.write_function_begin(e->symbol, e->position); break;
            case REC_FUNC_END: out.write_function_end(e->position); break;
            case REC_BLOCK_BEGIN: out.write_block_begin(e->position); break;
            case REC_BLOCK_END: out.write_block_end(e->position); break;
            case REC_BODY_BEGIN: out.write_body_begin(e->position); break;
            case REC_MARK: out.write_mark(e->position); break;
            case REC_SYMBOL:
                if (e->symbol && e->symbol->level() != 0) out.write_symbol(e->symbol);
                break;
            case REC_TEXT_AT:
                out.write_text_at(e->tree && e->tree->text() ? e->tree->text() : "", e->position);
                break;
            case REC_TEXT: out.write_text(e->tree && e->tree->text() ? e->tree->text() : ""); break;
            case REC_LABEL: out.write_label(out.written_label(int64_t(e->tree->value()))); break;
            case REC_EXPR_STMT:
                if (e->counter >= 0) {
                    write_counter_increment(*e);
                    break;
                }
                if (e->made_jump) {
                    write_made_jump(fn_.made_jumps[size_t(e->aux)], e->position, weight_type);
                } else if (weighted) {
                    out.write_weighted_statement(e->tree, e->position, weight_type);
                } else {
                    out.write_expression_statement(e->tree, e->position);
                }
                break;
            case REC_EHT: out.write_exception_table(e->eht); break;
            case REC_PRAGMA:
                if (e->pragma) out.write_pragma(*e->pragma);
                break;
            // Records that never become entries of a statement list.
            case REC_HEADER:
            case REC_OPAQUE:
            case REC_DROP_38:
            case REC_DROP_45:
            case REC_DROP_58:
            case REC_DROP_59:
            case REC_EHT_CATCHES:
            case REC_DROP_64:
            case REC_EHT_ENTRY:
            case REC_NODE:
            case REC_INIT:
            case REC_DROP_108:
            case REC_STRING_LIST:
            case REC_TYPE:
            case REC_DROP_123:
            case REC_DROP_124:
            case REC_DROP_125:
            case REC_FILE_NAME:
            case REC_END: break;
        }
        if (e->jumps_follow) next_jump = write_trailing_jump(*e, next_jump, weight_type);
    }
    out.number_new_labels_from(std::nullopt);
}

void PROFILE_ICODE_MGR::write_made_jump(const FUNCTION_STATE::MADE_JUMP& jump,
                                        const OptPos& position, TYPE* weight_type) {
    output_->write_jump_statement(jump.label, jump.weight, int_type(), position, weight_type);
}

std::size_t PROFILE_ICODE_MGR::write_trailing_jump(const STMT_ENTRY& after, std::size_t next,
                                                   TYPE* weight_type) {
    const std::vector<FUNCTION_STATE::TRAILING_JUMP>& jumps = fn_.trailing_jumps;
    // In list order, as a rule, so the next one is at hand; were it not,
    // it is searched for, and none is lost.
    std::size_t k = next;
    if (k >= jumps.size() || jumps[k].after != &after)
        k = std::size_t(std::find_if(jumps.begin(), jumps.end(),
                                     [&](const FUNCTION_STATE::TRAILING_JUMP& j) {
                                         return j.after == &after;
                                     }) -
                        jumps.begin());
    if (k == jumps.size()) return next;
    const FUNCTION_STATE::TRAILING_JUMP& trailing = jumps[k];
    write_made_jump(trailing.jump, std::nullopt, weight_type);
    if (trailing.defines_label) output_->write_label(output_->written_label(trailing.jump.label));
    return k + 1;
}
