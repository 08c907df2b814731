#include "decode/decode_window.h"

#include "common/failure.h"
#include "common/global_heap.h"
#include "common/output_file.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "decode/bit_reader.h"

uint8_t* obtain_window() {
    uint8_t* window = static_cast<uint8_t*>(heap_obtain(WINDOW_SIZE));
    if (!window) {
        // The bit input never started: skip the data like the stored copy.
        archive_skip(unpack.header.compressed_size);
        show_failure(MSG_ALLOC_MEMORY);
    }
    return window;
}

void release_window(uint8_t* window) { heap_release(window); }

bool flush_window(const uint8_t* window, uint32_t n) {
    if (write_output_block(window, n)) return true;
    show_failure(MSG_WRITE_OUTPUT);
    return false;
}

int finish_window(const uint8_t* window, uint32_t position, bool written) {
    if (!written) return ERR_WRITE_OUTPUT;
    if (bit_reader.ended == ERR_BAD_CRC) show_failure(MSG_BAD_CRC);
    if (bit_reader.ended != 0) return bit_reader.ended;
    if (position != 0 && !flush_window(window, position)) return ERR_WRITE_OUTPUT;
    return 0;
}
