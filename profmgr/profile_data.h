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
//     read_profile_files(profile_data, unit_name, function_name);
//     if (!profile_data.has_data(function_name)) ... no profile data ...
//
// where unit_name is the translation-unit name of the input header.  The
// files, --analyze and the trace level (flag "debug:profile" above 2 prints
// the matching traces on the diagnostics' standard output) are taken from the
// run's current option set and flag table.
//
// What the program prints and stores is exactly what reading every file from
// the start at every function begin would give, but each file is parsed only
// once per run (see PROFILE_DATA_FILE): a function met twice gets its records
// twice, and a file that cannot be opened ends the run at the first function
// that asks for it, not before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "cfg/BGL_cfg.h"
#include "driver/optobj.h"
#include "driver/run_state.h"
#include "profmgr/profile_data_path.h"

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

// The data sets of the function whose profile data was read last, numbered
// 0, 1, ... in the order the records were met.  A function whose data is
// read again gets, first, the records of every earlier reading of it once
// more, exactly as if its data sets had stayed from before: the readings are
// remembered (unit and file list), not the values, so that a run over a
// large unit holds a few words per function rather than every counter.
class PROFILE_DATA {
public:
    // The data sets of `function` if its data was read last; empty for any
    // other function.
    const DATA_SETS& data_sets(const std::string& function) const;
    // Whether at least one data set was read for `function`, in the reading
    // of it that was last.
    bool has_data(const std::string& function) const;
    // The number of functions whose data was read so far.
    std::size_t size() const { return first_reading_.size(); }

    // A reading: the files asked for, and the unit they were matched for.
    struct READING {
        std::string unit_name;
        PROFILE_FILE_REQUEST request;
    };
    // Makes `function` the function read now, with no data sets, and
    // records `reading` for it.  Returns the readings before it, in order.
    std::vector<const READING*> start_reading(const std::string& function, READING reading);
    // The data sets being read.
    DATA_SETS& current_sets() { return current_sets_; }

private:
    uint32_t reading_id(READING reading);

    std::string current_function_;
    DATA_SETS current_sets_;
    // Every distinct reading of the run; a run has one, or a few.
    std::vector<READING> readings_;
    // Function -> its first reading; the later ones of a function read more
    // than once (which is rare) are kept apart.
    std::unordered_map<std::string, uint32_t> first_reading_;
    std::unordered_map<std::string, std::vector<uint32_t>> later_readings_;
};

// The request that `options` make.
PROFILE_FILE_REQUEST profile_file_request(const OPTION_OBJ& options);

// Reads the records of `function_name` from every requested profile data
// file into `data`, files in the order given.  Does nothing unless profile data is
// in use; --analyze without --use_profile_info is a fatal error, and so is a
// file that cannot be opened.
void read_profile_files(PROFILE_DATA& data, const std::string& unit_name,
                        const std::string& function_name,
                        const OPTION_OBJ& options = current_options());
void read_profile_files(PROFILE_DATA& data, const std::string& unit_name,
                        const std::string& function_name, const PROFILE_FILE_REQUEST& request);

// Forgets every parsed file and every normalised path, so that the next
// function begin reads the files again (for tests, which change files and
// directories between runs).
void reset_profile_file_cache();
