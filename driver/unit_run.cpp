#include "driver/unit_run.h"

#include <cerrno>
#include <cstring>

#include "diag/diag_settings.h"
#include "diag/process_exit.h"

namespace {

std::FILE*& input_slot() {
    static std::FILE* input = nullptr;
    return input;
}

UNIT_RUN default_run() {
    UNIT_RUN run;
    run.open_input = [](const std::string& name) {
        if (input_slot()) std::fclose(input_slot());
        input_slot() = open_input_file(name);
        return STRING_LISTS();
    };
    return run;
}

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

std::FILE* input_stream() { return input_slot(); }

void reset_unit_run() {
    if (input_slot()) std::fclose(input_slot());
    input_slot() = nullptr;
    unit_run() = default_run();
}
