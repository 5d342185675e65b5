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
PROFILE_DATA_FILE* parsed_file(const std::string& file_name, const MATCH& m) {
    auto& files = parsed_files();
    const auto known = files.find(file_name);
    if (known != files.end() && known->second->serves(m.key_prefix, m.traces))
        return known->second.get();
    auto in = std::make_unique<std::ifstream>(file_name);
    if (!in->is_open()) {
        if (known != files.end()) files.erase(known);
        DIAG::trelv_fatal_prof_file_open(TRELV_HERE, file_name.c_str()).emit();
        return nullptr;
    }
    auto parsed = std::make_unique<PROFILE_DATA_FILE>(std::move(in), m.key_prefix, m.traces);
    PROFILE_DATA_FILE* result = parsed.get();
    files[file_name] = std::move(parsed);
    return result;
}

void read_file(DATA_SETS& sets, const std::string& file_name, const MATCH& m) {
    PROFILE_DATA_FILE* file = parsed_file(file_name, m);
    if (!file) return;
    file->replay(m.key, m.function_name, sets, m.traces ? DIAG::settings().out : nullptr);
}

// Reads the files of `request` in order, for the match `m`.
void read_files(DATA_SETS& sets, const PROFILE_FILE_REQUEST& request, const MATCH& m) {
    if (request.file_names.empty()) {
        read_file(sets, DEFAULT_PROFILE_FILE, m);
        return;
    }
    for (const std::string& name : request.file_names) {
        if (name.empty()) break;
        read_file(sets, name, m);
    }
}

bool same_request(const PROFILE_FILE_REQUEST& a, const PROFILE_FILE_REQUEST& b) {
    return a.use_profile_info == b.use_profile_info && a.analyze == b.analyze &&
           a.file_names == b.file_names;
}

}  // namespace

const DATA_SETS& PROFILE_DATA::data_sets(const std::string& function) const {
    static const DATA_SETS none;
    return function == current_function_ ? current_sets_ : none;
}

bool PROFILE_DATA::has_data(const std::string& function) const {
    return !data_sets(function).empty();
}

uint32_t PROFILE_DATA::reading_id(READING reading) {
    for (std::size_t i = 0; i < readings_.size(); ++i)
        if (readings_[i].unit_name == reading.unit_name &&
            same_request(readings_[i].request, reading.request))
            return uint32_t(i);
    readings_.push_back(std::move(reading));
    return uint32_t(readings_.size() - 1);
}

std::vector<const PROFILE_DATA::READING*> PROFILE_DATA::start_reading(const std::string& function,
                                                                      READING reading) {
    current_function_ = function;
    current_sets_.clear();
    const uint32_t id = reading_id(std::move(reading));
    std::vector<const READING*> earlier;
    const auto [first, added] = first_reading_.try_emplace(function, id);
    if (added) return earlier;
    std::vector<uint32_t>& later = later_readings_[function];
    earlier.push_back(&readings_[first->second]);
    for (uint32_t k : later) earlier.push_back(&readings_[k]);
    later.push_back(id);
    return earlier;
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
    const std::vector<const PROFILE_DATA::READING*> earlier =
        data.start_reading(function_name, {unit_name, request});
    // The earlier readings only bring their data sets back: their traces
    // were printed when they were read.
    for (const PROFILE_DATA::READING* reading : earlier) {
        MATCH quiet = make_match(reading->unit_name, function_name);
        quiet.traces = false;
        read_files(data.current_sets(), reading->request, quiet);
    }
    read_files(data.current_sets(), request, make_match(unit_name, function_name));
}

void reset_profile_file_cache() {
    parsed_files().clear();
    reset_normalised_path_cache();
}
