// The libFuzzer entry of one target: the build compiles this file once per target, naming the
// target's function in VELKORO_FUZZ_ENTRY.
#include "tests/fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return VELKORO_FUZZ_ENTRY(data, size);
}
