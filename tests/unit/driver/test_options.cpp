// Option sets: each option's value syntax, enumerations, the one-way
// conflicts, the case warning and re-application, as one table of command
// lines and the option set they give.  The message texts are checked by the
// black-box tests of the driver.
#include <string>
#include <vector>

#include "driver/optobj.h"
#include "test_diag_capture.h"

namespace {

using std::string;

using Options = CAPTURED_TEST;

TEST_F(Options, WordsAndTheSetTheyGive) {
    const struct {
        std::vector<string> words;      // option words without their first dash
        std::vector<string> following;  // the command-line words after them
        string want;                    // re-application texts; "rejected", "exit N --option",
                                        // "warned", "next=N" (words taken), "wrap off" after them
    } cases[] = {
        {{"-advice:performance", "-advice:performance=loops", "-advice:performancecalls"},
         {},
         "--advice:performance=calls"},
        {{"-use_profile_info="}, {}, "exit 1 --use_profile_info"},
        // A required value: after "=", glued to the name, or the next word
        // (whatever it looks like); an optional value never takes it.
        {{"-analyze=callgraph"}, {}, "--analyze=callgraph"},
        {{"-analyzecodecov"}, {}, "--analyze=codecov"},
        {{"-analyze"}, {"callgraph", "in.ic"}, "--analyze=callgraph next=1"},
        {{"-debug:"}, {"--help"}, "--debug:=--help next=1"},
        {{"-use_profile_info", "-debug:profile=3"},
         {"c.prf"},
         "--debug:=profile=3 --use_profile_info"},
        {{"-analyze"}, {}, "exit 1 --analyze"},
        {{"-analyze=code"}, {}, "exit 1 --analyze"},
        {{"-analyze=codecovx"}, {}, "exit 1 --analyze"},
        // Capitals are accepted with a warning, which comes before any
        // value error.
        {{"-ANALYZE=CallGraph", "-Debug:profile"},
         {},
         "--analyze=callgraph --debug:=profile warned"},
        {{"-Diag_Wrap"}, {}, "exit 1 --diag_wrap warned"},
        // Flags take no text after their name; unknown words are rejected.
        {{"-analyze_only"}, {}, "--analyze_only"},
        {{"-analyze_onlyx"}, {}, "rejected"},
        {{"-gen_profile_infox", "-helpme", "-toolversion=1", "-codecov=1"}, {}, "rejected"},
        {{"help", "-", "-nosuch", "-analyze_foo"}, {}, "rejected"},
        {{"-codecov"}, {}, "--analyze=codecov --codecov"},
        {{"-onlycodecov"}, {}, "--analyze=codecov --analyze_only --onlycodecov"},
        {{"-diag_wrap=on"}, {}, "--diag_wrap=on"},
        {{"-diag_wrap", "-diag_wrap=ON"}, {"off"}, "--diag_wrap=on next=1 wrap off"},
        {{"-section_sizes"}, {}, "--section_sizes=on"},
        {{"-section_sizes=off"}, {}, "--section_sizes=off"},
        // Lists keep every value in order.
        {{"-use_profile_info=a.prf", "-use_profile_infob.prf", "-debug:a", "-disable:=canon"},
         {},
         "--debug:=a --disable:=canon --use_profile_info=a.prf --use_profile_info=b.prf"},
        // Instrumenting, then using profiles, conflicts; the other order is
        // not checked, and re-application renders instrumenting first.
        {{"-gen_profile_info", "-use_profile_info=p"}, {}, "exit 1 --use_profile_info"},
        {{"-gen_profile_info", "-analyze=codecov"}, {}, "exit 1 --analyze"},
        {{"-gen_profile_info", "-codecov"}, {}, "exit 1 --codecov"},
        {{"-use_profile_info", "-gen_profile_info"},
         {},
         "--gen_profile_info --use_profile_info conflicts when reapplied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words[0]);
        reset_all();
        OPTION_OBJ set;
        size_t next = 0;
        set.set_next_word([&]() -> const char* {
            return next < c.following.size() ? c.following[next++].c_str() : nullptr;
        });
        string got;
        bool rejected = false;
        const int status = exit_status_of([&] {
            for (const string& w : c.words) rejected |= !set.parse(w.c_str());
            throw TEST_EXIT{-1};
        });
        if (status != -1) {
            // The option the error names.
            const string e = err();
            const size_t at = e.find("--", e.find("error: "));
            got = "exit " + std::to_string(status) + " " +
                  e.substr(at, e.find_first_of(" :", at) - at);
        } else {
            for (const string& t : set.reapplication_texts()) got += (got.empty() ? "" : " ") + t;
            if (rejected) got += (got.empty() ? "" : " ") + string("rejected");
            // The rendered texts parse back to the same set, unless their
            // order makes a conflict.
            OPTION_OBJ again;
            if (exit_status_of([&] {
                    for (const string& t : set.reapplication_texts())
                        EXPECT_TRUE(again.parse(t.c_str() + 1));
                    throw TEST_EXIT{-1};
                }) == -1)
                EXPECT_EQ(again.reapplication_texts(), set.reapplication_texts());
            else
                got += " conflicts when reapplied";
        }
        if (err().find("warning: Case insensitivity") != string::npos) got += " warned";
        if (next) got += " next=" + std::to_string(next);
        if (!DIAG::settings().wrap) got += " wrap off";
        EXPECT_EQ(got, c.want);
    }
}

}  // namespace
