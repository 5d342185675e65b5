// OPTION_OBJ: parsing of option words, conflicts between options, and the
// queries the run makes of a set.
#include "driver/optobj.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "diag/diag_settings.h"
#include "diag/optgen_diags.h"
#include "diag/process_exit.h"
#include "driver/tool_texts.h"

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// True when `text` starts with `name`, ignoring the case of letters.
bool starts_with_nocase(const char* text, const char* name) {
    for (; *name; ++name, ++text)
        if (!*text || lower(*text) != lower(*name)) return false;
    return true;
}

bool equal_nocase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (lower(*a) != lower(*b)) return false;
    return *a == *b;
}

// The enumeration name of `number` without its marker, or null.
const char* enum_name(const OPTION_DESC& d, long number) {
    if (!d.values) return nullptr;
    for (const OPTION_ENUM* e = d.values; e->name; ++e)
        if (e->number == number) return e->name + 1;
    return nullptr;
}

// Texts of numbers are handed out from a small ring so that a few of them
// can be used together (in one message, say) without the caller owning them.
char* number_buffer() {
    static char ring[15][20];
    static int next = 0;
    char* buf = ring[next];
    next = (next + 1) % 15;
    return buf;
}

}  // namespace

OPTION_OBJ::OPTION_OBJ() = default;

int OPTION_OBJ::match_name(const char* text, std::size_t& name_len) const {
    for (int n = 0; n < OPT_COUNT; ++n) {
        const char* name = option_desc(n).name;
        if (!name || !starts_with_nocase(text, name)) continue;
        name_len = std::strlen(name);
        // "analyze" is a prefix of "analyze_only": an underscore after it
        // means the longer name is meant.
        if (n == OPT_ANALYZE && text[name_len] == '_') continue;
        return n;
    }
    return -1;
}

bool OPTION_OBJ::parse(const char* text) {
    if (!text) return false;
    // A lone dash on the command line leaves nothing to parse: accepted, and
    // nothing changes.
    if (!*text) return true;
    if (*text != '-') return false;
    option_text_ = text;
    std::size_t name_len = 0;
    const int n = match_name(text + 1, name_len);
    if (n < 0) return false;
    const OPTION_DESC& d = option_desc(n);
    const char* rest = text + 1 + name_len;
    if (d.kind == KIND_NO_ARGS && *rest) return false;

    // Names match in any case, but only the lower-case form will stay valid.
    const std::string typed(text, 1 + name_len);
    const std::string canonical = std::string("-") + d.name;
    if (typed != canonical)
        DIAG::optgen_case_insensitivity_deprecated(TRELV_HERE, typed.c_str(), canonical.c_str())
            .emit();

    switch (n) {
        case OPT_ADVICE_PERFORMANCE:
        case OPT_USE_PROFILE_INFO: {
            // Optional value: "=value", or text right after the name.
            const char* value = nullptr;
            if (*rest == '=') {
                value = rest + 1;
                if (!*value) {
                    DIAG::optgen_missing_parameter(TRELV_HERE, d.display_name, d.param_name).emit();
                    trelv_exit(1);
                }
            } else if (*rest) {
                value = rest;
            }
            apply(n, value, 0);
            break;
        }
        case OPT_DEBUG:
        case OPT_DISABLE: apply(n, fetch_required(n, rest), 0); break;
        case OPT_ANALYZE:
        case OPT_DIAG_WRAP: {
            const char* value = fetch_required(n, rest);
            apply(n, value, match_enum(n, value));
            break;
        }
        case OPT_SECTION_SIZES: {
            // Optional value; without one the option means "on".
            if (*rest == '=') ++rest;
            if (!*rest)
                apply(n, "on", SECTION_SIZES_ON);
            else
                apply(n, rest, match_enum(n, rest));
            break;
        }
        default: apply(n, nullptr, 0); break;
    }
    return true;
}

const char* OPTION_OBJ::fetch_required(int n, const char* rest) {
    // A leading "=" is optional; with nothing after the name the value is
    // the next command-line word, which the positional scan then never sees.
    if (*rest == '=') ++rest;
    if (!*rest) rest = next_word_ ? next_word_() : nullptr;
    if (!rest || !*rest) {
        const OPTION_DESC& d = option_desc(n);
        DIAG::optgen_missing_parameter(TRELV_HERE, d.display_name, d.param_name).emit();
        trelv_exit(1);
    }
    return rest;
}

long OPTION_OBJ::match_enum(int n, const char* value) {
    const OPTION_DESC& d = option_desc(n);
    for (const OPTION_ENUM* e = d.values; e->name; ++e)
        if (equal_nocase(value, e->name + 1)) return e->number;
    std::string allowed;
    for (const OPTION_ENUM* e = d.values; e->name; ++e) {
        if (e->name[0] != '+') continue;
        if (!allowed.empty()) allowed += ",";
        allowed += e->name + 1;
    }
    DIAG::optgen_bad_argument(TRELV_HERE, d.display_name, allowed.c_str()).emit();
    trelv_exit(1);
}

void OPTION_OBJ::apply_code_coverage() {
    const ANALYSIS_TABLE_KIND& kind = analysis_table_kind(ANALYSIS_TABLE::CODE_COVERAGE);
    apply(OPT_ANALYZE, kind.option_value, analyze_number(kind.table));
}

void OPTION_OBJ::apply(int n, const char* value, long number) {
    ++opts_[n].state;
    ++opts_[n].seen;
    check_conflicts(n);
    store(n, value, number);
    switch (n) {
        case OPT_CODECOV: apply_code_coverage(); break;
        case OPT_ONLYCODECOV:
            apply_code_coverage();
            apply(OPT_ANALYZE_ONLY, nullptr, 0);
            break;
        case OPT_HELP: print_usage(DIAG::settings().out, program_name_.c_str()); trelv_exit(0);
        case OPT_TOOLVERSION: print_version(DIAG::settings().out); trelv_exit(0);
        case OPT_DIAG_WRAP:
            // Wrapping stays off for the rest of the process; "on" does not
            // bring it back.
            if (number == DIAG_WRAP_OFF) DIAG::settings().wrap = false;
            break;
        default: break;
    }
}

void OPTION_OBJ::check_conflicts(int n) {
    for (int c = 0; c < OPT_COUNT; ++c) {
        const CONFLICT_ACTION action = conflict_action(n, c);
        if (action == CONFLICT_NONE || !enabled(c)) continue;
        const char* new_name = option_desc(n).display_name;
        const char* old_name = option_desc(c).display_name;
        switch (action) {
            case CONFLICT_CLEAR_QUIETLY: clear(c); break;
            case CONFLICT_OVERRIDE:
                DIAG::optgen_conflict_override_option(TRELV_HERE, new_name, old_name).emit();
                clear(c);
                break;
            case CONFLICT_ERROR:
                DIAG::optgen_conflict_option(TRELV_HERE, new_name, old_name).emit();
                clear(c);
                trelv_exit(1);
            default: break;
        }
    }
}

void OPTION_OBJ::store(int n, const char* value, long number) {
    const OPTION_DESC& d = option_desc(n);
    std::vector<VALUE>& values = opts_[n].values;
    switch (d.kind) {
        case KIND_NO_ARGS: return;
        case KIND_STRING:
            // An optional string given without a value keeps what it had.
            if (value) values.assign(1, VALUE{value, 0});
            return;
        case KIND_NUMBER:
        case KIND_HEXNUM:
        case KIND_ENUMERATED: values.assign(1, VALUE{"", number}); return;
        case KIND_STRING_LIST:
        case KIND_NUMBER_LIST:
        case KIND_ONEOF_LIST:
            if (d.kind == KIND_STRING_LIST) {
                if (value) values.push_back(VALUE{value, 0});
            } else {
                values.push_back(VALUE{"", number});
            }
            return;
    }
    DIAG::optgen_unhandled_clause_in_setarg(TRELV_HERE, __LINE__).emit();
    trelv_exit(1);
}

int OPTION_OBJ::value_count(int n) const {
    if (!valid(n) || option_desc(n).kind == KIND_NO_ARGS) return 0;
    return static_cast<int>(opts_[n].values.size());
}

long OPTION_OBJ::value_number(int n, int i) const {
    if (!seen(n) || i < 0 || i >= value_count(n)) return 0;
    switch (option_desc(n).kind) {
        case KIND_NUMBER:
        case KIND_HEXNUM:
        case KIND_ENUMERATED:
        case KIND_NUMBER_LIST:
        case KIND_ONEOF_LIST: return opts_[n].values[static_cast<std::size_t>(i)].number;
        default: return 0;
    }
}

const char* OPTION_OBJ::value_text(int n, int i) const {
    if (i < 0 || i >= value_count(n)) return nullptr;
    const OPTION_DESC& d = option_desc(n);
    const VALUE& v = opts_[n].values[static_cast<std::size_t>(i)];
    switch (d.kind) {
        case KIND_STRING:
        case KIND_STRING_LIST: return v.text.c_str();
        case KIND_ENUMERATED:
        case KIND_ONEOF_LIST:
            if (const char* name = enum_name(d, v.number)) return name;
            [[fallthrough]];
        case KIND_NUMBER:
        case KIND_NUMBER_LIST: {
            char* buf = number_buffer();
            std::snprintf(buf, 20, "%ld", v.number);
            return buf;
        }
        case KIND_HEXNUM: {
            char* buf = number_buffer();
            std::snprintf(buf, 20, "0x%lX", static_cast<unsigned long>(v.number));
            return buf;
        }
        case KIND_NO_ARGS: break;
    }
    DIAG::optgen_unhandled_option_handler(TRELV_HERE, __LINE__).emit();
    trelv_exit(1);
}

std::string OPTION_OBJ::render(int n, int i) const {
    const OPTION_DESC& d = option_desc(n);
    if (!d.name) return std::string();
    const std::string form = std::string("--") + d.name;
    if (d.kind == KIND_NO_ARGS || value_count(n) == 0) return form;
    switch (d.kind) {
        case KIND_ENUMERATED:
        case KIND_ONEOF_LIST: {
            const char* name = enum_name(d, value_number(n, i));
            return form + "=" + (name ? name : "error");
        }
        case KIND_STRING:
        case KIND_NUMBER:
        case KIND_HEXNUM:
        case KIND_STRING_LIST:
        case KIND_NUMBER_LIST: {
            const char* text = value_text(n, i);
            return form + "=" + (text ? text : "");
        }
        case KIND_NO_ARGS: break;
    }
    DIAG::optgen_unhandled_clause_in_add_hist(TRELV_HERE, __LINE__).emit();
    trelv_exit(1);
}

std::vector<int> OPTION_OBJ::enabled_options() const {
    std::vector<int> out;
    for (int n = 0; n < OPT_COUNT; ++n)
        if (enabled(n)) out.push_back(n);
    return out;
}

std::vector<std::string> OPTION_OBJ::reapplication_texts() const {
    std::vector<std::string> out;
    for (int n : enabled_options()) {
        const int count = value_count(n);
        if (count == 0) out.push_back(render(n, 0));
        for (int i = 0; i < count; ++i) out.push_back(render(n, i));
    }
    return out;
}

void OPTION_OBJ::clear(int n) {
    if (!valid(n) || option_desc(n).persistent) return;
    ++opts_[n].seen;
    opts_[n].state = 0;
    opts_[n].values.clear();
}
