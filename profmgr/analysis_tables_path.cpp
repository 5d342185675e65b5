// Where an analysis table goes: a directory and a file name from the
// environment, or a name made from the unit's source file.
//
// The path is built whole in a std::string, however long the variables are.
// The table format was laid out around a buffer of 500 characters; a longer
// directory or name is neither cut nor refused here.  Cutting would send the
// rows to some other file, possibly an existing one; the whole name instead
// goes to the system, which opens it or fails, and a failure is the ordinary
// "cannot open the analysis file" case with the full name in the message.
#include <cstdlib>

#include "profmgr/analysis_tables_steps.h"
#include "profmgr/profile_data_path.h"

namespace {

std::optional<std::string> environment_value(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace

std::optional<std::string> ANALYSIS_ENVIRONMENT::value(const char* name) const {
    if (!name) return std::nullopt;
    const auto it = variables.find(name);
    if (it == variables.end()) return std::nullopt;
    return it->second;
}

ANALYSIS_ENVIRONMENT ANALYSIS_ENVIRONMENT::current() {
    ANALYSIS_ENVIRONMENT e;
    e.analysis_dir = environment_value("ZK_ANALYSIS_DIR");
    for (const ANALYSIS_TABLE_KIND& kind : analysis_table_kinds()) {
        for (const char* name : {kind.file_variable, kind.directory_fallback})
            if (name)
                if (std::optional<std::string> v = environment_value(name)) e.variables[name] = *v;
    }
    return e;
}

std::string join_analysis_path(const std::optional<std::string>& directory, const std::string& name,
                               const std::string& extension) {
    std::string path;
    if (directory) {
        path = *directory;
        if (!path.empty()) {
            char last = path.back();
            if (last != '\\' && last != '/' && last != ':')
                path += path.find('/') != std::string::npos ? '/' : '\\';
        }
    }
    path += name;
    if (!extension.empty()) {
        if (extension[0] != '.') path += '.';
        path += extension;
    }
    return path;
}

std::string analysis_base_name(const std::string& unit_name) {
    // Split as canonical_path splits: the directory ends at the last "\",
    // "/" or ":", the extension follows the last "." of the rest.
    std::string path = canonical_path(unit_name);
    std::string::size_type cut = path.find_last_of("\\/:");
    std::string rest = cut == std::string::npos ? path : path.substr(cut + 1);
    std::string::size_type dot = rest.rfind('.');
    return dot == std::string::npos ? rest : rest.substr(0, dot);
}

std::string analysis_file_path(ANALYSIS_TABLE table, const std::string& unit_name,
                               const ANALYSIS_ENVIRONMENT& environment) {
    const ANALYSIS_TABLE_KIND& kind = analysis_table_kind(table);
    // The directory fallback is an older spelling of the directory that
    // serves its own kind only.
    std::optional<std::string> directory = environment.analysis_dir;
    if (!directory) directory = environment.value(kind.directory_fallback);
    const std::optional<std::string> file = environment.value(kind.file_variable);
    // A name given by the environment is taken as it stands, extension and
    // all.
    if (file) return join_analysis_path(directory, *file, "");
    return join_analysis_path(directory, analysis_base_name(unit_name), ".csv");
}
