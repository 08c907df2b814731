// libFuzzer target: arbitrary bytes as an archive (or, first byte odd, as
// one crafted entry of methods 1-4) through read_header and extract_entry.
#include "tests/support/files.h"
#include "tests/support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    run_fuzz_input(data, size, fuzz_scratch_dir("fuzz"));
    return 0;
}
