// Reading a function's records from the requested profile data files, each
// file parsed once per run and replayed for later functions.
#include "profmgr/profile_data.h"

#include <algorithm>
#include <memory>

#include "diag/diag_settings.h"
#include "diag/flag_levels.h"
#include "diag/trelv_diags.h"
#include "profmgr/file_window.h"
#include "profmgr/profile_data_file.h"

namespace {

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
    m.key_prefix = cached_canonical_path(unit_name) + "/";
    m.key = m.key_prefix + function_name;
    m.function_name = function_name;
    m.traces = flag_level(debug_profile_key()) > 2;
    return m;
}

}  // namespace

std::vector<std::string> profile_file_names(const PROFILE_FILE_REQUEST& request) {
    if (request.file_names.empty()) return {DEFAULT_PROFILE_FILE};
    std::vector<std::string> names;
    for (const std::string& name : request.file_names) {
        if (name.empty()) break;
        names.push_back(name);
    }
    return names;
}

PROFILE_DATA::PROFILE_DATA() = default;
PROFILE_DATA::~PROFILE_DATA() = default;

const DATA_SETS& PROFILE_DATA::data_sets(const std::string& function) const {
    static const DATA_SETS none;
    return function == current_function_ ? current_sets_ : none;
}

bool PROFILE_DATA::has_data(const std::string& function) const {
    return !data_sets(function).empty();
}

DATA_SETS& PROFILE_DATA::start_reading(const std::string& function) {
    current_function_ = function;
    current_sets_.clear();
    ++readings_;
    return current_sets_;
}

PROFILE_DATA_FILE* PROFILE_DATA::cached_file(const std::string& file_name,
                                             const std::string& key_prefix, bool traces) const {
    const auto known = files_.find(file_name);
    return known != files_.end() && known->second->serves(key_prefix, traces) ? known->second.get()
                                                                              : nullptr;
}

PROFILE_DATA_FILE* PROFILE_DATA::parsed_file(const std::string& file_name,
                                             const std::string& key_prefix, bool traces) {
    if (PROFILE_DATA_FILE* known = cached_file(file_name, key_prefix, traces)) return known;
    auto in = std::make_unique<FILE_WINDOW_STREAM>(file_name);
    if (!in->is_open()) {
        files_.erase(file_name);
        DIAG::trelv_fatal_prof_file_open(TRELV_HERE, file_name.c_str()).emit();
        return nullptr;
    }
    auto parsed = std::make_unique<PROFILE_DATA_FILE>(std::move(in), key_prefix, traces);
    if (!parsed->error().empty()) {
        files_.erase(file_name);
        DIAG::trelv_fatal_prof_file_read(TRELV_HERE, file_name.c_str(), parsed->error().c_str())
            .emit();
        return nullptr;
    }
    std::unique_ptr<PROFILE_DATA_FILE>& slot = files_[file_name];
    // A parse made again (now with its name lines, for traces) goes on
    // counting the readings of the one it replaces.
    if (slot) parsed->take_times_read(*slot);
    slot = std::move(parsed);
    return slot.get();
}

void read_profile_files(PROFILE_DATA& data, const std::string& unit_name,
                        const std::string& function_name, const PROFILE_FILE_REQUEST& request) {
    if (!request.use_profile_info && !request.analyze) return;
    if (!request.use_profile_info) {
        DIAG::trelv_fatal_prof_analysis_bad_usage(TRELV_HERE).emit();
        return;
    }
    const MATCH m = make_match(unit_name, function_name);
    const std::vector<std::string> names = profile_file_names(request);
    DATA_SETS& sets = data.start_reading(function_name);
    // The earlier readings of the function bring their data sets back
    // first; their traces were printed when they were read.  Files read
    // then are parsed already, so none is opened here.
    uint32_t earlier = 0;
    for (const std::string& name : names)
        if (PROFILE_DATA_FILE* file = data.cached_file(name, m.key_prefix, false))
            earlier = std::max(earlier, file->times_read(m.key));
    for (uint32_t k = 0; k < earlier; ++k)
        for (const std::string& name : names)
            if (PROFILE_DATA_FILE* file = data.cached_file(name, m.key_prefix, false))
                file->replay(m.key, function_name, sets, nullptr);
    for (const std::string& name : names) {
        PROFILE_DATA_FILE* file = data.parsed_file(name, m.key_prefix, m.traces);
        if (!file) return;
        file->replay(m.key, function_name, sets, m.traces ? DIAG::settings().out : nullptr);
        file->set_times_read(m.key, earlier + 1);
    }
}
