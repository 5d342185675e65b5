#include "profmgr/profile_data.h"

#include <fstream>
#include <memory>
#include <unordered_map>

#include "diag/diag_settings.h"
#include "diag/trelv_diags.h"
#include "driver/flag_levels.h"
#include "driver/option_table.h"
#include "profmgr/profile_data_file.h"

namespace {

// The parsed profile data files of the run, by the name they were opened by.
std::unordered_map<std::string, std::unique_ptr<PROFILE_DATA_FILE>>& parsed_files() {
    static std::unordered_map<std::string, std::unique_ptr<PROFILE_DATA_FILE>> files;
    return files;
}

// The matching of one function against one file, with everything that does
// not change from file to file worked out once.
struct MATCH {
    std::string key_prefix;  // canonical_path(unit name) + "/"
    std::string key;         // key_prefix + function name
    std::string function_name;
    bool traces = false;
};

MATCH make_match(const std::string& unit_name, const std::string& function_name) {
    MATCH m;
    m.key_prefix = canonical_path(unit_name) + "/";
    m.key = m.key_prefix + function_name;
    m.function_name = function_name;
    m.traces = flag_level(debug_profile_key()) > 2;
    return m;
}

// Parses `file_name` unless an earlier function had it parsed already, in a
// form that serves this match.  Null after reporting a file that cannot be
// opened (only when the fatal report returns, which the exit hook forbids).
const PROFILE_DATA_FILE* parsed_file(const std::string& file_name, const MATCH& m) {
    auto& files = parsed_files();
    const auto known = files.find(file_name);
    if (known != files.end() && known->second->serves(m.key_prefix, m.traces))
        return known->second.get();
    std::ifstream in(file_name);
    if (!in.is_open()) {
        if (known != files.end()) files.erase(known);
        DIAG::trelv_fatal_prof_file_open(TRELV_HERE, file_name.c_str()).emit();
        return nullptr;
    }
    auto parsed = std::make_unique<PROFILE_DATA_FILE>(in, m.key_prefix, m.traces);
    const PROFILE_DATA_FILE* result = parsed.get();
    files[file_name] = std::move(parsed);
    return result;
}

void read_file(PROFILE_DATA& data, const std::string& file_name, const MATCH& m) {
    const PROFILE_DATA_FILE* file = parsed_file(file_name, m);
    if (!file) return;
    file->replay(m.key, m.function_name, data.data_sets(m.function_name),
                 m.traces ? DIAG::settings().out : nullptr);
}

}  // namespace

bool PROFILE_DATA::has_data(const std::string& function) const {
    const auto it = functions_.find(function);
    return it != functions_.end() && !it->second.empty();
}

PROFILE_FILE_REQUEST profile_file_request(const OPTION_OBJ& options) {
    PROFILE_FILE_REQUEST request;
    request.use_profile_info = options.enabled(OPT_USE_PROFILE_INFO);
    request.analyze = options.seen(OPT_ANALYZE);
    for (int i = 0; i < options.value_count(OPT_USE_PROFILE_INFO); ++i) {
        const char* name = options.value_text(OPT_USE_PROFILE_INFO, i);
        request.file_names.emplace_back(name ? name : "");
    }
    return request;
}

void read_profile_files(PROFILE_DATA& data, const std::string& unit_name,
                        const std::string& function_name, const OPTION_OBJ& options) {
    read_profile_files(data, unit_name, function_name, profile_file_request(options));
}

void read_profile_files(PROFILE_DATA& data, const std::string& unit_name,
                        const std::string& function_name, const PROFILE_FILE_REQUEST& request) {
    if (!request.use_profile_info && !request.analyze) return;
    if (!request.use_profile_info) {
        DIAG::trelv_fatal_prof_analysis_bad_usage(TRELV_HERE).emit();
        return;
    }
    const MATCH m = make_match(unit_name, function_name);
    if (request.file_names.empty()) {
        read_file(data, DEFAULT_PROFILE_FILE, m);
        return;
    }
    for (const std::string& name : request.file_names) {
        if (name.empty()) break;
        read_file(data, name, m);
    }
}

void read_profile_file(PROFILE_DATA& data, const std::string& file_name,
                       const std::string& unit_name, const std::string& function_name) {
    read_file(data, file_name, make_match(unit_name, function_name));
}

void reset_profile_file_cache() {
    parsed_files().clear();
    reset_normalised_path_cache();
}
