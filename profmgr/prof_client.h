// PROF_CLIENT: the client operations through which the I-code reader feeds
// the profile manager, and the function-begin step that attaches each
// function's profile data.
#pragma once

#include <string>
#include <vector>

#include "icode/icode_client.h"
#include "icode/record_kinds.h"

class PROFILE_ICODE_MGR;

class PROF_CLIENT : public icode::IcodeClient {
public:
    explicit PROF_CLIENT(PROFILE_ICODE_MGR& manager) : manager_(manager) {}

    void string_list(uint32_t id, const std::vector<std::string>& strings) override;
    icode::SYMTAB* create_symbol(icode::SymbolRecord record, int level) override;
    void attach_pragma(icode::SYMTAB* symbol, std::unique_ptr<icode::Pragma> pragma) override;
    void attach_initializer(icode::SYMTAB* symbol, std::vector<icode::NODE*> trees) override;
    void function_begin(icode::SYMTAB* symbol, icode::OptPos position) override;
    void function_end(icode::OptPos position) override;
    void block_begin(icode::OptPos position) override;
    void block_end(icode::OptPos position) override;
    void body_begin(icode::OptPos position) override;
    void mark(icode::OptPos position) override;
    void text(icode::RECORD_KIND kind, const std::string& text, icode::OptPos position) override;
    void label(uint32_t number) override;
    void expression_statement(icode::NODE* tree, icode::OptPos position) override;
    bool exception_table(std::vector<icode::EHT_ENTRY>& entries) override;

    // The unit's string-list table, in file order.
    const std::vector<icode::StringListEntry>& string_lists() const { return string_lists_; }
    int depth() const { return depth_; }

private:
    void entry(icode::RECORD_KIND kind, icode::OptPos position);

    PROFILE_ICODE_MGR& manager_;
    std::vector<icode::StringListEntry> string_lists_;
    int depth_ = 0;
};
