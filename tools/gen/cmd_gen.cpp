// icode gen --seed N [--functions F] [--size S] [-o UNIT]
//
// Writes a generated unit (see gen_program.h): in the text form on
// standard output, or assembled into UNIT with -o.  The same options give
// the same output.  Defaults: 4 functions, 12 statements per function.
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "icode/text/text_form.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/tool_io.h"
#include "tools/gen/gen_program.h"

namespace {

struct GEN_COMMAND {
    gen::GEN_OPTIONS options;
    std::string out_path;
};

int generate(const GEN_COMMAND& command) {
    const gen::GEN_OPTIONS& options = command.options;
    const std::string& out_path = command.out_path;
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

}  // namespace

void add_cmd_gen(CLI::App& icode, int& status) {
    auto c = std::make_shared<GEN_COMMAND>();
    CLI::App* sub = icode.add_subcommand("gen", "a generated unit of structured functions");
    sub->add_option("--seed", c->options.seed, "the generator's seed")
        ->required()
        ->check(tool_number(0, INT64_MAX))
        ->type_name("N");
    sub->add_option("--functions", c->options.functions, "functions in the unit (default 4)")
        ->check(tool_number(1, 1000000))
        ->type_name("F");
    sub->add_option("--size", c->options.size, "statements per function (default 12)")
        ->check(tool_number(1, 100000000))
        ->type_name("S");
    sub->add_option("-o", c->out_path, "assemble into UNIT instead of printing the text form")
        ->type_name("UNIT");
    sub->callback([c, &status] { status = generate(*c); });
}
