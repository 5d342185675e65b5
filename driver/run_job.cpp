// The translation from the run's options and flags to the profile manager's
// job: the one place below which no part of the system reads options.
#include "driver/run_job.h"

#include "diag/flag_levels.h"
#include "driver/option_table.h"

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

PROFILE_JOB profile_job(const OPTION_OBJ& options) {
    PROFILE_JOB job;
    job.instrument = options.enabled(OPT_GEN_PROFILE_INFO);
    job.profile = profile_file_request(options);
    // Analysis mode is read through "seen": --codecov gives the analyze
    // option its value without enabling it.
    if (job.profile.analyze)
        if (const ANALYSIS_TABLE_KIND* kind =
                analysis_table_kind_named(options.value_text(OPT_ANALYZE, 0)))
            job.table = kind->table;
    job.analyze_only = options.enabled(OPT_ANALYZE_ONLY);
    job.debug_level = flag_level(debug_profile_key());
    job.explicit_fallthrough = flag_level(disable_ft_ubr_key()) == 0;
    return job;
}
