// A consistency check of a whole unit for tests: reads it in the order a
// reader does (file names, types, symbols, initializers, then the function
// stream) and lists every reference that such a reader could not follow:
// type refs to types not yet defined, symbols beyond their table, labels
// used in a function but not defined there, file indices beyond the file
// table, attribute lists that do not match their owner, and definition
// offsets of symbols that do not name their function begin or initializer
// record.  It also counts the
// opcodes it meets, so that tests can ask what a unit holds.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "icode/record_codec.h"
#include "icode/text/raw_types.h"

namespace unit_check {

struct LOCAL {
    std::string name;
    int storage_class = 0;
};

struct UNIT_CHECK {
    explicit UNIT_CHECK(const std::string& unit);

    std::vector<std::string> problems;
    std::map<int, int> opcodes;  // opcode -> number of nodes
    int functions = 0;
    int switches_with_default = 0;
    int switches_without_default = 0;
    int parameter_copies = 0;  // ASG(NAME local class 2, NAME parameter class 1), same name
    int initializers = 0;

private:
    using RECORD = icode::RECORD;
    bool next(size_t& p, RECORD& rec);
    void section(uint32_t offset, int which);
    void stream(size_t p);
    void check_fields(const RECORD& rec);
    void type_record(const RECORD& rec);
    void symbol_record(const RECORD& rec);
    // Reads one tree at p; returns its root opcode, or -1 on damage.
    int tree(size_t& p, bool in_function);
    void problem(const std::string& what);
    // The symbol's definition offset must be the offset of the record at hand.
    void check_definition(int64_t symbol);

    const std::string& u_;
    int version_ = -71;
    size_t where_ = 0;
    icode_text::RAW_TYPES types_;
    std::set<uint32_t> defined_;
    std::map<uint32_t, int> lists_to_come_;
    std::map<uint32_t, int> open_list_;
    size_t files_ = 0;
    std::vector<std::string> globals_;
    std::vector<int64_t> definitions_;  // definition offset of each global
    std::vector<LOCAL> locals_;
    int depth_ = 0;
    int pragmas_to_come_ = 0;
    std::set<uint64_t> labels_defined_, labels_used_;
};

}  // namespace unit_check
