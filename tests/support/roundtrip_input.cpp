#include "tests/support/roundtrip_input.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "common/crc32.h"
#include "common/text.h"
#include "common/unpack_state.h"
#include "encode/arj_writer.h"
#include "shell/platform_posix.h"

namespace {

std::string box_text;  // the text of the first message box of an input, if one was shown

int record_box(WindowHandle, const char* text, const char*, uint32_t) {
    if (box_text.empty()) box_text = text;
    return 1;
}

bool read_all(const std::string& path, std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    for (int c; (c = fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
    fclose(f);
    return true;
}

// Writes and unpacks `content`; "" when it came back.
std::string round_trip(const std::vector<uint8_t>& content, uint8_t method, const std::string& dir) {
    MemorySink sink;
    ArjWriter writer(sink);
    MemorySource source(content.data(), content.size());
    EntryOptions options;
    options.name = "f";
    options.method = method;
    if (!writer.begin("a", 0) || !writer.add(options, source) || !writer.finish())
        return "the writer failed: " + writer.error();

    std::string path = dir + "archive.arj";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return "cannot create " + path;
    bool written = fwrite(sink.bytes.data(), 1, sink.bytes.size(), file) == sink.bytes.size();
    if (fclose(file) != 0 || !written) return "cannot write " + path;
    unpack.host_window = nullptr;
    unpack.work_dir[0] = 0;
    if (!text_append(unpack.work_dir, PATH_SIZE, dir.c_str())) return "the path " + dir + " is too long";
    if (!archive_open(path.c_str())) return "cannot open " + path;
    bool unpacked = read_header() == HEADER_READ && read_header() == HEADER_READ && extract_entry() == 0 &&
                    read_header() == HEADER_END;
    archive_close();
    if (!box_text.empty()) return "message box: " + box_text;
    if (!unpacked) return "the archive does not unpack";
    std::vector<uint8_t> back;
    if (!read_all(dir + "f", back)) return "no file unpacked";
    return back == content ? "" : "the unpacked bytes differ";
}

}  // namespace

std::string run_roundtrip_input(const uint8_t* data, size_t size, const std::string& scratch_dir) {
    if (size == 0) return "";
    static Platform table;
    table = posix_platform;
    table.MessageBoxA = record_box;
    platform = &table;
    crc32_build_table();
    box_text.clear();

    uint8_t method = data[0] & 1 ? 4 : 1;
    std::vector<uint8_t> content;
    for (int copies = 1 + (data[0] >> 2); copies > 0; copies--) content.insert(content.end(), data + 1, data + size);
    std::string failure = round_trip(content, method, scratch_dir);
    // Output files are created exclusively: the next input needs the name free.
    if (unlink((scratch_dir + "f").c_str()) != 0 && failure.empty()) failure = "cannot remove the unpacked file";
    return failure;
}
