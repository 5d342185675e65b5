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
// --profile-out appends the counters arrays as profile
// data; --trace-edges writes what really happened (see exec_trace.h).  Any
// failure - an unsupported opcode, a bad address, a division by zero, the
// step limit (default 100000000 statements) - is one line on standard
// error and status 1.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/exec/exec_machine.h"
#include "tools/exec/exec_profile.h"
#include "tools/exec/exec_unit.h"

namespace {

int run_usage() {
    std::cerr << "usage: icode run UNIT --entry NAME [--arg N]... [--profile-out FILE]\n"
                 "                [--trace-edges FILE] [--max-steps N]\n"
                 "       icode run UNIT [--profile-out FILE] [--trace-edges FILE] [--max-steps N]\n"
                 "                [--args WORD...]\n";
    return 2;
}

bool parse_number(const std::string& s, long long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtoll(s.c_str(), &end, 0);
    return *end == '\0';
}

}  // namespace

int cmd_run(int argc, char** argv) {
    std::string unit_path, entry, profile_out, trace_out;
    std::vector<int64_t> args;
    std::vector<std::string> words;
    bool program_args = false;
    long long max_steps = 100000000;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--args") {
            program_args = true;
            words.assign(argv + i + 1, argv + argc);
            break;
        }
        bool has_value = i + 1 < argc;
        long long n = 0;
        if (a == "--entry" && has_value)
            entry = argv[++i];
        else if (a == "--arg" && has_value && parse_number(argv[i + 1], n)) {
            args.push_back(n);
            ++i;
        } else if (a == "--profile-out" && has_value)
            profile_out = argv[++i];
        else if (a == "--trace-edges" && has_value)
            trace_out = argv[++i];
        else if (a == "--max-steps" && has_value && parse_number(argv[i + 1], n) && n > 0) {
            max_steps = n;
            ++i;
        } else if (a.rfind("--", 0) != 0 && unit_path.empty())
            unit_path = a;
        else
            return run_usage();
    }
    if (unit_path.empty() || (!entry.empty() && program_args) || (entry.empty() && !args.empty()))
        return run_usage();

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
            words.insert(words.begin(), unit.unit_name());
            status = machine.run_program(words);
        } else {
            exec::EXEC_RESULT r = machine.call(entry, args);
            std::cout << r.text() << "\n";
        }
        if (!profile_out.empty() && !exec::append_profile(profile_out, unit, machine, &error)) {
            std::cerr << "icode run: " << error << "\n";
            return 1;
        }
        if (!trace_out.empty()) {
            std::ofstream t(trace_out);
            machine.trace().write(unit, t);
            if (!t) {
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
