// libFuzzer target: arbitrary bytes as an archive (or, first byte odd, as
// one crafted entry of methods 1-4) through read_header and extract_entry.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/fuzz_input.h"

static std::string scratch_dir() {
    static std::string dir;
    if (dir.empty()) {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/iunpack-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) abort();
        dir = pattern + "/";
    }
    return dir;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    run_fuzz_input(data, size, scratch_dir());
    return 0;
}
