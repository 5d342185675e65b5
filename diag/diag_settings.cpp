// The one settings object of the process and its reset.
#include "diag/diag_settings.h"

#include "diag/text_buffer.h"

namespace DIAG {

SETTINGS& settings() {
    static SETTINGS the_settings;
    return the_settings;
}

void reset() {
    settings() = SETTINGS();
    text_buffer().clear();
    text_buffer().shrink_to_fit();
}

}  // namespace DIAG
