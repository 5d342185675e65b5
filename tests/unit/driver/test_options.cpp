// Option sets: each option's value syntax, enumerations, errors, the
// one-way conflicts, the case warning, rendering and re-application.
#include <string>
#include <vector>

#include "driver/optobj.h"
#include "driver/tool_texts.h"
#include "test_diag_capture.h"

namespace {

using std::string;

class Options : public CAPTURED_TEST {
protected:
    // Parses `texts` in order (each an option word without its first dash);
    // `following` are the command-line words after them.
    bool parse_all(std::vector<string> texts, std::vector<string> following = {}) {
        following_ = std::move(following);
        next_ = 0;
        set_.set_next_word([this]() -> const char* {
            return next_ < following_.size() ? following_[next_++].c_str() : nullptr;
        });
        bool all = true;
        for (const string& t : texts) all = set_.parse(t.c_str()) && all;
        return all;
    }

    // Status with which parsing `texts` ends the process.
    int failing(std::vector<string> texts, std::vector<string> following = {}) {
        return exit_status_of([&] { parse_all(texts, following); });
    }

    std::vector<string> values(int n) {
        std::vector<string> v;
        for (int i = 0; i < set_.value_count(n); ++i) v.push_back(set_.value_text(n, i));
        return v;
    }

    OPTION_OBJ set_;
    std::vector<string> following_;
    size_t next_ = 0;
};

TEST_F(Options, AdvicePerformanceTakesAnOptionalValue) {
    ASSERT_TRUE(parse_all({"-advice:performance"}));
    EXPECT_TRUE(set_.enabled(OPT_ADVICE_PERFORMANCE));
    EXPECT_EQ(set_.value_count(OPT_ADVICE_PERFORMANCE), 0);
    ASSERT_TRUE(parse_all({"-advice:performance=loops"}));
    EXPECT_EQ(values(OPT_ADVICE_PERFORMANCE), std::vector<string>{"loops"});
    // Text right after the name is the value as it stands; a string option
    // keeps only its last value.
    ASSERT_TRUE(parse_all({"-advice:performancecalls"}));
    EXPECT_EQ(values(OPT_ADVICE_PERFORMANCE), std::vector<string>{"calls"});
    EXPECT_EQ(err(), "");
}

TEST_F(Options, EmptyValueAfterEqualsIsMissing) {
    EXPECT_EQ(failing({"-advice:performance="}), 1);
    EXPECT_EQ(failing({"-use_profile_info="}), 1);
    EXPECT_EQ(err(),
              "error: option --advice:performance is missing its parameter 'opt'\n"
              "error: option --use_profile_info is missing its parameter 'file'\n");
}

TEST_F(Options, AnalyzeValueFromEqualsTextOrNextWord) {
    ASSERT_TRUE(parse_all({"-analyze=callgraph"}));
    EXPECT_EQ(set_.value_number(OPT_ANALYZE, 0), analyze_number(ANALYSIS_TABLE::CALL_GRAPH));
    ASSERT_TRUE(parse_all({"-analyzecodecov"}));
    EXPECT_EQ(set_.value_number(OPT_ANALYZE, 0), analyze_number(ANALYSIS_TABLE::CODE_COVERAGE));
    ASSERT_TRUE(parse_all({"-analyze"}, {"callgraph", "in.ic"}));
    EXPECT_EQ(set_.value_number(OPT_ANALYZE, 0), analyze_number(ANALYSIS_TABLE::CALL_GRAPH));
    EXPECT_STREQ(set_.value_text(OPT_ANALYZE, 0), "callgraph");
    EXPECT_EQ(set_.value_count(OPT_ANALYZE), 1);
    EXPECT_EQ(next_, 1u);  // only the value word was taken
}

TEST_F(Options, AnalyzeWithoutValueOrWithBadValueEndsTheRun) {
    EXPECT_EQ(failing({"-analyze"}), 1);
    EXPECT_EQ(failing({"-analyze=coverage"}), 1);
    EXPECT_EQ(err(),
              "error: option --analyze is missing its parameter 'kind'\n"
              "error: bad argument to option --analyze: should be one of {codecov,callgraph}\n");
    EXPECT_FALSE(set_.enabled(OPT_ANALYZE));
}

TEST_F(Options, CapitalsAreAcceptedWithAWarning) {
    ASSERT_TRUE(parse_all({"-ANALYZE=CallGraph", "-Debug:profile"}));
    EXPECT_EQ(set_.value_number(OPT_ANALYZE, 0), analyze_number(ANALYSIS_TABLE::CALL_GRAPH));
    EXPECT_EQ(values(OPT_DEBUG), std::vector<string>{"profile"});
    EXPECT_EQ(err(),
              "warning: Case insensitivity of options has been deprecated; -ANALYZE must be\n"
              "   written as -analyze in future releases\n"
              "warning: Case insensitivity of options has been deprecated; -Debug: must be\n"
              "   written as -debug: in future releases\n");
}

TEST_F(Options, CaseWarningComesBeforeTheValueError) {
    EXPECT_EQ(failing({"-Diag_Wrap"}), 1);
    EXPECT_EQ(err(),
              "warning: Case insensitivity of options has been deprecated; -Diag_Wrap must be\n"
              "   written as -diag_wrap in future releases\n"
              "error: option --diag_wrap is missing its parameter 'mode'\n");
}

TEST_F(Options, AnalyzeOnlyIsAFlag) {
    ASSERT_TRUE(parse_all({"-analyze_only"}));
    EXPECT_TRUE(set_.enabled(OPT_ANALYZE_ONLY));
    EXPECT_FALSE(set_.seen(OPT_ANALYZE));
    EXPECT_FALSE(set_.parse("-analyze_onlyx"));
    EXPECT_FALSE(set_.parse("-analyze_x"));
    EXPECT_EQ(set_.value_count(OPT_ANALYZE_ONLY), 0);
}

TEST_F(Options, CodecovAndOnlycodecovAlsoSetAnalyze) {
    ASSERT_TRUE(parse_all({"-codecov"}));
    EXPECT_TRUE(set_.enabled(OPT_CODECOV));
    EXPECT_TRUE(set_.seen(OPT_ANALYZE));
    EXPECT_EQ(set_.value_number(OPT_ANALYZE, 0), analyze_number(ANALYSIS_TABLE::CODE_COVERAGE));
    EXPECT_FALSE(set_.enabled(OPT_ANALYZE_ONLY));

    OPTION_OBJ only;
    ASSERT_TRUE(only.parse("-onlycodecov"));
    EXPECT_TRUE(only.enabled(OPT_ONLYCODECOV));
    EXPECT_EQ(only.value_number(OPT_ANALYZE, 0), analyze_number(ANALYSIS_TABLE::CODE_COVERAGE));
    EXPECT_TRUE(only.enabled(OPT_ANALYZE_ONLY));
    EXPECT_FALSE(only.enabled(OPT_CODECOV));
}

TEST_F(Options, DebugAndDisableCollectValuesInOrder) {
    ASSERT_TRUE(parse_all({"-debug:profile=3", "-disable:=canon", "-debug:"}, {"foo,bar"}));
    EXPECT_EQ(values(OPT_DEBUG), (std::vector<string>{"profile=3", "foo,bar"}));
    EXPECT_EQ(values(OPT_DISABLE), std::vector<string>{"canon"});
    EXPECT_EQ(failing({"-disable:"}), 1);
    EXPECT_EQ(err(), "error: option --disable is missing its parameter 'option'\n");
}

TEST_F(Options, NextWordIsTakenEvenWhenItLooksLikeAnOption) {
    ASSERT_TRUE(parse_all({"-debug:"}, {"--help"}));
    EXPECT_EQ(values(OPT_DEBUG), std::vector<string>{"--help"});
    EXPECT_FALSE(set_.enabled(OPT_HELP));
}

TEST_F(Options, DiagWrapOffStopsWrappingForGood) {
    ASSERT_TRUE(parse_all({"-diag_wrap=on"}));
    EXPECT_TRUE(DIAG::settings().wrap);
    ASSERT_TRUE(parse_all({"-diag_wrap", "-diag_wrap=ON"}, {"off"}));
    EXPECT_FALSE(DIAG::settings().wrap);
    EXPECT_EQ(set_.value_number(OPT_DIAG_WRAP, 0), DIAG_WRAP_ON);
    EXPECT_EQ(failing({"-diag_wrap=maybe"}), 1);
    EXPECT_EQ(err(), "error: bad argument to option --diag_wrap: should be one of {on,off}\n");
}

TEST_F(Options, FlagOptionsRejectAppendedText) {
    for (const char* text : {"-gen_profile_infox", "-helpme", "-toolversion=1", "-codecov=1"}) {
        EXPECT_FALSE(set_.parse(text)) << text;
    }
    EXPECT_TRUE(set_.enabled_options().empty());
    EXPECT_FALSE(set_.seen(OPT_GEN_PROFILE_INFO));
    EXPECT_EQ(err(), "");
}

TEST_F(Options, UnknownOrMalformedWordsAreRejectedSilently) {
    EXPECT_FALSE(set_.parse("help"));  // the word had one dash only
    EXPECT_FALSE(set_.parse("-"));     // the word was two dashes
    EXPECT_FALSE(set_.parse("-nosuch"));
    EXPECT_FALSE(set_.parse("-analyze_foo"));
    EXPECT_TRUE(set_.parse(""));  // the word was a single dash
    EXPECT_TRUE(set_.enabled_options().empty());
    EXPECT_EQ(err(), "");
}

TEST_F(Options, HelpPrintsUsageAndEndsWithZero) {
    set_.set_program_name("/opt/ostra/bin/trelv");
    EXPECT_EQ(failing({"-help", "-nosuch"}), 0);
    EXPECT_EQ(out(),
              "Usage: trelv [-options] filename\n\n"
              "This tool is designed to be invoked by the compiler.\n");
}

TEST_F(Options, ToolversionPrintsVersionAndEndsWithZero) {
    EXPECT_EQ(failing({"-toolversion"}), 0);
    const string text = out();
    EXPECT_EQ(text.substr(0, 40), "Ostra Path Profiler" + string(21, ' '));
    EXPECT_EQ(text.substr(40), string(tool_version()) + "\nBuild Number " + tool_build_id() + "\n");
    EXPECT_STRNE(tool_version(), "");
    EXPECT_STRNE(tool_build_id(), "");
}

TEST_F(Options, SectionSizesDefaultsToOn) {
    ASSERT_TRUE(parse_all({"-section_sizes"}));
    EXPECT_EQ(set_.value_number(OPT_SECTION_SIZES, 0), SECTION_SIZES_ON);
    ASSERT_TRUE(parse_all({"-section_sizes=off"}));
    EXPECT_EQ(set_.value_number(OPT_SECTION_SIZES, 0), SECTION_SIZES_OFF);
    ASSERT_TRUE(parse_all({"-section_sizeson"}));
    EXPECT_STREQ(set_.value_text(OPT_SECTION_SIZES, 0), "on");
    EXPECT_EQ(failing({"-section_sizes=big"}), 1);
    EXPECT_EQ(err(), "error: bad argument to option --section_sizes: should be one of {on,off}\n");
}

TEST_F(Options, UseProfileInfoListsFilesInOrder) {
    ASSERT_TRUE(parse_all({"-use_profile_info"}));
    EXPECT_TRUE(set_.enabled(OPT_USE_PROFILE_INFO));
    EXPECT_EQ(set_.value_count(OPT_USE_PROFILE_INFO), 0);
    ASSERT_TRUE(parse_all({"-use_profile_info=a.prf", "-use_profile_infob.prf"}, {"c.prf"}));
    EXPECT_EQ(values(OPT_USE_PROFILE_INFO), (std::vector<string>{"a.prf", "b.prf"}));
    EXPECT_EQ(next_, 0u);  // an optional value never takes the next word
}

TEST_F(Options, InstrumentingThenUsingProfilesConflicts) {
    for (const char* later :
         {"-use_profile_info=p", "-analyze=codecov", "-analyze_only", "-codecov", "-onlycodecov"}) {
        OPTION_OBJ set;
        ASSERT_TRUE(set.parse("-gen_profile_info"));
        EXPECT_EQ(exit_status_of([&] { set.parse(later); }), 1) << later;
        // The earlier option was cleared before the run ended.
        EXPECT_FALSE(set.enabled(OPT_GEN_PROFILE_INFO));
    }
    EXPECT_EQ(err(),
              "error: option --use_profile_info conflicts with previous option\n"
              "   --gen_profile_info\n"
              "error: option --analyze conflicts with previous option --gen_profile_info\n"
              "error: option --analyze_only conflicts with previous option --gen_profile_info\n"
              "error: option --codecov conflicts with previous option --gen_profile_info\n"
              "error: option --analyze conflicts with previous option --gen_profile_info\n");
}

TEST_F(Options, UsingProfilesThenInstrumentingIsNotChecked) {
    ASSERT_TRUE(parse_all({"-use_profile_info=p", "-analyze=codecov", "-analyze_only", "-codecov",
                           "-gen_profile_info"}));
    EXPECT_EQ(set_.enabled_options(),
              (std::vector<int>{OPT_ANALYZE, OPT_ANALYZE_ONLY, OPT_CODECOV, OPT_GEN_PROFILE_INFO,
                                OPT_USE_PROFILE_INFO}));
    EXPECT_EQ(err(), "");
}

TEST_F(Options, ClearingDropsValuesAndCountsAsSeen) {
    ASSERT_TRUE(parse_all({"-debug:a", "-debug:b"}));
    set_.clear(OPT_DEBUG);
    EXPECT_FALSE(set_.enabled(OPT_DEBUG));
    EXPECT_TRUE(set_.seen(OPT_DEBUG));
    EXPECT_EQ(set_.value_count(OPT_DEBUG), 0);
    EXPECT_EQ(set_.value_text(OPT_DEBUG, 0), nullptr);
    EXPECT_EQ(set_.value_number(OPT_ANALYZE, 0), 0);
}

TEST_F(Options, RenderedTextsParseBackToTheSameSet) {
    ASSERT_TRUE(
        parse_all({"-use_profile_info=a.prf", "-debug:profile=3", "-codecov", "-section_sizes",
                   "-advice:performance", "-debug:x", "-diag_wrap=on", "-use_profile_info=b.prf"}));
    const std::vector<string> texts = set_.reapplication_texts();
    EXPECT_EQ(texts, (std::vector<string>{"--advice:performance", "--analyze=codecov", "--codecov",
                                          "--debug:=profile=3", "--debug:=x", "--diag_wrap=on",
                                          "--section_sizes=on", "--use_profile_info=a.prf",
                                          "--use_profile_info=b.prf"}));
    OPTION_OBJ again;
    for (const string& t : texts) ASSERT_TRUE(again.parse(t.c_str() + 1)) << t;
    EXPECT_EQ(again.reapplication_texts(), texts);
    EXPECT_EQ(err(), "");
}

TEST_F(Options, RenderOfAnOptionWithoutValuesIsItsName) {
    ASSERT_TRUE(parse_all({"-use_profile_info", "-gen_profile_info"}));
    EXPECT_EQ(set_.render(OPT_USE_PROFILE_INFO, 0), "--use_profile_info");
    EXPECT_EQ(set_.render(OPT_GEN_PROFILE_INFO, 0), "--gen_profile_info");
    // Re-applied in ascending option number, instrumenting comes first.
    EXPECT_EQ(set_.reapplication_texts(),
              (std::vector<string>{"--gen_profile_info", "--use_profile_info"}));
}

}  // namespace
