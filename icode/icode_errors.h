// The fixed texts with which the I-code reader and writer stop the process
// when a unit cannot be read or written.  They go to standard output and end
// the process with status 1.
#pragma once

#include <string>

namespace icode {

// A record that cannot be decoded within the file: a tree record that is not
// a node, an opcode above the table, a count or length running past the end
// of the file, an index beyond its table.
[[noreturn]] void invalid_record();
// An exception table whose entries are not followed by their records.
[[noreturn]] void invalid_eht_record();
// Writer: the write buffer could not grow.
[[noreturn]] void write_buffer_exceeded();
// Writer: a 16-bit field outside -32768..65535.
[[noreturn]] void value_exceeds_short();
// Writer: a name node on a symbol that is in no symbol table.
[[noreturn]] void symbol_not_in_table(const std::string& name);

}  // namespace icode
