// STMT_ENTRY: one element of a function's statement list as the profile
// manager collects it from the reader and later writes it back.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "icode/attributes.h"
#include "icode/icode_client.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"

class BASIC_BLK;

struct STMT_ENTRY {
    // The record kind the entry stands for (icode::RECORD_KIND): REC_FUNC_BEGIN,
    // REC_FUNC_END, REC_BLOCK_BEGIN, REC_BLOCK_END, REC_BODY_BEGIN, REC_MARK,
    // REC_SYMBOL, the texts REC_TEXT_AT and REC_TEXT, REC_LABEL,
    // REC_EXPR_STMT, REC_EHT or REC_PRAGMA.
    icode::RECORD_KIND kind{};
    // The entry's place among the entries a manager keeps from function to
    // function; not changed by clear().  (Beside the kind, where it takes
    // no room of its own.)
    std::uint32_t slot = 0;
    // REC_LABEL (a label-definition node), REC_EXPR_STMT (the tree),
    // REC_TEXT_AT and REC_TEXT (a text node holding the text).  Owned by the
    // entry.
    icode::NODE* tree = nullptr;
    // REC_FUNC_BEGIN (the function) and REC_SYMBOL (a local symbol); owned
    // elsewhere.
    icode::SYMTAB* symbol = nullptr;
    std::unique_ptr<icode::Pragma> pragma;  // REC_PRAGMA
    std::vector<icode::EHT_ENTRY> eht;      // REC_EHT
    icode::OptPos position;
    int aux = 0;  // REC_EHT: the number of entries; a made jump: its place

    STMT_ENTRY* next = nullptr;
    STMT_ENTRY* prev = nullptr;
    // The block whose first statement this entry is, if any.
    BASIC_BLK* starts_block = nullptr;
    // The tree may hold labels made while the function is processed
    // (negative until the writer numbers them, see
    // IcodeFile::number_new_labels_from); trees as read never do.
    bool new_labels = false;
    // REC_EXPR_STMT added by a job once the function's listings are made: a
    // BRANCH without a tree, whose label and weight its manager keeps (at
    // the place aux).  Nothing reads it but the writer, and the block
    // cutting, which sees it end its block.
    bool made_jump = false;
    // A profile-using run that does not cut its annotation into blocks
    // writes the jumps it adds after a block's last statement, without
    // entries of their own, right after this entry (see
    // FUNCTION_STATE::trailing_jumps).
    bool jumps_follow = false;
    // REC_EXPR_STMT added by instrumentation: the index of the counter the
    // statement increments, -1 for any other statement.  Such a statement
    // has no tree: the increments of a function differ only in the index,
    // and the writer copies one encoding of them (see
    // IcodeFile::stamp_tree).
    int counter = -1;

    STMT_ENTRY() = default;
    STMT_ENTRY(const STMT_ENTRY&) = delete;
    STMT_ENTRY& operator=(const STMT_ENTRY&) = delete;
    ~STMT_ENTRY();

    // Frees the entry's trees and makes it a fresh entry again, so that a
    // manager can reuse its entries from function to function.  Done for
    // every statement of every function: inline, with the rare parts apart.
    void clear() {
        icode::free_tree(tree);
        if (pragma || eht.capacity() != 0) release_rare_parts();
        kind = {};
        tree = nullptr;
        symbol = nullptr;
        position.reset();
        aux = 0;
        next = nullptr;
        prev = nullptr;
        starts_block = nullptr;
        new_labels = false;
        made_jump = false;
        jumps_follow = false;
        counter = -1;
    }

    // Takes the position given.  None is the common case for the
    // statements the jobs make, and a std::nullopt made for the call lies
    // on the stack in pieces, which copying the whole optional would read
    // back at once and wait for; only the flag is read then.
    void set_position(const icode::OptPos& p) {
        if (p)
            position = *p;
        else
            position.reset();
    }

    // The tree root's opcode (BRANCH for a made jump), or -1 for an entry
    // without a tree.
    int root_opcode() const { return tree ? tree->opcode() : made_jump ? icode::BRANCH : -1; }

private:
    // Frees the pragma and the exception table with its trees.
    void release_rare_parts();
};

// True for the opcodes that end a basic block.  Asked for every statement
// as it is cut into blocks: inline.
inline bool ends_block(int opcode) {
    switch (opcode) {
        case icode::BRANCH:
        case icode::CBRANCH:
        case icode::RETURN:
        case icode::URETURN:
        case icode::SWITCH: return true;
        default: return false;
    }
}
