// icode gen --seed N [--functions F] [--size S] [-o UNIT]
//
// Writes a generated unit (see gen_program.h): in the text form on
// standard output, or assembled into UNIT with -o.  The same options give
// the same output.  Defaults: 4 functions, 12 statements per function.
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/commands.h"
#include "tools/gen/gen_program.h"
#include "icode/text/text_form.h"
#include "tools/common/tool_io.h"

namespace {

int gen_usage() {
    std::cerr << "usage: icode gen --seed N [--functions F] [--size S] [-o UNIT]\n";
    return 2;
}

bool parse_count(const char* s, long long& out, long long min) {
    char* end = nullptr;
    out = std::strtoll(s, &end, 10);
    return *s && *end == '\0' && out >= min;
}

}  // namespace

int cmd_gen(int argc, char** argv) {
    gen::GEN_OPTIONS options;
    std::string out_path;
    bool seeded = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        long long n = 0;
        if (i + 1 >= argc) return gen_usage();
        if (a == "--seed" && parse_count(argv[i + 1], n, 0)) {
            options.seed = uint64_t(n);
            seeded = true;
        } else if (a == "--functions" && parse_count(argv[i + 1], n, 1) && n <= 1000000)
            options.functions = int(n);
        else if (a == "--size" && parse_count(argv[i + 1], n, 1) && n <= 100000000)
            options.size = int(n);
        else if (a == "-o")
            out_path = argv[i + 1];
        else
            return gen_usage();
        ++i;
    }
    if (!seeded) return gen_usage();
    std::string text;
    gen::generate_text(options, text);
    if (out_path.empty()) {
        std::cout.write(text.data(), std::streamsize(text.size()));
        return std::cout ? 0 : 1;
    }
    std::string unit, error;
    if (!icode_text::assemble(text, "<generated>", unit, &error)) {
        std::cerr << "icode gen: " << error << "\n";
        return 1;
    }
    if (!icode_text::write_whole_file(out_path, unit)) {
        std::cerr << "icode gen: cannot write " << out_path << "\n";
        return 1;
    }
    return 0;
}
