// The icode tool: works with I-code units beside the profiler.
//
//   icode as TEXT -o UNIT    assemble the text form into a unit
//   icode dis UNIT           print a unit in the text form
//   icode check UNIT         read a unit as the profiler does; count functions
//   icode cfg UNIT           blocks, successors and counter numbering per function
//   icode coverage TABLE     a per-file report from a code-coverage table
//   icode dump UNIT          print each statement's dump and infix text
//   icode copy IN OUT        read a unit and write it back through the writer
//   icode run UNIT           execute a unit, with counters and edge traces
//   icode gen --seed N       a generated unit of structured functions
//   icode profile ...        show, merge, check and compare profile data
//   icode cc FILE.c -o UNIT  compile a C translation unit to a unit
//
// `icode --help` and `icode SUB --help` say the rest.
//
// Each subcommand lives in the tools/ subfolder of its part; the text form
// is the codec in icode/text.
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "icode/text/text_form.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/tool_io.h"

namespace {

int assemble_file(const std::string& in, const std::string& out) {
    std::string text, unit, error;
    if (!icode_text::read_whole_file(in, text)) {
        std::cerr << in << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    if (!icode_text::assemble(text, in, unit, &error)) {
        std::cerr << error << "\n";
        return 1;
    }
    if (!icode_text::write_whole_file(out, unit)) {
        std::cerr << out << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    return 0;
}

int disassemble_file(const std::string& name) {
    std::string unit, error;
    if (!icode_text::read_whole_file(name, unit)) {
        std::cerr << name << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    bool ok = icode_text::disassemble(unit, std::cout, &error);
    std::cout.flush();
    if (!ok) {
        std::cerr << "icode dis: " << name << ": " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

void add_cmd_as(CLI::App& icode, int& status) {
    auto files = std::make_shared<std::pair<std::string, std::string>>();
    CLI::App* sub = icode.add_subcommand("as", "assemble the text form into a unit");
    sub->add_option("TEXT", files->first, "the unit in the text form")->required();
    sub->add_option("-o", files->second, "the unit to write")->required()->type_name("UNIT");
    sub->callback([files, &status] { status = assemble_file(files->first, files->second); });
}

void add_cmd_dis(CLI::App& icode, int& status) {
    auto name = std::make_shared<std::string>();
    CLI::App* sub = icode.add_subcommand("dis", "print a unit in the text form");
    sub->add_option("UNIT", *name, "the unit")->required();
    sub->callback([name, &status] { status = disassemble_file(*name); });
}

int main(int argc, char** argv) {
    CLI::App icode("icode: works with I-code units beside the profiler", "icode");
    icode.require_subcommand(1);
    int status = 0;
    add_cmd_as(icode, status);
    add_cmd_dis(icode, status);
    add_cmd_check(icode, status);
    add_cmd_cfg(icode, status);
    add_cmd_coverage(icode, status);
    add_cmd_dump(icode, status);
    add_cmd_copy(icode, status);
    add_cmd_run(icode, status);
    add_cmd_gen(icode, status);
    add_cmd_profile(icode, status);
    add_cmd_cc(icode, status);
    return run_tool_command_line(icode, status, argc, argv);
}
