// The entry point: option sets built from the unit's string lists with the
// command line on top, flags, and the visibility the debug level selects.
// Positional words, option errors, usage and version: the black-box tests.
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
    // Runs the entry point on `words` after the program name, with `lists`
    // as the unit's string lists and no other unit step; returns the status.
    int run(std::vector<string> words, std::vector<std::vector<string>> lists = {}) {
        words_ = {"trelv"};
        words_.insert(words_.end(), words.begin(), words.end());
        argv_.clear();
        for (string& w : words_) argv_.push_back(&w[0]);
        STRING_LISTS string_lists;
        for (auto& l : lists) string_lists.emplace_back(0, l);
        UNIT_RUN steps;
        steps.open_input = [string_lists](const string&) { return string_lists; };
        return exit_status_of(
            [&] { throw TEST_EXIT{trelv_run(int(argv_.size()), argv_.data(), steps)}; });
    }

    std::vector<string> words_;
    std::vector<char*> argv_;
};

TEST_F(Driver, CommandLineIsAppliedOnTopOfEveryList) {
    EXPECT_EQ(run({"--analyze=codecov", "--use_profile_info=cmd.prf", "in", "out"},
                  {{"--analyze=callgraph", "--use_profile_info=unit.prf", "--debug:profile=1",
                    "--disable:ft_ubr", "--debug:foo=0x10"},
                   {"--section_sizes=off"}}),
              0);
    ASSERT_EQ(run_state().option_sets.size(), 2u);
    EXPECT_EQ(&current_options(), &run_state().option_sets[0]);
    // A single value: the command line's wins.  A list: the unit's first.
    EXPECT_EQ(current_options().reapplication_texts(),
              (std::vector<string>{"--analyze=codecov", "--debug:=profile=1", "--debug:=foo=0x10",
                                   "--disable:=ft_ubr", "--use_profile_info=unit.prf",
                                   "--use_profile_info=cmd.prf"}));
    EXPECT_EQ(run_state().option_sets[1].reapplication_texts(),
              (std::vector<string>{"--analyze=codecov", "--section_sizes=off",
                                   "--use_profile_info=cmd.prf"}));
    // The first set records the flags.
    EXPECT_EQ(flag_level(debug_profile_key()), 1);
    EXPECT_EQ(flag_level(FLAG_KEY("debug:foo")), 16);
    EXPECT_EQ(flag_level(disable_ft_ubr_key()), 1);
}

TEST_F(Driver, ProfileDebugLevelSelectsTheVisibleSeverities) {
    const struct {
        const char* debug;  // --debug: value, or none
        const char* shown;  // w(arning), r(emark), d(ebug)
    } cases[] = {{nullptr, ""},       {"profile=0", ""},    {"profile", "r"},
                 {"profile=2", "wr"}, {"profile=3", "wrd"}, {"profile=0x4", "wrd"}};
    for (const auto& c : cases) {
        reset_all();
        std::vector<string> words = {"in", "out"};
        if (c.debug) words.push_back(string("--debug:") + c.debug);
        ASSERT_EQ(run(words), 0);
        DIAG::trelv_warn_missing_profinfo(TRELV_HERE, "f").emit();
        DIAG::trelv_rem_missing_profinfo(TRELV_HERE, "f").emit();
        DIAG::trelv_dbg_unreach_node(TRELV_HERE, "f", "B2").emit();
        string shown = err().empty() ? "" : "w";
        if (out().find("remark:") != string::npos) shown += "r";
        if (out().find("debug:") != string::npos) shown += "d";
        EXPECT_EQ(shown, c.shown) << (c.debug ? c.debug : "none");
    }
}

}  // namespace
