#include "tests/support/decoder_run.h"

#include "decode/decoders.h"

namespace {

std::vector<size_t>* write_sizes;
Bytes* written;
Platform recording;

size_t record_fwrite(const void* buffer, size_t size, size_t count, FileHandle file) {
    size_t done = platform_double_table()->fwrite(buffer, size, count, file);
    write_sizes->push_back(count);
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    written->insert(written->end(), p, p + done * size);
    return done;
}

}  // namespace

DecoderRun run_decoder(DoubleTest& test, const DecoderCase& c) {
    DecoderRun run;
    Bytes file = c.data;
    file.insert(file.end(), c.after.begin(), c.after.end());
    test.open_archive(file);
    recording = *platform_double_table();
    recording.fwrite = record_fwrite;
    write_sizes = &run.writes;
    written = &run.output;
    platform = &recording;
    platform_double.counted = 0;
    if (c.fail_write_at) {
        platform_double.fail_only = "fwrite";
        platform_double.fail_at = c.fail_write_at;
    } else if (c.fail_alloc) {
        platform_double.fail_only = "GlobalAlloc";
        platform_double.fail_at = 1;
    }
    unpack.output_file = platform->fopen((test.scratch / "out.bin").c_str(), "wb");
    platform_double.boxes.clear();
    HeaderRecord& h = unpack.header;
    h.method = c.method;
    h.compressed_size = uint32_t(c.data.size());
    h.original_size = c.original_size;
    crc32.reg = CRC32_INITIAL;
    run.result = c.method == 4 ? decode_method4() : decode_lz_huffman();
    run.crc = ~crc32.reg;
    run.position = archive_tell();
    EXPECT_LE(run.position, int64_t(c.data.size())) << "a byte behind the entry's data was taken";
    run.messages = test.messages();
    run.heap_blocks = platform_double.heap_blocks;
    platform->fclose(unpack.output_file);
    unpack.output_file = nullptr;
    platform_double.fail_at = 0;
    platform_double.fail_only.clear();
    platform = platform_double_table();
    return run;
}
