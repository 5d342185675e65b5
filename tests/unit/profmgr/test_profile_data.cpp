// Reading profile data files for a function: matching name lines, data-set
// numbering, the file list and its default, the fatal errors, the traces,
// repeated function begins and damaged files.  Every test runs in a fresh
// temporary folder as its current directory; the unit is src/a.c there.
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/optobj.h"
#include "driver/run_job.h"
#include "profile_folder.h"
#include "profmgr/profile_data.h"
#include "test_diag_capture.h"

namespace {

namespace fs = std::filesystem;
using std::string;

PROFILE_FILE_REQUEST files(std::vector<string> names) {
    PROFILE_FILE_REQUEST r;
    r.use_profile_info = true;
    r.file_names = std::move(names);
    return r;
}

class ProfileDataRead : public CAPTURED_TEST {
protected:
    void SetUp() override {
        CAPTURED_TEST::SetUp();
        folder_.emplace("prof");
        dir_ = folder_->path();
        unit_ = dir_ + "/src/a.c";
    }

    void TearDown() override {
        folder_.reset();
        CAPTURED_TEST::TearDown();
    }

    void write(const string& name, const string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }

    void read(const string& function, const PROFILE_FILE_REQUEST& request) {
        read_profile_files(data_, unit_, function, request);
    }

    // The data sets that `function` gets from a file holding `text` alone.
    DATA_SETS from_text(const string& text, const string& function = "f") {
        const string name = "case" + std::to_string(++cases_) + ".prf";
        write(name, text);
        PROFILE_DATA data;
        read_profile_files(data, unit_, function, files({name}));
        return data.data_sets(function);
    }

    string key(const string& function) const { return unit_ + "/" + function; }

    std::optional<PROFILE_FOLDER> folder_;
    string dir_;
    string unit_;
    PROFILE_DATA data_;
    int cases_ = 0;
};

TEST_F(ProfileDataRead, NameLinesSplitAtTheLastSlash) {
    fs::create_directories(dir_ + "/a");
    write("one.prf", "a/b/c\n1 7\n");
    read_profile_files(data_, "a/b", "c", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("c"), (DATA_SETS{{7}}));
    // Path a/b names the unit; the whole line is not a path with function b.
    read_profile_files(data_, "a", "b", files({"one.prf"}));
    EXPECT_FALSE(data_.has_data("b"));
}

TEST_F(ProfileDataRead, DifferentlyWrittenPathsToTheUnitMatch) {
    write("one.prf",
          "src/a.c/f\n1 1\n"
          "./src/sub/../a.c/f\n1 2\n"
          "src/b.c/f\n1 3\n"
          "other/../src/a.c/f\n1 4\n" +
              dir_ +
              "/src/a.c/f\n1 5\n"
              "src/a.c/ff\n1 6\n");
    read("f", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1}, {2}, {4}, {5}}));
    // The unit name may be relative as well.
    read_profile_files(data_, "src/sub/../a.c", "ff", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("ff"), (DATA_SETS{{6}}));
}

TEST_F(ProfileDataRead, DataSetsAreNumberedAcrossRecordsAndFiles) {
    write("one.prf", "src/a.c/f\n2 1 2\nsrc/a.c/g\n1 9\nsrc/a.c/f\n2 3 4\n");
    write("two.prf", "junk without a slash\nsrc/a.c/f\n2 5 6\n");
    read("f", files({"one.prf", "two.prf"}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1, 2}, {3, 4}, {5, 6}}));
    read("g", files({"one.prf", "two.prf"}));
    EXPECT_EQ(data_.data_sets("g"), (DATA_SETS{{9}}));
    EXPECT_FALSE(data_.has_data("f")) << "only the function read last has data sets";
    read("h", files({"one.prf", "two.prf"}));
    EXPECT_FALSE(data_.has_data("h"));
}

TEST_F(ProfileDataRead, CountsAndValues) {
    // A count of 0 or below gives a data set without values.
    EXPECT_EQ(from_text("src/a.c/f\n0\nsrc/a.c/f\n-4\nsrc/a.c/f\n-2147483648\nsrc/a.c/f\n1 8\n"),
              (DATA_SETS{{}, {}, {}, {8}}));
    // Numbers are separated by any white space, line ends included.
    EXPECT_EQ(from_text("src/a.c/f\n\n 3\t10\n\n\t 20\r\n  30\n"), (DATA_SETS{{10, 20, 30}}));
    EXPECT_EQ(from_text("src/a.c/f\n+2 4294967295 +0\n"), (DATA_SETS{{4294967295u, 0}}));
}

TEST_F(ProfileDataRead, RestOfTheLastValuesLineIsALineOfItsOwn) {
    EXPECT_EQ(from_text("src/a.c/f\n2 1 2src/a.c/f\n1 3\n"), (DATA_SETS{{1, 2}, {3}}));
    EXPECT_EQ(from_text("src/a.c/f\n0src/a.c/f\n1 3\n"), (DATA_SETS{{}, {3}}));
    // For any other function that line is a plain line, whose path part
    // "1 5src/a.c" names no folder here.
    const string text = "src/a.c/g\n1 5src/a.c/f\n1 6\n";
    EXPECT_EQ(from_text(text, "g"), (DATA_SETS{{5}}));
    EXPECT_EQ(from_text(text, "f"), DATA_SETS());
}

TEST_F(ProfileDataRead, DefaultFileIsTrelvoutPrf) {
    write("trelvout.prf", "src/a.c/f\n1 3\n");
    read("f", files({}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{3}}));

    OPTION_OBJ options;
    ASSERT_TRUE(options.parse("-use_profile_info"));
    PROFILE_DATA data;
    read_profile_files(data, unit_, "f", profile_job(options).profile);
    EXPECT_EQ(data.data_sets("f"), (DATA_SETS{{3}}));
}

TEST_F(ProfileDataRead, FileNamesComeFromTheOptions) {
    write("one.prf", "src/a.c/f\n1 1\n");
    write("two.prf", "src/a.c/f\n1 2\n");
    OPTION_OBJ options;
    ASSERT_TRUE(options.parse("-use_profile_info=two.prf"));
    ASSERT_TRUE(options.parse("-use_profile_info=one.prf"));
    read_profile_files(data_, unit_, "f", profile_file_request(options));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{2}, {1}}));
}

TEST_F(ProfileDataRead, EmptyNameEndsTheList) {
    write("one.prf", "src/a.c/f\n1 1\n");
    read("f", files({"one.prf", "", "missing.prf"}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1}}));
    // Names were given, so not even the default file is read.
    read("g", files({"", "one.prf"}));
    EXPECT_EQ(err(), "");
}

TEST_F(ProfileDataRead, UnopenableFileIsFatalAtTheFunctionThatAsks) {
    write("one.prf", "src/a.c/f\n1 1\n");
    EXPECT_EQ(exit_status_of([&] { read("f", files({"one.prf", "missing.prf"})); }), 1);
    EXPECT_EQ(err(), "fatal error: Error opening profile info file \"missing.prf\"\n");
    // The files before it were read.
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1}}));
}

TEST_F(ProfileDataRead, MissingDefaultFileIsFatal) {
    EXPECT_EQ(exit_status_of([&] { read("f", files({})); }), 1);
    EXPECT_EQ(err(), "fatal error: Error opening profile info file \"trelvout.prf\"\n");
}

TEST_F(ProfileDataRead, AnalyzeNeedsUseProfileInfo) {
    OPTION_OBJ neither;
    read_profile_files(data_, unit_, "f", profile_file_request(neither));
    EXPECT_EQ(data_.size(), 0u) << "nothing is read without profile data in use";

    OPTION_OBJ analyze;
    ASSERT_TRUE(analyze.parse("-analyze=codecov"));
    EXPECT_EQ(exit_status_of(
                  [&] { read_profile_files(data_, unit_, "f", profile_file_request(analyze)); }),
              1);
    EXPECT_EQ(err(), "fatal error: --analyze must be accompanied by --use_profile_info option\n");

    write("trelvout.prf", "src/a.c/f\n1 4\n");
    ASSERT_TRUE(analyze.parse("-use_profile_info"));
    read_profile_files(data_, unit_, "f", profile_file_request(analyze));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{4}}));
}

TEST_F(ProfileDataRead, TracesAtLevelThree) {
    add_flags("debug", "profile=3");
    write("one.prf", "# counters\nsrc/a.c/g\n1 5\nsrc/a.c/f\n2 1 2 src/b.c/h\nend\n");
    read("f", files({"one.prf"}));
    // The rest of f's values line, " src/b.c/h", is a line of its own; its
    // folder " src/" does not exist, so it stands for the current one.
    const string for_f = "FROM I-CODE " + key("f") + "\n" + "FROM KWR    " + dir_ + "/src/a.c/g\n" +
                         "FROM I-CODE " + key("f") + "\n" + "FROM KWR    " + dir_ + "/src/a.c/f\n" +
                         "FOUND = f\n" + "FROM I-CODE " + key("f") + "\n" + "FROM KWR    " + dir_ +
                         "/b.c/h\n";
    EXPECT_EQ(out(), for_f);
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1, 2}}));

    read("g", files({"one.prf"}));
    const string for_g = "FROM I-CODE " + key("g") + "\n" + "FROM KWR    " + dir_ + "/src/a.c/g\n" +
                         "FOUND = g\n" + "FROM I-CODE " + key("g") + "\n" + "FROM KWR    " + dir_ +
                         "/src/a.c/f\n" + "FROM I-CODE " + key("g") + "\n" + "FROM KWR    " + dir_ +
                         "/b.c/h\n";
    EXPECT_EQ(out(), for_f + for_g);
    EXPECT_EQ(err(), "");
}

TEST_F(ProfileDataRead, NoTracesAtLevelTwo) {
    add_flags("debug", "profile=2");
    write("one.prf", "src/a.c/g\n1 5\nsrc/a.c/f\n2 1 2\n");
    read("f", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1, 2}}));
    read("g", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("g"), (DATA_SETS{{5}}));
    EXPECT_EQ(out(), "");
}

TEST_F(ProfileDataRead, AFunctionAskedForAgainGetsItsRecordsAgain) {
    // As if the data sets of every earlier reading had stayed: the records
    // of each reading, files in order, then those of this one.
    write("one.prf", "src/a.c/f\n1 1\nsrc/a.c/f\n1 2\n");
    write("two.prf", "src/a.c/f\n1 3\n");
    read("f", files({"one.prf", "two.prf"}));
    read("g", files({"one.prf", "two.prf"}));
    read("f", files({"one.prf", "two.prf"}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1}, {2}, {3}, {1}, {2}, {3}}));

    // Only the reading itself prints its traces, even when the files are
    // parsed again to keep their name lines.
    add_flags("debug", "profile=3");
    read("f", files({"one.prf", "two.prf"}));
    const string match = "FROM I-CODE " + key("f") + "\nFROM KWR    " + key("f") + "\nFOUND = f\n";
    const string reading = match + match + match;
    EXPECT_EQ(out(), reading);
    EXPECT_EQ(data_.data_sets("f").size(), 9u);
    read("f", files({"one.prf", "two.prf"}));
    EXPECT_EQ(out(), reading + reading);
    EXPECT_EQ(data_.data_sets("f").size(), 12u);
}

TEST_F(ProfileDataRead, EachFileIsParsedOncePerRun) {
    write("one.prf", "src/a.c/f\n1 1\nsrc/a.c/g\n1 2\n");
    read("f", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1}}));
    // Later function begins replay the first parse, and read the values
    // through the file opened then: a vanished file is not looked for again.
    fs::remove("one.prf");
    read("g", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("g"), (DATA_SETS{{2}}));
    read("g", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("g"), (DATA_SETS{{2}, {2}}));
    read("f", files({"one.prf"}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1}, {1}}));
    EXPECT_EQ(err(), "");
    // The next run parses again.
    PROFILE_DATA next_run;
    EXPECT_EQ(exit_status_of([&] { read_profile_files(next_run, unit_, "g", files({"one.prf"})); }),
              1);
}

TEST_F(ProfileDataRead, APipeIsReadAsWellAsAFile) {
    // Values are read again at every replay; a pipe cannot seek, so its
    // text is kept instead.
    ASSERT_EQ(mkfifo("pipe.prf", 0600), 0);
    std::thread writer([] { std::ofstream("pipe.prf") << "src/a.c/f\n2 1 2\nsrc/a.c/g\n1 5\n"; });
    read("f", files({"pipe.prf"}));
    writer.join();
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1, 2}}));
    read("g", files({"pipe.prf"}));
    EXPECT_EQ(data_.data_sets("g"), (DATA_SETS{{5}}));
    read("f", files({"pipe.prf"}));
    EXPECT_EQ(data_.data_sets("f"), (DATA_SETS{{1, 2}, {1, 2}}));
}

TEST_F(ProfileDataRead, DamagedFilesEndTheReadingCleanly) {
    // A value that is not a number ends the file for the function read; the
    // data set keeps what came before.  Other functions are not affected.
    const string bad_value = "src/a.c/f\n3 1 x 2\nsrc/a.c/f\n1 9\nsrc/a.c/g\n1 4\n";
    EXPECT_EQ(from_text(bad_value, "f"), (DATA_SETS{{1}}));
    EXPECT_EQ(from_text(bad_value, "g"), (DATA_SETS{{4}}));
    // A count that is not a number: here the next name line.
    EXPECT_EQ(from_text("src/a.c/f\nsrc/a.c/f\n1 9\n"), (DATA_SETS{{}}));
    // Numbers out of their 32-bit range, and negative values, are no numbers.
    EXPECT_EQ(from_text("src/a.c/f\n2147483648 1\nsrc/a.c/f\n1 2\n"), (DATA_SETS{{}}));
    EXPECT_EQ(from_text("src/a.c/f\n2 7 4294967296\nsrc/a.c/f\n1 2\n"), (DATA_SETS{{7}}));
    EXPECT_EQ(from_text("src/a.c/f\n2 -1 1\n"), (DATA_SETS{{}}));
    // Cut off by the end of the file: the values read are kept.
    EXPECT_EQ(from_text("src/a.c/f\n5 1 2"), (DATA_SETS{{1, 2}}));
    EXPECT_EQ(from_text("src/a.c/f\n5\n1\n"), (DATA_SETS{{1}}));
    EXPECT_EQ(from_text("src/a.c/f"), (DATA_SETS{{}}));
    EXPECT_EQ(from_text("src/a.c/f\n   \n"), (DATA_SETS{{}}));
    // A huge count stores only the values that are there.
    const DATA_SETS huge = from_text("src/a.c/f\n2147483647\n1 2 3\n");
    EXPECT_EQ(huge, (DATA_SETS{{1, 2, 3}}));
}

}  // namespace
