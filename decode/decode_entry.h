// The per-entry driver of both decoders: window, bit input, items, the
// final block and the result.
#pragma once

#include <cstdint>

#include "decode/bit_reader.h"
#include "decode/decode_window.h"

// A decoder's items: decodes into `window` from `reader` until
// `to_produce` (original_size, above 0) bytes are produced or the entry
// ends early (reader.ended). False after a failed flush, whose box has
// been shown.
using DecodeItems = bool (*)(DecodeWindow& window, BitReader& reader, uint32_t to_produce);

// Obtains the window, starts the bit input on the current entry (which
// fetches up to two bytes also when original_size is 0), runs the items,
// writes what is left and releases the window. 0, or the UnpackError code
// of the failure after its box.
int decode_entry(DecodeItems decode_items);
