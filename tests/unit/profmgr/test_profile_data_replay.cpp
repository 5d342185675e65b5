// A profile data file is parsed once and replayed at every function begin;
// what a function gets must be exactly what reading the file from the start
// would give.  These tests hold the replay against such a plain reading,
// written here from the rules of the format, over many generated files full
// of the awkward cases: values over several lines, text glued to the last
// value, damaged numbers, records cut off by the end of the file, paths
// written in several ways, repeated function begins, traces on and off.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "profile_folder.h"
#include "profmgr/profile_data.h"
#include "test_diag_capture.h"

namespace {

namespace fs = std::filesystem;
using std::string;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads `text` from the start for the function with profile key `key`:
// every line holding a "/" is compared with the key, a match is followed by
// its count and values, and after the last number the rest of its line is a
// line of its own.  A count or value that is not a number, or the end of the
// file, ends the reading.
class PLAIN_READING {
public:
    PLAIN_READING(const string& text, const string& key, const string& function, bool traces)
        : text_(text), key_(key), function_(function), traces_(traces) {}

    // Appends the function's data sets; returns the trace text.
    string run(DATA_SETS& sets) {
        string line;
        while (next_line(line)) {
            const bool mid_line = started_mid_line_;
            const std::size_t slash = line.rfind('/');
            if (slash == string::npos) continue;
            const string candidate = normalised_path(line.substr(0, slash)) + line.substr(slash);
            if (traces_) trace_ += "FROM I-CODE " + key_ + "\nFROM KWR    " + candidate + "\n";
            if (candidate != key_) continue;
            if (traces_) trace_ += "FOUND = " + function_ + "\n";
            ++matches;
            if (mid_line) ++tail_matches;
            DATA_SET& set = sets.emplace_back();
            int64_t count = 0;
            if (!number(INT32_MIN, INT32_MAX, true, count)) break;
            bool ended = false;
            for (int64_t i = 0; i < count && !ended; ++i) {
                int64_t value = 0;
                ended = !number(0, UINT32_MAX, false, value);
                if (!ended) set.push_back(static_cast<uint32_t>(value));
            }
            if (ended) break;
        }
        return trace_;
    }

    int matches = 0;
    int tail_matches = 0;  // matches on the rest of a values line

private:
    bool next_line(string& line) {
        if (pos_ >= text_.size()) return false;
        started_mid_line_ = pos_ > 0 && text_[pos_ - 1] != '\n';
        const std::size_t end = text_.find('\n', pos_);
        const std::size_t stop = end == string::npos ? text_.size() : end;
        line = text_.substr(pos_, stop - pos_);
        pos_ = end == string::npos ? text_.size() : end + 1;
        return true;
    }

    bool number(int64_t low, int64_t high, bool allow_minus, int64_t& value) {
        while (pos_ < text_.size() && is_space(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) return false;
        bool negative = false;
        if (text_[pos_] == '+' || (allow_minus && text_[pos_] == '-')) {
            negative = text_[pos_] == '-';
            ++pos_;
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && is_digit(text_[pos_])) ++pos_;
        string digits = text_.substr(start, pos_ - start);
        if (digits.empty()) return false;
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        if (digits.size() > 10) return false;
        value = std::stoll(digits) * (negative ? -1 : 1);
        return value >= low && value <= high;
    }

    const string text_;
    const string key_;
    const string function_;
    const bool traces_;
    std::size_t pos_ = 0;
    bool started_mid_line_ = false;
    string trace_;
};

// Profile data files made of random pieces, most of them about to go wrong.
class FILE_MAKER {
public:
    FILE_MAKER(unsigned seed, string absolute_unit)
        : random_(seed), unit_(std::move(absolute_unit)) {}

    string make() {
        string text;
        const int pieces = pick(1, 9);
        for (int i = 0; i < pieces; ++i) text += piece();
        if (pick(0, 3) == 0 && !text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    template <std::size_t N>
    const char* one_of(const char* const (&items)[N]) {
        return items[pick(0, static_cast<int>(N) - 1)];
    }

    string name() {
        static const char* const paths[] = {
            "src/a.c", "./src/a.c", "src/sub/../a.c", "other/../src/a.c", "src/b.c",
            "",        "a.c",       "1 5src/a.c"};
        static const char* const functions[] = {"f", "g", "h"};
        const string path = pick(0, 8) == 0 ? unit_ : string(one_of(paths));
        return path + "/" + one_of(functions);
    }

    string separator() {
        static const char* const seps[] = {" ", "\n", "\t", "\n\n", "\r\n", "  ", " \n "};
        return one_of(seps);
    }

    string count() {
        static const char* const odd[] = {"-2", "0", "2147483647", "2147483648", "x", "+1", "-"};
        return pick(0, 3) == 0 ? string(one_of(odd)) : std::to_string(pick(0, 4));
    }

    string value() {
        static const char* const odd[] = {"x", "-1", "4294967296", "4294967295", "007", "+3"};
        return pick(0, 12) == 0 ? string(one_of(odd)) : std::to_string(pick(0, 99));
    }

    string piece() {
        switch (pick(0, 5)) {
            case 0: {
                static const char* const junk[] = {"# run 1\n", "\n", "12 34\n", "a/b\n", "  \t\n"};
                return one_of(junk);
            }
            default: {
                string record = name() + "\n" + count();
                const int values = pick(0, 4);
                for (int i = 0; i < values; ++i) record += separator() + value();
                switch (pick(0, 4)) {
                    case 0: return record + name() + "\n";  // glued to the last number
                    case 1: return record + " " + name() + "\n";
                    case 2: return record;  // the next piece goes on this line
                    default: return record + "\n";
                }
            }
        }
    }

    std::mt19937 random_;
    string unit_;
};

class ProfileDataReplay : public CAPTURED_TEST {
protected:
    void SetUp() override {
        CAPTURED_TEST::SetUp();
        folder_.emplace("replay");
        dir_ = folder_->path();
        unit_ = dir_ + "/src/a.c";
    }

    void TearDown() override {
        folder_.reset();
        CAPTURED_TEST::TearDown();
    }

    // Asks for each function in `order` at trace levels 0 and then 3 (one
    // PROFILE_DATA throughout, so data sets pile up as over a run), and
    // compares data sets and traces with plain readings of the files.  The
    // files are rewritten under the same names for every comparison, which
    // therefore has a PROFILE_DATA (and parses) of its own.
    void compare(const std::vector<string>& texts, const std::vector<string>& order) {
        reset_flag_levels();
        PROFILE_FILE_REQUEST request;
        request.use_profile_info = true;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            request.file_names.push_back("f" + std::to_string(i) + ".prf");
            std::ofstream(request.file_names.back(), std::ios::binary) << texts[i];
        }
        PROFILE_DATA data;
        DATA_SETS expected[3];
        std::size_t seen = out().size();
        for (int level : {0, 3}) {
            if (level) add_flags("debug", "profile=3");
            for (const string& function : order) {
                DATA_SETS& sets = expected[function[0] - 'f'];
                string trace;
                for (const string& text : texts) {
                    PLAIN_READING plain(text, unit_ + "/" + function, function, level > 2);
                    trace += plain.run(sets);
                    matches_ += plain.matches;
                    tail_matches_ += plain.tail_matches;
                }
                read_profile_files(data, unit_, function, request);
                ASSERT_EQ(data.data_sets(function), sets) << "function " << function;
                const string printed = out().substr(seen);
                seen += printed.size();
                ASSERT_EQ(printed, trace) << "function " << function;
            }
        }
    }

    std::optional<PROFILE_FOLDER> folder_;
    string dir_;
    string unit_;
    long matches_ = 0;
    long tail_matches_ = 0;
};

TEST_F(ProfileDataReplay, GivesWhatAPlainReadingGives) {
    FILE_MAKER maker(20240611u, unit_);
    for (int round = 0; round < 300; ++round) {
        std::vector<string> texts{maker.make()};
        if (round % 3 == 0) texts.push_back(maker.make());
        SCOPED_TRACE("round " + std::to_string(round) + ", first file:\n" + texts[0]);
        compare(texts, {"f", "g", "f", "f", "h"});
        if (HasFatalFailure()) return;
    }
    // The files must have exercised the cases, not only missed them.
    EXPECT_GT(matches_, 1000);
    EXPECT_GT(tail_matches_, 20);
}

TEST_F(ProfileDataReplay, HandWrittenAwkwardFiles) {
    const std::vector<string> texts = {
        // Glued names after values and counts, one of them a match.
        "src/a.c/f\n2 1 2src/a.c/f\n0src/a.c/g\n1\n\n7 src/a.c/f\n1 8",
        // A damaged record for f, followed by records of g and f.
        "src/a.c/f\n3 1 x 2\nsrc/a.c/g\n1 4\nsrc/a.c/f\n1 9\n",
        // Values over several lines, and a cut-off record at the end.
        "src/a.c/g\n 3\n\t10\n\n 20\r\n30 x/y\nsrc/a.c/f\n2147483647 1 2",
        // For f the rest of the count's line, " 1/../src/a.c/f", names no
        // folder; as a plain line, for everyone else, "0 1/../src/a.c/f"
        // names the unit (folder "0 1" exists), and the reading after f's
        // record must not come back to it.
        "src/a.c/f\n0 1/../src/a.c/f\n1 9\n",
    };
    fs::create_directories(dir_ + "/0 1");
    for (const string& text : texts) {
        SCOPED_TRACE(text);
        compare({text}, {"f", "g", "g", "f"});
        if (HasFatalFailure()) return;
    }
    compare(texts, {"f", "g", "h", "f"});
}

}  // namespace
