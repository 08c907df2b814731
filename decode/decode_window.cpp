#include "decode/decode_window.h"

#include "common/failure.h"
#include "common/global_heap.h"
#include "common/output_file.h"
#include "common/unpack_error.h"

bool obtain_window(DecodeWindow& window) {
    window.bytes = static_cast<uint8_t*>(heap_obtain(WINDOW_BYTES));
    window.position = WINDOW_SIZE;
    window.block_end = 2 * WINDOW_SIZE;
    if (window.bytes) return true;
    show_failure(MSG_ALLOC_MEMORY);
    return false;
}

void release_window(DecodeWindow& window) { heap_release(window.bytes); }

static bool write_block(const uint8_t* bytes, uint32_t n) {
    if (write_output_block(bytes, n)) return true;
    show_failure(MSG_WRITE_OUTPUT);
    return false;
}

bool flush_block(DecodeWindow& window) {
    if (!write_block(window.bytes + window.block_end - WINDOW_SIZE, WINDOW_SIZE)) return false;
    window.block_end += WINDOW_SIZE;
    if (window.block_end > REGION_END) {
        // The last block becomes the history; what the item wrote past it
        // follows it.
        const uint32_t shift = WINDOW_BLOCKS * WINDOW_SIZE;
        memmove(window.bytes, window.bytes + shift, window.position - shift);
        window.position -= shift;
        window.block_end -= shift;
    }
    return true;
}

int finish_window(DecodeWindow& window, const BitReader& reader, bool written) {
    if (!written) return ERR_WRITE_OUTPUT;
    if (reader.ended != 0) {
        show_failure(reader.ended == ERR_BAD_HUFFMAN ? MSG_BAD_HUFFMAN : MSG_BAD_CRC);
        return reader.ended;
    }
    uint32_t block_start = window.block_end - WINDOW_SIZE;
    if (window.position > block_start && !write_block(window.bytes + block_start, window.position - block_start))
        return ERR_WRITE_OUTPUT;
    return 0;
}
