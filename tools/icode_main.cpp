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
//
// Each subcommand lives in the tools/ subfolder of its part; the text form
// is the codec in icode/text.
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "icode/text/text_form.h"
#include "tools/commands.h"
#include "tools/common/tool_io.h"

namespace {

int usage() {
    std::cerr << "usage: icode as TEXT -o UNIT\n"
                 "       icode dis UNIT\n"
                 "       icode check UNIT\n"
                 "       icode cfg UNIT [--dot [--profile FILE]...]\n"
                 "       icode coverage TABLE.csv [--source DIR] [--unit OUT]\n"
                 "       icode dump UNIT\n"
                 "       icode copy IN OUT\n"
                 "       icode run UNIT --entry NAME [--arg N]... [--profile-out FILE]\n"
                 "                 [--trace-edges FILE] [--max-steps N]\n"
                 "       icode gen --seed N [--functions F] [--size S] [-o UNIT]\n";
    return 2;
}

}  // namespace

int cmd_as(int argc, char** argv) {
    std::string in, out;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-o" && i + 1 < argc)
            out = argv[++i];
        else if (in.empty())
            in = a;
        else
            return usage();
    }
    if (in.empty() || out.empty()) return usage();
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

int cmd_dis(int argc, char** argv) {
    if (argc != 1) return usage();
    std::string unit, error;
    if (!icode_text::read_whole_file(argv[0], unit)) {
        std::cerr << argv[0] << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    bool ok = icode_text::disassemble(unit, std::cout, &error);
    std::cout.flush();
    if (!ok) {
        std::cerr << "icode dis: " << argv[0] << ": " << error << "\n";
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string cmd = argv[1];
    if (cmd == "as") return cmd_as(argc - 2, argv + 2);
    if (cmd == "dis") return cmd_dis(argc - 2, argv + 2);
    if (cmd == "check") return cmd_check(argc - 2, argv + 2);
    if (cmd == "cfg") return cmd_cfg(argc - 2, argv + 2);
    if (cmd == "coverage") return cmd_coverage(argc - 2, argv + 2);
    if (cmd == "dump") return cmd_dump(argc - 2, argv + 2);
    if (cmd == "copy") return cmd_copy(argc - 2, argv + 2);
    if (cmd == "run") return cmd_run(argc - 2, argv + 2);
    if (cmd == "gen") return cmd_gen(argc - 2, argv + 2);
    if (cmd == "cc") return cmd_cc(argc - 2, argv + 2);
    return usage();
}
