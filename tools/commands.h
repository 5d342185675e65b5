// Subcommands of the icode tool.  Each adds itself to the tool's command
// line: its options, its help, and the callback that runs it and leaves its
// exit status in `status` (see tools/common/tool_cli.h).
#pragma once

namespace CLI {
class App;
}

void add_cmd_as(CLI::App& icode, int& status);
void add_cmd_dis(CLI::App& icode, int& status);
void add_cmd_check(CLI::App& icode, int& status);
void add_cmd_dump(CLI::App& icode, int& status);
void add_cmd_copy(CLI::App& icode, int& status);
void add_cmd_cfg(CLI::App& icode, int& status);
void add_cmd_run(CLI::App& icode, int& status);
void add_cmd_gen(CLI::App& icode, int& status);
void add_cmd_coverage(CLI::App& icode, int& status);
void add_cmd_profile(CLI::App& icode, int& status);
void add_cmd_cc(CLI::App& icode, int& status);
