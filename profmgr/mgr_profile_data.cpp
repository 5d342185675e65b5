// The manager's side of profile data: the files are read at every function
// begin for that function; the data sets are those of the function read last.
#include "profmgr/prof_mgr.h"
#include "profmgr/profile_data.h"

PROFILE_DATA& PROFILE_ICODE_MGR::data() {
    if (!profile_data_) profile_data_ = std::make_unique<PROFILE_DATA>();
    return *profile_data_;
}

void PROFILE_ICODE_MGR::read_profile_data() {
    read_profile_files(data(), unit_name_, function_name(), job_.profile);
}

bool PROFILE_ICODE_MGR::has_profile_data() { return data().has_data(function_name()); }

const DATA_SETS& PROFILE_ICODE_MGR::function_data_sets() {
    return data().data_sets(function_name());
}

void PROFILE_ICODE_MGR::reset_profile_data() {
    profile_data_.reset();
    reset_normalised_path_cache();
}
