// Small C programs through icode cc and the executor's C program mode:
// what they print, their exit status, and the one-line errors for what the
// front end or the executor refuses.  Skipped in a build without the C
// front end.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../test_closed_loop_support.h"
#include "tools/cc/cc_compile.h"
#include "tools/exec/exec_machine.h"

namespace {

struct OUTCOME {
    int status = -1;
    std::string out, err, error;  // error: the executor's failure, if any
};

OUTCOME run_c(const std::string& code, const std::vector<std::string>& words = {"p"},
              const std::vector<std::string>& defines = {}) {
    closed_loop::SCRATCH_DIR dir;
    const std::string source = dir.file("p.c"), unit_path = dir.file("p.icode");
    std::ofstream(source) << code;
    std::ofstream(dir.file("p.h")) << "#define FROM_HEADER 40\n";
    cc::CC_OPTIONS options;
    options.source = source;
    options.output = unit_path;
    options.includes = {dir.path()};
    options.defines = defines;
    OUTCOME o;
    testing::internal::CaptureStderr();
    int rc = cc::compile(options);
    std::string cc_err = testing::internal::GetCapturedStderr();
    if (rc != 0) {
        o.error = "cc: " + cc_err.substr(cc_err.find(": ") + 2);
        if (!o.error.empty() && o.error.back() == '\n') o.error.pop_back();
        return o;
    }
    exec::EXEC_UNIT unit;
    std::string error;
    EXPECT_TRUE(unit.load(unit_path, &error)) << error;
    exec::EXEC_MACHINE m(unit, 1000000);
    std::ostringstream out, err;
    std::istringstream in("xy");
    m.set_streams(&out, &err, &in);
    try {
        o.status = m.run_program(words);
    } catch (const exec::EXEC_ERROR& e) {
        o.error = e.what();
    }
    o.out = out.str();
    o.err = err.str();
    return o;
}

class CProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cc::front_end_available()) GTEST_SKIP() << "no C front end in this build";
    }
};

TEST_F(CProgram, PrintsAndReturnsItsStatus) {
    struct CASE {
        const char* code;
        const char* out;
        int status;
    };
    const CASE cases[] = {
        {"#include <stdio.h>\nint main(void) { printf(\"[%5d|%-4x|%+d|%05.1f|%c|%%]\\n\", 42, 255, "
         "3, 2.25, 'q'); return 7; }",
         "[   42|ff  |+3|002.2|q|%]\n", 7},
        {"#include <stdio.h>\nint main(int argc, char **argv) { printf(\"%d %s %s\\n\", argc, "
         "argv[1], argv[2]); return argc; }",
         "3 one two\n", 3},
        {"#include <stdlib.h>\nint main(void) { exit(300); }", "", 300 & 255},
        {"#include <stdio.h>\n#include <string.h>\nint main(void) { char b[16]; strcpy(b, \"ab\"); "
         "strcat(b, \"cd\"); printf(\"%s %d %d %s\\n\", b, (int)strlen(b), strcmp(b, \"abd\") < 0, "
         "strchr(b, 'c')); return 0; }",
         "abcd 4 1 cd\n", 0},
        {"#include <stdio.h>\nstatic int sq(int x) { return x * x; }\nint (*f)(int) = sq;\n"
         "int main(void) { int (*g)(int) = f; printf(\"%d %d\\n\", f(3), (*g)(4)); return 0; }",
         "9 16\n", 0},
        {"#include <stdio.h>\nstruct p { long a; char s[6]; };\nstruct p mk(long a) { struct p r = "
         "{ a, \"hi\" }; return r; }\nint main(void) { struct p x = mk(5), y; y = x; y.a++; "
         "printf(\"%ld %ld %s\\n\", x.a, y.a, y.s); return 0; }",
         "5 6 hi\n", 0},
        {"#include <stdio.h>\nint n;\nint next(void) { return ++n; }\nint main(void) { "
         "printf(\"%d %d\\n\", next(), next()); return 0; }",
         "2 1\n", 0},
        {"#include <stdio.h>\nint main(void) { int c = getchar(); putchar(c + 1); puts(\"\"); "
         "return 0; }",
         "y\n", 0},
    };
    for (const CASE& c : cases) {
        OUTCOME o = run_c(c.code, {"p", "one", "two"});
        EXPECT_EQ(o.error, "") << c.code;
        EXPECT_EQ(o.out, c.out) << c.code;
        EXPECT_EQ(o.status, c.status) << c.code;
    }
}

TEST_F(CProgram, RefusalsAreOneLineMessages) {
    struct CASE {
        const char* code;
        const char* error;
    };
    const CASE cases[] = {
        {"int main(void) { int x = ({ 3; }); return x; }", "cc: unsupported: statement expression"},
        {"int main(void) { long double x = 2; return (int)x; }",
         "cc: unsupported: type long double"},
        {"int main(int argc, char **argv) { int v[argc][argc]; return 0; }",
         "cc: unsupported: variable-length array of more than one dimension"},
        {"#include <stdlib.h>\nint main(void) { char *p = malloc(4); return p[4]; }",
         "bad address 1099511627780 (1 bytes) outside every heap block"},
        {"#include <stdlib.h>\nint main(void) { int x; free(&x); return 0; }",
         "free of 0, which is not a block that malloc returned"},
        {"#include <time.h>\nint main(void) { return (int)time(0); }",
         "call of time, which has no body in the unit and is not in the C library"},
        {"#include <stdio.h>\nint main(void) { printf(\"%n\", (int *)0); return 0; }",
         "printf: conversion %n is not supported"},
    };
    for (const CASE& c : cases) {
        std::string e = run_c(c.code).error;
        // Frame addresses vary with the layout; the message's shape does not.
        if (std::string(c.error).rfind("free of", 0) == 0 && e.rfind("free of ", 0) == 0)
            e = "free of 0" + e.substr(e.find(','));
        EXPECT_EQ(e, c.error) << c.code;
    }
}

TEST_F(CProgram, IncludeDirectoriesAndDefinesReachThePreprocessor) {
    OUTCOME o = run_c("#include <p.h>\nint main(void) { return FROM_HEADER + N + ONE; }", {"p"},
                      {"N=2", "ONE"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.status, 43);
}

TEST_F(CProgram, FailedAssertEndsWithStatus134) {
    OUTCOME o =
        run_c("#include <assert.h>\nint main(void) { int x = 1;\n  assert(x == 2);\n  return 0; }");
    EXPECT_EQ(o.status, 134);
    EXPECT_NE(o.err.find(":3: main: Assertion `x == 2' failed."), std::string::npos) << o.err;
}

}  // namespace
