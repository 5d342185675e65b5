// Symbols: construction, the pragma list, the reference-state rule,
// initializer ownership and attribute names.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "icode/attributes.h"
#include "icode/node.h"
#include "icode/opcodes.h"
#include "icode/symtab.h"

using namespace icode;

namespace {

std::unique_ptr<Pragma> pragma(AttributeKind kind, std::vector<std::string> args = {}) {
    return std::make_unique<Pragma>(static_cast<uint8_t>(kind), std::move(args));
}

SYMTAB make_symbol(const std::string& name) {
    SymbolRecord rec;
    rec.name = name;
    return SYMTAB(std::move(rec));
}

}  // namespace

TEST(Symtab, ConstructionCopiesTheRecord) {
    SymbolRecord rec;
    rec.name = "counter";
    rec.size = 32;
    rec.value = 7;
    rec.storage_class = 3;
    rec.qualifiers = 0xFFFF;
    rec.alignment = 16;
    rec.definition_offset = 0x1234;
    rec.opt = 9;
    rec.position = SourcePos{"a.c", 4, 2};
    rec.reference_state = 3;
    SYMTAB sym(std::move(rec));
    EXPECT_EQ(sym.name(), "counter");
    EXPECT_EQ(sym.index(), -1);
    EXPECT_EQ(sym.level(), 0);
    EXPECT_EQ(sym.qualifiers(), 0xFFFF);
    EXPECT_EQ(sym.reference_state(), 3);
    ASSERT_NE(sym.position(), nullptr);
    EXPECT_EQ(*sym.position(), (SourcePos{"a.c", 4, 2}));
    EXPECT_EQ(sym.first_pragma(), nullptr);
    EXPECT_EQ(sym.pragma_count(), 0);

    const I_SYMTAB& iface = sym;
    EXPECT_EQ(iface.definition_offset(), 0x1234u);
    EXPECT_EQ(make_symbol("p").position(), nullptr);
}

TEST(SymtabPragmas, AttachedInFileOrderAreHeldNewestFirst) {
    SYMTAB sym = make_symbol("f");
    sym.add_pragma_front(pragma(AttributeKind::DATA_ALIGN, {"A"}));
    sym.add_pragma_front(pragma(AttributeKind::DATA_SECTION, {"B", ".data"}));
    sym.add_pragma_front(pragma(AttributeKind::IDENT, {"C"}));
    EXPECT_EQ(sym.pragma_count(), 3);

    std::vector<std::string> order;
    for (const Pragma* p = sym.first_pragma(); p != nullptr; p = p->next.get())
        order.push_back(p->args.at(0));
    EXPECT_EQ(order, (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(sym.first_pragma()->next->args, (std::vector<std::string>{"B", ".data"}));
}

TEST(SymtabPragmas, LongListsAreReleasedWithoutRecursion) {
    SYMTAB sym = make_symbol("g");
    for (int i = 0; i < 200000; ++i) sym.add_pragma_front(pragma(AttributeKind::UNUSED));
    EXPECT_EQ(sym.pragma_count(), 200000);
}

TEST(SymtabReferenceState, LastReferenceAttributeWins) {
    SYMTAB sym = make_symbol("v");
    sym.apply_reference_rule(static_cast<uint8_t>(AttributeKind::SYM_IS_DEAD));
    EXPECT_EQ(sym.reference_state(), 3);
    sym.apply_reference_rule(static_cast<uint8_t>(AttributeKind::SYM_IS_REFERENCED));
    EXPECT_EQ(sym.reference_state(), 1);
    sym.apply_reference_rule(static_cast<uint8_t>(AttributeKind::INLINE));
    EXPECT_EQ(sym.reference_state(), 1);
    sym.apply_reference_rule(static_cast<uint8_t>(AttributeKind::SYM_IS_DEAD));
    EXPECT_EQ(sym.reference_state(), 3);

    EXPECT_EQ(reference_state_after(0, 23), 1);  // FUNC_EXT_CALLED
    EXPECT_EQ(reference_state_after(3, 52), 1);  // SYM_IS_REFERENCED
    EXPECT_EQ(reference_state_after(1, 59), 3);  // SYM_IS_DEAD
    EXPECT_EQ(reference_state_after(0, 0), 0);
    EXPECT_EQ(reference_state_after(3, 255), 3);
}

TEST(Symtab, InitializerTreesAreOwnedBySymbol) {
    SYMTAB sym = make_symbol("table");
    NODE* first = make_node(ICON, nullptr);
    first->set_left(make_node(ICON, nullptr));
    sym.set_initializers({first, make_node(ENDINIT, nullptr)});
    ASSERT_EQ(sym.initializers().size(), 2u);
    EXPECT_EQ(sym.initializers().back()->opcode(), ENDINIT);
    // Replacing the list frees the old trees (a leak would show under the
    // sanitizers).
    sym.set_initializers({make_node(ENDINIT, nullptr)});
    std::vector<NODE*> taken = sym.take_initializers();
    EXPECT_TRUE(sym.initializers().empty());
    ASSERT_EQ(taken.size(), 1u);
    free_tree(taken[0]);
    // The symbol frees what it still holds when destroyed.
    sym.set_initializers({make_node(ENDINIT, nullptr)});
}

TEST(Symtab, StringListEntryCountsItsStrings) {
    StringListEntry entry(4, {"-O2", "--gen_profile_info"});
    EXPECT_EQ(entry.id, 4u);
    EXPECT_EQ(entry.count, 2u);
    EXPECT_EQ(entry.strings[1], "--gen_profile_info");
}

TEST(AttributeNames, EdgesOfTheTable) {
    EXPECT_STREQ(attribute_name(0), "INVALID");
    EXPECT_STREQ(attribute_name(23), "FUNC_EXT_CALLED");
    EXPECT_STREQ(attribute_name(52), "SYM_IS_REFERENCED");
    EXPECT_STREQ(attribute_name(59), "SYM_IS_DEAD");
    EXPECT_STREQ(attribute_name(68), "NO_ALIAS_CLONE");
    EXPECT_STREQ(attribute_name(69), "COMDAT GROUP");
    EXPECT_STREQ(attribute_name(70), "DEFAULT_NEVER_EXECUTED");
    EXPECT_STREQ(attribute_name(75), "FUNC_ESPEC");
    EXPECT_STREQ(attribute_name(100), "LOCATION");
    EXPECT_STREQ(attribute_name(125), "NO_NLC");
    EXPECT_STREQ(attribute_name(126), "unknown");
    EXPECT_STREQ(attribute_name(255), "unknown");
}

TEST(AttributeNames, EveryCodeHasADistinctName) {
    std::set<std::string> names;
    for (unsigned code = 0; code <= MAX_ATTRIBUTE_KIND; ++code) {
        ASSERT_NE(attribute_name(code), nullptr) << code;
        names.insert(attribute_name(code));
    }
    EXPECT_EQ(names.size(), MAX_ATTRIBUTE_KIND + 1);
    EXPECT_EQ(names.count("unknown"), 0u);
}
