// Opening the input unit, the one step of a unit run shared by every set of
// steps.
#include "driver/unit_run.h"

#include <cerrno>
#include <cstring>

#include "diag/diag_settings.h"
#include "diag/process_exit.h"

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
