// The libFuzzer entry of one target; FUZZ_TARGET_FN names the target's
// function when the fuzzer of that target is built.
#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FUZZ_TARGET_FN(data, size);
    return 0;
}
