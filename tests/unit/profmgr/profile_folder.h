// A scratch folder for the tests of profile data and its path matching.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "profmgr/profile_data_path.h"

// A fresh temporary folder holding src/sub and other, which is the current
// directory while the object lives.  The normalised-path cache is emptied
// on entry and on exit, since it remembers the folders of earlier tests.
class PROFILE_FOLDER {
public:
    explicit PROFILE_FOLDER(const std::string& tag) {
        namespace fs = std::filesystem;
        reset_normalised_path_cache();
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / ("trelv_" + tag + "_XXXXXX")).string();
        if (!mkdtemp(pattern.data())) {
            ADD_FAILURE() << "cannot make a folder like " << pattern;
            return;
        }
        // The system reports the physical folder, so tests compare with it.
        path_ = fs::canonical(pattern).string();
        fs::create_directories(path_ + "/src/sub");
        fs::create_directories(path_ + "/other");
        fs::current_path(path_);
    }
    ~PROFILE_FOLDER() {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::current_path(previous_, ec);
        if (!path_.empty()) fs::remove_all(path_, ec);
        reset_normalised_path_cache();
    }
    PROFILE_FOLDER(const PROFILE_FOLDER&) = delete;
    PROFILE_FOLDER& operator=(const PROFILE_FOLDER&) = delete;

    const std::string& path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::string path_;
};
