// The heap settings the profiler asks of the C library at start-up.
#include "driver/heap_tuning.h"

// Any header of the C library says which library it is (__GLIBC__).
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void tune_heap_for_streaming() {
#if defined(__GLIBC__)
    // A fixed threshold also turns off the library's own adjustment.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024);
    // The heap grows in steps of a few megabytes and keeps what a function
    // freed for the next one, instead of giving the top back at the end of
    // every function and asking for it again at the start of the next: the
    // functions of a unit are much alike, so the heap settles at the size
    // of the largest working set (pages grown into but never touched cost
    // no memory).
    mallopt(M_TOP_PAD, 4 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}
