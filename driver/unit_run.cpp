#include "driver/unit_run.h"

#include "driver/icode_unit_run.h"

#include <cerrno>
#include <cstring>

#include "diag/diag_settings.h"
#include "diag/process_exit.h"

namespace {

UNIT_RUN default_run() { return icode_unit_run(); }

}  // namespace

std::FILE* open_input_file(const std::string& name) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) {
        const int err = errno;
        std::fprintf(DIAG::settings().err, "\n>> Cannot Open Input icode File, %s : %s, Aborting\n",
                     std::strerror(err), name.c_str());
        trelv_exit(1);
    }
    return f;
}

UNIT_RUN& unit_run() {
    static UNIT_RUN run = default_run();
    return run;
}

void reset_unit_run() {
    reset_icode_unit_run();
    unit_run() = default_run();
}
