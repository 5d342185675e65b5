#include "tools/exec/exec_trace.h"

#include <algorithm>
#include <ostream>

#include "icode/opcodes.h"

namespace exec {

using namespace icode;

uint64_t FUNCTION_TRACE::jump_count(size_t stmt, uint32_t label) const {
    auto it = jumps.find((uint64_t(stmt) << 32) | label);
    return it == jumps.end() ? 0 : it->second;
}

const FUNCTION_TRACE* EXEC_TRACE::find(const EXEC_FUNCTION* f) const {
    auto it = per_function_.find(f);
    return it == per_function_.end() ? nullptr : &it->second;
}

namespace {

void collect_quests(const NODE* n, std::vector<const NODE*>& out) {
    if (!n) return;
    if (n->opcode() == QUEST) out.push_back(n);
    collect_quests(n->left(), out);
    collect_quests(n->right(), out);
}

}  // namespace

void EXEC_TRACE::write(const EXEC_UNIT& unit, std::ostream& out) const {
    for (const auto& fp : unit.functions()) {
        const FUNCTION_TRACE* t = find(fp.get());
        if (!t) continue;
        out << "function " << fp->name << " calls " << t->calls << "\n";
        std::vector<std::pair<uint64_t, uint64_t>> jumps(t->jumps.begin(), t->jumps.end());
        std::sort(jumps.begin(), jumps.end());
        for (const auto& j : jumps)
            if (j.second)
                out << "jump " << (j.first >> 32) << " " << (j.first & 0xffffffffu) << " "
                    << j.second << "\n";
        for (size_t i = 0; i < t->falls.size(); ++i)
            if (t->falls[i]) out << "fall " << i << " " << t->falls[i] << "\n";
        for (size_t i = 0; i < fp->stmts.size(); ++i) {
            std::vector<const NODE*> quests;
            collect_quests(fp->stmts[i].tree, quests);
            for (size_t q = 0; q < quests.size(); ++q) {
                auto it = t->arms.find(quests[q]);
                if (it == t->arms.end()) continue;
                out << "arm " << i << " " << q << " " << it->second.first << " "
                    << it->second.second << "\n";
            }
        }
    }
}

}  // namespace exec
