// One input of the writer's round trip, shared by the libFuzzer target and
// the test that replays the committed seeds: compress, unpack, compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The first byte picks the method (1, or 4 when it is odd) and how often
// the rest is repeated (1 + first byte / 4 times: 1 to 64, so that short
// inputs make long matches too). The result is written as an archive into
// `scratch_dir` (ending with '/'), unpacked there by read_header and
// extract_entry, and compared; the unpacked file is removed again.
// Returns "" when the bytes came back as they went in, else what went wrong.
std::string run_roundtrip_input(const uint8_t* data, size_t size, const std::string& scratch_dir);
