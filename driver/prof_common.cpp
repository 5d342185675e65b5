#include "driver/prof_common.h"

int trelv_main(int, char**) { return 0; }
