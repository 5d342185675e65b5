// The single way out of the process for fatal conditions.  Every place that
// ends the run (fatal diagnostics, option errors, the usage and version
// texts, fixed failure messages) calls trelv_exit, so tests can replace the
// ending with a hook that throws instead of leaving the process.
#pragma once

using EXIT_HOOK = void (*)(int status);

// Installs `hook` as the process ending.  The hook must not return; a hook
// that does is followed by the default ending.
void set_exit_hook(EXIT_HOOK hook);

// Goes back to the default ending: flush the standard streams, std::exit.
void reset_exit_hook();

// Installs `cleanup` to run once when the process ends with a non-zero
// status, before the hook: the run's partial output is removed there.  Null
// removes it.
using EXIT_CLEANUP = void (*)();
void set_exit_cleanup(EXIT_CLEANUP cleanup);

// Ends the process with `status` through the installed hook.
[[noreturn]] void trelv_exit(int status);
