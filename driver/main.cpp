// The path profiler's executable: a thin main over the library.
#include "driver/prof_common.h"

int main(int argc, char** argv) { return trelv_main(argc, argv); }
