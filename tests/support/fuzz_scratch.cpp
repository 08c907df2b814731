#include "tests/support/fuzz_scratch.h"

#include <unistd.h>

#include <cstdlib>

std::string fuzz_scratch_dir(const char* target) {
    static std::string dir;
    if (dir.empty()) {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/iunpack-" + target + "-XXXXXX";
        if (!mkdtemp(pattern.data())) abort();
        dir = pattern + "/";
    }
    return dir;
}
