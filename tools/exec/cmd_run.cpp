// icode run UNIT --entry NAME [--arg N]... [--profile-out FILE]
//                [--trace-edges FILE] [--max-steps N]
// icode run UNIT [--profile-out FILE] [--trace-edges FILE] [--max-steps N]
//                [--args WORD...]
//
// Executes a unit: calls NAME with the integer arguments and prints its
// result (or "void").  Without --entry the unit runs as a C program: main
// with no arguments, or with argc and argv made of the unit's name and the
// words after --args (which end the options); what the program prints is
// all the output, and main's result (or exit's argument) is the status.
// --profile-out appends the counters arrays as profile data; --trace-edges writes what really happened (see exec_trace.h).  Any
// failure - an unsupported opcode, a bad address, a division by zero, the
// step limit (default 100000000 statements) - is one line on standard
// error and status 1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/tool_io.h"
#include "tools/exec/exec_machine.h"
#include "tools/exec/exec_profile.h"
#include "tools/exec/exec_unit.h"

namespace {

struct RUN_OPTIONS {
    std::string unit_path, entry, profile_out, trace_out;
    std::vector<int64_t> args;
    std::vector<std::string> words;  // a C program's arguments
    bool program_args = false;
    long long max_steps = 100000000;
};

// The combinations the options cannot express: a message and status 2, as
// for any other command line that does not parse; 0 when the line is fine.
int check_run_line(const RUN_OPTIONS& o) {
    const char* wrong = nullptr;
    if (!o.entry.empty() && o.program_args)
        wrong = "--args: a program's arguments go to main, not with --entry";
    else if (o.entry.empty() && !o.args.empty())
        wrong = "--arg: needs --entry (a program's words follow --args)";
    else if (!o.program_args && !o.words.empty())
        wrong = "more than one unit (a program's words follow --args)";
    if (!wrong) return 0;
    std::cerr << "icode run: " << wrong << "\n"
              << "run 'icode run --help' for the options\n";
    return 2;
}

int run_unit(const RUN_OPTIONS& o) {
    const std::string &unit_path = o.unit_path, &entry = o.entry, &profile_out = o.profile_out,
                      &trace_out = o.trace_out;
    const std::vector<int64_t>& args = o.args;
    long long max_steps = o.max_steps;
    if (int bad = check_run_line(o)) return bad;
    exec::EXEC_UNIT unit;
    std::string error;
    if (!unit.load(unit_path, &error)) {
        std::cerr << "icode run: " << error << "\n";
        return 1;
    }
    int status = 0;
    try {
        exec::EXEC_MACHINE machine(unit, uint64_t(max_steps));
        if (entry.empty()) {
            std::vector<std::string> words = o.words;
            words.insert(words.begin(), unit.unit_name());
            status = machine.run_program(words);
        } else {
            exec::EXEC_RESULT r = machine.call(entry, args);
            std::cout << r.text() << "\n";
        }
        if (!profile_out.empty() && unit.counters_arrays().empty()) {
            // An empty file would pass for the data of a run that counted nothing.
            std::cout.flush();
            std::cerr << "icode run: " << unit_path
                      << ": the unit has no counters (instrument it with trelv first); "
                      << profile_out << " not written\n";
            return 1;
        }
        if (!profile_out.empty() && !exec::append_profile(profile_out, unit, machine, &error)) {
            std::cerr << "icode run: " << error << "\n";
            return 1;
        }
        if (!trace_out.empty()) {
            std::ofstream t(trace_out);
            machine.trace().write(unit, t);
            t.close();
            if (!t) {
                icode_text::remove_partial_file(trace_out);
                std::cerr << "icode run: " << trace_out << ": write failed\n";
                return 1;
            }
        }
    } catch (const exec::EXEC_ERROR& e) {
        std::cout.flush();
        std::cerr << "icode run: error: " << e.what() << "\n";
        return 1;
    }
    return status;
}

}  // namespace

void add_cmd_run(CLI::App& icode, int& status) {
    auto o = std::make_shared<RUN_OPTIONS>();
    CLI::App* sub = icode.add_subcommand("run", "execute a unit, with counters and edge traces");
    sub->add_option("UNIT", o->unit_path, "the unit")->required();
    sub->add_option("--entry", o->entry, "the function to call; without it, the C program's main")
        ->type_name("NAME");
    sub->add_option("--arg", o->args, "an integer argument, in order; repeatable")
        ->check(tool_number(INT64_MIN, INT64_MAX))
        ->allow_extra_args(false)
        ->type_name("N");
    sub->add_option("--profile-out", o->profile_out, "append the counters as profile data")
        ->type_name("FILE");
    sub->add_option("--trace-edges", o->trace_out, "write the edges the run took")
        ->type_name("FILE");
    sub->add_option("--max-steps", o->max_steps, "stop after N statements (default 100000000)")
        ->check(tool_number(1, INT64_MAX))
        ->type_name("N");
    sub->add_flag("--args", o->program_args,
                  "the rest of the line: the C program's arguments (argv[1] on)");
    sub->add_option("WORDS", o->words, "the program's arguments, after --args");
    sub->callback([o, &status] { status = run_unit(*o); });
}
