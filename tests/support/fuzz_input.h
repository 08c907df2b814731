// One fuzzer input through header reading and extraction, shared by the
// libFuzzer target and the test that replays the committed inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr uint32_t FUZZ_ORIGINAL_LIMIT = 1 << 16;  // original size of a crafted entry
inline constexpr int FUZZ_ENTRY_LIMIT = 32;

// First byte even: the rest is an archive as it stands. Odd: the rest is
// [method, size0, size1, flags-ish byte, data...] made into an archive with
// a valid main header and one entry with valid CRCs, so the decoders are
// reached. Entries are extracted into `scratch_dir` (ending with '/'),
// which is emptied again afterwards. Output is counted, not stored, and an
// entry that is handed more bytes than its original size aborts the run.
void run_fuzz_input(const uint8_t* data, size_t size, const std::string& scratch_dir);
