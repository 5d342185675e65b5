// The heap settings the profiler asks of the C library at start-up.
#include "driver/heap_tuning.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void tune_heap_for_streaming() {
#if defined(__GLIBC__)
    // A fixed threshold also turns off the library's own adjustment.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024);
#endif
}
