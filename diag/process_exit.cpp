// trelv_exit and the hook that tests put in its place.
#include "diag/process_exit.h"

#include <cstdio>
#include <cstdlib>

#include "diag/diag_settings.h"

namespace {

[[noreturn]] void default_exit(int status) {
    // Diagnostics may have been written to redirected streams; flush them
    // before the process ends so nothing is lost.
    std::fflush(DIAG::settings().out);
    std::fflush(DIAG::settings().err);
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

EXIT_HOOK current_hook = nullptr;
EXIT_CLEANUP current_cleanup = nullptr;

}  // namespace

void set_exit_hook(EXIT_HOOK hook) { current_hook = hook; }

void reset_exit_hook() { current_hook = nullptr; }

void set_exit_cleanup(EXIT_CLEANUP cleanup) { current_cleanup = cleanup; }

void trelv_exit(int status) {
    if (status != 0 && current_cleanup) {
        // Taken first: a failure inside the cleanup ends the process again.
        const EXIT_CLEANUP cleanup = current_cleanup;
        current_cleanup = nullptr;
        cleanup();
    }
    if (current_hook) current_hook(status);
    default_exit(status);
}
