// Fixed sizes of the system's buffers. They are limits of the design: each
// user checks what it stores against them before writing.
#pragma once

#include <cstddef>

inline constexpr size_t PATH_SIZE = 256;          // every path buffer, terminator included
inline constexpr size_t NAME_BUFFER_SIZE = 512;   // header_name
inline constexpr size_t BASIC_HEADER_MAX = 1024;  // HeaderRecord's raw bytes
inline constexpr size_t WINDOW_SIZE = 26624;      // the decoders' history reach and output block (DecodeWindow)
