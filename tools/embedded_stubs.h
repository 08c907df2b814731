// The stubs built with this iunpack (tools/CMakeLists.txt cross-compiles
// them as the win32 and win64 presets do; cmake/EmbedStubs.cmake writes
// their bytes into a generated source).
#pragma once

#include <cstddef>

struct EmbeddedStub {
    const char* name;           // "win32" or "win64", as --stub names it
    const char* description;    // what it is built for
    const unsigned char* bytes;
    size_t size;
};

inline constexpr size_t EMBEDDED_STUB_COUNT = 2;
// The product (win32) first: the default of `pack`.
extern const EmbeddedStub EMBEDDED_STUBS[EMBEDDED_STUB_COUNT];
