// PROFILE_DATA and the reading of profile data files.
//
// An instrumented program leaves its counters in profile data files, text
// files of records: a name line "<source path>/<function name>", a count n,
// then n counter values.  At every function begin the profile manager has
// the files read for that function; the function's records become its data
// sets in PROFILE_DATA, which propagation later sums.
//
// Use from the profile manager, at each function begin when
// --use_profile_info is enabled or --analyze was given:
//
//     read_profile_files(profile_data, unit_name, function_name, request);
//     if (!profile_data.has_data(function_name)) ... no profile data ...
//
// where unit_name is the translation-unit name of the input header.  The
// files and --analyze come with the request the driver makes of the run's
// options, and the trace level (flag "debug:profile" above 2 prints the
// matching traces on the diagnostics' standard output) from the flag table.
//
// What the program prints and stores is exactly what reading every file from
// the start at every function begin would give, but each file is parsed only
// once per run (see PROFILE_DATA_FILE): a function met twice gets its records
// twice, and a file that cannot be opened ends the run at the first function
// that asks for it, not before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "profiling/data_sets.h"
#include "profmgr/profile_data_path.h"

class PROFILE_DATA_FILE;

// The file read when --use_profile_info names none.
constexpr const char* DEFAULT_PROFILE_FILE = "trelvout.prf";

// What a run asks of the profile data files.
struct PROFILE_FILE_REQUEST {
    bool use_profile_info = false;  // --use_profile_info enabled
    bool analyze = false;           // --analyze given
    // The values of --use_profile_info in order; an empty name ends the
    // list, and no names at all mean DEFAULT_PROFILE_FILE.
    std::vector<std::string> file_names;
};

// The files of `request` in the order they are read.
std::vector<std::string> profile_file_names(const PROFILE_FILE_REQUEST& request);

// The profile data of a run: the data sets of the function whose profile
// data was read last, numbered 0, 1, ... in the order the records were met,
// and every profile data file parsed so far.  A file is parsed once, at the
// first function that asks for it, and replayed for the functions after it.
//
// A function whose data is read again in a run gets, first, its records of
// every earlier reading once more, exactly as if its data sets had stayed
// from before: each parse counts how often it served each function (the
// files and the unit are the same for every function of a run), so that a
// run over a large unit holds a few words per function rather than every
// counter.
class PROFILE_DATA {
public:
    PROFILE_DATA();
    ~PROFILE_DATA();
    PROFILE_DATA(const PROFILE_DATA&) = delete;
    PROFILE_DATA& operator=(const PROFILE_DATA&) = delete;

    // The data sets of `function` if its data was read last; empty for any
    // other function.
    const DATA_SETS& data_sets(const std::string& function) const;
    // Whether at least one data set was read for `function`, in the reading
    // of it that was last.
    bool has_data(const std::string& function) const;
    // The number of readings so far.
    std::size_t size() const { return readings_; }

    // Makes `function` the function read now, with no data sets yet.
    DATA_SETS& start_reading(const std::string& function);

    // The parse of `file_name` made for an earlier function, in a form that
    // serves keys under `key_prefix` (with traces when `traces`); null if
    // there is none.
    PROFILE_DATA_FILE* cached_file(const std::string& file_name, const std::string& key_prefix,
                                   bool traces) const;
    // The same, parsing the file when there is none.  A file that cannot be
    // opened is fatal (null only when the fatal report returns).
    PROFILE_DATA_FILE* parsed_file(const std::string& file_name, const std::string& key_prefix,
                                   bool traces);

private:
    std::string current_function_;
    DATA_SETS current_sets_;
    std::size_t readings_ = 0;
    // By the name the file was opened by.
    std::unordered_map<std::string, std::unique_ptr<PROFILE_DATA_FILE>> files_;
};

// Reads the records of `function_name` from every requested profile data
// file into `data`, files in the order given.  Does nothing unless profile data is
// in use; --analyze without --use_profile_info is a fatal error, and so is a
// file that cannot be opened.
void read_profile_files(PROFILE_DATA& data, const std::string& unit_name,
                        const std::string& function_name, const PROFILE_FILE_REQUEST& request);
