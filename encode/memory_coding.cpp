#include "encode/memory_coding.h"

#include "encode/byte_sink.h"
#include "encode/entry_source.h"
#include "encode/entry_streams.h"

std::vector<uint8_t> compress_bytes(uint8_t method, const uint8_t* bytes, size_t n) {
    MemorySource source(bytes, n);
    MemorySink sink;
    EntryStreams io(source, sink, nullptr);
    if (method == 1)
        encode_lz_huffman(io);
    else if (method == 4)
        encode_method4(io);
    else
        encode_stored(io);
    return sink.bytes;
}
