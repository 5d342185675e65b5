// The path profiler's executable: a thin main over the library.
#include "driver/heap_tuning.h"
#include "driver/prof_common.h"

int main(int argc, char** argv) {
    tune_heap_for_streaming();
    return trelv_main(argc, argv);
}
