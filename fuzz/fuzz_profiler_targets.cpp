// Fuzz targets that run the whole profiler: a pass-through run and an
// instrumenting run on a fuzzed unit, and a profile-using run of the
// example unit on a fuzzed profile data file.
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"

namespace fuzz {

void reader(const uint8_t* data, size_t size) {
    const std::string in = scratch_file("in.icode");
    write_file(in, data, size);
    run_profiler({in, scratch_file("out.icode")});
}

void instrument(const uint8_t* data, size_t size) {
    const std::string in = scratch_file("in.icode");
    write_file(in, data, size);
    run_profiler({in, scratch_file("out.icode"), "--gen_profile_info"});
}

void profile(const uint8_t* data, size_t size) {
    // The example unit's source is demo.c: records named "demo.c/NAME"
    // (relative to the working folder) reach its functions.
    static const std::string unit = [] {
        const std::string path = scratch_file("demo.icode");
        write_file(path, example_unit());
        return path;
    }();
    const std::string data_file = scratch_file("demo.prf");
    write_file(data_file, data, size);
    run_profiler(
        {unit, scratch_file("out.icode"), "--use_profile_info=" + data_file, "--debug:profile=3"});
}

}  // namespace fuzz
