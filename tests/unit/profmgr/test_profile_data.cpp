// Reading profile data files for a function: matching name lines whatever
// the way their path is written, counts and values, damaged files, the file
// list and its default, the fatal errors, the traces, and the parse kept
// for the run and replayed at every function begin.  Every test runs in a
// scratch folder as its current directory; the unit is src/a.c there.
#include <string>
#include <vector>

#include "driver/optobj.h"
#include "driver/run_job.h"
#include "profmgr/profile_data.h"
#include "test_diag_capture.h"
#include "test_scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using std::string;

PROFILE_FILE_REQUEST files(std::vector<string> names) {
    PROFILE_FILE_REQUEST r;
    r.use_profile_info = true;
    r.file_names = std::move(names);
    return r;
}

// Data sets as "{1 2}{3}".
string text_of(const DATA_SETS& sets) {
    string r;
    for (const DATA_SET& s : sets) {
        r += "{";
        for (size_t i = 0; i < s.size(); ++i) r += (i ? " " : "") + std::to_string(s[i]);
        r += "}";
    }
    return r;
}

class ProfileData : public CAPTURED_TEST {
protected:
    void SetUp() override {
        CAPTURED_TEST::SetUp();
        dir_ = std::make_unique<SCRATCH_DIR>(true);
        unit_ = dir_->file("src/a.c");
    }
    void TearDown() override {
        dir_.reset();
        CAPTURED_TEST::TearDown();
    }
    // The data sets `function` has after reading the files.
    string read(const string& function, const std::vector<string>& names) {
        read_profile_files(data_, unit_, function, files(names));
        return text_of(data_.data_sets(function));
    }
    string key(const string& function) const { return unit_ + "/" + function; }

    std::unique_ptr<SCRATCH_DIR> dir_;
    string unit_;
    PROFILE_DATA data_;
};

TEST_F(ProfileData, RecordsOfOneFile) {
    const struct {
        string text, function, want;
    } cases[] = {
        // Paths written in other ways name the same unit; "@" is the folder.
        {"src/a.c/f\n1 1\n./src/sub/../a.c/f\n1 2\nsrc/b.c/f\n1 3\nother/../src/a.c/f\n1 4\n"
         "@/src/a.c/f\n1 5\nsrc/a.c/ff\n1 6\njunk\nsrc/a.c/f\n1 7\n",
         "f", "{1}{2}{4}{5}{7}"},
        // A count of 0 or below gives a set without values; any white space
        // separates numbers; a plus sign is allowed.
        {"src/a.c/f\n0\nsrc/a.c/f\n-4\nsrc/a.c/f\n-2147483648\nsrc/a.c/f\n\n 3\t10\n\n\t 20\r\n"
         "  30\nsrc/a.c/f\n+2 4294967295 +0\n",
         "f", "{}{}{}{10 20 30}{4294967295 0}"},
        // The rest of the last values line is a line of its own.
        {"src/a.c/f\n2 1 2src/a.c/f\n1 3\n", "f", "{1 2}{3}"},
        {"src/a.c/f\n0src/a.c/f\n1 3\n", "f", "{}{3}"},
        {"src/a.c/g\n1 5src/a.c/f\n1 6\n", "g", "{5}"},
        {"src/a.c/g\n1 5src/a.c/f\n1 6\n", "f", ""},
        // Something not a number ends the reading; what came before stays.
        {"src/a.c/f\n3 1 x 2\nsrc/a.c/f\n1 9\nsrc/a.c/g\n1 4\n", "f", "{1}"},
        {"src/a.c/f\n3 1 x 2\nsrc/a.c/f\n1 9\nsrc/a.c/g\n1 4\n", "g", "{4}"},
        {"src/a.c/f\nsrc/a.c/f\n1 9\n", "f", "{}"},
        {"src/a.c/f\n2147483648 1\nsrc/a.c/f\n1 2\n", "f", "{}"},
        {"src/a.c/f\n2 7 4294967296\nsrc/a.c/f\n1 2\n", "f", "{7}"},
        {"src/a.c/f\n2 -1 1\n", "f", "{}"},
        // Cut off by the end of the file: the values read are kept.
        {"src/a.c/f\n5 1 2", "f", "{1 2}"},
        {"src/a.c/f\n5\n1\n", "f", "{1}"},
        {"src/a.c/f", "f", "{}"},
        {"src/a.c/f\n2147483647\n1 2 3\n", "f", "{1 2 3}"},
    };
    int n = 0;
    for (const auto& c : cases) {
        string text = c.text;
        if (size_t at = text.find('@'); at != string::npos) text.replace(at, 1, dir_->path());
        const string name = "case" + std::to_string(++n) + ".prf";
        dir_->write(name, text);
        PROFILE_DATA data;
        read_profile_files(data, unit_, c.function, files({name}));
        EXPECT_EQ(text_of(data.data_sets(c.function)), c.want) << c.text;
    }
    EXPECT_EQ(err(), "");
}

TEST_F(ProfileData, FilesInOrderAndTheDefault) {
    dir_->write("one.prf", "src/a.c/f\n2 1 2\nsrc/a.c/g\n1 9\nsrc/a.c/f\n2 3 4\n");
    dir_->write("two.prf", "src/a.c/f\n2 5 6\n");
    EXPECT_EQ(read("f", {"one.prf", "two.prf"}), "{1 2}{3 4}{5 6}");
    EXPECT_EQ(read("g", {"one.prf", "two.prf"}), "{9}");
    EXPECT_FALSE(data_.has_data("f")) << "only the function read last has data sets";
    // An empty name ends the list; names were given, so no default either.
    EXPECT_EQ(read("h", {"two.prf", "", "missing.prf"}), "");
    // The default file, and the names from the options.
    dir_->write("trelvout.prf", "src/a.c/f\n1 3\n");
    EXPECT_EQ(read("f", {}), "{3}");
    OPTION_OBJ options;
    ASSERT_TRUE(options.parse("-use_profile_info=two.prf"));
    ASSERT_TRUE(options.parse("-use_profile_info=trelvout.prf"));
    PROFILE_DATA data;
    read_profile_files(data, unit_, "f", profile_job(options).profile);
    EXPECT_EQ(text_of(data.data_sets("f")), "{5 6}{3}");
    EXPECT_EQ(err(), "");
}

TEST_F(ProfileData, UnopenableFilesAndAnalyzeAloneAreFatal) {
    dir_->write("one.prf", "src/a.c/f\n1 1\n");
    EXPECT_EQ(exit_status_of([&] { read("f", {"one.prf", "missing.prf"}); }), 1);
    EXPECT_EQ(text_of(data_.data_sets("f")), "{1}") << "the files before it were read";
    EXPECT_EQ(exit_status_of([&] { read("f", {}); }), 1);
    EXPECT_EQ(err(),
              "fatal error: Error opening profile info file \"missing.prf\"\n"
              "fatal error: Error opening profile info file \"trelvout.prf\"\n");
    OPTION_OBJ analyze;
    PROFILE_DATA none;
    read_profile_files(none, unit_, "f", profile_file_request(analyze));
    EXPECT_EQ(none.size(), 0u) << "nothing is read without profile data in use";
    ASSERT_TRUE(analyze.parse("-analyze=codecov"));
    EXPECT_EQ(exit_status_of(
                  [&] { read_profile_files(data_, unit_, "f", profile_file_request(analyze)); }),
              1);
    EXPECT_NE(err().find("--analyze must be accompanied by --use_profile_info"), string::npos);
}

TEST_F(ProfileData, TracesFromLevelThree) {
    dir_->write("one.prf", "# counters\nsrc/a.c/g\n1 5\nsrc/a.c/f\n2 1 2 src/b.c/h\nend\n");
    add_flags("debug", "profile=2");
    EXPECT_EQ(read("f", {"one.prf"}), "{1 2}");
    EXPECT_EQ(out(), "");
    add_flags("debug", "profile=3");
    EXPECT_EQ(read("g", {"one.prf"}), "{5}");
    // The rest of f's values line, " src/b.c/h", is a line of its own; its
    // folder " src/" does not exist, so it stands for the current one.
    auto from = [&](const string& f, const string& line) {
        return "FROM I-CODE " + key(f) + "\nFROM KWR    " + dir_->path() + line + "\n";
    };
    EXPECT_EQ(out(), from("g", "/src/a.c/g") + "FOUND = g\n" + from("g", "/src/a.c/f") +
                         from("g", "/b.c/h"));
    EXPECT_EQ(err(), "");
}

TEST_F(ProfileData, AFunctionAskedForAgainGetsItsRecordsAgain) {
    // As if the data sets of every earlier reading had stayed.
    dir_->write("one.prf", "src/a.c/f\n1 1\nsrc/a.c/f\n1 2\n");
    dir_->write("two.prf", "src/a.c/g\n1 4\nsrc/a.c/f\n1 3\n");
    read("f", {"one.prf", "two.prf"});
    EXPECT_EQ(read("g", {"one.prf", "two.prf"}), "{4}");
    EXPECT_EQ(read("f", {"one.prf", "two.prf"}), "{1}{2}{3}{1}{2}{3}");
    // Only the reading itself prints its traces, even when the files are
    // parsed again to keep their name lines; the counts of readings stay.
    add_flags("debug", "profile=3");
    const string match = "FROM I-CODE " + key("f") + "\nFROM KWR    " + key("f") + "\nFOUND = f\n";
    const string reading =
        match + match + "FROM I-CODE " + key("f") + "\nFROM KWR    " + key("g") + "\n" + match;
    read("f", {"one.prf", "two.prf"});
    EXPECT_EQ(out(), reading);
    EXPECT_EQ(data_.data_sets("f").size(), 9u);
    read("f", {"one.prf", "two.prf"});
    EXPECT_EQ(out(), reading + reading);
    EXPECT_EQ(data_.data_sets("f").size(), 12u);
    EXPECT_EQ(read("g", {"one.prf", "two.prf"}), "{4}{4}");
}

TEST_F(ProfileData, EachFileIsParsedOncePerRun) {
    dir_->write("one.prf", "src/a.c/f\n1 1\nsrc/a.c/g\n1 2\n");
    EXPECT_EQ(read("f", {"one.prf"}), "{1}");
    // Later readings replay the first parse through the file opened then.
    fs::remove("one.prf");
    EXPECT_EQ(read("g", {"one.prf"}), "{2}");
    EXPECT_EQ(read("g", {"one.prf"}), "{2}{2}");
    EXPECT_EQ(read("f", {"one.prf"}), "{1}{1}");
    // The next run parses again.
    PROFILE_DATA next_run;
    EXPECT_EQ(exit_status_of([&] { read_profile_files(next_run, unit_, "g", files({"one.prf"})); }),
              1);
}

TEST_F(ProfileData, CanonicalPaths) {
    const struct {
        const char* cwd;  // where the name is resolved from
        string name, want;
    } cases[] = {
        {"", "src/a.c", "/src/a.c"},
        {"", "nosuch/a.c", "/a.c"},  // a folder that cannot be entered: the current one
        {"", "src/sub/../a.c", "/src/a.c"},
        {"src/sub", "../a.c", "/src/a.c"},
        {"other", "@/src/sub/../a.c", "/src/a.c"},
        {"", "C:\\work\\src\\a.c", "/a.c"},
        {"", "src/" + string(600, 'b') + ".c", "/src/" + string(499, 'b') + ".c"},
    };
    for (const auto& c : cases) {
        string name = c.name;
        if (name[0] == '@') name = dir_->path() + name.substr(1);
        const string cwd = *c.cwd ? dir_->file(c.cwd) : dir_->path();
        fs::current_path(cwd);
        EXPECT_EQ(canonical_path(name), dir_->path() + c.want) << c.name;
        EXPECT_EQ(fs::current_path().string(), cwd) << "the folder is restored";
    }
    fs::current_path(dir_->path());
    EXPECT_EQ(profile_key("src/sub/../a.c", "main"), dir_->path() + "/src/a.c/main");
    // Name-line paths are not made absolute first: a bare name lands in the
    // current folder.
    EXPECT_EQ(normalised_path(""), dir_->path());
}

}  // namespace
