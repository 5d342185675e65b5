#include "profmgr/profile_data_file.h"

#include <algorithm>
#include <utility>

#include "profmgr/profile_data_path.h"
#include "profmgr/profile_data_scan.h"

namespace {

bool holds_slash(const std::string& text) { return text.find('/') != std::string::npos; }

}  // namespace

// Reads the count and the values of a record that starts after the scanner's
// current line.  Returns false when the end of the file was reached, true
// when the scanner's current line is still to be read as a plain line.
//
// A count or a value that is not a number ends the reading of the file for
// the function being matched, silently: a damaged file must not keep the
// reading going (or waiting) forever, and nothing in it after the damage can
// be trusted to belong to the right record.  The data set keeps what was read
// up to there.  A record cut off by the end of the file likewise keeps the
// values read: its data set then has fewer values than counters, which the
// propagation reports and skips like any data set of the wrong length.  The
// values are stored one by one as they are read, so a huge count costs
// nothing beyond the values that are really there.
bool PROFILE_DATA_FILE::read_record(PROFILE_DATA_SCANNER& scan, RECORD& record) {
    scan.skip_rest_of_line();
    int32_t count = 0;
    PROFILE_DATA_SCANNER::NUMBER_RESULT r = scan.read_signed(count);
    for (int32_t i = 0; r == PROFILE_DATA_SCANNER::NUMBER && i < count; ++i) {
        uint32_t value = 0;
        r = scan.read_unsigned(value);
        if (r == PROFILE_DATA_SCANNER::NUMBER) record.values.push_back(value);
    }
    record.values.shrink_to_fit();
    record.stop_line = scan.line_number();
    if (r != PROFILE_DATA_SCANNER::NUMBER) {
        record.ends_file = true;
        return r != PROFILE_DATA_SCANNER::END_OF_FILE;
    }
    return true;
}

PROFILE_DATA_FILE::PROFILE_DATA_FILE(std::istream& in, std::string key_prefix,
                                     bool keep_name_lines)
    : key_prefix_(std::move(key_prefix)), keeps_name_lines_(keep_name_lines) {
    PROFILE_DATA_SCANNER scan(in);
    bool more = scan.next_line();
    // Set when the rest of the current line, left over by the record before
    // it, is a name under the unit's path.
    bool tail_may_match = false;
    while (more) {
        const std::size_t line = scan.line_number();
        bool starts_record = tail_may_match;
        tail_may_match = false;
        if (holds_slash(scan.line())) {
            std::string candidate = candidate_of(scan.line());
            if (may_match(candidate)) {
                name_lines_by_function_[candidate.substr(key_prefix_.size())].push_back(line);
                starts_record = true;
            }
            if (keeps_name_lines_) name_lines_.push_back({line, std::move(candidate)});
        }
        if (!starts_record) {
            more = scan.next_line();
            continue;
        }
        RECORD record;
        record.line = line;
        more = read_record(scan, record);
        if (more && !record.ends_file) {
            const std::string tail = scan.rest_of_line();
            if (holds_slash(tail)) {
                record.tail_has_slash = true;
                record.tail_candidate = candidate_of(tail);
                tail_may_match = may_match(record.tail_candidate);
            }
        }
        records_.push_back(std::move(record));
        // The line the record stopped in is next read as a plain line: for
        // every other function it is one.  The numbers before it filled
        // whole lines without a "/", which are plain lines of no interest.
    }
}

bool PROFILE_DATA_FILE::serves(const std::string& key_prefix, bool traces) const {
    return key_prefix == key_prefix_ && (keeps_name_lines_ || !traces);
}

std::string PROFILE_DATA_FILE::candidate_of(const std::string& text) const {
    const std::size_t slash = text.rfind('/');
    return cached_normalised_path(text.substr(0, slash)) + text.substr(slash);
}

bool PROFILE_DATA_FILE::may_match(const std::string& candidate) const {
    return candidate.compare(0, key_prefix_.size(), key_prefix_) == 0;
}

const PROFILE_DATA_FILE::RECORD& PROFILE_DATA_FILE::record_after(std::size_t line) const {
    // Every line that can match has its record: see the parse.
    return *std::lower_bound(records_.begin(), records_.end(), line,
                             [](const RECORD& r, std::size_t l) { return r.line < l; });
}

void PROFILE_DATA_FILE::append(const RECORD& record, DATA_SETS& sets) const {
    DATA_SET& set = sets[static_cast<int>(sets.size())];
    for (std::size_t i = 0; i < record.values.size(); ++i)
        set[static_cast<int>(i)] = record.values[i];
}

void PROFILE_DATA_FILE::replay(const std::string& key, const std::string& function_name,
                               DATA_SETS& sets, std::FILE* trace) const {
    if (trace)
        replay_traced(key, function_name, sets, trace);
    else
        replay_quietly(key, sets);
}

void PROFILE_DATA_FILE::replay_quietly(const std::string& key, DATA_SETS& sets) const {
    if (!may_match(key)) return;
    const auto found = name_lines_by_function_.find(key.substr(key_prefix_.size()));
    if (found == name_lines_by_function_.end()) return;
    const std::vector<std::size_t>& lines = found->second;
    auto next = lines.begin();
    while (next != lines.end()) {
        const RECORD* record = &record_after(*next);
        append(*record, sets);
        while (!record->ends_file && record->tail_has_slash && record->tail_candidate == key) {
            record = &record_after(record->stop_line);
            append(*record, sets);
        }
        if (record->ends_file) return;
        next = std::lower_bound(next, lines.end(), record->stop_line + 1);
    }
}

void PROFILE_DATA_FILE::replay_traced(const std::string& key, const std::string& function_name,
                                      DATA_SETS& sets, std::FILE* trace) const {
    auto compare = [&](const std::string& candidate) {
        std::fprintf(trace, "FROM I-CODE %s\n", key.c_str());
        std::fprintf(trace, "FROM KWR    %s\n", candidate.c_str());
        const bool match = candidate == key;
        if (match) std::fprintf(trace, "FOUND = %s\n", function_name.c_str());
        return match;
    };
    auto next = name_lines_.begin();
    while (next != name_lines_.end()) {
        if (!compare(next->candidate)) {
            ++next;
            continue;
        }
        const RECORD* record = &record_after(next->line);
        append(*record, sets);
        while (!record->ends_file && record->tail_has_slash && compare(record->tail_candidate)) {
            record = &record_after(record->stop_line);
            append(*record, sets);
        }
        if (record->ends_file) return;
        const std::size_t resume = record->stop_line + 1;
        next = std::lower_bound(next, name_lines_.end(), resume,
                                [](const NAME_LINE& n, std::size_t l) { return n.line < l; });
    }
}
