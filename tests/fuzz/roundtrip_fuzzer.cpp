// libFuzzer target: the writer's round trip. The first byte picks the
// method (1 or 4) and how often the rest is repeated (1 to 64 times, so
// that short inputs make long matches too); the result is written as an
// archive, unpacked by read_header and extract_entry, and must come back
// byte for byte.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "common/crc32.h"
#include "common/text.h"
#include "common/unpack_state.h"
#include "encode/arj_writer.h"
#include "shell/platform_posix.h"

namespace {

std::string scratch_dir() {
    static std::string dir;
    if (dir.empty()) {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/iunpack-roundtrip-XXXXXX";
        if (!mkdtemp(pattern.data())) abort();
        dir = pattern + "/";
    }
    return dir;
}

int abort_box(WindowHandle, const char* text, const char*, uint32_t) {
    fprintf(stderr, "message box: %s\n", text);
    abort();
}

std::vector<uint8_t> read_all(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) abort();
    for (int c; (c = fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
    fclose(f);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static Platform table = posix_platform;
    table.MessageBoxA = abort_box;
    platform = &table;
    crc32_build_table();
    const std::string dir = scratch_dir();

    uint8_t method = data[0] & 1 ? 4 : 1;
    std::vector<uint8_t> content;
    for (int copies = 1 + (data[0] >> 2); copies > 0; copies--) content.insert(content.end(), data + 1, data + size);

    MemorySink sink;
    ArjWriter writer(sink);
    MemorySource source(content.data(), content.size());
    EntryOptions options;
    options.name = "f";
    options.method = method;
    if (!writer.begin("a", 0) || !writer.add(options, source) || !writer.finish()) abort();

    std::string path = dir + "archive.arj";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(sink.bytes.data(), 1, sink.bytes.size(), file) != sink.bytes.size()) abort();
    fclose(file);
    unpack.host_window = nullptr;
    unpack.work_dir[0] = 0;
    if (!text_append(unpack.work_dir, PATH_SIZE, dir.c_str())) abort();
    if (!archive_open(path.c_str())) abort();
    if (read_header() != HEADER_READ || read_header() != HEADER_READ || extract_entry() != 0 || read_header() != HEADER_END) abort();
    archive_close();
    if (read_all(dir + "f") != content) abort();
    // Output files are created exclusively: the next input needs the name free.
    if (unlink((dir + "f").c_str()) != 0) abort();
    return 0;
}
