// Fuzz target of the executor: icode run on a fuzzed unit, entering at its
// first function, under a step limit small enough for a fuzzing pace; the
// counters go to a profile data file as --profile-out writes them.
#include <cstdio>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/exec/exec_unit.h"

namespace fuzz {

void run(const uint8_t* data, size_t size) {
    const std::string unit_path = scratch_file("run.icode");
    const std::string profile_path = scratch_file("run.prf");
    write_file(unit_path, data, size);
    std::remove(profile_path.c_str());
    run_in_process([&] {
        exec::EXEC_UNIT unit;
        std::string error;
        if (!unit.load(unit_path, &error) || unit.functions().empty()) return 1;
        std::vector<std::string> words = {
            "icode", "run", unit_path,     "--entry", unit.functions()[0]->name, "--arg",     "3",
            "--arg", "-7",  "--max-steps", "20000",   "--profile-out",           profile_path};
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        CLI::App icode;
        int status = 0;
        add_cmd_run(icode, status);
        return run_tool_command_line(icode, status, int(argv.size()), argv.data());
    });
}

}  // namespace fuzz
