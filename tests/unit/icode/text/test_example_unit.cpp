// The example unit of examples/: it must assemble, survive the round trip
// byte for byte, read without a dangling reference, and hold the constructs
// it is there to show.
#include <gtest/gtest.h>

#include <string>

#include "icode/opcodes.h"
#include "text_form_helpers.h"
#include "tools/common/tool_io.h"
#include "unit_check.h"

namespace {

using namespace text_form_test;
using unit_check::UNIT_CHECK;

std::string demo_text() {
    std::string text;
    EXPECT_TRUE(icode_text::read_whole_file(TRELV_SOURCE_DIR "/examples/demo.icode.txt", text));
    return text;
}

TEST(ExampleUnit, RoundTripsByteForByte) {
    std::string unit = assemble_ok(demo_text());
    ASSERT_FALSE(unit.empty());
    round_trip(dis_ok(unit));
}

TEST(ExampleUnit, EveryReferenceCanBeFollowed) {
    UNIT_CHECK check(assemble_ok(demo_text()));
    for (const auto& p : check.problems) ADD_FAILURE() << p;
}

TEST(ExampleUnit, HoldsWhatAFrontEndEmits) {
    UNIT_CHECK check(assemble_ok(demo_text()));
    EXPECT_GE(check.functions, 3);
    EXPECT_GE(check.switches_with_default, 1);
    EXPECT_GE(check.switches_without_default, 1);
    EXPECT_GE(check.parameter_copies, 1);
    EXPECT_GE(check.initializers, 1);
    for (int op : {icode::CBRANCH, icode::BRANCH, icode::ANDAND, icode::OROR, icode::EXCLAIM,
                   icode::QUEST, icode::COLON, icode::CALL, icode::UCALL, icode::UAND, icode::COMMA,
                   icode::SCON, icode::RETURN, icode::CASE, icode::ENDINIT})
        EXPECT_GT(check.opcodes[op], 0) << icode::OperatorTable::name(op);
}

TEST(ExampleUnit, TheCheckFindsDanglingReferences) {
    // The check itself: a unit with one of each fault.
    UNIT_CHECK check(
        assemble_ok("header name=\"bad.c\"\n"
                    "func_begin pos=2:1:1 sym=0\n"
                    "body_begin\n"
                    "expr\n"
                    "  BRANCH type=1\n"
                    "    LABEL type=1 label=7\n"
                    "expr\n"
                    "  NAME type=9 level=2 index=0\n"
                    "func_end\n"
                    "end\n"
                    ".types\n"
                    "type 2 pointer pointee=3 size=16 align=16\n"
                    "type 3 int size=16 align=16\n"
                    "type 3 int size=16 align=16\n"
                    "type 4 function ret=3\n"
                    "end\n"
                    ".files\n"
                    "file_name name=\"bad.c\"\n"
                    "end\n"
                    ".symbols\n"
                    "symbol name=\"f\" type=4\n"
                    "end\n"));
    EXPECT_EQ(check.problems, (std::vector<std::string>{
                                  "0x50: pointee names type 3 before it is defined",
                                  "0x60: type 3 defined twice",
                                  "0x2e: position in file 2 beyond the file table",
                                  "0x2e: definition offset of f is 0",
                                  "0x3a: type names type 1 before it is defined",
                                  "0x3e: type names type 1 before it is defined",
                                  "0x46: type names type 9 before it is defined",
                                  "0x46: local symbol beyond the table",
                                  "0x4c: label 7 not defined",
                                  "0x4f: type 4 misses attribute lists",
                              }));
}

}  // namespace
