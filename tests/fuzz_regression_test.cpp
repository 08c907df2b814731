// Replays the fuzz targets' seeds and every input that once crashed or
// hung (tests/fuzz/regressions): the archive target's through
// run_fuzz_input, the round-trip target's (tests/fuzz/roundtrip_seeds)
// through run_roundtrip_input, as the targets run them. Under the asan
// preset this checks them with the sanitizers, as the fuzzers did.
#include <dirent.h>
#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/fuzz_input.h"
#include "tests/support/roundtrip_input.h"

namespace {

const std::string FUZZ_DIR = std::string(IUNPACK_SOURCE_DIR) + "/tests/fuzz/";

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> paths;
    for (const std::string& name : list_dir(dir)) paths.push_back(dir + "/" + name);
    return paths;
}

TEST(FuzzRegression, CommittedInputsRunCleanly) {
    std::vector<std::string> inputs = files_in(FUZZ_DIR + "seeds");
    for (const std::string& path : files_in(FUZZ_DIR + "regressions")) inputs.push_back(path);
    ASSERT_FALSE(inputs.empty());
    for (const std::string& path : inputs) {
        ScratchDir scratch;
        Bytes input = read_file(path);
        SCOPED_TRACE(path);
        run_fuzz_input(input.data(), input.size(), scratch.path + "/");
    }
}

TEST(FuzzRegression, RoundTripSeedsComeBack) {
    std::vector<std::string> inputs = files_in(FUZZ_DIR + "roundtrip_seeds");
    ASSERT_FALSE(inputs.empty());
    ScratchDir scratch;
    for (const std::string& path : inputs) {
        Bytes input = read_file(path);
        EXPECT_EQ(run_roundtrip_input(input.data(), input.size(), scratch.path + "/"), "") << path;
    }
}

}  // namespace
