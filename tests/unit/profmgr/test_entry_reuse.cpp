// The manager's statement entries are kept from function to function and
// handed out again in the order they were first made.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "icode/record_kinds.h"
#include "icode/symtab.h"
#include "profmgr/prof_mgr.h"

namespace {

using namespace icode;

TEST(EntryReuse, KeptEntriesGoOutInTheOrderTheyWereMadeSkippingThoseNeverAdded) {
    PROFILE_ICODE_MGR manager;
    SymbolRecord record;
    record.name = "f";
    SYMTAB function(std::move(record));

    // The first function: its begin entry, then entries made in the order
    // kept, added, dropped by their holder, added, added.  The list order
    // differs from the order they were made in.
    manager.begin_function(&function, std::nullopt);
    std::vector<STMT_ENTRY*> made{manager.statements()};
    std::unique_ptr<STMT_ENTRY> later = manager.new_entry();
    made.push_back(later.get());
    std::unique_ptr<STMT_ENTRY> dropped = manager.new_entry();
    dropped.reset();
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<STMT_ENTRY> e = manager.new_entry();
        e->kind = REC_MARK;
        made.push_back(e.get());
        manager.add_entry(std::move(e));
    }
    later->kind = REC_MARK;
    manager.add_entry(std::move(later));
    manager.reset();

    // The second function takes them in the order they were first made,
    // past the place of the dropped one, and then new ones.
    manager.begin_function(&function, std::nullopt);
    EXPECT_EQ(manager.statements(), made[0]);
    for (size_t i = 1; i < made.size(); ++i) {
        std::unique_ptr<STMT_ENTRY> e = manager.new_entry();
        EXPECT_EQ(e.get(), made[i]) << i;
        EXPECT_EQ(e->kind, RECORD_KIND{}) << i;  // emptied when kept
        manager.add_entry(std::move(e));
    }
    std::unique_ptr<STMT_ENTRY> fresh = manager.new_entry();
    for (STMT_ENTRY* e : made) EXPECT_NE(fresh.get(), e);
    manager.add_entry(std::move(fresh));
    manager.reset();
}

}  // namespace
