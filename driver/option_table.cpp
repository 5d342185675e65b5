// The option descriptions, the enumerations' names and the conflict matrix.
#include "driver/option_table.h"

#include <string>
#include <vector>

namespace {

// The values of --analyze: the option value of every analysis table kind, in
// the kinds' order, with the '+' that lists a value in messages.
const OPTION_ENUM* analyze_values() {
    struct VALUES {
        std::vector<std::string> names;
        std::vector<OPTION_ENUM> values;
        VALUES() {
            const std::vector<ANALYSIS_TABLE_KIND>& kinds = analysis_table_kinds();
            for (const ANALYSIS_TABLE_KIND& kind : kinds)
                names.push_back(std::string("+") + kind.option_value);
            for (size_t i = 0; i < kinds.size(); ++i)
                values.push_back(OPTION_ENUM{names[i].c_str(), analyze_number(kinds[i].table)});
            values.push_back(OPTION_ENUM{nullptr, 0});
        }
    };
    static const VALUES all;
    return all.values.data();
}

const OPTION_ENUM on_off_wrap[] = {{"+on", DIAG_WRAP_ON}, {"+off", DIAG_WRAP_OFF}, {nullptr, 0}};
const OPTION_ENUM on_off_sections[] = {
    {"+on", SECTION_SIZES_ON}, {"+off", SECTION_SIZES_OFF}, {nullptr, 0}};

// Unnamed slots keep the numbering of the rest stable; no word reaches them.
const OPTION_DESC unnamed = {nullptr, "", "", KIND_NO_ARGS, nullptr, false};

// Built at its first use, when the analysis table kinds it names are there.
const OPTION_DESC* option_table() {
    static const OPTION_DESC table[OPT_COUNT] = {
        {"advice:performance", "--advice:performance", "opt", KIND_STRING, nullptr, false},
        {"analyze", "--analyze", "kind", KIND_ENUMERATED, analyze_values(), false},
        {"analyze_only", "--analyze_only", "", KIND_NO_ARGS, nullptr, false},
        unnamed,
        {"codecov", "--codecov", "", KIND_NO_ARGS, nullptr, false},
        {"debug:", "--debug", "option", KIND_STRING_LIST, nullptr, false},
        unnamed,
        {"diag_wrap", "--diag_wrap", "mode", KIND_ENUMERATED, on_off_wrap, false},
        {"disable:", "--disable", "option", KIND_STRING_LIST, nullptr, false},
        unnamed,
        {"gen_profile_info", "--gen_profile_info", "", KIND_NO_ARGS, nullptr, false},
        {"help", "--help", "", KIND_NO_ARGS, nullptr, false},
        {"onlycodecov", "--onlycodecov", "", KIND_NO_ARGS, nullptr, false},
        {"section_sizes", "--section_sizes", "mode", KIND_ENUMERATED, on_off_sections, false},
        {"toolversion", "--toolversion", "", KIND_NO_ARGS, nullptr, false},
        {"use_profile_info", "--use_profile_info", "file", KIND_STRING_LIST, nullptr, false},
        unnamed,
    };
    return table;
}

}  // namespace

const OPTION_DESC& option_desc(int n) { return option_table()[n]; }

CONFLICT_ACTION conflict_action(int row, int column) {
    // Instrumenting and using profile data exclude each other; the check is
    // made only when one of the using options comes after the instrumenting
    // one, so the matrix is one-way.
    if (column != OPT_GEN_PROFILE_INFO) return CONFLICT_NONE;
    switch (row) {
        case OPT_ANALYZE:
        case OPT_ANALYZE_ONLY:
        case OPT_CODECOV:
        case OPT_USE_PROFILE_INFO: return CONFLICT_ERROR;
        default: return CONFLICT_NONE;
    }
}
