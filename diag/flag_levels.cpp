// The flag table: sorted storage, interned key names and the parsing of
// --debug: and --disable: values into it.
#include "diag/flag_levels.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

bool name_less(const std::pair<std::string, int>& e, const std::string& name) {
    return e.first < name;
}

// Flag names (prefix, colon and name) must stay shorter than this.
const std::size_t max_flag_name = 512;

int read_level(const char* text) {
    const long v = std::strtol(text, nullptr, 0);
    return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
}

}  // namespace

int FLAG_LEVELS::level(const std::string& name) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), name, name_less);
    return it != entries_.end() && it->first == name ? it->second : 0;
}

void FLAG_LEVELS::set(const std::string& name, int lvl) {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), name, name_less);
    if (it != entries_.end() && it->first == name)
        it->second = lvl;
    else
        entries_.insert(it, {name, lvl});
}

FLAG_LEVELS& flag_levels() {
    static FLAG_LEVELS table;
    return table;
}

void reset_flag_levels() { flag_levels().clear(); }

FLAG_KEY::FLAG_KEY(const char* name) {
    // A node-based set keeps every interned name at a fixed address; it is
    // never emptied because keys may be held for the whole process.
    static std::set<std::string> interned;
    name_ = interned.insert(name).first->c_str();
}

const FLAG_KEY& debug_profile_key() {
    static const FLAG_KEY key("debug:profile");
    return key;
}

const FLAG_KEY& disable_ft_ubr_key() {
    static const FLAG_KEY key("disable:ft_ubr");
    return key;
}

const FLAG_KEY& disable_canon_key() {
    static const FLAG_KEY key("disable:canon");
    return key;
}

int flag_level(const FLAG_KEY& key) { return flag_levels().level(key.name()); }

void add_flags(const char* prefix, const char* value) {
    const std::string head = std::string(prefix) + ":";
    const char* p = value;
    while (true) {
        const char* comma = std::strchr(p, ',');
        const std::string token(p, comma ? static_cast<std::size_t>(comma - p) : std::strlen(p));
        // Empty tokens (",," or a trailing comma) name nothing.
        if (!token.empty()) {
            const std::size_t eq = token.find('=');
            const std::string name = head + token.substr(0, eq);
            const int lvl = eq == std::string::npos ? 1 : read_level(token.c_str() + eq + 1);
            // A name too long for a flag is dropped as a whole rather than
            // recorded under a shortened or empty name that would alias
            // another flag.
            if (name.size() < max_flag_name) flag_levels().set(name, lvl);
        }
        if (!comma) break;
        p = comma + 1;
    }
}
