// The icode tool's command line.  Every subcommand adds itself to it: a
// function add_cmd_NAME(icode, status) in the subcommand's own file makes
// the subcommand, binds its options to settings it keeps, and leaves a
// callback that runs the command once the whole line is parsed and puts
// its exit status in `status`:
//
//     void add_cmd_check(CLI::App& icode, int& status) {
//         auto unit = std::make_shared<std::string>();
//         CLI::App* sub = icode.add_subcommand("check", "read a unit; count functions");
//         sub->add_option("UNIT", *unit, "the unit")->required();
//         sub->callback([unit, &status] { status = check_unit(*unit); });
//     }
//
// The main program (tools/icode_main.cpp) calls each add_cmd_* once, then
// run_tool_command_line, which also turns every parse error into one
// message and status 2, and --help into the help text on standard output.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

// A check for an option's value: a whole decimal (or 0x hexadecimal, or 0
// octal) number from `min` to `max`; "x: not a number" otherwise.
CLI::Validator tool_number(long long min, long long max);

// The same for a percentage from 0 to 100, fractions allowed.
CLI::Validator tool_percentage();

// Parses the command line; a word "--args" ends the options, so that the
// words after it reach the subcommand as positionals whatever they look
// like.  Returns the status of the subcommand that ran, 0 after
// --help, 2 after a message on standard error for a line that does not parse.
int run_tool_command_line(CLI::App& icode, int& status, int argc, char** argv);
