// Test support for the I-code writer: units assembled from the text form,
// copies made through `icode copy`, a readable summary of what a unit holds
// as the reader hands it out, and a walk over the records of a unit's
// function stream and initializer section.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "icode/record_codec.h"

namespace writer_test {

// Thrown by the exit hook in place of ending the process.
struct STOPPED {
    int status;
};

// A scratch folder, removed with everything in it when the object goes.
class SCRATCH {
public:
    SCRATCH();
    ~SCRATCH();
    SCRATCH(const SCRATCH&) = delete;
    SCRATCH& operator=(const SCRATCH&) = delete;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

// Assembles a unit from the text form; a test failure (and "") when the
// text does not assemble.
std::string assemble(const std::string& text);

// Reads a unit and writes it back the way `icode copy` does; "" and a test
// failure when the copy fails.
std::string copy(const std::string& unit);

// The text form of a unit; a test failure when it does not disassemble.
std::string disassemble(const std::string& unit);

// What the reader hands out for a unit, as text that does not depend on
// type ids, record offsets or the order of the sections: string lists,
// every function-stream record that reaches the client, trees with their
// leaf data, the global symbols with their pragmas and initializers, and
// the description of every type reached.  The pragmas of a symbol are
// listed in the order of its list, or reversed.  Definition offsets are
// left out (they are checked against the records they name), and so is the
// type of list-3 members, which the writer does not carry over.
struct CONTENT {
    std::string text;
    int version = 0;
    int dropped = 0;  // records read only to stay in step
    // Definition offset of each global symbol, by table index.
    std::vector<uint32_t> definition_offsets;
};
CONTENT content_of(const std::string& unit, bool reverse_pragmas = false);

// One record of a unit, framed where it stands.
struct FRAME {
    size_t offset = 0;
    size_t end = 0;  // offset after the record
    uint8_t kind = 0;
    icode::RECORD rec;  // decoded for the kinds the walk needs (func_begin, init)
};
// The records from `offset` up to the next end record, trees included.
std::vector<FRAME> records_at(const std::string& unit, size_t offset);
// The offset just after the header record.
size_t header_end(const std::string& unit);
// A section offset from the header ("strings", "init", "types", "files",
// "symbols").
uint32_t section_offset(const std::string& unit, const char* section);

// Runs f with the process ending replaced by an exception and standard
// output captured; returns the exit status (-1 when f returned) and the
// captured text in *out.
int stop_status(const std::function<void()>& f, std::string* out);

}  // namespace writer_test
