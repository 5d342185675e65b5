// The infix printer's buffer and entry point.
#include "icode/infix.h"

#include <cstring>

#include "icode/infix_printer.h"
#include "icode/node.h"
#include "icode/opcodes.h"

namespace icode {

namespace {

static_assert(INFIX_LIMIT + 3 < INFIX_BUFFER::SIZE, "room for \"...\" and the terminator");

// The one rendering buffer of the process (see infix_text()).
INFIX_BUFFER g_infix;

const char RECURSION_TEXT[] = "+*+*+ tree2infix called recursively +*+*+";

// Clears the busy flag however the rendering ends.
struct BUSY_GUARD {
    explicit BUSY_GUARD(INFIX_BUFFER& buffer) : buffer_(buffer) { buffer_.busy = true; }
    ~BUSY_GUARD() { buffer_.busy = false; }
    INFIX_BUFFER& buffer_;
};

}  // namespace

const char* infix_text(const NODE* root) {
    if (g_infix.busy) return RECURSION_TEXT;
    BUSY_GUARD guard(g_infix);
    g_infix.fill = 0;
    g_infix.overflow = false;
    INFIX_PRINTER printer(g_infix);
    if (root != nullptr && root->opcode() == PCOMMA) printer.put("PARALLEL ASSIGNMENTS: ");
    printer.print(root, 0);
    if (g_infix.overflow) {
        // A full buffer ends at INFIX_LIMIT; a rendering stopped for depth
        // ends where it stopped.
        std::memcpy(g_infix.text + g_infix.fill, "...", 3);
        g_infix.fill += 3;
    }
    g_infix.text[g_infix.fill] = '\0';
    return g_infix.text;
}

void reset_infix_state() {
    g_infix.fill = 0;
    g_infix.overflow = false;
    g_infix.busy = false;
    g_infix.text[0] = '\0';
}

}  // namespace icode
