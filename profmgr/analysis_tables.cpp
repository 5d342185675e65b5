// The rows of the analysis tables, block by block, as the profile manager
// hands over the blocks of a function whose counts it has just derived.
//
// Code coverage: one row per expression statement with a position, with the
// count of its block.  Call graph: one row per direct call, caller and
// callee by name, with the count of the block that makes the call.  Rows are
// flushed one by one, so that a run that ends early leaves whole rows.
#include <boost/format.hpp>
#include <cstdint>
#include <cstring>
#include <vector>

#include "cfg/basic_blk.h"
#include "diag/trelv_diags.h"
#include "icode/infix.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "profmgr/analysis_tables_steps.h"
#include "profmgr/prof_mgr.h"
#include "profmgr/profile_data_path.h"

using namespace icode;

namespace {

// Storage class of file-local (static) functions: their names are made
// unique across units by the file they are called from.
constexpr int FILE_LOCAL = 3;

std::ostream* stream_for(ANALYSIS_TABLE table, const PROFILE_ICODE_MGR& manager) {
    return analysis_stream(table, manager.unit_name(), manager.job().analyze_only);
}

// The symbol a direct call names: CALL or UCALL whose left operand is the
// address of a NAME with a symbol.  Calls through pointers have none.
const I_SYMTAB* direct_callee(const NODE* n) {
    if (n->opcode() != CALL && n->opcode() != UCALL) return nullptr;
    const NODE* address = n->left();
    if (!address || address->opcode() != UAND) return nullptr;
    const NODE* name = address->left();
    if (!name || name->opcode() != NAME) return nullptr;
    return name->symbol();
}

// The direct calls of a tree in post-order (left subtree, right subtree,
// node), so that a call made to compute an argument comes before the call
// that takes it.  Iterative: argument lists can be long chains.
std::vector<const I_SYMTAB*> calls_in_post_order(const NODE* root) {
    std::vector<const I_SYMTAB*> calls;
    struct FRAME {
        const NODE* node;
        bool children_done;
    };
    std::vector<FRAME> todo;
    if (root) todo.push_back({root, false});
    while (!todo.empty()) {
        FRAME f = todo.back();
        todo.pop_back();
        if (f.children_done) {
            if (const I_SYMTAB* callee = direct_callee(f.node)) calls.push_back(callee);
            continue;
        }
        todo.push_back({f.node, true});
        if (f.node->right()) todo.push_back({f.node->right(), false});
        if (f.node->left()) todo.push_back({f.node->left(), false});
    }
    return calls;
}

}  // namespace

std::string coverage_row(const std::string& file, const std::string& function, int line, int column,
                         int frequency, const std::string& comment) {
    std::string row =
        (boost::format("\"%s\",\"%s\",%d,%d,%d") % file % function % line % column % frequency)
            .str();
    return row + ",\"" + comment + "\"\n";
}

std::string callgraph_row(const std::string& caller, const std::string& callee, int weight) {
    // The weight is a 32-bit count; one above 2^31 - 1 is still a count,
    // not a negative number.
    unsigned long count = static_cast<uint32_t>(weight);
    return (boost::format("%s,%s,%lu") % caller % callee % count).str() + "\n";
}

void write_coverage_rows(PROFILE_ICODE_MGR& manager, BASIC_BLK* block) {
    std::ostream* out = stream_for(ANALYSIS_TABLE::CODE_COVERAGE, manager);
    if (!out) return;
    int weight = block->weight();
    for (STMT_ENTRY* e = block->first(); e; e = e->next) {
        if (weight != -1 && e->kind == REC_EXPR_STMT && e->position) {
            // The infix printer's buffer is reused by the next call: copy.
            std::string comment = infix_text(e->tree);
            put_analysis_row(*out, coverage_row(cached_canonical_path(e->position->file),
                                                manager.function_name(), int(e->position->line),
                                                int(e->position->column), weight, comment));
        }
        if (e == block->last()) break;
    }
}

void write_callgraph_rows(PROFILE_ICODE_MGR& manager, BASIC_BLK* block) {
    std::ostream* out = stream_for(ANALYSIS_TABLE::CALL_GRAPH, manager);
    if (!out) return;
    int weight = block->weight();
    if (weight == 0 || weight == -1) return;
    const SYMTAB* function = manager.current_function();
    bool caller_local = function && function->storage_class() == FILE_LOCAL;
    for (STMT_ENTRY* e = block->first(); e; e = e->next) {
        if (e->kind == REC_EXPR_STMT) {
            for (const I_SYMTAB* callee : calls_in_post_order(e->tree)) {
                bool callee_local = callee->storage_class() == FILE_LOCAL;
                // Without a position there is no file to make a local name
                // unique with.
                if ((caller_local || callee_local) && !e->position) continue;
                std::string caller = manager.function_name();
                std::string callee_name = callee->name();
                if (caller_local) caller = e->position->file.str() + ":" + caller;
                if (callee_local) callee_name = e->position->file.str() + ":" + callee_name;
                put_analysis_row(*out, callgraph_row(caller, callee_name, weight));
            }
        }
        if (e == block->last()) break;
    }
}

namespace {

const std::vector<ANALYSIS_TABLE_KIND> KINDS = {
    {ANALYSIS_TABLE::CODE_COVERAGE, "codecov",
     "\"filename\",\"funcname\",line number,column number,frequency count,\"comment\"",
     "ZK_COVDATA", "ZK_COVDIR",
     [](const char* path) {
         DIAG::trelv_fatal_codecov_analysis_file_expected(TRELV_HERE, path).emit();
     },
     write_coverage_rows},
    {ANALYSIS_TABLE::CALL_GRAPH, "callgraph", "\"caller\",\"callee\",\"weight\"", "ZK_WCGDATA",
     nullptr,
     [](const char* path) {
         DIAG::trelv_fatal_callgraph_analysis_file_expected(TRELV_HERE, path).emit();
     },
     write_callgraph_rows},
};

}  // namespace

const std::vector<ANALYSIS_TABLE_KIND>& analysis_table_kinds() { return KINDS; }

const ANALYSIS_TABLE_KIND& analysis_table_kind(ANALYSIS_TABLE table) {
    for (const ANALYSIS_TABLE_KIND& kind : KINDS)
        if (kind.table == table) return kind;
    return KINDS[0];  // every table has its row
}

const ANALYSIS_TABLE_KIND* analysis_table_kind_named(const char* option_value) {
    if (!option_value) return nullptr;
    for (const ANALYSIS_TABLE_KIND& kind : KINDS)
        if (std::strcmp(kind.option_value, option_value) == 0) return &kind;
    return nullptr;
}
