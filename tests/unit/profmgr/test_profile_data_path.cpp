// canonical_path, the normalisation of name-line paths, the profile key and
// the memory of normalised paths.  Every test runs in a fresh temporary
// folder as its current directory, with subfolders src, src/sub and other.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "profile_folder.h"
#include "profmgr/profile_data_path.h"

namespace {

namespace fs = std::filesystem;
using std::string;

class ProfilePath : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.emplace("path");
        dir_ = folder_->path();
    }
    void TearDown() override { folder_.reset(); }

    std::optional<PROFILE_FOLDER> folder_;
    string dir_;
};

TEST_F(ProfilePath, RelativeNamesBecomeAbsolute) {
    EXPECT_EQ(canonical_path("src/a.c"), dir_ + "/src/a.c");
    EXPECT_EQ(canonical_path("a.c"), dir_ + "/a.c");
    EXPECT_EQ(canonical_path("./src/./a.c"), dir_ + "/src/a.c");
    // A directory that cannot be entered is replaced by the current one.
    EXPECT_EQ(canonical_path("nosuch/a.c"), dir_ + "/a.c");
    EXPECT_EQ(fs::current_path().string(), dir_) << "the current directory is restored";
}

TEST_F(ProfilePath, DotDotComponentsAreResolved) {
    EXPECT_EQ(canonical_path("src/sub/../a.c"), dir_ + "/src/a.c");
    const string folder = fs::path(dir_).filename().string();
    EXPECT_EQ(canonical_path("../" + folder + "/other/../src/a.c"), dir_ + "/src/a.c");
    fs::current_path(dir_ + "/src/sub");
    EXPECT_EQ(canonical_path("../a.c"), dir_ + "/src/a.c");
    EXPECT_EQ(fs::current_path().string(), dir_ + "/src/sub");
}

TEST_F(ProfilePath, SlashAbsoluteNamesAreNotPrefixed) {
    // From another folder, so that a prefixed name could not be entered and
    // would fall back to the current directory.
    fs::current_path(dir_ + "/other");
    EXPECT_EQ(canonical_path(dir_ + "/src/sub/../a.c"), dir_ + "/src/a.c");
    EXPECT_EQ(canonical_path(dir_ + "/src/a.c"), dir_ + "/src/a.c");
    EXPECT_EQ(fs::current_path().string(), dir_ + "/other");
}

TEST_F(ProfilePath, DriveLettersAndBackslashes) {
    // Such directories cannot be entered on this system, so they give way
    // to the current directory; base name and extension stay.
    EXPECT_EQ(canonical_path("C:\\work\\src\\a.c"), dir_ + "/a.c");
    EXPECT_EQ(canonical_path("c:a.c"), dir_ + "/a.c");
    EXPECT_EQ(canonical_path("\\\\host\\share\\b.cpp"), dir_ + "/b.cpp");
    // A backslash separates the directory as well, relative or not.
    EXPECT_EQ(canonical_path("src\\a.c"), dir_ + "/a.c");
    EXPECT_EQ(canonical_path("src/sub\\a.c"), dir_ + "/a.c");
    // A drive-letter directory that does exist here is entered like any
    // other.
    fs::create_directories(dir_ + "/D:");
    EXPECT_EQ(canonical_path("D:/x.c"), dir_ + "/D:/x.c");
}

TEST_F(ProfilePath, BaseNameAndExtension) {
    EXPECT_EQ(canonical_path("src/a"), dir_ + "/src/a");
    EXPECT_EQ(canonical_path("src/a.b.c"), dir_ + "/src/a.b.c");
    // An empty extension or base name is left out with its separator.
    EXPECT_EQ(canonical_path("src/a."), dir_ + "/src/a");
    EXPECT_EQ(canonical_path("src/"), dir_ + "/src");
    EXPECT_EQ(canonical_path("src/.c"), dir_ + "/src.c");
}

TEST_F(ProfilePath, PartsAreCutTo499Characters) {
    EXPECT_EQ(canonical_path("src/" + string(600, 'b') + ".c"),
              dir_ + "/src/" + string(499, 'b') + ".c");
    EXPECT_EQ(canonical_path("src/a." + string(600, 'e')), dir_ + "/src/a." + string(499, 'e'));
    // The directory part: its first 499 characters name src, the rest
    // ("nosuch/") does not exist, so only the cut directory can be entered.
    string dots;
    for (int i = 0; i < 247; ++i) dots += "./";
    const string name = "src/" + dots + "/nosuch/a.c";
    ASSERT_GT(name.rfind('/') + 1, PROFILE_PATH_PART_MAX);
    ASSERT_EQ(normalised_path("src/nosuch/a.c"), dir_ + "/a.c");
    EXPECT_EQ(normalised_path(name), dir_ + "/src/a.c");
}

TEST_F(ProfilePath, NameLinePathsAreNotMadeAbsoluteFirst) {
    // normalised_path resolves the directory part as the system does, but
    // never prefixes anything: a bare file name keeps no directory of its
    // own and so lands in the current one.
    EXPECT_EQ(normalised_path("src/a.c"), dir_ + "/src/a.c");
    EXPECT_EQ(normalised_path("a.c"), dir_ + "/a.c");
    EXPECT_EQ(normalised_path(""), dir_);
    fs::current_path(dir_ + "/other");
    EXPECT_EQ(normalised_path("../src/a.c"), dir_ + "/src/a.c");
    EXPECT_EQ(normalised_path(dir_ + "/src/sub/../a.c"), dir_ + "/src/a.c");
}

TEST_F(ProfilePath, ProfileKeyJoinsCanonicalUnitAndFunction) {
    EXPECT_EQ(profile_key("src/sub/../a.c", "main"), dir_ + "/src/a.c/main");
    EXPECT_EQ(profile_key(dir_ + "/src/a.c", "f"), dir_ + "/src/a.c/f");
}

TEST_F(ProfilePath, NormalisedPathsAreRememberedUntilReset) {
    fs::create_directories(dir_ + "/gone");
    EXPECT_EQ(cached_normalised_path("gone/x.c"), dir_ + "/gone/x.c");
    fs::remove(dir_ + "/gone");
    ASSERT_EQ(normalised_path("gone/x.c"), dir_ + "/x.c");
    EXPECT_EQ(cached_normalised_path("gone/x.c"), dir_ + "/gone/x.c");
    reset_normalised_path_cache();
    EXPECT_EQ(cached_normalised_path("gone/x.c"), dir_ + "/x.c");
}

}  // namespace
