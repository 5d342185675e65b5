// The job of a run as the profile manager is given it: built once from the
// option set that governs the run and the flags recorded from it.
#pragma once

#include "driver/optobj.h"
#include "profmgr/profile_job.h"

// What `options` ask of the profile data files.
PROFILE_FILE_REQUEST profile_file_request(const OPTION_OBJ& options);

// The whole job `options` describe, with the flag levels of the run.
PROFILE_JOB profile_job(const OPTION_OBJ& options);
