// icode cc FILE.c [-I DIR]... [-D NAME[=VALUE]]... -o UNIT
//
// Compiles one C translation unit to an I-code unit (see cc_lower.h).
// Options may also be written joined (-IDIR, -DNAME).
#include <iostream>
#include <string>

#include "tools/cc/cc_compile.h"
#include "tools/commands.h"

namespace {

int cc_usage() {
    std::cerr << "usage: icode cc FILE.c [-I DIR]... [-D NAME[=VALUE]]... -o UNIT\n";
    return 2;
}

}  // namespace

int cmd_cc(int argc, char** argv) {
    cc::CC_OPTIONS options;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* flag, std::string& out) {
            if (a == flag) {
                if (i + 1 >= argc) return false;
                out = argv[++i];
                return true;
            }
            out = a.substr(2);
            return !out.empty();
        };
        std::string v;
        if (a.rfind("-I", 0) == 0) {
            if (!value("-I", v)) return cc_usage();
            options.includes.push_back(v);
        } else if (a.rfind("-D", 0) == 0) {
            if (!value("-D", v)) return cc_usage();
            options.defines.push_back(v);
        } else if (a == "-o") {
            if (i + 1 >= argc || !options.output.empty()) return cc_usage();
            options.output = argv[++i];
        } else if (!a.empty() && a[0] != '-' && options.source.empty()) {
            options.source = a;
        } else {
            return cc_usage();
        }
    }
    if (options.source.empty() || options.output.empty()) return cc_usage();
    if (!cc::front_end_available()) {
        std::cerr << "icode cc: this build has no C front end (clang's libraries were not found)\n";
        return 1;
    }
    return cc::compile(options);
}
