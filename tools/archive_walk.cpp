#include "tools/archive_walk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "archive/layout.h"
#include "common/crc32.h"
#include "common/failure.h"
#include "common/text.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "tools/entry_rules.h"
#include "tools/system_files.h"
#include "tools/terminal_text.h"

namespace {

Platform table;              // the system's platform table, messages printed as errors
bool discard_output;         // `test`: output files go nowhere
int sink_object;             // the handle of a discarded output file
std::set<std::string> discarded_names;  // `test`: the names created so far, letters folded to lower case

int MessageBoxA(WindowHandle, const char* text, const char*, uint32_t) {
    fprintf(stderr, "error: %s\n", text);
    return 1;
}

// `test` creates no file, yet reports what the launcher would meet on
// Windows, where names differ only in letter case name one file: the
// second of them cannot be created, as it exists already.
FileHandle openat_(Handle folder, const char* path) {
    if (!discard_output) return system_platform().openat(folder, path);
    if (!discarded_names.insert(fold_case(path)).second) {
        errno = EEXIST;
        return nullptr;
    }
    return &sink_object;
}
size_t fwrite_(const void* buffer, size_t size, size_t count, FileHandle file) {
    if (file == &sink_object) return count;
    return system_platform().fwrite(buffer, size, count, file);
}
int fclose_(FileHandle file) {
    if (file == &sink_object) return 0;
    return system_platform().fclose(file);
}

// Opens `path` and reads the main header. A file that starts with the header
// identifier is a bare archive; anything else is a self-extracting file.
bool open_archive(const char* path) {
    table = system_platform();
    table.MessageBoxA = MessageBoxA;
    table.openat = openat_;
    table.fwrite = fwrite_;
    table.fclose = fclose_;
    platform = &table;
    unpack.host_window = nullptr;
    unpack.work_folder = nullptr;  // files are created by their paths
    crc32_build_table();
    if (!archive_open(path)) {
        fprintf(stderr, "error: %s\n", MSG_OPEN_ARCHIVE);
        return false;
    }
    uint8_t id[2] = {0, 0};
    archive_read(id, 2);
    bool bare = id[0] == (HEADER_ID & 0xFF) && id[1] == (HEADER_ID >> 8);
    archive_seek(bare ? 0 : ARCHIVE_OFFSET);
    if (read_header() != HEADER_READ) {
        fprintf(stderr, "error: %s\n", MSG_INVALID_ARCHIVE);
        archive_close();
        return false;
    }
    return true;
}

// Extraction never replaces a file nor writes through a link (the create
// is exclusive): says what was in the way of the current entry's output
// file, if anything.
void report_in_the_way() {
    const char* name = entry_output_name();
    char path[PATH_SIZE] = "";
    if (!name || !text_append(path, PATH_SIZE, unpack.work_dir) || !text_append(path, PATH_SIZE, name)) return;
    PathOccupant occupant = path_occupant(path);
    if (occupant == PathOccupant::nothing) return;
    fputs("error: ", stderr);
    fputs(visible_path(path).c_str(), stderr);
    if (occupant == PathOccupant::link) fprintf(stderr, " is %s", LINK_DESCRIPTION);
    else fputs(" exists already", stderr);
    fputs(": extract never replaces a file nor writes through a link\n", stderr);
}

// After the loop: 0 at the end marker; a header error was printed already.
int finish(int header) {
    archive_close();
    return header == HEADER_END ? 0 : 1;
}

}  // namespace

int list_archive(const char* path) {
    if (!open_archive(path)) return 1;
    printf("%10s %10s %6s %8s  %s\n", "original", "compressed", "method", "crc32", "name");
    int header;
    while ((header = read_header()) == HEADER_READ) {
        const HeaderRecord& h = unpack.header;
        printf("%10u %10u %6u %08x  ", unsigned(h.original_size), unsigned(h.compressed_size), unsigned(h.method),
               unsigned(h.file_crc));
        write_visible(stdout, unpack.header_name);
        putchar('\n');
        skip_entry_data();
    }
    return finish(header);
}

int test_archive(const char* path) {
    discard_output = true;
    if (!open_archive(path)) return 1;
    unpack.work_dir[0] = 0;
    int failed = 0, entries = 0, header;
    while ((header = read_header()) == HEADER_READ) {
        char name[NAME_BUFFER_SIZE + 1];
        memcpy(name, unpack.header_name, NAME_BUFFER_SIZE);
        name[NAME_BUFFER_SIZE] = 0;
        int result = extract_entry();
        entries++;
        if (result != 0) failed++;
        printf("%-6s ", result == 0 ? "ok" : "FAILED");
        write_visible(stdout, name);
        putchar('\n');
    }
    printf("%d entries, %d failed\n", entries, failed);
    return finish(header) || failed ? 1 : 0;
}

int extract_archive(const char* path, const char* directory) {
    if (!make_folder(directory)) {
        fprintf(stderr, "error: cannot create directory %s: %s\n", directory, strerror(errno));
        return 1;
    }
    unpack.work_dir[0] = 0;
    if (!text_append(unpack.work_dir, PATH_SIZE, directory) ||
        (!is_path_separator(directory[strlen(directory) - 1]) &&
         !text_append(unpack.work_dir, PATH_SIZE, PATH_SEPARATOR))) {
        fprintf(stderr, "error: directory path too long: %s\n", directory);
        return 1;
    }
    discard_output = false;
    if (!open_archive(path)) return 1;
    int header;
    while ((header = read_header()) == HEADER_READ) {
        int result = extract_entry();
        if (result == ERR_CREATE_FILE) report_in_the_way();
        if (result != 0) {
            archive_close();
            return 1;
        }
        write_visible(stdout, entry_output_name());
        putchar('\n');
    }
    return finish(header);
}
