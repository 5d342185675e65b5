// What the fuzz targets share: a scratch folder of the process, the
// profiler run in-process with its ending turned into an exception, and the
// reset of every process-wide object between two inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fuzz {

// The path of `name` in the process's scratch folder (made at first use,
// removed at exit).
std::string scratch_file(const std::string& name);

// Writes bytes to a file; aborts when it cannot (the harness is broken).
void write_file(const std::string& path, const uint8_t* data, size_t size);
void write_file(const std::string& path, const std::string& data);

// Runs `step` with the process ending turned into an exception and every
// process-wide object reset before and after; returns what `step` returns,
// or the exit status when it ends the run.
int run_in_process(const std::function<int()>& step);

// Runs the profiler on the words after the program name, with its
// diagnostics discarded; returns the exit status (1 for a fatal ending).
// Every process-wide object is reset before and after.
int run_profiler(const std::vector<std::string>& words);

// A stream that discards what is written to it.
std::FILE* null_stream();

// The example unit assembled from its text form, as unit bytes.
const std::string& example_unit();

}  // namespace fuzz
