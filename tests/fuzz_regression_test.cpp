// Replays the fuzzer's seeds and every input that once crashed or hung
// (tests/fuzz/regressions); under the asan preset this checks them with
// the sanitizers, as the fuzzer did.
#include <dirent.h>
#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/fuzz_input.h"

namespace {

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> paths;
    for (const std::string& name : list_dir(dir)) paths.push_back(dir + "/" + name);
    return paths;
}

TEST(FuzzRegression, CommittedInputsRunCleanly) {
    std::string root = std::string(IUNPACK_SOURCE_DIR) + "/tests/fuzz/";
    std::vector<std::string> inputs = files_in(root + "seeds");
    for (const std::string& path : files_in(root + "regressions")) inputs.push_back(path);
    ASSERT_FALSE(inputs.empty());
    for (const std::string& path : inputs) {
        ScratchDir scratch;
        Bytes input = read_file(path);
        SCOPED_TRACE(path);
        run_fuzz_input(input.data(), input.size(), scratch.path + "/");
    }
}

}  // namespace
