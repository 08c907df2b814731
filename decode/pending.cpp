// Methods 1 to 4 are accepted by validation but cannot be unpacked yet: the
// entry is refused as an unknown method after its data has been left alone.
#include "common/failure.h"
#include "common/unpack_error.h"
#include "decode/decoders.h"

int decode_lz_huffman() {
    show_failure(MSG_UNKNOWN_METHOD);
    return ERR_UNKNOWN_METHOD;
}

int decode_method4() {
    show_failure(MSG_UNKNOWN_METHOD);
    return ERR_UNKNOWN_METHOD;
}
