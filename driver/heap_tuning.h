// How the profiler asks the C library to manage its heap.
#pragma once

// Every function of a unit builds a working set (trees, statements, blocks,
// the graph) of up to a few megabytes and frees it once the function is
// written, while a few words per function stay for the whole run.  Blocks
// of 32 KB and more are therefore mapped on their own rather than carved
// out of the heap: freeing them gives the memory back, and a small block
// kept for the run can no longer pin a large freed one in place.  Without
// this, the C library raises that limit on its own after the first large
// block is freed, and peak memory creeps up with the number of functions.
// The heap itself is grown in large steps and not trimmed between
// functions, since each function needs about as much as the one before.
// Does nothing where the C library offers no such setting.
void tune_heap_for_streaming();
