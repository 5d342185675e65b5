// PROFILE_JOB: what one run asks of the profile manager.  The driver builds
// it once from the run's options and flags and hands it to the manager, so
// that nothing below the driver reads the command line.
#pragma once

#include <optional>

#include "profmgr/analysis_tables.h"
#include "profmgr/profile_data.h"

struct PROFILE_JOB {
    // Counters go into the code (--gen_profile_info).  Checked first: a run
    // that asks for both instruments.
    bool instrument = false;
    // Whether profile data is read (--use_profile_info, --analyze), and
    // from which files.
    PROFILE_FILE_REQUEST profile;
    // The table --analyze names, if it names one.
    std::optional<ANALYSIS_TABLE> table;
    // Only the analysis table is written; functions with profile data are
    // left out of the output unit (--analyze_only).
    bool analyze_only = false;
    // The level of "debug:profile": above 2 the graph of every function is
    // listed.
    int debug_level = 0;
    // Fall-through edges get a weighted branch of their own (cleared by
    // "disable:ft_ubr").
    bool explicit_fallthrough = true;

    // Counts are derived from profile data.
    bool uses_profile() const { return profile.use_profile_info || profile.analyze; }
};
