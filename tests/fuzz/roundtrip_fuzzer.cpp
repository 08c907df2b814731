// libFuzzer target: the writer's round trip (tests/support/roundtrip_input.h).
#include <cstdio>
#include <cstdlib>

#include "tests/support/files.h"
#include "tests/support/roundtrip_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string failure = run_roundtrip_input(data, size, fuzz_scratch_dir("roundtrip"));
    if (!failure.empty()) {
        fprintf(stderr, "round trip: %s\n", failure.c_str());
        abort();
    }
    return 0;
}
