// Shared pieces of the icode tool's command line: value checks with
// messages that say what is wrong with the value, and the parse that every
// subcommand goes through.
#include "tools/common/tool_cli.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>

CLI::Validator tool_number(long long min, long long max) {
    return CLI::Validator(
        [min, max](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            long long value = std::strtoll(text.c_str(), &end, 0);
            if (text.empty() || *end != '\0' || errno == ERANGE) return text + ": not a number";
            if (value < min) return text + ": less than " + std::to_string(min);
            if (value > max) return text + ": more than " + std::to_string(max);
            return "";
        },
        "");
}

CLI::Validator tool_percentage() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            char* end = nullptr;
            double value = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0') return text + ": not a number";
            if (!(value >= 0 && value <= 100)) return text + ": not a percentage from 0 to 100";
            return "";
        },
        "");
}

int run_tool_command_line(CLI::App& icode, int& status, int argc, char** argv) {
    // A word where a subcommand belongs that names none: said as such,
    // rather than as a missing subcommand.
    CLI::App* app = &icode;
    std::string who = "icode";
    auto any = [](CLI::App*) { return true; };
    for (int i = 1; i < argc && argv[i][0] != '-' && !app->get_subcommands(any).empty(); ++i) {
        const std::string word = argv[i];
        std::vector<CLI::App*> named =
            app->get_subcommands([&](CLI::App* sub) { return sub->check_name(word); });
        if (named.empty()) {
            std::cerr << who << ": " << word << ": no such subcommand\n"
                      << "run '" << who << " --help' for the subcommands\n";
            return 2;
        }
        app = named.front();
        who += " " + word;
    }
    // "--args" ends the options: the words after it are a program's own
    // (they may look like options), so they are parsed as positionals.
    std::vector<char*> words(argv, argv + argc);
    static char end_of_options[] = "--";
    for (std::size_t i = 1; i < words.size(); ++i)
        if (std::string(words[i]) == "--args") {
            words.insert(words.begin() + long(i) + 1, end_of_options);
            break;
        }
    try {
        icode.parse(int(words.size()), words.data());
    } catch (const CLI::Success& e) {
        // --help: the help of the subcommand it follows, on standard output.
        return icode.exit(e, std::cout, std::cerr);
    } catch (const CLI::ParseError& e) {
        std::string chosen = "icode";
        std::vector<CLI::App*> selected = icode.get_subcommands();
        while (!selected.empty()) {
            chosen += " " + selected.front()->get_name();
            selected = selected.front()->get_subcommands();
        }
        std::cerr << chosen << ": " << e.what() << "\n"
                  << "run '" << chosen << " --help' for the options\n";
        return 2;
    }
    return status;
}
