// The profiler's run in order, from the command-line scan to the last step.
#include "driver/prof_common.h"
#include <cstdio>
#include <new>
#include <string>

#include "diag/diag_settings.h"
#include "diag/process_exit.h"
#include "diag/trelv_diags.h"
#include "driver/option_sets.h"
#include "driver/run_state.h"

void scan_command_line(int argc, char** argv) {
    RUN_STATE& s = run_state();
    s.argc = argc;
    s.argv = argv;
    s.cursor = 1;
    if (argc > 0 && argv[0]) s.program_name = argv[0];
    s.command_line.set_program_name(s.program_name);
    s.command_line.set_next_word(next_argument);

    int positional = 0;
    while (s.cursor < argc && argv[s.cursor]) {
        const char* word = argv[s.cursor++];
        if (word[0] == '-') {
            // Words the parser rejects are skipped without a message.
            s.command_line.parse(word + 1);
            continue;
        }
        switch (positional++) {
            case 0: s.input_name = word; break;
            case 1: s.output_name = word; break;
            case 2: break;  // accepted and ignored
            default: {
                const std::string text = s.input_name + " " + s.output_name + " " + word;
                DIAG::trelv_error_unexpected_options(TRELV_HERE, text.c_str()).emit();
                break;
            }
        }
    }
}

int trelv_run(int argc, char** argv, UNIT_RUN& run) {
    RUN_STATE& s = run_state();
    scan_command_line(argc, argv);

    const STRING_LISTS lists = run.open_input ? run.open_input(s.input_name) : STRING_LISTS();

    install_option_sets(build_option_sets(s.command_line, lists));
    record_flags(current_options());

    if (run.create_type_package) run.create_type_package();
    if (run.open_output) run.open_output(s.output_name);

    // Until here warnings were always shown, so those of option parsing
    // appear whatever the debug level.
    set_visibility_from_debug_level();

    if (run.read_unit) run.read_unit();
    if (run.write_initializers) run.write_initializers();
    if (run.close_units) run.close_units();
    return 0;
}

int trelv_main(int argc, char** argv) {
    try {
        return trelv_run(argc, argv, unit_run());
    } catch (const std::bad_alloc&) {
        std::fputs("ERROR: out of memory\n", DIAG::settings().err);
        trelv_exit(1);
    }
}
