/* Counts the heap allocations of a program, for bench/throughput.sh:
 * loaded with LD_PRELOAD, it writes the number of malloc, calloc and
 * realloc calls (operator new goes through malloc) to the file that
 * ALLOC_COUNT_FILE names when the program ends. */
#include <stdio.h>
#include <stdlib.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* block, size_t size);

static unsigned long allocations;

void* malloc(size_t size) {
    ++allocations;
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    ++allocations;
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
    ++allocations;
    return __libc_realloc(block, size);
}

__attribute__((destructor)) static void report(void) {
    const unsigned long counted = allocations;
    const char* name = getenv("ALLOC_COUNT_FILE");
    FILE* out = name ? fopen(name, "w") : NULL;
    if (!out) return;
    fprintf(out, "%lu\n", counted);
    fclose(out);
}
