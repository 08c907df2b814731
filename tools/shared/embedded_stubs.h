// The stubs built with this iunpack (tools/CMakeLists.txt cross-compiles
// them as the win32 and win64 presets do; cmake/EmbedStubs.cmake writes
// their bytes into a generated source), each in two variants: one that
// runs with the rights it was started with, and one whose manifest makes
// Windows ask for administrator rights before it starts.
#pragma once

#include <cstddef>

struct EmbeddedStub {
    const char* name;           // "win32" or "win64", as --stub names it
    bool administrator;         // the variant that requires administrator rights (pack --admin)
    const char* description;    // what it is built for
    const unsigned char* bytes;
    size_t size;
};

inline constexpr size_t EMBEDDED_STUB_COUNT = 4;
// The product (win32, as invoked) first: the default of `pack`.
extern const EmbeddedStub EMBEDDED_STUBS[EMBEDDED_STUB_COUNT];
