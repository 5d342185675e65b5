// icode run UNIT --entry NAME [--arg N]... [--profile-out FILE]
//                [--trace-edges FILE] [--max-steps N]
//
// Executes a unit: calls NAME with the integer arguments and prints its
// result (or "void").  --profile-out appends the counters arrays as profile
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
#include "tools/common/tool_io.h"
#include "tools/exec/exec_machine.h"
#include "tools/exec/exec_profile.h"
#include "tools/exec/exec_unit.h"

namespace {

int run_usage() {
    std::cerr << "usage: icode run UNIT --entry NAME [--arg N]... [--profile-out FILE]\n"
                 "                [--trace-edges FILE] [--max-steps N]\n";
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
    long long max_steps = 100000000;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
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
    if (unit_path.empty() || entry.empty()) return run_usage();

    exec::EXEC_UNIT unit;
    std::string error;
    if (!unit.load(unit_path, &error)) {
        std::cerr << "icode run: " << error << "\n";
        return 1;
    }
    try {
        exec::EXEC_MACHINE machine(unit, uint64_t(max_steps));
        exec::EXEC_RESULT r = machine.call(entry, args);
        std::cout << r.text() << "\n";
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
    return 0;
}
