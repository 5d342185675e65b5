// The entry point: command-line scan, positional words, option sets built
// from string lists with the command line on top, flags, visibility, and
// the fixed failures of the run.
#include <new>
#include <string>
#include <vector>

#include "diag/trelv_diags.h"
#include "driver/option_sets.h"
#include "driver/prof_common.h"
#include "test_diag_capture.h"

namespace {

using std::string;

class Driver : public CAPTURED_TEST {
protected:
    // Runs the entry point on `words` (the program name comes first) with
    // the string lists `lists` and no other unit step; returns the status.
    int run(std::vector<string> words, STRING_LISTS lists = {}) {
        set_words(std::move(words));
        UNIT_RUN steps;
        steps.open_input = [lists](const string&) { return lists; };
        try {
            return trelv_run(static_cast<int>(argv_.size()), argv_.data(), steps);
        } catch (const TEST_EXIT& e) {
            return e.status;
        }
    }

    void set_words(std::vector<string> words) {
        words_ = std::move(words);
        argv_.clear();
        for (string& w : words_) argv_.push_back(&w[0]);
    }

    static STRING_LIST list(std::vector<string> strings) {
        return STRING_LIST(0, std::move(strings));
    }

    std::vector<string> words_;
    std::vector<char*> argv_;
};

TEST_F(Driver, PositionalWordsNameTheFilesAndOptionsMayBeAnywhere) {
    EXPECT_EQ(
        run({"trelv", "--gen_profile_info", "in.ic", "--debug:", "profile", "out.ic", "third"}), 0);
    EXPECT_EQ(run_state().input_name, "in.ic");
    EXPECT_EQ(run_state().output_name, "out.ic");
    EXPECT_TRUE(current_options().enabled(OPT_GEN_PROFILE_INFO));
    EXPECT_STREQ(current_options().value_text(OPT_DEBUG, 0), "profile");
    EXPECT_EQ(err(), "");
}

TEST_F(Driver, EachWordAfterTheThirdIsAnInternalError) {
    EXPECT_EQ(run({"trelv", "a.ic", "b.ic", "c", "extra", "more"}), 0);
    const string e = err();
    const string prefix = "prof_common.cpp:";
    ASSERT_EQ(e.substr(0, prefix.size()), prefix);
    const string line = e.substr(prefix.size(), e.find(':', prefix.size()) - prefix.size());
    EXPECT_EQ(e, prefix + line + ":internal error #18104: (a.ic b.ic extra)\n" + prefix + line +
                     ":internal error #18104: (a.ic b.ic more)\n");
    EXPECT_EQ(DIAG::settings().error_count, 2u);
}

TEST_F(Driver, RejectedWordsAreSkippedSilently) {
    EXPECT_EQ(run({"trelv", "-help", "--", "-", "--nosuch", "--gen_profile_infox", "in.ic"}), 0);
    EXPECT_EQ(run_state().input_name, "in.ic");
    EXPECT_TRUE(current_options().enabled_options().empty());
    EXPECT_EQ(out(), "");
    EXPECT_EQ(err(), "");
}

TEST_F(Driver, ValueWordIsTakenOutOfThePositionalScan) {
    EXPECT_EQ(run({"trelv", "--analyze", "codecov", "--use_profile_info", "in.ic", "out.ic"}), 0);
    EXPECT_EQ(run_state().input_name, "in.ic");
    EXPECT_EQ(current_options().value_number(OPT_ANALYZE, 0),
              analyze_number(ANALYSIS_TABLE::CODE_COVERAGE));
}

TEST_F(Driver, LastWordMissingItsValueEndsTheRun) {
    EXPECT_EQ(run({"trelv", "in.ic", "--analyze"}), 1);
    EXPECT_EQ(err(), "error: option --analyze is missing its parameter 'kind'\n");
}

TEST_F(Driver, HelpEndsTheRunWhateverFollows) {
    EXPECT_EQ(run({"./bin/trelv", "--help", "--analyze=bad", "a", "b", "c", "d"}), 0);
    EXPECT_EQ(out(),
              "Usage: trelv [-options] filename\n\n"
              "This tool is designed to be invoked by the compiler.\n");
    EXPECT_EQ(err(), "");
}

TEST_F(Driver, WithoutStringListsOneSetEqualsTheCommandLine) {
    EXPECT_EQ(run({"trelv", "--use_profile_info=a.prf", "--debug:profile=2", "in", "out"}), 0);
    ASSERT_EQ(run_state().option_sets.size(), 1u);
    EXPECT_EQ(current_options().reapplication_texts(),
              run_state().command_line.reapplication_texts());
}

TEST_F(Driver, CommandLineIsAppliedOnTopOfEveryList) {
    const STRING_LISTS lists = {
        list({"--analyze=callgraph", "--use_profile_info=unit.prf", "--debug:profile=1"}),
        list({"--section_sizes=off"}),
    };
    EXPECT_EQ(run({"trelv", "--analyze=codecov", "--use_profile_info=cmd.prf", "in", "out"}, lists),
              0);
    ASSERT_EQ(run_state().option_sets.size(), 2u);
    const OPTION_OBJ& first = current_options();
    EXPECT_EQ(&first, &run_state().option_sets[0]);
    // A single value: the command line's wins.  A list: the unit's first.
    EXPECT_EQ(first.value_number(OPT_ANALYZE, 0), analyze_number(ANALYSIS_TABLE::CODE_COVERAGE));
    EXPECT_STREQ(first.value_text(OPT_USE_PROFILE_INFO, 0), "unit.prf");
    EXPECT_STREQ(first.value_text(OPT_USE_PROFILE_INFO, 1), "cmd.prf");
    const OPTION_OBJ& second = run_state().option_sets[1];
    EXPECT_EQ(second.value_number(OPT_SECTION_SIZES, 0), SECTION_SIZES_OFF);
    EXPECT_EQ(second.value_number(OPT_ANALYZE, 0), analyze_number(ANALYSIS_TABLE::CODE_COVERAGE));
    // Only the first set records flags.
    EXPECT_EQ(flag_level(debug_profile_key()), 1);
}

TEST_F(Driver, OptionErrorsInAnyListAreReported) {
    const STRING_LISTS lists = {list({"--debug:profile"}), list({"--diag_wrap=sometimes"})};
    EXPECT_EQ(run({"trelv", "in", "out"}, lists), 1);
    EXPECT_EQ(err(), "error: bad argument to option --diag_wrap: should be one of {on,off}\n");
}

TEST_F(Driver, ListOptionWantingTheNextWordFindsTheCommandLineExhausted) {
    EXPECT_EQ(run({"trelv", "in", "out"}, {list({"--analyze"})}), 1);
    EXPECT_EQ(err(), "error: option --analyze is missing its parameter 'kind'\n");
}

TEST_F(Driver, UsingThenInstrumentingConflictsOnlyWhenReapplied) {
    // The scan accepts the order; re-application renders in option order,
    // instrumenting (10) before using (15), and that order conflicts.
    EXPECT_EQ(run({"trelv", "--use_profile_info", "--gen_profile_info", "in", "out"}), 1);
    EXPECT_TRUE(run_state().command_line.enabled(OPT_USE_PROFILE_INFO));
    EXPECT_TRUE(run_state().command_line.enabled(OPT_GEN_PROFILE_INFO));
    EXPECT_EQ(err(),
              "error: option --use_profile_info conflicts with previous option\n"
              "   --gen_profile_info\n");
}

TEST_F(Driver, InstrumentingFromTheUnitAndUsingFromTheCommandLineConflict) {
    EXPECT_EQ(run({"trelv", "--use_profile_info", "in", "out"}, {list({"--gen_profile_info"})}), 1);
    EXPECT_NE(err().find("conflicts with previous option"), string::npos);
}

TEST_F(Driver, DebugValuesAreRecordedBeforeDisableValues) {
    EXPECT_EQ(run({"trelv", "--disable:canon,ft_ubr", "--debug:profile,foo=7", "--debug:foo=0x10",
                   "in", "out"}),
              0);
    EXPECT_EQ(flag_level(debug_profile_key()), 1);
    EXPECT_EQ(flag_level(FLAG_KEY("debug:foo")), 16);
    EXPECT_EQ(flag_level(disable_canon_key()), 1);
    EXPECT_EQ(flag_level(disable_ft_ubr_key()), 1);
}

// Visibility of a warning, a remark and a debug trace after a run at each
// profile debug level.
struct VISIBILITY {
    const char* debug_value;  // null: no --debug: option
    bool warning, remark, debug;
};

class DriverVisibility : public Driver, public ::testing::WithParamInterface<VISIBILITY> {};

TEST_P(DriverVisibility, ProfileDebugLevelSelectsTheSwitches) {
    const VISIBILITY v = GetParam();
    std::vector<string> words = {"trelv", "in", "out"};
    if (v.debug_value) words.push_back(string("--debug:") + v.debug_value);
    ASSERT_EQ(run(words), 0);
    DIAG::trelv_warn_missing_profinfo(TRELV_HERE, "f").emit();
    DIAG::trelv_rem_missing_profinfo(TRELV_HERE, "f").emit();
    DIAG::trelv_dbg_unreach_node(TRELV_HERE, "f", "B2").emit();
    EXPECT_EQ(err(), v.warning ? "warning: Func f: No profile info found in file\n" : "");
    const string remark =
        "remark: Func f: No profile info found for this function in profile input\n   file(s)\n";
    const string debug = "debug: Func f: Node B2 is UNREACHABLE\n";
    EXPECT_EQ(out(), (v.remark ? remark : "") + (v.debug ? debug : ""));
}

INSTANTIATE_TEST_SUITE_P(Levels, DriverVisibility,
                         ::testing::Values(VISIBILITY{nullptr, false, false, false},
                                           VISIBILITY{"profile=0", false, false, false},
                                           VISIBILITY{"profile", false, true, false},
                                           VISIBILITY{"profile=2", true, true, false},
                                           VISIBILITY{"profile=3", true, true, true},
                                           VISIBILITY{"profile=0x4", true, true, true}));

TEST_F(Driver, OptionWarningsAppearWhateverTheDebugLevel) {
    EXPECT_EQ(run({"trelv", "--GEN_PROFILE_INFO", "in", "out"}), 0);
    EXPECT_FALSE(DIAG::settings().warning);
    EXPECT_EQ(err(),
              "warning: Case insensitivity of options has been deprecated; -GEN_PROFILE_INFO\n"
              "   must be written as -gen_profile_info in future releases\n");
}

TEST_F(Driver, UnitStepsRunInOrderAroundTheVisibilitySwitches) {
    set_words({"trelv", "in.ic", "out.ic"});
    std::vector<string> calls;
    UNIT_RUN steps;
    steps.open_input = [&](const string& name) {
        calls.push_back("open_input " + name);
        return STRING_LISTS{list({"--debug:profile=1"})};
    };
    steps.create_type_package = [&] {
        calls.push_back("type_package " + std::to_string(flag_level(debug_profile_key())));
    };
    steps.open_output = [&](const string& name) {
        calls.push_back("open_output " + name + (DIAG::settings().remark ? " remark" : ""));
    };
    steps.read_unit = [&] {
        calls.push_back(string("read_unit") + (DIAG::settings().remark ? " remark" : ""));
    };
    steps.write_initializers = [&] { calls.push_back("write_initializers"); };
    steps.close_units = [&] { calls.push_back("close_units"); };
    EXPECT_EQ(trelv_run(static_cast<int>(argv_.size()), argv_.data(), steps), 0);
    EXPECT_EQ(calls,
              (std::vector<string>{"open_input in.ic", "type_package 1", "open_output out.ic",
                                   "read_unit remark", "write_initializers", "close_units"}));
}

TEST_F(Driver, UnopenableInputEndsTheRun) {
    set_words({"trelv", "/nonexistent/dir/in.ic", "out.ic"});
    const int status = exit_status_of(
        [&] { trelv_run(static_cast<int>(argv_.size()), argv_.data(), unit_run()); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err(),
              "\n>> Cannot Open Input icode File, No such file or directory : "
              "/nonexistent/dir/in.ic, Aborting\n");
}

TEST_F(Driver, InputThatIsNoUnitIsRefused) {
    const string path = string(TRELV_SOURCE_DIR) + "/CMakeLists.txt";
    set_words({"trelv", path, "out.ic"});
    const int status = exit_status_of(
        [&] { trelv_run(static_cast<int>(argv_.size()), argv_.data(), unit_run()); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err(), "fatal error: Error opening icode file \"" + path + "\":\n");
}

TEST_F(Driver, ExhaustedMemoryIsReportedAsAFixedText) {
    unit_run().open_input = [](const string&) -> STRING_LISTS { throw std::bad_alloc(); };
    set_words({"trelv", "in", "out"});
    const int status =
        exit_status_of([&] { trelv_main(static_cast<int>(argv_.size()), argv_.data()); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err(), "ERROR: out of memory\n");
}

TEST_F(Driver, NextArgumentWalksTheCommandLineOnce) {
    set_words({"trelv", "a", "b"});
    run_state().argc = 3;
    run_state().argv = argv_.data();
    EXPECT_STREQ(next_argument(), "a");
    EXPECT_STREQ(next_argument(), "b");
    EXPECT_EQ(next_argument(), nullptr);
    EXPECT_EQ(run_state().cursor, 3);
}

}  // namespace
