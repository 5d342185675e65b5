// What really happened while the executor ran: per function, the number of
// calls, every control transfer of a BRANCH, CBRANCH or SWITCH statement
// (by statement index and target label), every fall-through from one
// statement to the next, and the arms taken by every ?: evaluation.  The
// closed-loop checks compare the profiler's weights with these counts.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/exec/exec_unit.h"

namespace exec {

struct FUNCTION_TRACE {
    uint64_t calls = 0;
    // (statement index << 32 | label number) -> transfers
    std::unordered_map<uint64_t, uint64_t> jumps;
    // falls[i]: times control went from statement i on to statement i + 1
    std::vector<uint64_t> falls;
    // QUEST node -> {true arm taken, false arm taken}
    std::unordered_map<const icode::NODE*, std::pair<uint64_t, uint64_t>> arms;

    uint64_t jump_count(size_t stmt, uint32_t label) const;
};

class EXEC_TRACE {
public:
    FUNCTION_TRACE& of(const EXEC_FUNCTION* f) { return per_function_[f]; }
    const FUNCTION_TRACE* find(const EXEC_FUNCTION* f) const;
    void clear() { per_function_.clear(); }

    // Text form, functions in unit order, one fact per line:
    //   function NAME calls N
    //   jump STMT LABEL N       statement STMT transferred to label LABEL N times
    //   fall STMT N             control went on from statement STMT to STMT+1 N times
    //   arm STMT Q TRUE FALSE   the Q-th ?: (pre-order) of statement STMT
    // Statements are counted from 0 in the function's record order (labels
    // and expression statements); zero counts are left out.
    void write(const EXEC_UNIT& unit, std::ostream& out) const;

private:
    std::unordered_map<const EXEC_FUNCTION*, FUNCTION_TRACE> per_function_;
};

}  // namespace exec
