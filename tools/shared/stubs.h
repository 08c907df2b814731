// The stub an installer starts with: one that this iunpack carries
// (win32, the product, or win64) or a file the author names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/shared/embedded_stubs.h"

struct Stub {
    std::vector<uint8_t> bytes;
    std::string label;                     // how messages name it
    const EmbeddedStub* embedded;          // the carried stub it is, or nullptr for a file
};

// A stub this iunpack carries, labelled by its name and description.
Stub carried_stub(const EmbeddedStub& e);
// `choice` is the name of a carried stub ("win32", "win64") or a path;
// nullptr picks the first carried stub, the product. `administrator` picks
// a carried stub's administrator variant (a file is taken as it is). False,
// with `error` set, when the file cannot be read or is larger than the
// stub's place (read no further than that).
bool load_stub(const char* choice, bool administrator, Stub& stub, std::string& error);
// An MZ header whose e_lfanew points at a "PE\0\0" signature inside `bytes`.
bool is_pe(const std::vector<uint8_t>& bytes);
// The end of the last section's raw data by the PE section table: the
// length of the file the linker wrote, when `bytes` (which may go on with
// padding) begins with one; 0 when the headers do not tell.
size_t pe_file_extent(const std::vector<uint8_t>& bytes);
