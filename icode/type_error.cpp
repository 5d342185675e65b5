// The type package's fatal-error path with its replaceable exit hook.
#include "icode/type_error.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace icode {
namespace {

// The one piece of process-wide state of the type layer; tests reset it by
// installing an empty hook.
TypeExitHook& exit_hook() {
  static TypeExitHook hook;
  return hook;
}

}  // namespace

void set_type_exit_hook(TypeExitHook hook) { exit_hook() = std::move(hook); }

void type_internal_error(const std::string& message) {
  std::fprintf(stderr, "TP>> internal error: %s\n", message.c_str());
  std::fflush(stderr);
  if (const TypeExitHook& hook = exit_hook()) hook(1);
  std::exit(1);
}

}  // namespace icode
