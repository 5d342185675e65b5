#include "profmgr/profile_data_file.h"

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string_view>
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
// propagation reports and skips like any data set of the wrong length.  Only
// the values really there are counted, so a huge count costs nothing.
bool PROFILE_DATA_FILE::read_record(PROFILE_DATA_SCANNER& scan, RECORD& record) {
    // The scanner has consumed the record's first line: the stream stands
    // where the count starts.
    record.values_at = in_->tellg();
    scan.skip_rest_of_line();
    int32_t count = 0;
    PROFILE_DATA_SCANNER::NUMBER_RESULT r = scan.read_signed(count);
    for (int32_t i = 0; r == PROFILE_DATA_SCANNER::NUMBER && i < count; ++i) {
        uint32_t value = 0;
        r = scan.read_unsigned(value);
        if (r == PROFILE_DATA_SCANNER::NUMBER) ++record.value_count;
    }
    record.stop_line = scan.line_number();
    if (r != PROFILE_DATA_SCANNER::NUMBER) {
        record.ends_file = true;
        return r != PROFILE_DATA_SCANNER::END_OF_FILE;
    }
    return true;
}

PROFILE_DATA_FILE::PROFILE_DATA_FILE(std::unique_ptr<std::istream> in, std::string key_prefix,
                                     bool keep_name_lines)
    : in_(std::move(in)), key_prefix_(std::move(key_prefix)), keeps_name_lines_(keep_name_lines) {
    if (in_->tellg() == std::streampos(-1)) keep_pipe_text();
    if (error_.empty()) parse();
}

namespace {

std::string too_long_error(std::size_t line_number) {
    return "line " + std::to_string(line_number) + " is longer than the limit of " +
           std::to_string(PROFILE_LINE_MAX) + " bytes for a line";
}

const char* const READ_ERROR = "read error";

}  // namespace

// A pipe: its text is kept, so that replays can seek, line by line so that
// no line grows past the limit.
void PROFILE_DATA_FILE::keep_pipe_text() {
    std::string text, line;
    bool terminated = false;
    for (std::size_t number = 1;; ++number) {
        const LINE_READ r = read_profile_line(*in_, line, &terminated);
        if (r == LINE_READ::TOO_LONG) {
            error_ = too_long_error(number);
            return;
        }
        if (r == LINE_READ::END) break;
        text += line;
        if (terminated) text += '\n';
    }
    if (in_->bad()) {
        error_ = READ_ERROR;
        return;
    }
    in_ = std::make_unique<std::istringstream>(std::move(text));
}

void PROFILE_DATA_FILE::parse() {
    PROFILE_DATA_SCANNER scan(*in_);
    bool more = scan.next_line();
    // Set when the rest of the current line, left over by the record before
    // it, is a name under the unit's path.
    bool tail_may_match = false;
    while (more) {
        const std::size_t line = scan.line_number();
        const auto index = uint32_t(records_.size());
        bool starts_record = tail_may_match;
        tail_may_match = false;
        if (holds_slash(scan.line())) {
            std::string candidate = candidate_of(scan.line());
            if (may_match(candidate)) {
                // One entry per name line for now; merged below.
                functions_.push_back({candidate.substr(key_prefix_.size()), index, 0});
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
                std::string candidate = candidate_of(tail);
                tail_may_match = may_match(candidate);
                tail_candidates_.emplace(index, std::move(candidate));
            }
        }
        records_.push_back(record);
        // The line the record stopped in is next read as a plain line: for
        // every other function it is one.  The numbers before it filled
        // whole lines without a "/", which are plain lines of no interest.
    }
    if (scan.too_long() || in_->bad()) {
        error_ = scan.too_long() ? too_long_error(scan.too_long_line() + 1) : READ_ERROR;
        records_.clear();
        functions_.clear();
        tail_candidates_.clear();
        name_lines_.clear();
        return;
    }
    records_.shrink_to_fit();

    // One entry per function, its records chained in file order.
    std::stable_sort(
        functions_.begin(), functions_.end(),
        [](const FUNCTION_ENTRY& a, const FUNCTION_ENTRY& b) { return a.function < b.function; });
    auto kept = functions_.begin();
    uint32_t last = NO_RECORD;
    for (auto it = functions_.begin(); it != functions_.end(); ++it) {
        if (it != functions_.begin() && it->function == std::prev(kept)->function) {
            records_[last].next_same = it->first_record;
        } else {
            if (kept != it) *kept = std::move(*it);
            ++kept;
        }
        last = it->first_record;
    }
    functions_.erase(kept, functions_.end());
    functions_.shrink_to_fit();
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

uint32_t PROFILE_DATA_FILE::record_after(std::size_t line) const {
    // Every line that can match has its record: see the parse.
    const auto it = std::lower_bound(records_.begin(), records_.end(), line,
                                     [](const RECORD& r, std::size_t l) { return r.line < l; });
    return uint32_t(it - records_.begin());
}

const std::string& PROFILE_DATA_FILE::tail_candidate(uint32_t record) const {
    return tail_candidates_.at(record);
}

std::size_t PROFILE_DATA_FILE::entry_of(const std::string& key) const {
    if (last_entry_ != SIZE_MAX && key == last_key_) return last_entry_;
    last_key_ = key;
    last_entry_ = search_entry(key);
    return last_entry_;
}

std::size_t PROFILE_DATA_FILE::search_entry(const std::string& key) const {
    if (!may_match(key)) return functions_.size();
    const std::string_view function = std::string_view(key).substr(key_prefix_.size());
    const auto it = std::lower_bound(
        functions_.begin(), functions_.end(), function,
        [](const FUNCTION_ENTRY& e, std::string_view f) { return e.function < f; });
    return it != functions_.end() && it->function == function ? std::size_t(it - functions_.begin())
                                                              : functions_.size();
}

std::vector<std::string> PROFILE_DATA_FILE::keys() const {
    std::vector<std::string> keys;
    keys.reserve(functions_.size());
    for (const FUNCTION_ENTRY& entry : functions_) keys.push_back(key_prefix_ + entry.function);
    return keys;
}

uint32_t PROFILE_DATA_FILE::times_read(const std::string& key) const {
    const std::size_t entry = entry_of(key);
    return entry < functions_.size() ? functions_[entry].times_read : 0;
}

void PROFILE_DATA_FILE::set_times_read(const std::string& key, uint32_t times) {
    const std::size_t entry = entry_of(key);
    if (entry < functions_.size()) functions_[entry].times_read = times;
}

void PROFILE_DATA_FILE::take_times_read(const PROFILE_DATA_FILE& earlier) {
    // Both lists are sorted by function.
    auto from = earlier.functions_.begin();
    for (FUNCTION_ENTRY& entry : functions_) {
        while (from != earlier.functions_.end() && from->function < entry.function) ++from;
        if (from != earlier.functions_.end() && from->function == entry.function)
            entry.times_read = from->times_read;
    }
}

// Reads the record's values again where the parse found them.  Should the
// file have changed since (it is read while the run goes on), the data set
// keeps the numbers that are still there, up to the parsed count.
void PROFILE_DATA_FILE::append(const RECORD& record, DATA_SETS& sets) {
    DATA_SET& set = sets.emplace_back();
    if (record.value_count == 0) return;
    set.reserve(record.value_count);
    in_->clear();
    in_->seekg(record.values_at);
    PROFILE_DATA_SCANNER scan(*in_);
    int32_t count = 0;
    if (!scan.next_line() || scan.read_signed(count) != PROFILE_DATA_SCANNER::NUMBER) return;
    for (uint32_t i = 0; i < record.value_count; ++i) {
        uint32_t value = 0;
        if (scan.read_unsigned(value) != PROFILE_DATA_SCANNER::NUMBER) return;
        set.push_back(value);
    }
}

void PROFILE_DATA_FILE::replay(const std::string& key, const std::string& function_name,
                               DATA_SETS& sets, std::FILE* trace) {
    if (trace)
        replay_traced(key, function_name, sets, trace);
    else
        replay_quietly(key, sets);
}

void PROFILE_DATA_FILE::replay_quietly(const std::string& key, DATA_SETS& sets) {
    const std::size_t entry = entry_of(key);
    if (entry == functions_.size()) return;
    uint32_t next = functions_[entry].first_record;
    while (next != NO_RECORD) {
        uint32_t at = next;
        append(records_[at], sets);
        while (!records_[at].ends_file && records_[at].tail_has_slash &&
               tail_candidate(at) == key) {
            at = record_after(records_[at].stop_line);
            append(records_[at], sets);
        }
        if (records_[at].ends_file) return;
        // Name lines that the reading went past were numbers or tails.
        const std::size_t resume = records_[at].stop_line + 1;
        while (next != NO_RECORD && records_[next].line < resume) next = records_[next].next_same;
    }
}

void PROFILE_DATA_FILE::replay_traced(const std::string& key, const std::string& function_name,
                                      DATA_SETS& sets, std::FILE* trace) {
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
        uint32_t at = record_after(next->line);
        append(records_[at], sets);
        while (!records_[at].ends_file && records_[at].tail_has_slash &&
               compare(tail_candidate(at))) {
            at = record_after(records_[at].stop_line);
            append(records_[at], sets);
        }
        if (records_[at].ends_file) return;
        const std::size_t resume = records_[at].stop_line + 1;
        next = std::lower_bound(next, name_lines_.end(), resume,
                                [](const NAME_LINE& n, std::size_t l) { return n.line < l; });
    }
}
