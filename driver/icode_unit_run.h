// The I-code steps of one profiler run: the input unit read through the
// profile manager's client, the type package, the output unit, the
// initializers and the closing of both units.
#pragma once

#include "driver/unit_run.h"

// The steps with the I-code reader and writer plugged in.
UNIT_RUN icode_unit_run();
// Releases the units and the type package of a run, for tests.
void reset_icode_unit_run();

// The steps of this program, the ones above unless a test replaced some.
UNIT_RUN& unit_run();
// Releases the units of a run and restores the default steps.
void reset_unit_run();
