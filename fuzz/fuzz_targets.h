// The fuzz targets: each runs one part of the system on one input, the way
// a user's file would reach it, and returns normally whatever the input
// holds.  A crash, a sanitizer report, a hang or a runaway allocation is the
// only way an input can fail a target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

using TARGET_FN = void (*)(const uint8_t* data, size_t size);

struct TARGET {
    const char* name;
    TARGET_FN run;
    bool takes_unit;  // the input is an I-code unit (text-form files are assembled first)
};

void reader(const uint8_t* data, size_t size);      // pass-through run of the profiler
void instrument(const uint8_t* data, size_t size);  // instrumenting run
void profile(const uint8_t* data, size_t size);     // profile-using run, the input is the data file
void text(const uint8_t* data, size_t size);        // text-form assembler and disassembler
void table(const uint8_t* data, size_t size);       // code-coverage and call-graph table readers
void run(const uint8_t* data, size_t size);         // the executor under its step limit

// The target of a name; null for an unknown one.
const TARGET* find_target(const std::string& name);

}  // namespace fuzz
