// A scratch folder for tests that read and write files: a fresh temporary
// folder holding src/sub and other, removed with its contents at the end.
// Entered, it is the current directory while the object lives, and the
// normalised-path cache of the profile data is emptied on entry and exit,
// since it remembers the folders of earlier tests.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "profmgr/profile_data_path.h"

class SCRATCH_DIR {
public:
    explicit SCRATCH_DIR(bool enter = false) : entered_(enter) {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "trelv_test_XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            ADD_FAILURE() << "cannot make a folder like " << pattern;
            return;
        }
        // The system reports the physical folder, so tests compare with it.
        path_ = fs::canonical(pattern).string();
        fs::create_directories(path_ + "/src/sub");
        fs::create_directories(path_ + "/other");
        if (!entered_) return;
        reset_normalised_path_cache();
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
    ~SCRATCH_DIR() {
        std::error_code ec;
        if (entered_) {
            std::filesystem::current_path(previous_, ec);
            reset_normalised_path_cache();
        }
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
    }

private:
    bool entered_;
    std::filesystem::path previous_;
    std::string path_;
};
