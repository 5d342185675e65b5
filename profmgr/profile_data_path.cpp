// Canonical paths of unit names and profile records, and their cache.
#include "profmgr/profile_data_path.h"

#include <filesystem>
#include <system_error>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

bool is_drive_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Names that already say where they are: "C:..." and "\\server\..." as the
// compiler shell may hand them over, and "/..." on this system.
bool is_absolute(const std::string& name) {
    if (name.size() >= 2 && is_drive_letter(name[0]) && name[1] == ':') return true;
    if (name.compare(0, 2, "\\\\") == 0) return true;
    return !name.empty() && name[0] == '/';
}

std::string cut(std::string part) {
    if (part.size() > PROFILE_PATH_PART_MAX) part.resize(PROFILE_PATH_PART_MAX);
    return part;
}

// The directory the system reports after changing into `dir`; the current
// directory when `dir` cannot be entered.  When not even the current
// directory can be queried there is nothing to come back to, so nothing is
// changed and `dir` is kept as written.
std::string entered_directory(const std::string& dir) {
    std::error_code ec;
    const fs::path previous = fs::current_path(ec);
    if (ec) return dir;
    // An empty directory cannot be entered; spare the system call.
    if (dir.empty()) return previous.string();
    fs::current_path(fs::path(dir), ec);
    if (ec) return previous.string();
    const fs::path entered = fs::current_path(ec);
    std::string result = ec ? previous.string() : entered.string();
    fs::current_path(previous, ec);
    return result;
}

// Normalised and canonical forms, each by the name it was made from.
struct PATH_CACHES {
    std::unordered_map<std::string, std::string> normalised;
    std::unordered_map<std::string, std::string> canonical;
};

PATH_CACHES& path_caches() {
    static PATH_CACHES caches;
    return caches;
}

}  // namespace

std::string normalised_path(const std::string& name) {
    const std::size_t sep = name.find_last_of("\\/:");
    const std::size_t rest_at = sep == std::string::npos ? 0 : sep + 1;
    const std::string dir = cut(name.substr(0, rest_at));
    const std::string rest = name.substr(rest_at);
    const std::size_t dot = rest.rfind('.');
    const std::string base = cut(rest.substr(0, dot));
    const std::string ext = dot == std::string::npos ? std::string() : cut(rest.substr(dot + 1));

    std::string result = entered_directory(dir);
    if (!base.empty()) result += "/" + base;
    if (!ext.empty()) result += "." + ext;
    return result;
}

std::string canonical_path(const std::string& name) {
    if (is_absolute(name)) return normalised_path(name);
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return normalised_path((ec ? std::string() : cwd.string()) + "/" + name);
}

const std::string& cached_normalised_path(const std::string& name) {
    auto& cache = path_caches().normalised;
    auto it = cache.find(name);
    if (it == cache.end()) it = cache.emplace(name, normalised_path(name)).first;
    return it->second;
}

const std::string& cached_canonical_path(const std::string& name) {
    auto& cache = path_caches().canonical;
    auto it = cache.find(name);
    if (it == cache.end()) it = cache.emplace(name, canonical_path(name)).first;
    return it->second;
}

void reset_normalised_path_cache() {
    path_caches().normalised.clear();
    path_caches().canonical.clear();
}

std::string profile_key(const std::string& unit_name, const std::string& function_name) {
    return canonical_path(unit_name) + "/" + function_name;
}
