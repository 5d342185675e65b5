// The one run state of the process, its cursor over the command line and
// the option set that governs the run.
#include "driver/run_state.h"

RUN_STATE& run_state() {
    static RUN_STATE state;
    return state;
}

void reset_run_state() { run_state() = RUN_STATE(); }

const char* next_argument() {
    RUN_STATE& s = run_state();
    if (!s.argv || s.cursor >= s.argc) return nullptr;
    return s.argv[s.cursor++];
}

const OPTION_OBJ& current_options() {
    static const OPTION_OBJ empty;
    const RUN_STATE& s = run_state();
    return s.option_sets.empty() ? empty : s.option_sets.front();
}

void install_option_sets(std::vector<OPTION_OBJ> sets) {
    run_state().option_sets = std::move(sets);
}
