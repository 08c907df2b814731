#include "decode/decode_entry.h"

#include "common/unpack_error.h"
#include "common/unpack_state.h"

int decode_entry(DecodeItems decode_items) {
    DecodeWindow window;
    if (!obtain_window(window)) return ERR_ALLOC_MEMORY;
    const HeaderRecord& h = unpack.header;
    BitReader reader;
    start_bits(reader, h.compressed_size);
    bool written = h.original_size == 0 || decode_items(window, reader, h.original_size);
    int result = finish_window(window, reader, written);
    release_window(window);
    return result;
}
