// COUNTER_PLAN: where the counters of one function go, as the chord
// numbering decides.  One place per counted edge (block, successor, counter
// index) in the order the numbering hands the indices to the blocks, and the
// highest index handed out.  The instrumentation sizes the counters array by
// the plan and inserts the increments where it says; the blocks keep each
// edge's index, which propagation and the listings read back.
#pragma once

#include <vector>

class BASIC_BLK;

struct COUNTER_PLACE {
    COUNTER_PLACE(BASIC_BLK* from, BASIC_BLK* to, int counter)
        : block(from), succ(to), index(counter) {}
    BASIC_BLK* block;
    BASIC_BLK* succ;
    int index;
};

struct COUNTER_PLAN {
    std::vector<COUNTER_PLACE> places;
    // The highest counter index handed out; 0 when no edge is counted.
    int highest_index = 0;
};
