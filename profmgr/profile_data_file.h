// One profile data file, parsed once and then replayed for every function.
//
// Each function begin must see a profile data file exactly as reading it from
// the start would: the records that match the function, in file order, and
// (at trace level) one pair of trace lines for every line that holds a "/".
// Where such a reading goes depends on the function: a matching name line is
// followed by numbers, and the rest of the line after its last value is taken
// as a line of its own, while for every other function the same lines are
// plain lines.  The parse therefore keeps, for every line that can start a
// record of this unit, what reading a record after it yields (where its
// values are, and where reading goes on), and the replay walks these in
// file order.
//
// Only names under the unit's path can ever match, since every profile key of
// a run starts with canonical_path(unit name) and "/"; records of other
// sources are not kept.  The text of every name line is kept only when traces
// are wanted, since the traces print it.
//
// The values themselves stay in the file: a record keeps where its count
// starts and how many values were read there, and a replay reads them again.
// A profile run over a large unit thus holds a few words per function, not
// every counter of the program, and the file stays open until the parse is
// forgotten.  It is read through a window of its bytes (file_window.h), so
// that the replays of consecutive functions, whose records lie next to one
// another, mostly read from memory.  A stream that cannot seek (a pipe) is
// read into memory first.
// No line is held beyond PROFILE_LINE_MAX characters: a longer one ends the
// parse with an error, so a device or a pipe that never ends a line cannot
// fill the memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "profiling/data_sets.h"

class PROFILE_DATA_SCANNER;

class PROFILE_DATA_FILE {
public:
    // Parses `in` for the profile keys that start with `key_prefix`, and
    // keeps it for the replays.  With `keep_name_lines` the candidate of
    // every name line is kept for traces.
    PROFILE_DATA_FILE(std::unique_ptr<std::istream> in, std::string key_prefix,
                      bool keep_name_lines);

    // Why the file could not be read to its end (a line longer than
    // PROFILE_LINE_MAX, a read error); empty when it was.  A file with an
    // error keeps no records.
    const std::string& error() const { return error_; }

    // Whether this parse can answer replays for keys under `key_prefix`,
    // with traces when `traces` is set.
    bool serves(const std::string& key_prefix, bool traces) const;

    // Appends to `sets` one data set per record that reading the whole file
    // finds for `key` (which starts with the prefix of the parse), numbered
    // on from the data sets already there.  With `trace` set, prints the
    // trace lines of that reading on it: "FROM I-CODE <key>" and
    // "FROM KWR    <candidate>" per line holding a "/", and
    // "FOUND = <function_name>" per match.
    void replay(const std::string& key, const std::string& function_name, DATA_SETS& sets,
                std::FILE* trace);

    // Every key under the prefix that a name line of the file gives, in
    // byte order: what replays can be asked for.
    std::vector<std::string> keys() const;

    // How many readings of `key` this parse has served, as the caller
    // counts them (set_times_read); 0 for a key without records here.
    uint32_t times_read(const std::string& key) const;
    void set_times_read(const std::string& key, uint32_t times);
    // Takes over the counts of an earlier parse of the same file.
    void take_times_read(const PROFILE_DATA_FILE& earlier);

private:
    static constexpr uint32_t NO_RECORD = UINT32_MAX;

    // What reading a record yields when it starts after line `line`.
    struct RECORD {
        std::size_t line = 0;
        // Where the line after `line` starts, and how many values were read
        // from there (the count first, then the values).
        std::streamoff values_at = 0;
        // Unless ends_file, the rest of line `stop_line` after the last number
        // is a line of its own, and reading goes on at the line after it.
        std::size_t stop_line = 0;
        uint32_t value_count = 0;
        // The next record whose name line names the same function.
        uint32_t next_same = NO_RECORD;
        // The reading of the file stops with this record: it ran into the
        // end of the file or into something that is not a number.
        bool ends_file = false;
        // The rest of line `stop_line` holds a "/"; its candidate is in
        // tail_candidates_.
        bool tail_has_slash = false;
    };
    // A function with records here (by the function part of its name).
    struct FUNCTION_ENTRY {
        std::string function;
        uint32_t first_record = NO_RECORD;  // the others follow next_same
        uint32_t times_read = 0;
    };
    // A line that holds a "/", as a plain line.
    struct NAME_LINE {
        std::size_t line = 0;
        std::string candidate;
    };

    void parse();
    void keep_pipe_text();
    bool read_record(PROFILE_DATA_SCANNER& scan, RECORD& record);
    std::string candidate_of(const std::string& text) const;
    bool may_match(const std::string& candidate) const;
    uint32_t record_after(std::size_t line) const;
    // The entry of the function that `key` names; functions_.size() if none.
    // A function's reading asks for its key a few times in a row: the last
    // answer is kept.
    std::size_t entry_of(const std::string& key) const;
    mutable std::string last_key_;
    mutable std::size_t last_entry_ = SIZE_MAX;
    std::size_t search_entry(const std::string& key) const;
    const std::string& tail_candidate(uint32_t record) const;
    void append(const RECORD& record, DATA_SETS& sets);
    void replay_quietly(const std::string& key, DATA_SETS& sets);
    void replay_traced(const std::string& key, const std::string& function_name, DATA_SETS& sets,
                       std::FILE* trace);

    std::unique_ptr<std::istream> in_;
    std::string key_prefix_;
    bool keeps_name_lines_;
    // Sorted by line: parsed in file order.
    std::vector<RECORD> records_;
    // Sorted by function: every function part of a plain name line under
    // the prefix (a tail is reached through the record before it).  A
    // sorted vector costs a few words per function, which matters for
    // units of many thousands of functions.
    std::vector<FUNCTION_ENTRY> functions_;
    // Record -> the candidate of the rest of its stop line, for the records
    // with tail_has_slash (rare: a name glued to the last value).
    std::unordered_map<uint32_t, std::string> tail_candidates_;
    // Every name line in file order, with keep_name_lines only.
    std::vector<NAME_LINE> name_lines_;
    std::string error_;
};
