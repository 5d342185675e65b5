// The I-code steps of one profiler run: the input unit read through the
// profile manager's client, the type package, the output unit, the
// initializers and the closing of both units.
#pragma once

#include "driver/unit_run.h"

// The steps with the I-code reader and writer plugged in.
UNIT_RUN icode_unit_run();
// Releases the units and the type package of a run and puts the profile
// manager and the target read back as a fresh process has them, for tests.
void reset_icode_unit_run();
