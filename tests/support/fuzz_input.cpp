#include "tests/support/fuzz_input.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "common/crc32.h"
#include "common/little_endian.h"
#include "common/text.h"
#include "common/unpack_state.h"
#include "shell/platform_posix.h"
#include "tests/support/archive_writer.h"

namespace {

Platform table;
uint64_t written;  // bytes handed to the current output file

int quiet_box(WindowHandle, const char*, const char*, uint32_t) { return 1; }

FileHandle counting_openat(Handle folder, const char* path) {
    written = 0;
    return posix_platform.openat(folder, path);
}

size_t counting_fwrite(const void*, size_t size, size_t count, FileHandle) {
    written += uint64_t(size) * count;
    return count;
}

// Closing the output file: no entry may bring more than its original size.
int checking_fclose(FileHandle file) {
    if (file == unpack.output_file && written > unpack.header.original_size) abort();
    return posix_platform.fclose(file);
}

// Removes what an input created, so the next one starts from an empty
// directory (output files are created exclusively).
void empty_directory(const std::string& dir, const std::string& keep) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != ".." && name != keep) unlink((dir + name).c_str());
    }
    closedir(d);
}

}  // namespace

void run_fuzz_input(const uint8_t* data, size_t size, const std::string& scratch_dir) {
    if (size == 0) return;
    table = posix_platform;
    table.MessageBoxA = quiet_box;
    table.openat = counting_openat;
    table.fwrite = counting_fwrite;
    table.fclose = checking_fclose;
    platform = &table;
    crc32_build_table();

    Bytes archive;
    if (data[0] % 2 == 0 || size < 5) {
        archive.assign(data + 1, data + size);
    } else {
        // Both headers are named "f"; the entry's CRC field is 0.
        HeaderFields header;
        header.name = "f";
        header.file_type = 2;
        ArchiveWriter w(header);
        header.file_type = 0;
        header.method = uint8_t(1 + data[1] % 4);
        header.original_size = le_u16(data + 2) % (FUZZ_ORIGINAL_LIMIT + 1);
        header.compressed_size = uint32_t(size - 5);
        // Low bit of data[4]: the header claims more data than follows.
        if (data[4] & 1) header.compressed_size += data[4];
        archive = w.entry(header, Bytes(data + 5, data + size)).finish();
    }
    std::string path = scratch_dir + "archive.arj";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return;
    if (!archive.empty()) fwrite(archive.data(), 1, archive.size(), file);
    fclose(file);

    unpack.host_window = nullptr;
    unpack.work_folder = nullptr;
    unpack.work_dir[0] = 0;
    if (!text_append(unpack.work_dir, PATH_SIZE, scratch_dir.c_str())) return;
    if (!archive_open(path.c_str())) return;
    if (read_header() == HEADER_READ) {
        for (int entries = 0; entries < FUZZ_ENTRY_LIMIT && read_header() == HEADER_READ; entries++)
            if (extract_entry() != 0) break;
    }
    archive_close();
    empty_directory(scratch_dir, "archive.arj");
}
