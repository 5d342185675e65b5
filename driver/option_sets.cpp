// Building the option sets from the string lists and the command line,
// recording their flags, and the visibility the debug level selects.
#include "driver/option_sets.h"

#include "diag/diag_settings.h"
#include "diag/flag_levels.h"

namespace {

// Strings are option words; like command-line words they lose their first
// dash before parsing.
void parse_word(OPTION_OBJ& set, const std::string& word) {
    if (!word.empty()) set.parse(word.c_str() + 1);
}

}  // namespace

void reapply(const OPTION_OBJ& command_line, OPTION_OBJ& target) {
    for (const std::string& text : command_line.reapplication_texts()) parse_word(target, text);
}

std::vector<OPTION_OBJ> build_option_sets(const OPTION_OBJ& command_line,
                                          const STRING_LISTS& lists) {
    OPTION_OBJ model;
    model.set_next_word(command_line.next_word());
    model.set_program_name(command_line.program_name());
    std::vector<OPTION_OBJ> sets;
    if (lists.empty()) {
        sets.push_back(model);
        reapply(command_line, sets.back());
        return sets;
    }
    // Every list is parsed, so that option errors in any of them are
    // reported, though only the first set governs the run.
    sets.reserve(lists.size());
    for (const STRING_LIST& list : lists) {
        sets.push_back(model);
        for (const std::string& word : list.strings) parse_word(sets.back(), word);
        reapply(command_line, sets.back());
    }
    return sets;
}

void record_flags(const OPTION_OBJ& set) {
    for (int n : set.enabled_options()) {
        if (n != OPT_DEBUG && n != OPT_DISABLE) continue;
        const char* prefix = n == OPT_DEBUG ? "debug" : "disable";
        for (int i = 0; i < set.value_count(n); ++i) add_flags(prefix, set.value_text(n, i));
    }
}

void set_visibility_from_debug_level() {
    const int level = flag_level(debug_profile_key());
    DIAG::SETTINGS& s = DIAG::settings();
    s.debug = level > 2;
    s.warning = level > 1;
    if (level > 0) s.remark = true;
}
