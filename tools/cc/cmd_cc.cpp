// icode cc FILE.c [-I DIR]... [-D NAME[=VALUE]]... -o UNIT
//
// Compiles one C translation unit to an I-code unit (see cc_lower.h).
// Options may also be written joined (-IDIR, -DNAME), as C compilers take
// them.
#include <iostream>
#include <memory>
#include <string>

#include "tools/cc/cc_compile.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"

namespace {

int compile_c(const cc::CC_OPTIONS& options) {
    if (!cc::front_end_available()) {
        std::cerr << "icode cc: this build has no C front end (clang's libraries were not found)\n";
        return 1;
    }
    return cc::compile(options);
}

}  // namespace

void add_cmd_cc(CLI::App& icode, int& status) {
    auto o = std::make_shared<cc::CC_OPTIONS>();
    CLI::App* sub = icode.add_subcommand("cc", "compile a C translation unit to a unit");
    sub->add_option("FILE", o->source, "the C file")->required();
    sub->add_option("-I", o->includes, "a folder searched for included files; repeatable")
        ->allow_extra_args(false)
        ->type_name("DIR");
    sub->add_option("-D", o->defines, "a macro definition; repeatable")
        ->allow_extra_args(false)
        ->type_name("NAME[=V]");
    sub->add_option("-o", o->output, "the unit to write")->required()->type_name("UNIT");
    sub->callback([o, &status] { status = compile_c(*o); });
}
