// Reading profile data files through the profiler's reader, and writing
// records back in the form the profiler reads.
#include "tools/profile/profile_records.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>

#include "profmgr/profile_data_file.h"
#include "tools/common/tool_io.h"

namespace {

std::string without_trailing_slashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// The file's text with its name lines rewritten.  Every line that holds a
// "/" can be a name line to the reader; lines of numbers hold none.
std::string rewritten(const std::string& text, const PROFILE_NAME_MAP& names) {
    if (names.strip_prefix.empty() && names.relative_to.empty()) return text;
    const std::string strip = without_trailing_slashes(names.strip_prefix) + "/";
    const std::string base = without_trailing_slashes(names.relative_to);
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(at, end - at);
        at = end;
        if (line.find('/') != std::string::npos) {
            if (!names.strip_prefix.empty() && line.compare(0, strip.size(), strip) == 0)
                line.erase(0, strip.size());
            if (!base.empty() && line[0] != '/') line = base + "/" + line;
        }
        out += line;
    }
    return out;
}

}  // namespace

unsigned FUNCTION_RECORDS::records() const {
    unsigned n = 0;
    for (const RECORD_GROUP& g : groups) n += g.records;
    return n;
}

const RECORD_GROUP* FUNCTION_RECORDS::group(std::size_t counters) const {
    for (const RECORD_GROUP& g : groups)
        if (g.counters == counters) return &g;
    return nullptr;
}

const RECORD_GROUP& FUNCTION_RECORDS::main_group() const {
    const RECORD_GROUP* best = &groups.front();
    for (const RECORD_GROUP& g : groups)
        if (g.records > best->records) best = &g;
    return *best;
}

std::string key_function(const std::string& key) { return key.substr(key.rfind('/') + 1); }

bool read_profile_records(const std::string& path, const PROFILE_NAME_MAP& names,
                          PROFILE_RECORDS& records, std::string* error) {
    std::string text;
    if (!icode_text::read_whole_file(path, text)) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    PROFILE_DATA_FILE file(std::make_unique<std::istringstream>(rewritten(text, names)), "", false);
    for (const std::string& key : file.keys()) {
        DATA_SETS sets;
        file.replay(key, key_function(key), sets, nullptr);
        if (sets.empty()) continue;
        FUNCTION_RECORDS& f = records[key];
        for (const DATA_SET& set : sets) {
            RECORD_GROUP* g = nullptr;
            for (RECORD_GROUP& candidate : f.groups)
                if (candidate.counters == set.size()) g = &candidate;
            if (!g) {
                g = &f.groups.emplace_back();
                g->counters = set.size();
                g->sums.assign(set.size(), 0);
            }
            ++g->records;
            for (std::size_t i = 0; i < set.size(); ++i) g->sums[i] += set[i];
        }
    }
    return true;
}

void write_profile_records(const PROFILE_RECORDS& records, std::string& out) {
    for (const auto& [key, f] : records) {
        for (const RECORD_GROUP& g : f.groups) {
            out += key + "\n" + std::to_string(g.counters) + "\n";
            for (std::size_t i = 0; i < g.sums.size(); ++i) {
                out += std::to_string(g.sums[i]);
                out += (i + 1 == g.sums.size() || i % 16 == 15) ? "\n" : " ";
            }
        }
    }
}
